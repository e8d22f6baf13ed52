// FileFunc: stateless whole-file and folder operations (type id 14).
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Every operation takes NUL-terminated paths and returns 0 for success (for the existence tests:
// it exists) and 1 for failure (it does not). No system error code is passed on.
//
// "Folder part" of a path: drive + folder as FilePath splits it, ending in a separator, for a
// path that names a drive before its last separator; empty for any other path (relative,
// network, bare name).
class FileFunc : public Element {
public:
    // 0 when the folder part exists or is empty; 1 when it does not.
    virtual std::int32_t FolderExists(const char* path) = 0;
    // Creates every missing folder along the folder part (a file name at the end is ignored).
    // 0 when the folder exists afterwards (or the folder part is empty); 1 otherwise.
    virtual std::int32_t CreateFolders(const char* path) = 0;
    // Removes an empty folder. 0; 1 when it fails (a folder that still holds entries stays).
    virtual std::int32_t RemoveFolder(const char* path) = 0;
    // System search on path (wildcards '*' and '?' allowed in its last component): 0 when
    // anything matches, 1 when nothing does or the name is invalid or ends in a separator.
    virtual std::int32_t Exists(const char* path) = 0;
    // Copies the source file's bytes into the destination (created, or cut to the copied length).
    // 0; 1 when either file cannot be opened, storage cannot be obtained or a write fails.
    virtual std::int32_t Copy(const char* source, const char* destination) = 0;
    // Deletes a file. 0; 1 when it fails (missing, a folder, or held open anywhere).
    virtual std::int32_t Delete(const char* path) = 0;
    // Moves or renames a file or folder; never replaces. 0; 1 when it fails (among others when
    // newPath exists already).
    virtual std::int32_t Rename(const char* oldPath, const char* newPath) = 0;
    // Creates the file empty, or empties an existing one. 0; 1 when the file cannot be created
    // or emptied (held open, missing folder, no rights).
    virtual std::int32_t Truncate(const char* path) = 0;
    // Makes the file's content exactly the count bytes at data (an existing longer file is cut).
    // 0 when every byte was written; 1 otherwise (count < 0, data null with count > 0, open or
    // write failure).
    virtual std::int32_t WriteAll(const char* path, const void* data, std::int32_t count) = 0;
    // Reads the whole file into a new block of size + extra bytes from the framework allocator
    // (QRV2::Free releases it; the extra bytes are uninitialised). *data and *size are set on
    // success. 0; 1 when the file cannot be opened or fully read, storage cannot be obtained,
    // extra < 0, or an out pointer is null (then *data is null where it can be set).
    virtual std::int32_t ReadAll(const char* path, void** data, std::uint32_t* size,
                                 std::int32_t extra) = 0;
};

}  // namespace QRV2
