// Extract: qxarc extract, and the pure rules it places entries by.
#pragma once

#include <string>
#include <vector>

namespace QxarcTool {

// Extracts every entry (or those below prefix, whole components, letter case ignored) into the
// destination folder with up to jobCount workers. Each entry is checked whole before its file
// is put in place; every entry refused, damaged or replaced by a later one is named on
// standard error. kOk; kFailed when anything failed, was refused or replaced, or no entry lay
// below the prefix.
int Extract(const char* hostArchive, const char* hostDestination, const char* prefix,
            unsigned jobCount);

// True when name lies below prefix (whole components); *rest gets what follows it.
bool BelowPrefix(const std::string& name, const std::string& prefix, std::string* rest);

// An entry's target below the destination as a key that two spellings of one place share:
// components without empty ones, ASCII letters folded and trailing dots and spaces dropped (as
// the file system may do), the last component only when looseLast. folders (may be null) gets
// the key of every folder on the way.
std::string PlaceKey(const std::string& rest, std::vector<std::string>* folders,
                     bool looseLast = true);

}  // namespace QxarcTool
