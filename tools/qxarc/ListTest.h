// ListTest: the two modes that only read an archive: list its directory, test every entry.
#pragma once

namespace QxarcTool {

// Prints the header and one line per entry (content size, stored size, offset, name) on
// standard output. kOk; kFailed when the archive cannot be read or its directory is cut short.
int List(const char* hostArchive);

// Reads and checks every entry, names each damaged one on standard error and prints how many
// were good. kOk; kFailed when any entry is damaged, the directory is cut short or the user
// stopped the run.
int Test(const char* hostArchive);

}  // namespace QxarcTool
