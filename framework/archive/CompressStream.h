// CompressStream: a Stream holding one archive entry's bytes in memory, packed into one data block.
#pragma once

#include <cstdint>

#include "framework/core/Element.h"

namespace QRV2 {

class ArchiveEntry;
class Stream;

// Type id 20; its Stream view (interface id 12) is where the entry's content is written or
// read. Opened for writing it collects the bytes and, on Close, appends one data block
// ("PAC" tag, content size, zlib stream; "RAW" tag, size, content when compression fails) at
// the output stream's position. Opened for reading it reads one block at the input stream's
// position and inflates it whole. In the buffer-only usage it is a plain memory stream.
// The stored flag replaces the data block by the raw bytes without a header.
class CompressStream : public Element {
public:
    // The stream a reading Open takes its block from (not owned).
    virtual Stream* GetInputStream() = 0;
    // Accepted at any time; 0.
    virtual std::int32_t SetInputStream(Stream* stream) = 0;
    // The stream Close appends the block to (not owned).
    virtual Stream* GetOutputStream() = 0;
    // Accepted at any time; 0.
    virtual std::int32_t SetOutputStream(Stream* stream) = 0;
    // The entry whose stored size (and, in the stored form, offset) a reading Open uses.
    virtual ArchiveEntry* GetEntry() = 0;
    // Accepted at any time; 0.
    virtual std::int32_t SetEntry(ArchiveEntry* entry) = 0;
    virtual std::int32_t GetStored() = 0;
    // 0 = data blocks with header, 1 = raw bytes; 0.
    virtual std::int32_t SetStored(std::int32_t stored) = 0;
};

}  // namespace QRV2
