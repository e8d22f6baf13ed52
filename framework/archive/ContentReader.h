// ContentReader: reads entries' blocks in bounded pieces, checking all of each, into a sink.
#pragma once

#include <cstdint>

#include "framework/archive/ArchiveFormat.h"
#include "framework/io/CompressDevice.h"

namespace QRV2 {

class ArchiveEntry;
class Stream;

namespace ArchiveFormat {

// Receives an entry's content piece by piece while it is inflated or copied.
class ContentSink {
public:
    // false stops the read with WriteFailed.
    virtual bool Put(const void* data, std::uint32_t count) = 0;

protected:
    ~ContentSink() = default;
};

// The size of each piece read and inflated, so memory stays bounded whatever an entry's size.
constexpr std::uint32_t kStreamPiece = 64 * 1024;

// Where a reader takes an archive's bytes from: the file at given offsets, so several readers
// (one per thread) can share one open file without moving a common position.
class BlockSource {
public:
    // Reads up to count bytes at offset; *got gets how many came (fewer only at the end of
    // the file). false when the system refused the read.
    virtual bool ReadAt(std::uint64_t offset, void* into, std::uint32_t count,
                        std::uint32_t* got) = 0;
    // The file's size in bytes; false when it cannot be had.
    virtual bool Size(std::uint64_t* size) = 0;

protected:
    ~BlockSource() = default;
};

// Reads and checks entries' blocks (see ReadContent) with working memory of its own, kept from
// entry to entry: an input piece that takes a whole block in one read where it fits, and an
// output piece that hands a whole entry to the sink at once where it fits. One reader serves
// one thread; several readers may inflate at the same time when they do not serialise.
class ContentReader {
public:
    // serialise: each inflate step holds the process-wide decompression lock.
    ContentReader(std::uint32_t inputPiece, std::uint32_t outputPiece, bool serialise);
    ~ContentReader();
    ContentReader(const ContentReader&) = delete;
    ContentReader& operator=(const ContentReader&) = delete;
    // false when the pieces could not be had (Read then gives NoMemory).
    bool Ready() const { return m_in != nullptr && m_out != nullptr; }
    // As ReadContent, from source.
    Damage Read(BlockSource* source, std::uint32_t offset, std::uint32_t storedSize,
                std::uint32_t dataStart, ContentSink* sink, std::uint32_t* contentSize);

private:
    Damage Copy(BlockSource* source, std::uint64_t position, std::uint32_t have,
                std::uint32_t contentSize, ContentSink* sink);
    Damage Inflate(BlockSource* source, std::uint64_t position, std::uint32_t have,
                   std::uint32_t payloadSize, std::uint32_t contentSize, ContentSink* sink);

    unsigned char* m_in = nullptr;
    unsigned char* m_out = nullptr;
    std::uint32_t m_inSize;
    std::uint32_t m_outSize;
    bool m_serialise;
    Inflater m_inflater;
};

// Reads one entry's block in bounded pieces and checks all of it: the offset lies at or after
// dataStart, the block lies inside the file, the tag is known, the content size is possible,
// the zlib stream is whole with a matching Adler-32, and exactly the declared number of bytes
// come out. Content goes to sink (null: only checked) as it is produced, so a caller that
// must not keep a damaged entry writes it somewhere temporary and keeps it only on None.
// Empty content (a "PAC" block holding the zlib stream of nothing, or a "RAW" block of size 0)
// is well-formed here. *contentSize (may be null) gets the declared size once the header is
// read. None, or the first Damage found.
Damage ReadContent(Stream* file, std::uint32_t offset, std::uint32_t storedSize,
                   std::uint32_t dataStart, ContentSink* sink, std::uint32_t* contentSize);

// True when the entry's block is a well-formed block of empty content (see ReadContent). The
// reading stream, which has no empty state, refuses such blocks, so extraction recognises them
// here to give back empty files.
bool IsEmptyBlock(Stream* file, ArchiveEntry* entry);

}  // namespace ArchiveFormat
}  // namespace QRV2
