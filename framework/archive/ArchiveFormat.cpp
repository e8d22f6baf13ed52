// ArchiveFormat: header, record and block reading and checking, directory measuring, the commit.
#include "framework/archive/ArchiveFormat.h"

#include <cstring>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/CompressStream.h"
#include "framework/containers/IO.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/io/CompressDevice.h"
#include "platform/Lock.h"
#include "platform/Memory.h"

namespace QRV2 {
namespace ArchiveFormat {

const unsigned char kMagic[4] = {'Q', 'X', '1', '1'};
const unsigned char kDirectoryTag[4] = {'R', 'A', 'W', 0};
const unsigned char kTagPacked[4] = {'P', 'A', 'C', 0};
const unsigned char kTagRaw[4] = {'R', 'A', 'W', 0};

namespace {

constexpr std::uint32_t kMinimumChunk = 4096;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::uint32_t ChunkSize(std::uint32_t headerAndDirectory) {
    std::uint32_t c = 1;
    while (c < headerAndDirectory) c <<= 1;
    return c < kMinimumChunk ? kMinimumChunk : c;
}

// Writes tag, D, N and the records; true when every byte went out.
bool WriteDirectory(Stream* out, std::uint32_t directorySize, ArchiveEntry* const* entries,
                    std::uint32_t count) {
    bool ok = out->Write(kDirectoryTag, 4) == 4 && out->Write32(directorySize) == 4 &&
              out->Write32(count) == 4;
    for (std::uint32_t i = 0; ok && i < count; ++i) {
        IO* io = InterfaceOf<IO>(entries[i], InterfaceIO);
        ok = io != nullptr && io->WriteTo(out, 0) == 0;
    }
    return ok && out->HasError() == 0;
}

bool ReadAt(Stream* file, std::uint32_t position, void* into, std::uint32_t count) {
    return file->SetPosition(position) == 0 && file->Read(into, count) == count;
}

bool WriteAt(Stream* file, std::uint32_t position, const void* from, std::uint32_t count) {
    return file->SetPosition(position) == 0 && file->Write(from, count) == count &&
           file->HasError() == 0;
}

}  // namespace

const char* Explain(Damage damage) {
    switch (damage) {
        case Damage::None: return "no damage";
        case Damage::NotAnArchive: return "not an archive (no \"QX11\" at the start)";
        case Damage::BadDirectoryTag: return "not an archive (bad directory tag)";
        case Damage::DirectoryCutShort: return "directory cut short (archive truncated)";
        case Damage::OffsetInsideDirectory:
            return "record damaged (block offset inside the directory)";
        case Damage::BlockHeaderMissing: return "block header missing (archive cut short)";
        case Damage::UnknownBlockTag: return "unknown block tag";
        case Damage::StoredSizeTooSmall: return "stored size too small for a compressed block";
        case Damage::BlockCutShort: return "block cut short";
        case Damage::ImpossibleContentSize:
            return "content size impossible for its compressed data";
        case Damage::CompressedDataDamaged: return "compressed data damaged (bad data or checksum)";
        case Damage::CompressedDataCutShort: return "compressed data cut short";
        case Damage::ContentShorter: return "content shorter than its block declares";
        case Damage::ContentLonger: return "content longer than its block declares";
        case Damage::NoMemory: return "out of memory";
        case Damage::ReadFailed: return "read failed";
        case Damage::WriteFailed: return "content could not be written";
    }
    return "damaged";
}

void EncodePrefix(unsigned char out[8], std::uint16_t version, std::uint16_t subVersion) {
    std::memcpy(out, kMagic, 4);
    out[4] = static_cast<unsigned char>(version >> 8);
    out[5] = static_cast<unsigned char>(version & 0xFF);
    out[6] = static_cast<unsigned char>(subVersion >> 8);
    out[7] = static_cast<unsigned char>(subVersion & 0xFF);
}

bool BlockHeader::Packed() const { return std::memcmp(tag, kTagPacked, 4) == 0; }
bool BlockHeader::Raw() const { return std::memcmp(tag, kTagRaw, 4) == 0; }

void EncodeBlockHeader(unsigned char out[8], bool packed, std::uint32_t contentSize) {
    std::memcpy(out, packed ? kTagPacked : kTagRaw, 4);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<unsigned char>(contentSize >> (8 * i));
}

BlockHeader DecodeBlockHeader(const unsigned char in[8]) {
    BlockHeader block;
    std::memcpy(block.tag, in, 4);
    block.contentSize = static_cast<std::uint32_t>(in[4]) | static_cast<std::uint32_t>(in[5]) << 8 |
                        static_cast<std::uint32_t>(in[6]) << 16 |
                        static_cast<std::uint32_t>(in[7]) << 24;
    return block;
}

Damage ReadHeader(Stream* file, Header* header) {
    if (file == nullptr || header == nullptr) return Damage::NotAnArchive;
    unsigned char prefix[8] = {};
    unsigned char tag[4] = {};
    if (file->SetPosition(0) != 0) return Damage::NotAnArchive;
    if (file->Read(prefix, 4) != 4 || std::memcmp(prefix, kMagic, 4) != 0)
        return Damage::NotAnArchive;
    if (file->Read(prefix + 4, 4) != 4) return Damage::BadDirectoryTag;
    header->version = static_cast<std::uint16_t>(prefix[4] << 8 | prefix[5]);
    header->subVersion = static_cast<std::uint16_t>(prefix[6] << 8 | prefix[7]);
    if (file->Read(tag, 4) != 4 || std::memcmp(tag, kDirectoryTag, 4) != 0)
        return Damage::BadDirectoryTag;
    header->directorySize = 0;
    header->count = 0;
    file->Read32(&header->directorySize);
    file->Read32(&header->count);
    return Damage::None;
}

Damage ReadRecord(Stream* file, ArchiveEntry* entry) {
    IO* io = InterfaceOf<IO>(entry, InterfaceIO);
    if (file == nullptr || io == nullptr) return Damage::DirectoryCutShort;
    return io->ReadFrom(file, 0) == 0 ? Damage::None : Damage::DirectoryCutShort;
}

Damage ReadDirectory(Stream* file, Header* header, DirectorySink* sink, std::uint32_t* dataStart) {
    Damage damage = ReadHeader(file, header);
    if (damage != Damage::None) return damage;
    // The count is signed in the file's eyes: zero or less means no records.
    std::int32_t count = static_cast<std::int32_t>(header->count);
    for (std::int32_t i = 0; i < count && damage == Damage::None; ++i) {
        ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
        if (entry == nullptr) return Damage::NoMemory;
        damage = ReadRecord(file, entry);
        if (!sink->Add(entry)) return Damage::NoMemory;
    }
    std::uint32_t position = 0;
    if (dataStart != nullptr) *dataStart = file->GetPosition(&position) == 0 ? position : 0;
    return damage;
}

Damage ReadBlockHeader(Stream* file, std::uint32_t offset, BlockHeader* block) {
    unsigned char bytes[kBlockHeaderSize];
    if (file == nullptr || file->SetPosition(offset) != 0) return Damage::BlockHeaderMissing;
    if (file->Read(bytes, kBlockHeaderSize) != kBlockHeaderSize) return Damage::BlockHeaderMissing;
    *block = DecodeBlockHeader(bytes);
    return Damage::None;
}

namespace {

// A stream read at offsets: each read first moves the stream there.
class StreamSource : public BlockSource {
public:
    explicit StreamSource(Stream* file) : m_file(file) {}
    bool ReadAt(std::uint64_t offset, void* into, std::uint32_t count,
                std::uint32_t* got) override {
        *got = 0;
        // A position the stream cannot take reads as the end of the file.
        if (offset > kMaxSize || m_file->SetPosition(static_cast<std::uint32_t>(offset)) != 0)
            return true;
        *got = m_file->Read(into, count);
        return true;
    }
    bool Size(std::uint64_t* size) override {
        std::uint32_t value = 0;
        if (m_file->GetSize(&value) != 0) return false;
        *size = value;
        return true;
    }

private:
    Stream* m_file;
};

std::uint32_t Smaller(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint32_t>(a < b ? a : b);
}

}  // namespace

ContentReader::ContentReader(std::uint32_t inputPiece, std::uint32_t outputPiece, bool serialise)
    : m_inSize(inputPiece < kBlockHeaderSize ? kBlockHeaderSize : inputPiece),
      m_outSize(outputPiece == 0 ? 1 : outputPiece),
      m_serialise(serialise) {
    m_in = static_cast<unsigned char*>(Allocate(m_inSize));
    m_out = static_cast<unsigned char*>(Allocate(m_outSize));
    Platform::PrepareWorkingBuffer(m_in, m_inSize);
    Platform::PrepareWorkingBuffer(m_out, m_outSize);
}

ContentReader::~ContentReader() {
    Free(m_in);
    Free(m_out);
}

Damage ContentReader::Read(BlockSource* source, std::uint32_t offset, std::uint32_t storedSize,
                           std::uint32_t dataStart, ContentSink* sink, std::uint32_t* contentSize) {
    if (source == nullptr) return Damage::ReadFailed;
    // A block cannot start inside the header and directory; such an offset (for example the
    // zero left in a record cut short) would read the directory as if it were entry data.
    if (offset < dataStart) return Damage::OffsetInsideDirectory;
    // The header and as much of the block as the input piece holds come in one read: most
    // blocks need no other.
    unsigned char header[kBlockHeaderSize];
    unsigned char* first = Ready() ? m_in : header;
    const std::uint32_t want =
        Ready() ? Smaller(storedSize < kBlockHeaderSize ? kBlockHeaderSize : storedSize, m_inSize)
                : kBlockHeaderSize;
    std::uint32_t got = 0;
    if (!source->ReadAt(offset, first, want, &got)) return Damage::ReadFailed;
    if (got < kBlockHeaderSize) return Damage::BlockHeaderMissing;
    const BlockHeader block = DecodeBlockHeader(first);
    if (contentSize != nullptr) *contentSize = block.contentSize;
    std::uint64_t fileSize = 0;
    if (!source->Size(&fileSize)) return Damage::ReadFailed;
    const std::uint64_t payloadStart = static_cast<std::uint64_t>(offset) + kBlockHeaderSize;
    const std::uint32_t have = got - kBlockHeaderSize;
    if (block.Raw()) {
        if (payloadStart + block.contentSize > fileSize) return Damage::BlockCutShort;
        if (!Ready()) return Damage::NoMemory;
        std::uint32_t left = block.contentSize;
        std::uint32_t n = Smaller(have, left);
        if (n != 0 && sink != nullptr && !sink->Put(m_in + kBlockHeaderSize, n))
            return Damage::WriteFailed;
        std::uint64_t position = payloadStart + n;
        left -= n;
        while (left > 0) {
            n = Smaller(left, m_inSize);
            if (!source->ReadAt(position, m_in, n, &got) || got != n) return Damage::ReadFailed;
            if (sink != nullptr && !sink->Put(m_in, n)) return Damage::WriteFailed;
            position += n;
            left -= n;
        }
        return Damage::None;
    }
    if (!block.Packed()) return Damage::UnknownBlockTag;
    if (storedSize <= kBlockHeaderSize) return Damage::StoredSizeTooSmall;
    const std::uint32_t payloadSize = storedSize - kBlockHeaderSize;
    if (payloadStart + payloadSize > fileSize) return Damage::BlockCutShort;
    if (block.contentSize > static_cast<std::uint64_t>(payloadSize) * kMaxInflateRatio)
        return Damage::ImpossibleContentSize;
    if (!Ready()) return Damage::NoMemory;
    return Inflate(source, payloadStart, Smaller(have, payloadSize), payloadSize, block.contentSize,
                   sink);
}

// The payload's first have bytes already lie in the input piece after the block header.
Damage ContentReader::Inflate(BlockSource* source, std::uint64_t position, std::uint32_t have,
                              std::uint32_t payloadSize, std::uint32_t contentSize,
                              ContentSink* sink) {
    if (!m_inflater.Begin()) return Damage::NoMemory;
    std::uint32_t available = have;
    std::uint32_t unread = payloadSize - have;
    position += have;
    const unsigned char* next = m_in + kBlockHeaderSize;
    std::uint64_t produced = 0;
    std::uint32_t fill = 0;  // output waiting in the output piece
    for (;;) {
        if (available == 0 && unread > 0) {
            std::uint32_t n = Smaller(unread, m_inSize);
            std::uint32_t got = 0;
            if (!source->ReadAt(position, m_in, n, &got) || got != n) return Damage::ReadFailed;
            position += n;
            unread -= n;
            available = n;
            next = m_in;
        }
        // Room for one byte more than the entry still lacks: content longer than declared
        // shows at once, before any of it is handed on.
        const std::uint32_t room = Smaller(m_outSize - fill, contentSize - produced + 1);
        std::uint32_t used = 0;
        std::uint32_t made = 0;
        Inflater::Result step;
        if (m_serialise) {
            Platform::ProcessLockGuard lock;
            step = m_inflater.Run(next, available, &used, m_out + fill, room, &made);
        } else {
            step = m_inflater.Run(next, available, &used, m_out + fill, room, &made);
        }
        next += used;
        available -= used;
        produced += made;
        fill += made;
        if (produced > contentSize) return Damage::ContentLonger;
        if (fill != 0 && (fill == m_outSize || step == Inflater::StreamEnd)) {
            if (sink != nullptr && !sink->Put(m_out, fill)) return Damage::WriteFailed;
            fill = 0;
        }
        if (step == Inflater::StreamEnd)
            return produced < contentSize ? Damage::ContentShorter : Damage::None;
        if (step == Inflater::NoMemory) return Damage::NoMemory;
        if (step == Inflater::DataError) return Damage::CompressedDataDamaged;
        if (available == 0 && unread == 0 && made < room) return Damage::CompressedDataCutShort;
    }
}

Damage ReadContent(Stream* file, std::uint32_t offset, std::uint32_t storedSize,
                   std::uint32_t dataStart, ContentSink* sink, std::uint32_t* contentSize) {
    if (file == nullptr) return Damage::ReadFailed;
    StreamSource source(file);
    ContentReader reader(kStreamPiece, kStreamPiece, true);
    return reader.Read(&source, offset, storedSize, dataStart, sink, contentSize);
}

bool IsEmptyBlock(Stream* file, ArchiveEntry* entry) {
    if (entry == nullptr) return false;
    BlockHeader block;
    block.contentSize = 1;
    if (ReadBlockHeader(file, entry->GetOffset(), &block) != Damage::None || block.contentSize != 0)
        return false;
    std::uint32_t size = 1;
    return ReadContent(file, entry->GetOffset(), entry->GetStoredSize(), 0, nullptr, &size) ==
               Damage::None &&
           size == 0;
}

bool IsSafeEntryName(const char* name) {
    if (name == nullptr || name[0] == '\0' || IsSeparator(name[0])) return false;
    const char* component = name;
    for (const char* p = name;; ++p) {
        if (*p == ':') return false;
        if (*p == '\0' || IsSeparator(*p)) {
            // ".." and, since Windows drops trailing dots and spaces, anything like ". ." too.
            int dots = 0;
            bool onlyDotsAndSpaces = true;
            for (const char* c = component; c < p; ++c) {
                if (*c == '.') {
                    ++dots;
                } else if (*c != ' ') {
                    onlyDotsAndSpaces = false;
                }
            }
            if (onlyDotsAndSpaces && dots >= 2) return false;
            if (*p == '\0') return true;
            component = p + 1;
        }
    }
}

Damage MeasureDirectory(ArchiveEntry* const* entries, std::uint32_t count, std::uint32_t* size) {
    CompressStream* scratch = CreateElementAs<CompressStream>(TypeCompressStream);
    Stream* stream = InterfaceOf<Stream>(scratch, InterfaceStream);
    Damage result = Damage::NoMemory;
    if (stream != nullptr && stream->SetUsage(Stream::UsageBufferOnly) == 0 &&
        stream->Open() == 0) {
        if (WriteDirectory(stream, 0xFFFFFFFFu, entries, count) && stream->GetPosition(size) == 0)
            result = Damage::None;
        stream->Close();
    }
    ReleaseElement(scratch);
    return result;
}

bool WriteFront(Stream* out, ArchiveEntry* const* entries, std::uint32_t count,
                std::uint32_t directorySize, std::uint16_t version, std::uint16_t subVersion) {
    if (out == nullptr) return false;
    unsigned char prefix[kPrefixSize];
    EncodePrefix(prefix, version, subVersion);
    return out->Write(prefix, kPrefixSize) == kPrefixSize && out->HasError() == 0 &&
           WriteDirectory(out, directorySize, entries, count);
}

std::int32_t Commit(Stream* file, ArchiveEntry* const* entries, std::uint32_t count,
                    std::uint16_t version, std::uint16_t subVersion) {
    if (file == nullptr) return 1;
    std::uint64_t dataLength = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t end =
            static_cast<std::uint64_t>(entries[i]->GetOffset()) + entries[i]->GetStoredSize();
        if (end > dataLength) dataLength = end;
    }
    std::uint32_t directorySize = 0;
    if (MeasureDirectory(entries, count, &directorySize) != Damage::None) return 1;
    std::uint64_t shift = static_cast<std::uint64_t>(directorySize) + kPrefixSize;
    if (dataLength + shift > kMaxSize) return 1;
    for (std::uint32_t i = 0; i < count; ++i)
        entries[i]->SetOffset(static_cast<std::uint32_t>(entries[i]->GetOffset() + shift));

