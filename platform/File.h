// Files and folders: open/read/write/seek/size/cut/close, existence search, folder and file moves.
#pragma once

#include <cstdint>

#include "platform/Error.h"
#include "platform/PathFacts.h"

namespace Platform {

// An open file. Opaque: only the functions below look inside. NullFile means "none".
struct FileObject;
using FileHandle = FileObject*;
constexpr FileHandle NullFile = nullptr;

enum class FileAccess : int {
    Read = 1,
    Write = 2,
    ReadWrite = 3,
};

// What other opens of the same file may do while this one is open. Neither kind shares writing:
// Read lets others read (many readers, or one opener that writes, never both); None lets no
// other open in at all.
enum class FileShare : int {
    None = 0,
    Read = 1,
};

enum class FileDisposition : int {
    CreateNew = 1,         // create; FileExists when it exists
    CreateAlways = 2,      // create, or empty an existing file
    OpenExisting = 3,      // open; FileNotFound (or PathNotFound) when missing
    OpenAlways = 4,        // open, or create a missing file; never empties
    TruncateExisting = 5,  // open and empty; FileNotFound when missing (needs write access)
};

// Access-pattern hint for the system's read-ahead; it never changes results.
enum class FileHint : int {
    Normal = 0,
    Random = 1,
    Sequential = 2,
};

enum class SeekOrigin : int {
    Begin = 0,
    Current = 1,
};

// Paths are Windows-shaped ("X:\dir\name", "\" or "/" as separators) and name files as the
// Windows file system does on every platform: letter case is ignored (ASCII) and so are the
// trailing dots and spaces of a name.
// Opens path. On success *file holds
// the new handle and the position is 0. Results: None; FileNotFound / PathNotFound (missing file
// or folder, unknown drive); FileExists (CreateNew on an existing file); AccessDenied (rights,
// a folder named as a file); SharingViolation (another open, in this or another process,
// conflicts with this access or sharing); InvalidParameter (null path or out pointer); others
// as the system reports them. On failure *file is NullFile.
Error FileOpen(const char* path, FileAccess access, FileShare share, FileDisposition disposition,
               FileHint hint, FileHandle* file);

// Reads up to count bytes at the position and advances it. *transferred gets the bytes read
// (0 at the end of the file, which is not an error). None, or the system's error
// (InvalidHandle for NullFile, AccessDenied on a handle opened without read access).
Error FileRead(FileHandle file, void* data, std::uint32_t count, std::uint32_t* transferred);

// Reads up to count bytes at offset, whatever the position, so several threads may read one
// handle at once (the position itself may move on some systems: a handle read this way is read
// only this way). *transferred gets the bytes read (fewer only at the end of the
// file). None, or as for FileRead.
Error FileReadAt(FileHandle file, std::uint64_t offset, void* data, std::uint32_t count,
                 std::uint32_t* transferred);

// Writes count bytes at the position and advances it. *transferred gets the bytes written.
// None only when every byte was written; DiskFull (with the bytes that fit) when the medium is
// full or the test hook (platform/testing/FileTestHook.h) says so; InvalidHandle / AccessDenied as
// for FileRead.
Error FileWrite(FileHandle file, const void* data, std::uint32_t count, std::uint32_t* transferred);

// Writes count bytes at offset, whatever the position (a handle written this way is written
// only this way). *transferred gets the bytes written. None only when every byte was written;
// otherwise as for FileWrite (the test hook applies too).
Error FileWriteAt(FileHandle file, std::uint64_t offset, const void* data, std::uint32_t count,
                  std::uint32_t* transferred);

// Moves the position by distance from the start or the current position; *position (may be
// null) gets the new position (low 32 bits). None; InvalidParameter when the result would lie
// before the start (the position is then unchanged); InvalidHandle for NullFile.
Error FileSeek(FileHandle file, std::int32_t distance, SeekOrigin origin, std::uint32_t* position);

// The file's size (low 32 bits). None; InvalidHandle.
Error FileGetSize(FileHandle file, std::uint32_t* size);

// Makes the position the end of the file (cuts or extends). None; InvalidHandle; without write
// access AccessDenied (some Windows emulations say InvalidParameter).
Error FileSetEnd(FileHandle file);

// Makes the file exactly length bytes long (cut, or extended with zeros), 64 bits wide; the
// position stays where it was. None; InvalidHandle; AccessDenied without write access; DiskFull.
Error FileSetLength(FileHandle file, std::uint64_t length);

// What the open handle is: kind File (a regular file, with its 64-bit size and the stamp of its
// last change), Folder, or Special (a pipe, terminal or device: read as a stream, size 0).
// None; InvalidHandle; others as the system reports them.
Error FileGetFacts(FileHandle file, PathFacts* facts);

// Where the file next holds data at or after offset (*dataStart) and where that data ends
// (*dataEnd), so a reader can take the holes of a sparse file as zeros without reading them.
// Where the system cannot tell, every byte counts as data (*dataStart = offset, *dataEnd the
// largest value); past the last data both are the file's size. The position may move: meant for
// a handle read with FileReadAt. None; InvalidHandle.
Error FileFindData(FileHandle file, std::uint64_t offset, std::uint64_t* dataStart,
                   std::uint64_t* dataEnd);

// Closes the handle and ends its sharing claim. None; InvalidHandle for NullFile.
Error FileClose(FileHandle file);

// Searches like the system's directory search: true when anything matches. The last component
// may hold the wildcards '*' and '?' (matched without regard to letter case, "*.*" also matching
// names without a dot); a folder named without a trailing separator is found; a path ending in a
// separator, a missing folder, a null or invalid name all count as "nothing matches".
bool FileExists(const char* path);

// Creates one folder (its parent must exist). None; AlreadyExists; PathNotFound; AccessDenied.
Error FolderCreate(const char* path);

// Removes an empty folder. None; DirNotEmpty (left in place); FileNotFound / PathNotFound;
// AccessDenied; SharingViolation (a folder in use).
Error FolderRemove(const char* path);

// Deletes a file. None; FileNotFound / PathNotFound; AccessDenied (a folder, or rights);
// SharingViolation while any open of the file is still held, in this or another process.
Error FileDelete(const char* path);

// Moves or renames a file or folder; never replaces. None; AlreadyExists when newPath exists
// (nothing changes); FileNotFound / PathNotFound; SharingViolation while the file is held open;
// AccessDenied. A file moves to another file system too (copied, then the original deleted; a
// failed copy leaves the original and no new file); a folder cannot: NotSameDevice.
Error FileMove(const char* oldPath, const char* newPath);

// What keeps a file from being moved aside, replaced or deleted right now, told apart so that
// only a file in use is waited for: that is the one obstacle its holder removes (a browser
// closed). A library loaded anywhere counts as in use, and so does a file another open keeps
// from being written.
enum class FileHold : int {
    Free = 0,     // a plain file that nothing holds
    Missing = 1,  // nothing at path (or its folder is missing)
    InUse = 2,    // loaded as a library or held open by another opener, in any process
    Blocked = 3,  // something else stands there or in the way: a folder, no rights, a bad name
};

// Looks at path without changing anything. POSIX: InUse is exactly what a library load and the
// sharing claims of FileOpen make of a file (DynamicLibrary.h). Windows: deleting a loaded
// library answers access denied, as a folder or a file one may not change does; opening it
// for writing answers a sharing violation whatever sharing is asked for, which is what tells
// it apart (an open that shares writing with every other is refused only by a file that is
// mapped as an image or held by an opener that shares no writing).
FileHold FileHoldOf(const char* path);

}  // namespace Platform
