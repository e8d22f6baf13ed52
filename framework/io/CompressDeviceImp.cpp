// CompressDeviceImp: the one place that calls zlib (one-shot compress2 level 9 and uncompress).
#include "framework/io/CompressDeviceImp.h"

#include <zlib.h>

namespace QRV2 {

std::int32_t CompressDeviceImp::Dispose() {
    delete this;
    return 0;
}

std::int32_t CompressDeviceImp::Compress(void* destination, std::uint32_t* destinationLength,
                                         const void* source, std::uint32_t sourceLength) {
    if (destinationLength == nullptr) return Z_STREAM_ERROR;
    uLongf length = *destinationLength;
    int result = ::compress2(static_cast<Bytef*>(destination), &length,
                             static_cast<const Bytef*>(source), sourceLength, Z_BEST_COMPRESSION);
    if (result == Z_OK) *destinationLength = static_cast<std::uint32_t>(length);
    return result;
}

std::int32_t CompressDeviceImp::Uncompress(void* destination, std::uint32_t* destinationLength,
                                           const void* source, std::uint32_t sourceLength) {
    if (destinationLength == nullptr) return Z_STREAM_ERROR;
    uLongf length = *destinationLength;
    int result = ::uncompress(static_cast<Bytef*>(destination), &length,
                              static_cast<const Bytef*>(source), sourceLength);
    if (result == Z_OK) *destinationLength = static_cast<std::uint32_t>(length);
    return result;
}

}  // namespace QRV2