    const std::uint32_t chunk = ChunkSize(static_cast<std::uint32_t>(shift));
    unsigned char* buffers[2] = {static_cast<unsigned char*>(Allocate(chunk)),
                                 static_cast<unsigned char*>(Allocate(chunk))};
    bool ok = buffers[0] != nullptr && buffers[1] != nullptr;

    // Both buffers are filled before the header overwrites the file's first bytes; from
    // then on a buffer is refilled only after its bytes went out, and since a chunk is at
    // least D + 8, a write never reaches data that have not been read yet.
    const std::uint32_t total = static_cast<std::uint32_t>(dataLength);
    std::uint32_t readPosition = 0;
    std::uint32_t filled[2] = {0, 0};
    for (int b = 0; ok && b < 2; ++b) {
        std::uint32_t n = total - readPosition < chunk ? total - readPosition : chunk;
        ok = n == 0 || ReadAt(file, readPosition, buffers[b], n);
        filled[b] = n;
        readPosition += n;
    }

    if (ok) {
        ok = file->SetPosition(0) == 0 &&
             WriteFront(file, entries, count, directorySize, version, subVersion);
        std::uint32_t position = 0;
        ok = ok && file->GetPosition(&position) == 0 && position == shift;
    }

    std::uint32_t writePosition = static_cast<std::uint32_t>(shift);
    std::uint32_t remaining = total;
    for (int b = 0; ok && remaining > 0; b ^= 1) {
        ok = filled[b] != 0 && WriteAt(file, writePosition, buffers[b], filled[b]);
        writePosition += filled[b];
        remaining -= filled[b];
        std::uint32_t unread = total - readPosition;
        std::uint32_t n = unread < chunk ? unread : chunk;
        filled[b] = n;
        if (ok && n != 0) {
            ok = ReadAt(file, readPosition, buffers[b], n);
            readPosition += n;
        }
    }

    Free(buffers[0]);
    Free(buffers[1]);
    if (!ok) return 1;
    return file->SetPosition(static_cast<std::uint32_t>(dataLength + shift)) == 0 ? 0 : 1;
}

}  // namespace ArchiveFormat
}  // namespace QRV2
