// StaticElementArray: a fixed block of element pointers (type id 8), replaced only as a whole.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Unless borrowed, the array holds one counted reference on every non-null slot. A borrowed
// array keeps plain values in its slots and neither references nor releases them.
class StaticElementArray : public Element {
public:
    // Takes over block (from the framework allocator, or null) with count slots in place of the
    // current block, which is released slot by slot (unless borrowed) and freed. References on
    // the new block are taken before the old ones are given back, so shared elements survive;
    // adopting the block already held changes nothing. 0.
    virtual std::int32_t Adopt(Element** block, std::uint32_t count) = 0;
    // The block (null when none) and its slot count. 0; 1 when an out pointer is null.
    virtual std::int32_t GetElements(Element*** block, std::uint32_t* count) = 0;
    // Non-zero: slots are plain values. Set before the first Adopt. 0.
    virtual std::int32_t SetBorrowed(std::int32_t borrowed) = 0;
    virtual std::int32_t GetBorrowed() = 0;
};

}  // namespace QRV2
