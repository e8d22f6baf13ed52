// One sample of the four typed stream values, written and read back the same way by every
// stream's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "framework/containers/Stream.h"

namespace QRV2Test {

// Writes 0x1234, 0xA1B2C3D4, -2 and 0x0102030405060708 (18 bytes) with the typed writes.
inline void WriteTypedSample(QRV2::Stream* stream) {
    EXPECT_EQ(stream->Write16(0x1234), 2u);
    EXPECT_EQ(stream->Write32(0xA1B2C3D4u), 4u);
    EXPECT_EQ(stream->Write32Alt(-2), 4u);
    EXPECT_EQ(stream->Write64(0x0102030405060708ull), 8u);
}

// Reads the sample back from the stream's position with the typed reads.
inline void ExpectTypedSample(QRV2::Stream* stream) {
    std::uint16_t v16 = 0;
    std::uint32_t v32 = 0;
    std::int32_t s32 = 0;
    std::uint64_t v64 = 0;
    EXPECT_EQ(stream->Read16(&v16), 2u);
    EXPECT_EQ(stream->Read32(&v32), 4u);
    EXPECT_EQ(stream->Read32Alt(&s32), 4u);
    EXPECT_EQ(stream->Read64(&v64), 8u);
    EXPECT_EQ(v16, 0x1234);
    EXPECT_EQ(v32, 0xA1B2C3D4u);
    EXPECT_EQ(s32, -2);
    EXPECT_EQ(v64, 0x0102030405060708ull);
}

}  // namespace QRV2Test
