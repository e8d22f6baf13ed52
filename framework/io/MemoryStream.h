// MemoryStream: a stream over a growable memory block it owns (type id 21); Stream view id 12.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Always open; no access mode (the mode setters refuse). The block starts at 4096 bytes (or the
// next power of two of a larger first write) and doubles, or grows to the next power of two of
// the need when doubling is not enough. A read that reaches the end of the data refuses further
// writes until GetPosition or SetPosition below the length; once storage cannot be obtained,
// every write returns 0. Writing while the position lies beyond the length fills the gap with
// zero bytes.
class MemoryStream : public Element {
public:
    // Replaces the content with a copy of count bytes (the position stays). 0, or 1 when storage
    // cannot be obtained or data is null with count > 0 (nothing changes).
    virtual std::int32_t SetData(const void* data, std::uint32_t count) = 0;
};

}  // namespace QRV2
