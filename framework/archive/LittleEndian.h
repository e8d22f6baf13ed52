// LittleEndian: the archive file's fixed-width integers, coded byte by byte whatever the host.
#pragma once

#include <cstdint>

namespace QRV2 {

// Every size, count and offset in an archive is an unsigned 32-bit little-endian number. They
// are coded here, one byte at a time, so the bytes are the same on any host and no reader or
// writer of the format depends on the host's own byte order or on a stream's typed reads.
namespace LittleEndian {

inline void Put32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline std::uint32_t Get32(const unsigned char* in) {
    return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
           static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

}  // namespace LittleEndian
}  // namespace QRV2
