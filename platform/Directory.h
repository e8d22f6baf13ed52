// Directory enumeration: the entries of one folder that match a Windows-style name pattern.
#pragma once

#include "platform/Error.h"

namespace Platform {

// Longest entry name delivered, terminator included (the Windows limit for one name).
constexpr int kDirectoryNameSize = 260;

struct DirectoryEntry {
    char name[kDirectoryNameSize];  // the entry's own name, no folder part
    bool isFolder;
    bool isHidden;  // the hidden attribute; on POSIX a name beginning with "."
};

// An open search; null means none.
struct DirectorySearch;
using DirectoryHandle = DirectorySearch*;

// Starts a search for "folder\pattern" (a Windows-shaped path; '\' or '/' separate; on POSIX
// drive Z: is the root). The pattern follows Windows rules on every platform: '*' any run of
// characters, '?' exactly one character, letter case ignored, "*.*" every name (also names without
// a dot), a trailing ".*" also matching names without that extension. The entries "." and ".." are
// never delivered. Entries come in the order the system lists them. A symbolic link (on Windows any
// reparse point) is reported as a file, never as a folder, so a walk cannot loop through one.
// Returns the handle and fills *entry with the first match; null when nothing is delivered,
// with *error (when error is not null):
//   FileNotFound    the folder exists and no entry matches,
//   PathNotFound    the folder does not exist or is not a folder (or the drive is unknown),
//   AccessDenied    the folder cannot be read,
//   InvalidParameter pattern or entry is null,
//   NotEnoughMemory, or another error of the system.
DirectoryHandle DirectoryFindFirst(const char* pattern, DirectoryEntry* entry, Error* error);
// Fills *entry with the next match: true; false at the end (*error NoMoreFiles) or on failure.
bool DirectoryFindNext(DirectoryHandle search, DirectoryEntry* entry, Error* error);
// Ends the search; null is ignored.
void DirectoryFindClose(DirectoryHandle search);

}  // namespace Platform
