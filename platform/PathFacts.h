// Path facts without opening: what a name is (file, folder, link, special file) and its size.
#pragma once

#include <cstdint>

#include "platform/Error.h"

namespace Platform {

enum class PathKind : int {
    Missing = 0,
    File = 1,  // a regular file
    Folder = 2,
    LinkToFile = 3,    // a symbolic link (on Windows a reparse point) whose target is a file
    LinkToFolder = 4,  // a link whose target is a folder
    DanglingLink = 5,  // a link whose target is missing or cannot be reached
    Special = 6,       // a FIFO, socket or device: reading one may block or never end
};

struct PathFacts {
    PathKind kind = PathKind::Missing;
    // The content's size in bytes, 64 bits wide, for File and LinkToFile (the target's); else 0.
    std::uint64_t size = 0;
    // When the content last changed, in the system's own units (nanoseconds on POSIX, 100 ns on
    // Windows): only ever compared with another stamp of the same file.
    std::int64_t modified = 0;
};

// Looks at path (Windows-shaped, as for FileOpen) without opening it and without following a
// link at its last component (a link is reported as a link, with its target's kind).
// None (also for a missing path: kind Missing); AccessDenied when a folder on the way cannot
// be searched; InvalidName when the path is longer than the system allows; InvalidParameter
// for null arguments; others as the system reports them.
Error InspectPath(const char* path, PathFacts* facts);

// Moves the file source to target in one step, replacing what target names: a file, or a link
// itself (never the link's target). A folder at target is not replaced. The source and the
// folders on the way are found as for FileOpen (letter case ignored); the target's own name is
// taken as given, so where the file system keeps names apart by letter case (POSIX) a file is
// never replaced by one whose name differs only in case. None; AccessDenied;
// FileNotFound / PathNotFound; SharingViolation while either is held open; others as the
// system reports them.
Error FileReplace(const char* source, const char* target);

// True where FileReplace finds the target's own name as the Windows file system does (letter
// case ignored, trailing dots and spaces dropped), so names that differ only so are one file;
// false where it takes that name as given (POSIX).
bool ReplaceMatchesNamesLoosely();

}  // namespace Platform
