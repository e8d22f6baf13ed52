// BlockCodec: one data block: its header, the packed-or-stored choice, the checks before reading.
#pragma once

#include <cstdint>

#include "framework/archive/ArchiveFormat.h"
#include "framework/io/CompressDevice.h"

namespace QRV2 {

class CompressDevice;
class Stream;

// A data block is a tag ("PAC\0" or "RAW\0"), the content size (32-bit little-endian), then a
// zlib stream ("PAC") or the content itself ("RAW"). Every writer lays blocks out with
// EncodeBlock and every reader checks one with CheckBlock before it touches the content, so
// the archive element, its entry stream and the command-line tool agree on every block.
namespace ArchiveFormat {

struct BlockHeader {
    unsigned char tag[4] = {0, 0, 0, 0};
    std::uint32_t contentSize = 0;
    bool Packed() const;
    bool Raw() const;
    // Bytes behind the header: the content for "RAW", the stored size less the header for
    // "PAC" (whose record alone knows how long its zlib stream is). 0 when there are none.
    std::uint32_t PayloadSize(std::uint32_t storedSize) const;
};
void EncodeBlockHeader(unsigned char out[8], bool packed, std::uint32_t contentSize);
BlockHeader DecodeBlockHeader(const unsigned char in[8]);

// Lays out at out (room bytes) the data block of size bytes of content: the header and the
// zlib stream of the content, compressed in one call at level 9 with room less the header as
// its destination, or, should compression fail, the header and the content as it is. content
// may be null when size is 0. The block's size, header included; 0 when room cannot take the
// stored form (size plus the header), so the fallback always fits where a block is laid out.
std::uint32_t EncodeBlock(CompressDevice* device, const unsigned char* content, std::uint32_t size,
                          unsigned char* out, std::uint32_t room);

// Lays a data block out piece by piece, for content too large to hold whole: the same bytes
// as EncodeBlock gives for the whole content (zlib's stream does not depend on how its input
// is divided), or the stored form when no compressor can be had.
class BlockEncoder {
public:
    enum Result { More, Done, NoMemory };
    // Starts the block of contentSize bytes of content; its 8 header bytes go to header.
    void Begin(std::uint32_t contentSize, unsigned char header[8]);
    bool Packed() const { return m_packed; }
    // Takes up to count bytes of content (last: they are all that is left of it) and lays
    // block bytes into out (room bytes); *consumed and *produced count them. Done once the
    // last content has been taken and the block is complete; More while it needs more content
    // or more room.
    Result Put(const unsigned char* content, std::uint32_t count, bool last,
               std::uint32_t* consumed, unsigned char* out, std::uint32_t room,
               std::uint32_t* produced);

private:
    Deflater m_deflater;
    bool m_packed = false;
};

// For CheckBlock: the source cannot tell how many bytes it holds (the reads then find a block
// cut short).
constexpr std::uint64_t kAvailableUnknown = ~static_cast<std::uint64_t>(0);

// What a block must be before its content is read, from its header, its record's stored size
// and the bytes the source holds behind the header: a "RAW" block holds its content; a "PAC"
// block is longer than its header, lies inside the source and declares no more content than
// its payload could inflate to (so no reader allocates for a size that cannot be real). Empty
// content is well-formed here. None; BlockCutShort; UnknownBlockTag; StoredSizeTooSmall;
// ImpossibleContentSize.
Damage CheckBlock(const BlockHeader& block, std::uint32_t storedSize, std::uint64_t available);

// Reads the 8-byte header of the data block at offset. BlockHeaderMissing when it cannot be
// read whole.
Damage ReadBlockHeader(Stream* file, std::uint32_t offset, BlockHeader* block);

}  // namespace ArchiveFormat
}  // namespace QRV2
