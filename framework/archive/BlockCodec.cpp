// BlockCodec: block headers, laying a block out (packed, or stored when compression fails), the
// checks every reader makes of a block.
#include "framework/archive/BlockCodec.h"

#include <cstring>

#include "framework/archive/LittleEndian.h"
#include "framework/containers/Stream.h"
#include "framework/io/CompressDevice.h"

namespace QRV2 {
namespace ArchiveFormat {

bool BlockHeader::Packed() const { return std::memcmp(tag, kTagPacked, 4) == 0; }
bool BlockHeader::Raw() const { return std::memcmp(tag, kTagRaw, 4) == 0; }

std::uint32_t BlockHeader::PayloadSize(std::uint32_t storedSize) const {
    if (Raw()) return contentSize;
    return storedSize > kBlockHeaderSize ? storedSize - kBlockHeaderSize : 0;
}

void EncodeBlockHeader(unsigned char out[8], bool packed, std::uint32_t contentSize) {
    std::memcpy(out, packed ? kTagPacked : kTagRaw, 4);
    LittleEndian::Put32(out + 4, contentSize);
}

BlockHeader DecodeBlockHeader(const unsigned char in[8]) {
    BlockHeader block;
    std::memcpy(block.tag, in, 4);
    block.contentSize = LittleEndian::Get32(in + 4);
    return block;
}

std::uint32_t EncodeBlock(CompressDevice* device, const unsigned char* content, std::uint32_t size,
                          unsigned char* out, std::uint32_t room) {
    if (out == nullptr || room < kBlockHeaderSize || room - kBlockHeaderSize < size) return 0;
    static const unsigned char kNothing = 0;
    const unsigned char* from = content != nullptr ? content : &kNothing;
    unsigned char* payload = out + kBlockHeaderSize;
    std::uint32_t length = room - kBlockHeaderSize;
    const bool packed = device != nullptr && device->Compress(payload, &length, from, size) == 0;
    if (!packed) {
        if (size != 0) std::memcpy(payload, from, size);
        length = size;
    }
    EncodeBlockHeader(out, packed, size);
    return kBlockHeaderSize + length;
}

void BlockEncoder::Begin(std::uint32_t contentSize, unsigned char header[8]) {
    m_packed = m_deflater.Begin();
    EncodeBlockHeader(header, m_packed, contentSize);
}

BlockEncoder::Result BlockEncoder::Put(const unsigned char* content, std::uint32_t count, bool last,
                                       std::uint32_t* consumed, unsigned char* out,
                                       std::uint32_t room, std::uint32_t* produced) {
    if (!m_packed) {
        const std::uint32_t n = count < room ? count : room;
        if (n != 0) std::memcpy(out, content, n);
        *consumed = n;
        *produced = n;
        return last && n == count ? Done : More;
    }
    switch (m_deflater.Run(content, count, consumed, out, room, produced, last)) {
        case Deflater::StreamEnd: return Done;
        case Deflater::Progress: return More;
        default: return NoMemory;
    }
}

Damage CheckBlock(const BlockHeader& block, std::uint32_t storedSize, std::uint64_t available) {
    if (block.Raw()) return block.contentSize > available ? Damage::BlockCutShort : Damage::None;
    if (!block.Packed()) return Damage::UnknownBlockTag;
    if (storedSize <= kBlockHeaderSize) return Damage::StoredSizeTooSmall;
    const std::uint32_t payloadSize = block.PayloadSize(storedSize);
    if (payloadSize > available) return Damage::BlockCutShort;
    if (block.contentSize > static_cast<std::uint64_t>(payloadSize) * kMaxInflateRatio)
        return Damage::ImpossibleContentSize;
    return Damage::None;
}

Damage ReadBlockHeader(Stream* file, std::uint32_t offset, BlockHeader* block) {
    unsigned char bytes[kBlockHeaderSize];
    if (file == nullptr || file->SetPosition(offset) != 0) return Damage::BlockHeaderMissing;
    if (file->Read(bytes, kBlockHeaderSize) != kBlockHeaderSize) return Damage::BlockHeaderMissing;
    *block = DecodeBlockHeader(bytes);
    return Damage::None;
}

}  // namespace ArchiveFormat
}  // namespace QRV2
