// ArchiveFormat: the one place that knows the archive file's bytes: header, records, limits.
#pragma once

#include <cstdint>

namespace QRV2 {

class ArchiveEntry;
class Stream;

// File layout: "QX11", version and sub-version (16-bit big-endian each), the directory tag
// "RAW\0", the directory size D (bytes from offset 8 to the end of the last record), the entry
// count N, N records (name length with its zero byte, name, zero byte, offset, stored size),
// then the data blocks. A data block is a tag ("PAC\0" or "RAW\0"), the content size, then a
// zlib stream ("PAC") or the content itself ("RAW"). Every other integer is little-endian.
// The compression stream, the archive element and the command-line tool all take the layout
// from here, so nothing else spells a tag, a size or a limit. One data block is coded and
// checked in BlockCodec.h; entries are read in bounded pieces through ContentReader.h.
namespace ArchiveFormat {

constexpr std::uint16_t kDefaultVersion = 0x0200;
// Bytes before the directory tag: magic and the two version words.
constexpr std::uint32_t kPrefixSize = 8;
// Directory tag, directory size and entry count: D counts these plus the records.
constexpr std::uint32_t kDirectoryFixedSize = 12;
// Bytes of a data block's header: tag and content size.
constexpr std::uint32_t kBlockHeaderSize = 8;
// A record without its name bytes: name length, offset, stored size.
constexpr std::uint32_t kRecordFixedSize = 10;
// A name's bytes, its zero byte not counted: the 16-bit length field also counts the zero.
constexpr std::uint32_t kMaxNameLength = 65534;
// Offsets and sizes are 32-bit: no content, block or whole archive may pass this.
constexpr std::uint64_t kMaxSize = 0xFFFFFFFFull;
// Deflate turns one byte of compressed data into at most about 1032 bytes, so a "PAC" block
// whose content size exceeds its payload times this bound is damaged, whatever it holds.
constexpr std::uint64_t kMaxInflateRatio = 1032;
// The separator between a name's path components.
constexpr char kNameSeparator = '\\';

extern const unsigned char kMagic[4];
extern const unsigned char kDirectoryTag[4];
extern const unsigned char kTagPacked[4];
extern const unsigned char kTagRaw[4];

// Every way an archive or one of its entries can be damaged or fail to read. Element
// operations turn these into their specified codes; the tool explains them with Explain.
enum class Damage : int {
    None = 0,
    NotAnArchive,            // no "QX11" at the start (also a file shorter than 4 bytes)
    BadDirectoryTag,         // no "RAW\0" at offset 8 (also a file shorter than 12 bytes)
    DirectoryCutShort,       // the file ends inside the records
    DirectorySizeWrong,      // the records do not end where the header's directory size says
    OffsetInsideDirectory,   // a record's block offset points into the header or directory
    BlockHeaderMissing,      // the file ends before the block's 8 header bytes
    UnknownBlockTag,         // neither "PAC\0" nor "RAW\0"
    StoredSizeTooSmall,      // a "PAC" block of 8 bytes or less cannot hold a zlib stream
    BlockCutShort,           // the block runs past the end of the file
    ImpossibleContentSize,   // more content than the payload could ever inflate to
    CompressedDataDamaged,   // zlib refused the payload: bad deflate data or Adler-32
    CompressedDataCutShort,  // the payload ended before the zlib stream did
    ContentShorter,          // the content is shorter than its block declares
    ContentLonger,           // the content is longer than its block declares
    NoMemory,
    ReadFailed,   // the system refused a read of the archive
    WriteFailed,  // the content could not be handed on (the receiver refused it)
};

// A short text for the reason, without a trailing period ("unknown block tag").
const char* Explain(Damage damage);

struct Header {
    std::uint16_t version = 0;
    std::uint16_t subVersion = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t count = 0;
    // Where the data region begins by the header's own account, D + 8, in 64 bits: a damaged
    // D near 4 GiB must not wrap round to a small offset.
    std::uint64_t DataStart() const {
        return static_cast<std::uint64_t>(directorySize) + kPrefixSize;
    }
};

// The 8 header bytes of the file: magic and the two version words, high byte first.
void EncodePrefix(unsigned char out[8], std::uint16_t version, std::uint16_t subVersion);

// Reads the header from offset 0 of file, leaving the position at the first record.
// NotAnArchive or BadDirectoryTag (a file too short for them fails the same way); no version
// value is rejected.
Damage ReadHeader(Stream* file, Header* header);

// Reads one record at the file's position into entry through its IO view. DirectoryCutShort
// when the file ends inside it (the fields that could not be read stay 0).
Damage ReadRecord(Stream* file, ArchiveEntry* entry);

// Receives the records of a directory as they are read.
class DirectorySink {
public:
    // Takes over one reference to entry; false (entry released by the sink) stops the read.
    virtual bool Add(ArchiveEntry* entry) = 0;

protected:
    ~DirectorySink() = default;
};

// Reads the header and then the records into sink. The count may be anything in a damaged
// file, so the read stops at the first record the file ends inside (that record is still
// handed over, with what could be read of it) and never makes up further ones: the result is
// then DirectoryCutShort, yet the directory read so far is usable. *dataStart gets the
// position after the last record read, where no block may begin before.
// None; NotAnArchive; BadDirectoryTag; DirectoryCutShort; NoMemory (an entry could not be
// made or the sink refused it).
Damage ReadDirectory(Stream* file, Header* header, DirectorySink* sink, std::uint32_t* dataStart);

// Both separators count wherever a name becomes a path; a name comparison still tells them apart.
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where name goes on after prefix, the separators that follow the prefix skipped; null when
// name does not begin with prefix (ASCII letter case ignored, "\" and "/" told apart as in any
// name comparison). With wholeComponents the prefix must also end where a component does:
// "sub" then takes "sub\b.txt" and "sub" itself, but not "subway.txt".
const char* AfterPrefix(const char* name, const char* prefix, bool wholeComponents);

// True when the entry name can become a path below a destination folder: not empty, not
// absolute ("\" or "/" first), no drive, network or stream prefix (no ':' anywhere), and no
// ".." component (nor one of dots and spaces that Windows would read as "..").
bool IsSafeEntryName(const char* name);

// Measures the directory of these entries (tag, size, count and records): *size = D.
// None; NoMemory when the measuring stream cannot be had or a record cannot be written.
Damage MeasureDirectory(ArchiveEntry* const* entries, std::uint32_t count, std::uint32_t* size);

// Writes at the stream's position what stands in front of the data blocks: "QX11", the version
// words, then the directory (tag, directorySize as measured by MeasureDirectory, count and the
// records with their final offsets). true when every byte went out.
bool WriteFront(Stream* out, ArchiveEntry* const* entries, std::uint32_t count,
                std::uint32_t directorySize, std::uint16_t version, std::uint16_t subVersion);

// Turns a file holding only the entries' data blocks (offsets counted from 0) into a whole
// archive: measures the directory, shifts every entry's offset by D + 8, moves the data
// forward by D + 8 with two chunk buffers, writes header and directory in front and leaves
// the position at the new end, E + D + 8 (closing the file stream then cuts it there).
// Every read and write is checked. 0; 1 when no memory, the data would pass 4 GiB, or any
// read or write of the file falls short or fails (the file is then damaged and must not be
// reported as a good archive).
std::int32_t Commit(Stream* file, ArchiveEntry* const* entries, std::uint32_t count,
                    std::uint16_t version, std::uint16_t subVersion);

}  // namespace ArchiveFormat
}  // namespace QRV2
