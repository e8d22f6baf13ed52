// CompressStreamImp: memory-block rules, the data-block writer (Close) and reader (Open).
#include "framework/archive/CompressStreamImp.h"

#include <cstring>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/BlockCodec.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/io/CompressDevice.h"
#include "platform/Lock.h"

namespace QRV2 {

namespace {

constexpr std::uint32_t kFirstBlock = 4096;
// Sizes above 2^31 bytes are outside the design; growth beyond it counts as no memory.
constexpr std::uint32_t kLargestBlock = 0x80000000u;
using ArchiveFormat::Damage;

std::uint32_t NextPow2(std::uint32_t x) {
    std::uint32_t p = 1;
    while (p < x && p < kLargestBlock) p <<= 1;
    return p;
}

// Bytes the input still holds after its position; false when the stream cannot tell, in
// which case the reads themselves find a short block.
bool Remaining(Stream* input, std::uint32_t* remaining) {
    std::uint32_t size = 0;
    std::uint32_t position = 0;
    if (input->GetSize(&size) != 0) return false;
    if (input->GetPosition(&position) != 0) return false;
    *remaining = position <= size ? size - position : 0;
    return true;
}

}  // namespace

std::int32_t CompressStreamImp::Initialize() {
    m_device = CreateElementAs<CompressDevice>(TypeCompressDevice);
    if (m_device == nullptr) return 1;
    m_device->AddReference();
    return 0;
}

std::int32_t CompressStreamImp::Dispose() {
    Close();
    ReleaseElement(m_device);
    ResetBlock();
    delete this;
    return 0;
}

void* CompressStreamImp::GetInterface(std::int32_t interfaceId) {
    return interfaceId == InterfaceStream ? static_cast<Stream*>(this) : nullptr;
}

std::int32_t CompressStreamImp::SetInputStream(Stream* stream) {
    m_input = stream;
    return 0;
}

std::int32_t CompressStreamImp::SetOutputStream(Stream* stream) {
    m_output = stream;
    return 0;
}

std::int32_t CompressStreamImp::SetEntry(ArchiveEntry* entry) {
    m_entry = entry;
    return 0;
}

std::int32_t CompressStreamImp::SetStored(std::int32_t stored) {
    m_stored = stored;
    return 0;
}

void CompressStreamImp::ResetBlock() {
    Free(m_block);
    m_block = nullptr;
    m_capacity = 0;
    m_length = 0;
    m_position = 0;
    m_state = 0;
}

std::int32_t CompressStreamImp::Open() {
    if (m_status != 1) return 1;
    ResetBlock();
    if (m_usage == UsageBufferOnly) {
        m_status = 0;
        return 0;
    }
    std::int32_t result = 0;
    if (m_accessMode == AccessWrite || m_accessMode == AccessReadWrite) {
        if (m_output == nullptr) {
            result = 1;
        } else if (m_output->IsClosed() == 1) {
            result = m_output->Open();
        }
    }
    if (m_accessMode == AccessRead || m_accessMode == AccessReadWrite) {
        if (m_input == nullptr) {
            result = 1;
        } else if (result == 0) {
            if (m_input->IsClosed() == 1) result = m_input->Open();
            if (result == 0) result = ReadBlock(m_input) == Damage::None ? 0 : 1;
        }
    }
    if (result != 0) ResetBlock();
    m_status = result;
    m_position = 0;
    return result;
}

// The headerless form: the entry's stored size of bytes at its offset, as they are.
Damage CompressStreamImp::ReadStored(Stream* input) {
    const std::uint32_t size = m_entry->GetStoredSize();
    if (input->SetPosition(m_entry->GetOffset()) != 0) return Damage::BlockHeaderMissing;
    std::uint32_t remaining = 0;
    if (Remaining(input, &remaining) && size > remaining) return Damage::BlockCutShort;
    m_block = static_cast<unsigned char*>(Allocate(size));
    if (m_block == nullptr) return Damage::NoMemory;
    m_capacity = size;
    if (input->Read(m_block, size) != size || input->HasError() != 0) return Damage::ReadFailed;
    m_length = size;
    return Damage::None;
}

// The whole block in memory, as the archive element's readers expect; the content size is
// only an upper bound here (shorter content is accepted with its real length).
Damage CompressStreamImp::ReadBlock(Stream* input) {
    if (m_entry == nullptr) return Damage::None;  // nothing to read: open with empty data
    if (m_stored != 0) return ReadStored(input);
    unsigned char bytes[ArchiveFormat::kBlockHeaderSize];
    if (input->Read(bytes, sizeof bytes) != sizeof bytes) return Damage::BlockHeaderMissing;
    const ArchiveFormat::BlockHeader block = ArchiveFormat::DecodeBlockHeader(bytes);
    // Stricter than CheckBlock on purpose: the stream has no empty state to open with.
    if (block.contentSize == 0) return Damage::ContentShorter;
    const std::uint32_t storedSize = m_entry->GetStoredSize();
    std::uint32_t remaining = 0;
    const Damage damage = ArchiveFormat::CheckBlock(
        block, storedSize,
        Remaining(input, &remaining) ? remaining : ArchiveFormat::kAvailableUnknown);
    // Kept on purpose, unlike the checking reader: an unknown tag opens with empty data.
    if (damage == Damage::UnknownBlockTag) return Damage::None;
    if (damage != Damage::None) return damage;
    // Allocated only now that the size is known to be possible.
    m_block = static_cast<unsigned char*>(Allocate(block.contentSize));
    if (m_block == nullptr) return Damage::NoMemory;
    m_capacity = block.contentSize;
    if (block.Raw()) {
        // A "RAW" block cut short would hand out part of the content as if it were all of it.
        if (input->Read(m_block, block.contentSize) != block.contentSize)
            return Damage::BlockCutShort;
        m_length = block.contentSize;
        return Damage::None;
    }
    return Inflate(input, block.PayloadSize(storedSize));
}

// Reads the payload whole and inflates it into the block, whose capacity is the content size.
Damage CompressStreamImp::Inflate(Stream* input, std::uint32_t payloadSize) {
    void* payload = Allocate(payloadSize);
    if (payload == nullptr) return Damage::NoMemory;
    Damage result = Damage::BlockCutShort;
    if (input->Read(payload, payloadSize) == payloadSize) {
        std::uint32_t produced = m_capacity;
        std::int32_t code;
        {
            Platform::ProcessLockGuard lock;
            code = m_device->Uncompress(m_block, &produced, payload, payloadSize);
        }
        if (code == 0) {
            m_length = produced;
            result = Damage::None;
        } else {
            result = Damage::CompressedDataDamaged;
        }
    }
    Free(payload);
    return result;
}

std::int32_t CompressStreamImp::Close() {
    if (m_status != 0) {
        ResetBlock();
        m_entry = nullptr;
        return m_status;
    }
    std::int32_t result = 0;
    bool writes = m_accessMode == AccessWrite || m_accessMode == AccessReadWrite;
    if (m_usage != UsageBufferOnly && writes) {
        // Content that lost bytes for want of memory must not become a block that looks whole.
        result = m_state == 2 ? 1 : WriteBlock(m_output);
    }
    m_status = 1;
    ResetBlock();
    m_entry = nullptr;
    return result;
}

// Every write is checked: a block that did not reach the output whole must not pass as written.
std::int32_t CompressStreamImp::WriteBlock(Stream* output) {
    if (output == nullptr) return 1;
    if (m_stored != 0) {
        if (m_block == nullptr) return 1;
        if (output->Write(m_block, m_length) != m_length) return 1;
        return output->HasError() != 0 ? 1 : 0;
    }
    // The compression gets 1.5 times the content, at least 384 bytes: always enough for zlib,
    // and for the content itself should compression fail.
    std::uint32_t room = m_length < 256 ? 256 : m_length;
    if (room > kLargestBlock) return 1;
    room += room / 2;
    const std::uint32_t blockRoom = ArchiveFormat::kBlockHeaderSize + room;
    unsigned char* block = static_cast<unsigned char*>(Allocate(blockRoom));
    if (block == nullptr) return 1;
    const std::uint32_t size =
        ArchiveFormat::EncodeBlock(m_device, m_block, m_length, block, blockRoom);
    const bool ok = size != 0 && output->Write(block, size) == size;
    Free(block);
    return ok && output->HasError() == 0 ? 0 : 1;
}

std::int32_t CompressStreamImp::GetSize(std::uint32_t* size) {
    if (size != nullptr) *size = m_length;
    return 0;
}

std::int32_t CompressStreamImp::GetPosition(std::uint32_t* position) {
    if (m_status != 0) return 1;
    if (position != nullptr) *position = m_position;
    if (m_position < m_length) m_state = 0;
    return 0;
}

std::int32_t CompressStreamImp::SetPosition(std::uint32_t position) {
    if (m_status != 0 || position > m_length) return 1;
    m_position = position;
    if (m_position < m_length) m_state = 0;
    return 0;
}

std::int32_t CompressStreamImp::SetAuxMode(std::int32_t value) {
    if (m_status != 1) return 1;
    m_auxMode = value;
    return 0;
}

std::int32_t CompressStreamImp::SetAccessMode(std::int32_t mode) {
    if (m_status != 1) return 1;
    m_accessMode = mode;
    return 0;
}

std::int32_t CompressStreamImp::SetUsage(std::int32_t usage) {
    if (m_status != 1) return 1;
    m_usage = usage;
    return 0;
}

std::uint32_t CompressStreamImp::Write(const void* data, std::uint32_t count) {
    if (m_status != 0) return 0;
    if (m_block == nullptr && m_capacity == 0) {
        m_capacity = count < kFirstBlock ? kFirstBlock : NextPow2(count);
        if (count > kLargestBlock) {
            m_state = 2;
        } else {
            m_block = static_cast<unsigned char*>(Allocate(m_capacity));
            if (m_block == nullptr) m_state = 2;
        }
    }
    if (m_block == nullptr) return 0;  // a block that failed once is not tried again
    if (m_state != 0) return 0;
    std::uint64_t need = static_cast<std::uint64_t>(m_position) + count;
    if (need > m_capacity) {
        if (need > kLargestBlock) {
            m_state = 2;
            return 0;
        }
        std::uint64_t grown = static_cast<std::uint64_t>(m_capacity) * 2;
        std::uint32_t capacity = grown < need || grown > kLargestBlock
                                     ? NextPow2(static_cast<std::uint32_t>(need))
                                     : static_cast<std::uint32_t>(grown);
        unsigned char* block = static_cast<unsigned char*>(Allocate(capacity));
        if (block == nullptr) {
            m_state = 2;
            return 0;
        }
        std::memcpy(block, m_block, m_position < m_length ? m_position : m_length);
        Free(m_block);
        m_block = block;
        m_capacity = capacity;
    }
    if (m_position > m_length) std::memset(m_block + m_length, 0, m_position - m_length);
    if (count != 0) std::memcpy(m_block + m_position, data, count);
    m_position += count;
    if (m_position > m_length) m_length = m_position;
    return count;
}

std::uint32_t CompressStreamImp::Read(void* data, std::uint32_t count) {
    if (m_status != 0 || m_state != 0) return 0;
    if (m_position >= m_length) return 0;
    if (static_cast<std::uint64_t>(m_position) + count >= m_length) {
        m_state = 1;
        count = m_length - m_position;
    }
    if (count != 0) std::memcpy(data, m_block + m_position, count);
    m_position += count;
    return count;
}

std::uint32_t CompressStreamImp::Write16(std::uint16_t value) { return Write(&value, 2); }
std::uint32_t CompressStreamImp::Write32(std::uint32_t value) { return Write(&value, 4); }
std::uint32_t CompressStreamImp::Write32Alt(std::int32_t value) { return Write(&value, 4); }
std::uint32_t CompressStreamImp::Write64(std::uint64_t value) { return Write(&value, 8); }
std::uint32_t CompressStreamImp::Read16(std::uint16_t* value) { return Read(value, 2); }
std::uint32_t CompressStreamImp::Read32(std::uint32_t* value) { return Read(value, 4); }
std::uint32_t CompressStreamImp::Read32Alt(std::int32_t* value) { return Read(value, 4); }
std::uint32_t CompressStreamImp::Read64(std::uint64_t* value) { return Read(value, 8); }

}  // namespace QRV2
