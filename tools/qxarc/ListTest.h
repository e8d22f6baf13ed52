// ListTest: the two modes that only read an archive: list its directory, test every entry.
#pragma once

#include <string>

namespace QxarcTool {

class Selection;

// Prints the names of the selected entries on standard output, one a line (escaped as every
// name qxarc prints); verbose: each entry's content size, stored size and the share saved,
// with a line of totals. kOk; kFailed when the archive cannot be read, its directory is
// damaged or a name given took no entry.
int List(const std::string& hostArchive, Selection* selection, bool verbose);

// Reads and checks every selected entry, names each damaged one on standard error and prints
// how many were good (verbose: each good entry's name too). kOk; kFailed when any entry is
// damaged, the directory is damaged or a name given took no entry; the stop codes.
int Test(const std::string& hostArchive, Selection* selection, bool verbose);

}  // namespace QxarcTool
