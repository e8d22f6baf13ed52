// Stream: the one byte-stream interface (files, memory, compression), with its mode constants.
#pragma once

#include <cstdint>

namespace QRV2 {

// A secondary interface (interface id 12): no Element base; the view and the element are one
// object. All multi-byte values travel little-endian, as they lie in memory.
class Stream {
public:
    enum AccessMode : std::int32_t {
        AccessReadWrite = 0,  // read and write (the default of every stream)
        AccessRead = 1,
        AccessWrite = 2,
    };
    enum Usage : std::int32_t {
        UsageRandom = 1,      // accessed at random positions (0 means the same)
        UsageSequential = 2,  // read or written front to back
        UsageBufferOnly = 3,  // compression stream only: keep the bytes in memory
    };

    virtual ~Stream();
    // 0, or an error code (17: the operating system refused to open the file).
    virtual std::int32_t Open() = 0;
    // Non-zero when the stream is not open.
    virtual std::int32_t IsClosed() = 0;
    // 0, or 1 when the stream was not open (or closing failed).
    virtual std::int32_t Close() = 0;
    // The error state; 0 = none.
    virtual std::int32_t HasError() = 0;
    virtual std::int32_t GetSize(std::uint32_t* size) = 0;
    virtual std::int32_t GetPosition(std::uint32_t* position) = 0;
    virtual std::int32_t SetPosition(std::uint32_t position) = 0;
    virtual std::int32_t GetAccessMode() = 0;
    virtual std::int32_t SetAuxMode(std::int32_t value) = 0;
    virtual std::int32_t SetAccessMode(std::int32_t mode) = 0;
    virtual std::int32_t GetUsage() = 0;
    virtual std::int32_t SetUsage(std::int32_t usage) = 0;
    virtual std::int32_t GetAuxMode() = 0;
    // The Write and Read operations return the number of bytes transferred.
    virtual std::uint32_t Write16(std::uint16_t value) = 0;
    virtual std::uint32_t Write32(std::uint32_t value) = 0;
    virtual std::uint32_t Write32Alt(std::int32_t value) = 0;
    virtual std::uint32_t Write64(std::uint64_t value) = 0;
    virtual std::uint32_t Write(const void* data, std::uint32_t count) = 0;
    virtual std::uint32_t Read16(std::uint16_t* value) = 0;
    virtual std::uint32_t Read32(std::uint32_t* value) = 0;
    virtual std::uint32_t Read32Alt(std::int32_t* value) = 0;
    virtual std::uint32_t Read64(std::uint64_t* value) = 0;
    virtual std::uint32_t Read(void* data, std::uint32_t count) = 0;
};

}  // namespace QRV2
