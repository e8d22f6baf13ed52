// ArchiveLayout: the archive file's header and directory reader and the writer's commit procedure.
#pragma once

#include <cstdint>

namespace QRV2 {

class ArchiveEntry;
class Stream;

// File layout: "QX11", version and sub-version (16-bit big-endian each), the directory tag
// "RAW\0", the directory size D (bytes from offset 8 to the end of the last record), the entry
// count N, N records (name length with its zero byte, name, zero byte, offset, stored size),
// then the data blocks. Every other integer is little-endian.
namespace ArchiveLayout {

constexpr std::uint16_t kDefaultVersion = 0x0200;
// Bytes before the directory tag: magic and the two version words.
constexpr std::uint32_t kPrefixSize = 8;
// Bytes of a data block's header: tag and content size.
constexpr std::uint32_t kBlockHeaderSize = 8;

struct Header {
    std::uint16_t version = 0;
    std::uint16_t subVersion = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t count = 0;
};

// Reads the header from offset 0 of file, leaving the position at the first record.
// 0; 1 when the magic is not "QX11" or the directory tag not "RAW\0" (a file too short for
// them fails the same way). No version value is rejected.
std::int32_t ReadHeader(Stream* file, Header* header);

// Reads one record at the file's position into entry through its IO view. 0; 1 when the
// record is cut short by the end of the file (the fields that could not be read stay 0).
std::int32_t ReadRecord(Stream* file, ArchiveEntry* entry);

// Reads the 8-byte header of the data block at offset: its 4 tag bytes and content size.
// 0; 1 when the block header cannot be read whole.
std::int32_t ReadBlockHeader(Stream* file, std::uint32_t offset, unsigned char tag[4],
                             std::uint32_t* contentSize);

// True when the entry's block is a well-formed block of empty content: a "RAW" block of size 0,
// or a "PAC" block of size 0 whose payload is a complete zlib stream of nothing (what the
// writer makes of an empty file). Such blocks are refused by the reading stream, which has no
// empty state, so extraction recognises them here to give back empty files.
bool IsEmptyBlock(Stream* file, ArchiveEntry* entry);

// True when the entry name can become a path below a destination folder: not empty, not
// absolute ("\" or "/" first), no drive, network or stream prefix (no ':' anywhere), and no
// ".." component (nor one of dots and spaces that Windows would read as "..").
bool IsSafeEntryName(const char* name);

// Measures the directory of these entries (tag, size, count and records): *size = D.
// 0; 1 when the measuring stream cannot be had or a record cannot be written.
std::int32_t MeasureDirectory(ArchiveEntry* const* entries, std::uint32_t count,
                              std::uint32_t* size);

// Turns a file holding only the entries' data blocks (offsets counted from 0) into a whole
// archive: measures the directory, shifts every entry's offset by D + 8, moves the data
// forward by D + 8 with two chunk buffers, writes header and directory in front and leaves
// the position at the new end, E + D + 8 (closing the file stream then cuts it there).
// Every read and write is checked. 0; 1 when no memory, the data would pass 4 GiB, or any
// read or write of the file falls short or fails (the file is then damaged and must not be
// reported as a good archive).
std::int32_t Commit(Stream* file, ArchiveEntry* const* entries, std::uint32_t count,
                    std::uint16_t version, std::uint16_t subVersion);

}  // namespace ArchiveLayout
}  // namespace QRV2
