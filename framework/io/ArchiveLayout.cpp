// ArchiveLayout: header and record reading, directory measuring and the two-buffer commit.
#include "framework/io/ArchiveLayout.h"

#include <cstring>

#include "framework/containers/IO.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/io/ArchiveEntry.h"
#include "framework/io/CompressDevice.h"
#include "framework/io/CompressStream.h"
#include "framework/io/Stream.h"
#include "platform/Lock.h"

namespace QRV2 {
namespace ArchiveLayout {

namespace {

const unsigned char kMagic[4] = {'Q', 'X', '1', '1'};
const unsigned char kDirectoryTag[4] = {'R', 'A', 'W', 0};
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

std::int32_t ReadHeader(Stream* file, Header* header) {
    if (file == nullptr || header == nullptr) return 1;
    unsigned char prefix[8] = {};
    unsigned char tag[4] = {};
    if (file->SetPosition(0) != 0) return 1;
    if (file->Read(prefix, 4) != 4 || std::memcmp(prefix, kMagic, 4) != 0) return 1;
    if (file->Read(prefix + 4, 4) != 4) return 1;
    header->version = static_cast<std::uint16_t>(prefix[4] << 8 | prefix[5]);
    header->subVersion = static_cast<std::uint16_t>(prefix[6] << 8 | prefix[7]);
    if (file->Read(tag, 4) != 4 || std::memcmp(tag, kDirectoryTag, 4) != 0) return 1;
    header->directorySize = 0;
    header->count = 0;
    file->Read32(&header->directorySize);
    file->Read32(&header->count);
    return 0;
}

std::int32_t ReadRecord(Stream* file, ArchiveEntry* entry) {
    IO* io = InterfaceOf<IO>(entry, InterfaceIO);
    if (file == nullptr || io == nullptr) return 1;
    return io->ReadFrom(file, 0) == 0 ? 0 : 1;
}

std::int32_t ReadBlockHeader(Stream* file, std::uint32_t offset, unsigned char tag[4],
                             std::uint32_t* contentSize) {
    if (file == nullptr || file->SetPosition(offset) != 0) return 1;
    if (file->Read(tag, 4) != 4) return 1;
    return file->Read32(contentSize) == 4 ? 0 : 1;
}

bool IsEmptyBlock(Stream* file, ArchiveEntry* entry) {
    unsigned char tag[4] = {};
    std::uint32_t contentSize = 1;
    if (entry == nullptr || ReadBlockHeader(file, entry->GetOffset(), tag, &contentSize) != 0)
        return false;
    if (contentSize != 0) return false;
    if (std::memcmp(tag, "RAW", 4) == 0) return true;
    if (std::memcmp(tag, "PAC", 4) != 0) return false;
    // An empty zlib stream is 8 bytes; anything much longer is not the writer's empty block.
    std::uint32_t stored = entry->GetStoredSize();
    if (stored <= kBlockHeaderSize || stored - kBlockHeaderSize > 64) return false;
    unsigned char payload[64];
    std::uint32_t payloadSize = stored - kBlockHeaderSize;
    if (file->Read(payload, payloadSize) != payloadSize) return false;
    CompressDevice* device = CreateElementAs<CompressDevice>(TypeCompressDevice);
    if (device == nullptr) return false;
    unsigned char probe[1];
    std::uint32_t produced = sizeof probe;
    std::int32_t code;
    {
        Platform::ProcessLockGuard lock;
        code = device->Uncompress(probe, &produced, payload, payloadSize);
    }
    ReleaseElement(device);
    return code == 0 && produced == 0;
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

std::int32_t MeasureDirectory(ArchiveEntry* const* entries, std::uint32_t count,
                              std::uint32_t* size) {
    CompressStream* scratch = CreateElementAs<CompressStream>(TypeCompressStream);
    Stream* stream = InterfaceOf<Stream>(scratch, InterfaceStream);
    std::int32_t result = 1;
    if (stream != nullptr && stream->SetUsage(Stream::UsageBufferOnly) == 0 && stream->Open() == 0) {
        if (WriteDirectory(stream, 0xFFFFFFFFu, entries, count) && stream->GetPosition(size) == 0)
            result = 0;
        stream->Close();
    }
    ReleaseElement(scratch);
    return result;
}

std::int32_t Commit(Stream* file, ArchiveEntry* const* entries, std::uint32_t count,
                    std::uint16_t version, std::uint16_t subVersion) {
    if (file == nullptr) return 1;
    std::uint64_t dataLength = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t end = static_cast<std::uint64_t>(entries[i]->GetOffset()) + entries[i]->GetStoredSize();
        if (end > dataLength) dataLength = end;
    }
    std::uint32_t directorySize = 0;
    if (MeasureDirectory(entries, count, &directorySize) != 0) return 1;
    std::uint64_t shift = static_cast<std::uint64_t>(directorySize) + kPrefixSize;
    if (dataLength + shift > 0xFFFFFFFFu) return 1;
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
        unsigned char prefix[8] = {kMagic[0], kMagic[1], kMagic[2], kMagic[3],
                                   static_cast<unsigned char>(version >> 8),
                                   static_cast<unsigned char>(version & 0xFF),
                                   static_cast<unsigned char>(subVersion >> 8),
                                   static_cast<unsigned char>(subVersion & 0xFF)};
        ok = WriteAt(file, 0, prefix, 8) && WriteDirectory(file, directorySize, entries, count);
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

}  // namespace ArchiveLayout
}  // namespace QRV2
