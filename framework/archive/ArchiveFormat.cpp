// ArchiveFormat: header and record reading, entry names, directory measuring, the commit.
#include "framework/archive/ArchiveFormat.h"

#include <cstring>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/CompressStream.h"
#include "framework/archive/LittleEndian.h"
#include "framework/containers/IO.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"

namespace QRV2 {
namespace ArchiveFormat {

const unsigned char kMagic[4] = {'Q', 'X', '1', '1'};
const unsigned char kDirectoryTag[4] = {'R', 'A', 'W', 0};
const unsigned char kTagPacked[4] = {'P', 'A', 'C', 0};
const unsigned char kTagRaw[4] = {'R', 'A', 'W', 0};

namespace {

constexpr std::uint32_t kMinimumChunk = 4096;

char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::uint32_t ChunkSize(std::uint32_t headerAndDirectory) {
    std::uint32_t c = 1;
    while (c < headerAndDirectory) c <<= 1;
    return c < kMinimumChunk ? kMinimumChunk : c;
}

// Writes tag, D, N and the records; true when every byte went out.
bool WriteDirectory(Stream* out, std::uint32_t directorySize, ArchiveEntry* const* entries,
                    std::uint32_t count) {
    unsigned char fixed[kDirectoryFixedSize];
    std::memcpy(fixed, kDirectoryTag, 4);
    LittleEndian::Put32(fixed + 4, directorySize);
    LittleEndian::Put32(fixed + 8, count);
    bool ok = out->Write(fixed, sizeof fixed) == sizeof fixed;
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
        case Damage::DirectorySizeWrong:
            return "directory damaged (its records do not end where its header says)";
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
    // A file that ends inside them leaves the missing bytes 0.
    unsigned char sizes[8] = {};
    file->Read(sizes, sizeof sizes);
    header->directorySize = LittleEndian::Get32(sizes);
    header->count = LittleEndian::Get32(sizes + 4);
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

const char* AfterPrefix(const char* name, const char* prefix, bool wholeComponents) {
    if (name == nullptr || prefix == nullptr) return nullptr;
    std::size_t n = 0;
    for (; prefix[n] != '\0'; ++n) {
        // The name's zero byte differs from every prefix byte, so a shorter name fails here.
        if (FoldCase(name[n]) != FoldCase(prefix[n])) return nullptr;
    }
    const bool boundary =
        n == 0 || IsSeparator(prefix[n - 1]) || name[n] == '\0' || IsSeparator(name[n]);
    if (wholeComponents && !boundary) return nullptr;
    const char* rest = name + n;
    while (IsSeparator(*rest)) ++rest;
    return rest;
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
    Held<CompressStream> scratch(TypeCompressStream);
    Stream* stream = InterfaceOf<Stream>(scratch.Get(), InterfaceStream);
    Damage result = Damage::NoMemory;
    if (stream != nullptr && stream->SetUsage(Stream::UsageBufferOnly) == 0 &&
        stream->Open() == 0) {
        if (WriteDirectory(stream, 0xFFFFFFFFu, entries, count) && stream->GetPosition(size) == 0)
            result = Damage::None;
        stream->Close();
    }
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
