// BufferImp: exact-size byte storage, resizing and appending, and the 32-bit-counted stream form.
#include "framework/containers/BufferImp.h"

#include <cstring>

#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"

namespace QRV2 {

namespace {
// ReadFrom allocates a declared size up to this at once; beyond it the array grows as the bytes
// actually arrive, so a corrupt size cannot demand gigabytes from a stream of a few bytes.
constexpr std::uint32_t kReadStep = 1u << 20;
}  // namespace

BufferImp::BufferImp(Core*) {}

std::int32_t BufferImp::Dispose() {
    Free(m_data);
    m_data = nullptr;
    m_size = 0;
    delete this;
    return 0;
}

void* BufferImp::GetInterface(std::int32_t interfaceId) {
    if (interfaceId == InterfaceCrunch) return static_cast<Crunch*>(this);
    if (interfaceId == InterfaceIO) return static_cast<IO*>(this);
    return nullptr;
}

void BufferImp::Take(std::uint8_t* data, std::uint32_t size) {
    Free(m_data);
    m_data = size == 0 ? nullptr : data;
    m_size = size;
    if (size == 0) Free(data);
}

std::uint8_t* BufferImp::GetData() { return m_data; }

std::uint32_t BufferImp::GetSize() { return m_size; }

std::int32_t BufferImp::Resize(std::uint32_t size) {
    if (size == m_size) return 0;
    if (size == 0) {
        Take(nullptr, 0);
        return 0;
    }
    auto* grown = static_cast<std::uint8_t*>(Allocate(size));
    if (grown == nullptr) return 2;
    std::uint32_t kept = size < m_size ? size : m_size;
    if (kept != 0) std::memcpy(grown, m_data, kept);
    std::memset(grown + kept, 0, size - kept);
    Take(grown, size);
    return 0;
}

std::int32_t BufferImp::SetData(const void* source, std::uint32_t count) {
    if (source == nullptr) return count == 0 ? Resize(0) : 1;
    if (count == 0) {
        Take(nullptr, 0);
        return 0;
    }
    if (count == m_size) {
        std::memmove(m_data, source, count);  // the source may overlap the content
        return 0;
    }
    auto* fresh = static_cast<std::uint8_t*>(Allocate(count));
    if (fresh == nullptr) return 2;
    std::memcpy(fresh, source, count);
    Take(fresh, count);
    return 0;
}

std::int32_t BufferImp::AppendData(const void* source, std::uint32_t count) {
    if (source == nullptr) return count > 0 ? 1 : 0;
    if (count == 0) return 0;
    if (count > UINT32_MAX - m_size) return 2;
    std::uint32_t size = m_size + count;
    auto* grown = static_cast<std::uint8_t*>(Allocate(size));
    if (grown == nullptr) return 2;
    if (m_size != 0) std::memcpy(grown, m_data, m_size);
    // Copied before the old array goes, so appending (part of) the buffer to itself works.
    std::memcpy(grown + m_size, source, count);
    Take(grown, size);
    return 0;
}

std::int32_t BufferImp::QueryCrunch(void*, std::int32_t code) { return code == 2 ? 0 : 8; }

std::int32_t BufferImp::ApplyCrunch(void*, std::int32_t) { return 0; }

std::int32_t BufferImp::GetCrunchId() { return m_crunchId; }

void BufferImp::SetCrunchId(std::int32_t id) { m_crunchId = id; }

std::int32_t BufferImp::CompareContent(Element* other) {
    if (other == nullptr || other->GetTypeId() != TypeBuffer) return 1;
    auto* theirs = static_cast<Buffer*>(other);
    const std::uint8_t* data = theirs->GetData();
    if (theirs->GetSize() != m_size || m_data == nullptr || data == nullptr) return 1;
    return std::memcmp(m_data, data, m_size) == 0 ? 0 : 1;
}

std::int32_t BufferImp::ReadFrom(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    std::uint8_t prefix[4] = {0, 0, 0, 0};
    stream->Read(prefix, 4);
    std::uint32_t declared = prefix[0] | (static_cast<std::uint32_t>(prefix[1]) << 8) |
                             (static_cast<std::uint32_t>(prefix[2]) << 16) |
                             (static_cast<std::uint32_t>(prefix[3]) << 24);
    if (declared == 0) {
        Take(nullptr, 0);
        return 0;
    }
    // Read into a separate array, so a failure leaves the old content in place.
    std::uint32_t capacity = declared < kReadStep ? declared : kReadStep;
    auto* array = static_cast<std::uint8_t*>(Allocate(capacity));
    if (array == nullptr) return 1;
    std::uint32_t filled = 0;
    for (;;) {
        std::uint32_t want = capacity - filled;
        std::uint32_t got = stream->Read(array + filled, want);
        if (got != want) {
            Free(array);
            return 1;
        }
        filled = capacity;
        if (filled == declared) break;
        std::uint32_t next = declared - capacity < capacity ? declared : capacity * 2;
        auto* grown = static_cast<std::uint8_t*>(Allocate(next));
        if (grown == nullptr) {
            Free(array);
            return 1;
        }
        std::memcpy(grown, array, filled);
        Free(array);
        array = grown;
        capacity = next;
    }
    Take(array, declared);
    return 0;
}

std::int32_t BufferImp::WriteTo(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    std::uint8_t prefix[4] = {static_cast<std::uint8_t>(m_size & 0xFF),
                              static_cast<std::uint8_t>((m_size >> 8) & 0xFF),
                              static_cast<std::uint8_t>((m_size >> 16) & 0xFF),
                              static_cast<std::uint8_t>((m_size >> 24) & 0xFF)};
    stream->Write(prefix, 4);
    if (m_size != 0) stream->Write(m_data, m_size);
    return stream->HasError();
}

}  // namespace QRV2
