// Create: qxarc create.
#pragma once

namespace QxarcTool {

// Packs every visible file below the folder into a new archive, entries in name order, with
// up to jobCount workers; the bytes are the framework writer's for any number of workers. The
// archive is made beside its final name and replaces it only once complete. Whatever is left
// out is named on standard error. kOk; kFailed when anything failed or was left out.
int Create(const char* hostArchive, const char* hostFolder, unsigned jobCount);

}  // namespace QxarcTool
