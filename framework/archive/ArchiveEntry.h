// ArchiveEntry: one directory record of an archive in memory (type id 18): name, offset, stored
// size.
#pragma once

#include <cstdint>

#include "framework/core/Element.h"

namespace QRV2 {

// Its IO view (interface id 13) reads and writes the record in the archive file layout: the
// name as a length-prefixed text (length counting the terminating zero byte), then the 4-byte
// offset and the 4-byte stored size, little-endian.
class ArchiveEntry : public Element {
public:
    // The name text, or null when the entry has no name.
    virtual const char* GetName() = 0;
    // Copies the text as the name; null drops the name. 0, or 1 when storage for the name
    // cannot be obtained (the entry then has no name).
    virtual std::int32_t SetName(const char* name) = 0;
    // File offset of the entry's data block.
    virtual std::uint32_t GetOffset() = 0;
    virtual std::int32_t SetOffset(std::uint32_t offset) = 0;
    // Bytes of the whole data block, its 8-byte header included.
    virtual std::uint32_t GetStoredSize() = 0;
    virtual std::int32_t SetStoredSize(std::uint32_t size) = 0;
};

}  // namespace QRV2
