// Extract: qxarc extract, and the pure rules it places entries by.
#pragma once

#include <string>
#include <vector>

namespace QxarcTool {

class Selection;

struct ExtractOptions {
    unsigned jobs = 1;
    bool keepExisting = false;  // a file that was there before the run stays as it is
    bool verbose = false;       // name each file made
    bool toOutput = false;      // the entries' content to standard output, no files made
};

// Extracts every selected entry into the destination folder (made when missing) with up to
// options.jobs workers, each at the path its name gives below it. Each entry is checked whole
// before its file is put in place; every entry refused, damaged, kept out or replaced by a
// later one is named on standard error. Nothing is ever made outside the destination: each
// folder on the way is opened without following a link, exactly as the file system names it.
// With toOutput the entries' content goes to standard output one after another instead (a
// damaged entry is named after what came of it). kOk; kFailed when anything failed, was
// refused, kept out or replaced, or a name given took no entry; the stop codes.
int Extract(const std::string& hostArchive, const std::string& hostDestination,
            Selection* selection, const ExtractOptions& options);

// True when name lies below prefix (whole components); *rest gets what follows it.
bool BelowPrefix(const std::string& name, const std::string& prefix, std::string* rest);

// The components of an entry's path below the destination: empty ones and "." dropped.
std::vector<std::string> PathComponents(const std::string& rest);

// An entry's target below the destination as a key that two spellings of one place share:
// components without empty ones and "."; with loose (where the file system takes them for one
// name) ASCII letters folded and trailing dots and spaces dropped. folders (may be null) gets
// the key of every folder on the way.
std::string PlaceKey(const std::string& rest, std::vector<std::string>* folders, bool loose);

}  // namespace QxarcTool
