// VectorStream: a test-only Stream over a byte vector that behaves like an open file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/containers/Stream.h"

namespace QRV2Test {

// Writes overwrite or extend at the position, reads stop at the end (a short Read or Write
// sets the error flag, as the file stream does), seeks go anywhere and clear the error.
// Two ways to stage a full device: writeLimit caps the size writes may reach, writeBudget
// caps the total bytes that writes may store (overwrites included).
class VectorStream : public QRV2::Stream {
public:
    VectorStream() = default;
    explicit VectorStream(std::vector<std::uint8_t> initial) : bytes(std::move(initial)) {}

    std::vector<std::uint8_t> bytes;
    std::uint32_t position = 0;
    std::int32_t error = 0;
    std::int32_t closed = 0;
    std::size_t writeLimit = SIZE_MAX;
    std::uint64_t writeBudget = UINT64_MAX;
    std::uint64_t written = 0;

    std::int32_t Open() override {
        closed = 0;
        return 0;
    }
    std::int32_t IsClosed() override { return closed; }
    std::int32_t Close() override {
        if (closed) return 1;
        closed = 1;
        return 0;
    }
    std::int32_t HasError() override { return error; }
    std::int32_t GetSize(std::uint32_t* size) override {
        if (size == nullptr) return 1;
        *size = static_cast<std::uint32_t>(bytes.size());
        return 0;
    }
    std::int32_t GetPosition(std::uint32_t* out) override {
        if (out == nullptr) return 1;
        *out = position;
        return 0;
    }
    std::int32_t SetPosition(std::uint32_t to) override {
        position = to;
        error = 0;
        return 0;
    }
    std::int32_t GetAccessMode() override { return AccessReadWrite; }
    std::int32_t SetAuxMode(std::int32_t) override { return 1; }
    std::int32_t SetAccessMode(std::int32_t) override { return 1; }
    std::int32_t GetUsage() override { return UsageRandom; }
    std::int32_t SetUsage(std::int32_t) override { return 1; }
    std::int32_t GetAuxMode() override { return 0; }

    std::uint32_t Write16(std::uint16_t v) override { return Write(&v, 2); }
    std::uint32_t Write32(std::uint32_t v) override { return Write(&v, 4); }
    std::uint32_t Write32Alt(std::int32_t v) override { return Write(&v, 4); }
    std::uint32_t Write64(std::uint64_t v) override { return Write(&v, 8); }
    std::uint32_t Write(const void* data, std::uint32_t count) override {
        std::uint64_t room = writeLimit > position ? writeLimit - position : 0;
        if (writeBudget - written < room) room = writeBudget - written;
        std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, room));
        if (n < count) error = 1;
        if (n == 0) return 0;
        if (bytes.size() < position + static_cast<std::size_t>(n)) bytes.resize(position + n);
        std::memcpy(bytes.data() + position, data, n);
        position += n;
        written += n;
        return n;
    }
    std::uint32_t Read16(std::uint16_t* v) override { return ReadTyped(v, 2); }
    std::uint32_t Read32(std::uint32_t* v) override { return ReadTyped(v, 4); }
    std::uint32_t Read32Alt(std::int32_t* v) override { return ReadTyped(v, 4); }
    std::uint32_t Read64(std::uint64_t* v) override { return ReadTyped(v, 8); }
    std::uint32_t Read(void* data, std::uint32_t count) override {
        std::uint32_t n = ReadTyped(data, count);
        if (n < count) error = 1;
        return n;
    }

private:
    // Typed reads of the file stream: at the end nothing is read and no error is raised.
    std::uint32_t ReadTyped(void* v, std::uint32_t width) {
        std::size_t left = bytes.size() > position ? bytes.size() - position : 0;
        std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(width, left));
        if (n != 0) std::memcpy(v, bytes.data() + position, n);
        position += n;
        return n;
    }
};

}  // namespace QRV2Test
