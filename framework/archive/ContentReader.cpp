// ContentReader: entries' blocks read at offsets in bounded pieces, checked whole, handed to a
// sink.
#include "framework/archive/ContentReader.h"

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/BlockCodec.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "platform/Lock.h"
#include "platform/Memory.h"

namespace QRV2 {
namespace ArchiveFormat {

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
    const Damage damage =
        CheckBlock(block, storedSize, fileSize > payloadStart ? fileSize - payloadStart : 0);
    if (damage != Damage::None) return damage;
    if (!Ready()) return Damage::NoMemory;
    const std::uint32_t payloadSize = block.PayloadSize(storedSize);
    const std::uint32_t have = Smaller(got - kBlockHeaderSize, payloadSize);
    if (block.Raw()) return Copy(source, payloadStart, have, payloadSize, sink);
    return Inflate(source, payloadStart, have, payloadSize, block.contentSize, sink);
}

// The content's first have bytes already lie in the input piece after the block header.
Damage ContentReader::Copy(BlockSource* source, std::uint64_t position, std::uint32_t have,
                           std::uint32_t contentSize, ContentSink* sink) {
    if (have != 0 && sink != nullptr && !sink->Put(m_in + kBlockHeaderSize, have))
        return Damage::WriteFailed;
    position += have;
    for (std::uint32_t left = contentSize - have; left > 0;) {
        const std::uint32_t n = Smaller(left, m_inSize);
        std::uint32_t got = 0;
        if (!source->ReadAt(position, m_in, n, &got) || got != n) return Damage::ReadFailed;
        if (sink != nullptr && !sink->Put(m_in, n)) return Damage::WriteFailed;
        position += n;
        left -= n;
    }
    return Damage::None;
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

}  // namespace ArchiveFormat
}  // namespace QRV2
