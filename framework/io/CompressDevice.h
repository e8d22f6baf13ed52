// CompressDevice: the stateless pair of one-shot zlib calls (type id 19); the only user of zlib.
#pragma once

#include <cstdint>

#include "framework/core/Element.h"

namespace QRV2 {

class CompressDevice : public Element {
public:
    // Compresses sourceLength bytes at level 9 into destination, a complete zlib stream.
    // *destinationLength is the room on entry and the compressed length on success.
    // Results are zlib's: 0 ok, -5 the output did not fit, -4 no memory, -2 bad arguments.
    virtual std::int32_t Compress(void* destination, std::uint32_t* destinationLength,
                                  const void* source, std::uint32_t sourceLength) = 0;
    // Inflates a complete zlib stream. *destinationLength is the room on entry and the
    // produced length on success. Results are zlib's: 0 ok, -5 the output did not fit or the
    // input ended early, -3 corrupt data, -4 no memory, -2 bad arguments.
    virtual std::int32_t Uncompress(void* destination, std::uint32_t* destinationLength,
                                    const void* source, std::uint32_t sourceLength) = 0;
};

}  // namespace QRV2
