// Buffer: a growable block of raw bytes (type id 119), with Crunch and IO views.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

class Buffer : public Element {
public:
    // The first content byte, or null when empty.
    virtual std::uint8_t* GetData() = 0;
    // Replaces the content by count bytes at source. 0; 1 for a null source with a non-zero
    // count; 2 when storage cannot be obtained (content unchanged on every failure).
    virtual std::int32_t SetData(const void* source, std::uint32_t count) = 0;
    // Appends count bytes at source. 0; 1 for a null source with a non-zero count; 2 no storage.
    virtual std::int32_t AppendData(const void* source, std::uint32_t count) = 0;
    virtual std::uint32_t GetSize() = 0;
    // 0, or 2 when storage cannot be obtained (unchanged). New bytes are zero.
    virtual std::int32_t Resize(std::uint32_t size) = 0;
};

}  // namespace QRV2
