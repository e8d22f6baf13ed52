// Archive: reads and writes archive files (type id 17): directory, entries, extraction, packing.
#pragma once

#include <cstdint>

#include "framework/core/Element.h"

namespace QRV2 {

class ArchiveEntry;
class Iterator;
class Stream;

// Read mode (1, the default): Open checks the header and loads the directory; entries are
// found by name (whole name, ASCII letter case ignored, the first match wins) and read through
// OpenEntry or extracted. Write mode (0): entries are appended one after another and Close
// puts the header and directory in front of the data. Paths are framework paths ("\" or "/").
class Archive : public Element {
public:
    virtual std::uint16_t GetVersion() = 0;
    virtual std::int32_t SetVersion(std::uint16_t version) = 0;
    virtual std::uint16_t GetSubVersion() = 0;
    virtual std::int32_t SetSubVersion(std::uint16_t subVersion) = 0;
    // 1 read, 0 write.
    virtual std::int32_t GetMode() = 0;
    // 0, 1 or 2 (2 is stored as 0). 0; 1 while the archive is open or for any other value.
    virtual std::int32_t SetMode(std::int32_t mode) = 0;
    // Opens the file: read mode checks the header and reads the directory; write mode opens
    // (or creates) the file without emptying it. 0; 1 for no storage, a missing file in read
    // mode, a bad magic or directory tag, or an archive already open; 17 when the system
    // refuses the file.
    virtual std::int32_t Open(const char* path) = 0;
    // 1 when there is no open file, else the file's own IsClosed.
    virtual std::int32_t IsClosed() = 0;
    // Finishes an entry still being written, drops an entry stream still open, commits in
    // write mode (only when an entry was completed) and closes the file. 0; 1 in write mode
    // when the file was not open, or when any write of the archive fell short or failed (the
    // file is then damaged and must not be used).
    virtual std::int32_t Close() = 0;
    // The directory's iterator of that kind (1 read in order, 2 append), or null.
    virtual Iterator* GetIterator(std::int32_t kind) = 0;
    // Hands back an iterator from GetIterator and clears the variable. 0, 1 without directory.
    virtual std::int32_t ReturnIterator(Iterator** variable) = 0;
    // A Stream to write the new entry's content into, owned by the archive, or null (another
    // entry stream open, not open in write mode, no storage).
    virtual Stream* BeginEntry(const char* name) = 0;
    // Compresses the entry's content and appends its block and record. 0; 1 when no entry is
    // being written or writing the block fell short (the archive is then damaged).
    virtual std::int32_t EndEntry() = 0;
    // A Stream holding the entry's whole content (GetSize gives its length), owned by the
    // archive until CloseEntry; null when no entry matches, another entry stream is open or
    // the block is damaged.
    virtual Stream* OpenEntry(const char* name) = 0;
    // Drops the open entry stream. 0; 1 when none is open.
    virtual std::int32_t CloseEntry() = 0;
    // Not supported: 1.
    virtual std::int32_t Reserved1(std::int32_t value) = 0;
    // 0 when an entry of that name exists; 1 otherwise.
    virtual std::int32_t FindEntry(const char* name) = 0;
    // Not supported: 1.
    virtual std::int32_t Reserved2(std::int32_t a, std::int32_t b) = 0;
    // Adds the file's content as a new entry. 0; 1 when the source is missing or cannot be
    // read whole, or the entry cannot be written; 17 when the system refuses the source.
    virtual std::int32_t AddFile(const char* sourcePath, const char* name) = 0;
    // Writes the entry's content into the destination file (created, or replaced and cut to
    // the new length). The entry is read before the destination is touched, so a damaged entry
    // leaves the destination as it was. 0; 1 when the entry is missing or damaged, the
    // destination cannot be opened, or a write falls short.
    virtual std::int32_t ExtractEntry(const char* destinationPath, const char* name) = 0;
    // Adds every file below the folder (path ending in "\"), hidden files and folders left
    // out, named by their path relative to the folder. 0; 1 when the walk or an entry fails;
    // 17 when the system refuses a source file. Files after a failure are not added.
    virtual std::int32_t AddFolder(const char* folderPath) = 0;
    // Extracts every entry (or those whose name begins with prefix, letter case ignored, the
    // prefix cut off) below the destination folder, creating folders as needed. An entry whose
    // name is absolute, carries a drive or network prefix, or has a ".." component is refused
    // before anything is written for it. 0; 1 for an empty destination folder, or at the first
    // failure (later entries skipped).
    virtual std::int32_t ExtractAll(const char* destinationFolder, const char* prefix) = 0;

    // By-entry forms for callers that walk the directory themselves (names need not be
    // unique): as OpenEntry and ExtractEntry, for the given entry of this archive's directory;
    // createFolders non-zero creates the destination's missing folders first.
    virtual Stream* OpenEntryContent(ArchiveEntry* entry) = 0;
    virtual std::int32_t ExtractEntryTo(ArchiveEntry* entry, const char* destinationPath,
                                        std::int32_t createFolders) = 0;
};

}  // namespace QRV2
