// Create: qxarc create.
#pragma once

namespace QxarcTool {

struct CreateOptions {
    unsigned jobs = 1;
    bool excludeHidden = false;  // leave hidden files and folders out, naming none of them
    bool verbose = false;        // name each file packed
};

// Packs every file below the folder into a new archive, entries in name order, with up to
// options.jobs workers; the bytes are the framework writer's for any number of workers. The
// archive is made beside its final name and replaces it only once complete (keeping the old
// one's permissions and owner), or is written to a stream ("-" for standard output, a FIFO or
// a device). Whatever is left out is named on standard error. kOk; kFailed when anything
// failed or was left out; the stop codes when the run was stopped.
int Create(const char* hostArchive, const char* hostFolder, const CreateOptions& options);

}  // namespace QxarcTool
