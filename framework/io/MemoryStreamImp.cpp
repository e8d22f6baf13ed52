// MemoryStreamImp: a growable memory block read and written through the Stream interface.
#include "framework/io/MemoryStreamImp.h"

#include <cstring>

#include "framework/core/Allocator.h"

namespace QRV2 {

namespace {

constexpr std::uint32_t kFirstBlock = 4096;
// Blocks beyond this are outside the design; writes that would need more are refused.
constexpr std::uint64_t kLargestBlock = 0x80000000u;

std::uint64_t NextPow2(std::uint64_t x) {
    std::uint64_t p = 1;
    while (p < x) p <<= 1;
    return p;
}

}  // namespace

MemoryStreamImp::MemoryStreamImp(Core*) {}

std::int32_t MemoryStreamImp::Dispose() {
    Free(m_block);
    m_block = nullptr;
    delete this;
    return 0;
}

std::int32_t MemoryStreamImp::GetParam() { return 0; }
std::int32_t MemoryStreamImp::SetParam(std::int32_t) { return 0; }

void* MemoryStreamImp::GetInterface(std::int32_t interfaceId) {
    return interfaceId == InterfaceStream ? static_cast<Stream*>(this) : nullptr;
}

std::int32_t MemoryStreamImp::SetData(const void* data, std::uint32_t count) {
    if (data == nullptr && count != 0) return 1;
    std::uint8_t* block = static_cast<std::uint8_t*>(Allocate(count));
    if (block == nullptr) return 1;
    if (count != 0) std::memcpy(block, data, count);
    Free(m_block);
    m_block = block;
    m_capacity = count;
    m_length = count;
    return 0;
}

std::int32_t MemoryStreamImp::Open() { return 0; }
std::int32_t MemoryStreamImp::IsClosed() { return 0; }
std::int32_t MemoryStreamImp::Close() { return 0; }
std::int32_t MemoryStreamImp::HasError() { return 0; }

std::int32_t MemoryStreamImp::GetSize(std::uint32_t* size) {
    if (size != nullptr) *size = m_length;
    return 0;
}

std::int32_t MemoryStreamImp::GetPosition(std::uint32_t* position) {
    if (position != nullptr) *position = m_position;
    if (m_position < m_length) m_state = StateNormal;
    return 0;
}

std::int32_t MemoryStreamImp::SetPosition(std::uint32_t position) {
    m_position = position;
    if (m_position < m_length) m_state = StateNormal;
    return 0;
}

std::int32_t MemoryStreamImp::GetAccessMode() { return 0; }
std::int32_t MemoryStreamImp::SetAuxMode(std::int32_t) { return 1; }
std::int32_t MemoryStreamImp::SetAccessMode(std::int32_t) { return 1; }
std::int32_t MemoryStreamImp::GetUsage() { return 0; }
std::int32_t MemoryStreamImp::SetUsage(std::int32_t) { return 1; }
std::int32_t MemoryStreamImp::GetAuxMode() { return 0; }

std::uint32_t MemoryStreamImp::Write16(std::uint16_t value) { return Write(&value, 2); }
std::uint32_t MemoryStreamImp::Write32(std::uint32_t value) { return Write(&value, 4); }
std::uint32_t MemoryStreamImp::Write32Alt(std::int32_t value) { return Write(&value, 4); }
std::uint32_t MemoryStreamImp::Write64(std::uint64_t value) { return Write(&value, 8); }

std::uint32_t MemoryStreamImp::Write(const void* data, std::uint32_t count) {
    if (count == 0 || data == nullptr) return 0;
    std::uint64_t need = static_cast<std::uint64_t>(m_position) + count;
    if (need > kLargestBlock) return 0;
    if (m_block == nullptr && m_capacity == 0) {
        m_capacity =
            count < kFirstBlock ? kFirstBlock : static_cast<std::uint32_t>(NextPow2(count));
        m_block = static_cast<std::uint8_t*>(Allocate(m_capacity));
        if (m_block == nullptr) m_state = StateNoMemory;
    }
    // A first block that could not be had is not tried again.
    if (m_block == nullptr) return 0;
    if (m_state != StateNormal) return 0;

    if (need > m_capacity) {
        std::uint64_t grown = static_cast<std::uint64_t>(m_capacity) * 2;
        if (grown < need) grown = NextPow2(need);
        if (grown > kLargestBlock) grown = kLargestBlock;
        std::uint8_t* block = static_cast<std::uint8_t*>(Allocate(static_cast<std::size_t>(grown)));
        if (block == nullptr) {
            m_state = StateNoMemory;
            return 0;
        }
        // Only the data before the position survives the write; the position may lie beyond
        // the data (and beyond the old block), so copy no more than the data there is.
        std::uint32_t keep = m_position < m_length ? m_position : m_length;
        if (keep > 0) std::memcpy(block, m_block, keep);
        Free(m_block);
        m_block = block;
        m_capacity = static_cast<std::uint32_t>(grown);
    }
    // Bytes between the end of the data and a position set beyond it read as zeros.
    if (m_position > m_length) std::memset(m_block + m_length, 0, m_position - m_length);
    std::memcpy(m_block + m_position, data, count);
    m_position += count;
    if (m_position > m_length) m_length = m_position;
    return count;
}

std::uint32_t MemoryStreamImp::Read16(std::uint16_t* value) { return Read(value, 2); }
std::uint32_t MemoryStreamImp::Read32(std::uint32_t* value) { return Read(value, 4); }
std::uint32_t MemoryStreamImp::Read32Alt(std::int32_t* value) { return Read(value, 4); }
std::uint32_t MemoryStreamImp::Read64(std::uint64_t* value) { return Read(value, 8); }

std::uint32_t MemoryStreamImp::Read(void* data, std::uint32_t count) {
    if (m_position >= m_length || data == nullptr) return 0;
    if (static_cast<std::uint64_t>(m_position) + count >= m_length) {
        m_state = StateReadAtEnd;
        count = m_length - m_position;
    }
    std::memcpy(data, m_block + m_position, count);
    m_position += count;
    return count;
}

}  // namespace QRV2
