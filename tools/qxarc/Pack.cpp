// Pack: a file read (holes of a sparse file taken as zeros without reading them) and laid out
// as one data block, whole or in pieces, and the queue between the workers and the writer.
#include "tools/qxarc/Pack.h"

#include <chrono>
#include <cstring>

#include "framework/archive/BlockCodec.h"
#include "framework/core/Allocator.h"
#include "framework/io/CompressDevice.h"
#include "platform/Cancel.h"
#include "tools/qxarc/Common.h"

namespace QxarcTool {

using namespace QRV2;

std::uint64_t PackCost(std::uint64_t size) {
    if (size <= kPackPiece)
        return size + ArchiveFormat::kBlockHeaderSize +
               CompressedSizeBound(static_cast<std::uint32_t>(size));
    // The input and output pieces, the compressor's state, the block held while it waits.
    return 3 * std::uint64_t{kPackPiece} + kHeldBlock;
}

namespace {

// A file's content read at offsets; where the system says a stretch holds no data (a hole of
// a sparse file), zeros are given without reading.
class ContentSource {
public:
    explicit ContentSource(Platform::FileHandle file) : m_file(file) {}

    // Reads count bytes at offset into into; *got is less only where the file ended first.
    Platform::Error Read(std::uint64_t offset, unsigned char* into, std::uint32_t count,
                         std::uint32_t* got) {
        std::uint32_t done = 0;
        while (done < count) {
            const std::uint64_t at = offset + done;
            if (!m_known || at >= m_dataEnd) {
                if (Platform::FileFindData(m_file, at, &m_dataStart, &m_dataEnd) !=
                    Platform::Error::None) {
                    m_dataStart = at;
                    m_dataEnd = ~std::uint64_t{0};
                }
                m_known = true;
                if (at >= m_dataEnd) break;  // no data ahead: the file ends here
            }
            const std::uint32_t left = count - done;
            if (at < m_dataStart) {
                const std::uint64_t hole = m_dataStart - at;
                const std::uint32_t n = hole < left ? static_cast<std::uint32_t>(hole) : left;
                std::memset(into + done, 0, n);
                done += n;
                continue;
            }
            const std::uint64_t data = m_dataEnd - at;
            const std::uint32_t n = data < left ? static_cast<std::uint32_t>(data) : left;
            std::uint32_t read = 0;
            const Platform::Error error = Platform::FileReadAt(m_file, at, into + done, n, &read);
            done += read;
            if (error != Platform::Error::None) {
                *got = done;
                return error;
            }
            if (read < n) break;
        }
        *got = done;
        return Platform::Error::None;
    }

private:
    Platform::FileHandle m_file;
    bool m_known = false;
    std::uint64_t m_dataStart = 0;
    std::uint64_t m_dataEnd = 0;
};

// Why a read fell short, as the reason a file is left out.
std::string ReadProblem(Platform::Error error) {
    return error != Platform::Error::None ? "cannot be read whole (" + Why(error) + "): left out"
                                          : "shrank while being read: left out";
}

// A small file: read whole, compressed in one call.
void PackWhole(PackJob* job, ContentSource* source, std::uint32_t size, CompressDevice* device,
               PackQueue* queue) {
    const std::uint64_t room = CompressedSizeBound(size) + ArchiveFormat::kBlockHeaderSize;
    unsigned char* content = static_cast<unsigned char*>(Allocate(size));
    unsigned char* block = static_cast<unsigned char*>(Allocate(static_cast<std::size_t>(room)));
    std::uint32_t got = 0;
    Platform::Error error = Platform::Error::None;
    if (content == nullptr || block == nullptr) {
        job->problem = "cannot be packed (out of memory): left out";
    } else if ((error = source->Read(0, content, size, &got)) != Platform::Error::None ||
               got < size) {
        job->problem = ReadProblem(error);
    } else {
        const std::uint32_t blockSize = ArchiveFormat::EncodeBlock(
            device, content, size, block, static_cast<std::uint32_t>(room));
        queue->Emit(job, block, blockSize);
        block = nullptr;
    }
    Free(block);
    Free(content);
}

// A large file: read and compressed piece by piece, each piece of the block handed on as soon
// as it is full.
void PackPieces(PackJob* job, ContentSource* source, std::uint32_t size, PackQueue* queue) {
    ArchiveFormat::BlockEncoder encoder;
    unsigned char* header = static_cast<unsigned char*>(Allocate(ArchiveFormat::kBlockHeaderSize));
    unsigned char* input = static_cast<unsigned char*>(Allocate(kPackPiece));
    unsigned char* output = static_cast<unsigned char*>(Allocate(kPackPiece));
    const char* kNoMemory = "cannot be packed (out of memory): left out";
    if (header == nullptr || input == nullptr || output == nullptr) {
        job->problem = kNoMemory;
    } else {
        encoder.Begin(size, header);
        queue->Emit(job, header, ArchiveFormat::kBlockHeaderSize);
        header = nullptr;
    }
    std::uint32_t fill = 0;
    ArchiveFormat::BlockEncoder::Result step = ArchiveFormat::BlockEncoder::More;
    for (std::uint64_t at = 0; job->problem.empty() && step != ArchiveFormat::BlockEncoder::Done;) {
        if (Platform::CancelRequested()) {
            job->problem = "stopped";
            break;
        }
        const std::uint64_t left = size - at;
        const std::uint32_t n = left < kPackPiece ? static_cast<std::uint32_t>(left) : kPackPiece;
        std::uint32_t got = 0;
        const Platform::Error error = source->Read(at, input, n, &got);
        if (error != Platform::Error::None || got < n) {
            job->problem = ReadProblem(error);
            break;
        }
        at += n;
        const bool last = at == size;
        for (std::uint32_t taken = 0;;) {
            std::uint32_t consumed = 0;
            std::uint32_t produced = 0;
            step = encoder.Put(input + taken, n - taken, last, &consumed, output + fill,
                               kPackPiece - fill, &produced);
            taken += consumed;
            fill += produced;
            if (step == ArchiveFormat::BlockEncoder::NoMemory) {
                job->problem = kNoMemory;
                break;
            }
            if (fill == kPackPiece || (step == ArchiveFormat::BlockEncoder::Done && fill != 0)) {
                const bool kept = queue->Emit(job, output, fill);
                fill = 0;
                output = kept ? static_cast<unsigned char*>(Allocate(kPackPiece)) : nullptr;
                if (!kept) break;
                if (output == nullptr) {
                    job->problem = kNoMemory;
                    break;
                }
            }
            if (step == ArchiveFormat::BlockEncoder::Done || (taken == n && !last)) break;
        }
    }
    Free(output);
    Free(input);
    Free(header);
}

// The file's facts through its handle; false with the problem set when they cannot be had.
bool FactsOf(PackJob* job, Platform::FileHandle file, Platform::PathFacts* facts) {
    const Platform::Error error = Platform::FileGetFacts(file, facts);
    if (error == Platform::Error::None) return true;
    job->problem = "cannot be examined (" + Why(error) + "): left out";
    return false;
}

}  // namespace

void Pack(PackJob* job, Platform::UserFolder root, CompressDevice* device, PackQueue* queue) {
    Platform::FileHandle file = Platform::NullFile;
    Platform::Error error = Platform::UserFileOpenRead(root, job->file->name, &file);
    if (error == Platform::Error::FileNotFound || error == Platform::Error::PathNotFound) {
        job->problem = "vanished before it could be read: left out";
        return;
    }
    if (error == Platform::Error::InvalidParameter) {
        job->problem = "no longer a regular file, not read: left out";
        return;
    }
    if (error != Platform::Error::None) {
        job->problem = "cannot be opened (" + Why(error) + "): left out";
        return;
    }
    Platform::PathFacts before;
    if (FactsOf(job, file, &before)) {
        ContentSource source(file);
        if (before.size > ArchiveFormat::kMaxSize) {
            job->problem = "grew past 4,294,967,295 bytes, the archive's limit: left out";
        } else if (before.size <= kPackPiece) {
            PackWhole(job, &source, static_cast<std::uint32_t>(before.size), device, queue);
        } else {
            PackPieces(job, &source, static_cast<std::uint32_t>(before.size), queue);
        }
        // What was read is a whole file only if nothing changed meanwhile: a size or a time of
        // change that moved, or bytes beyond the end, show that it did.
        Platform::PathFacts after;
        unsigned char beyond = 0;
        std::uint32_t got = 0;
        if (job->problem.empty() && FactsOf(job, file, &after) &&
            (after.size != before.size || after.modified != before.modified ||
             (source.Read(before.size, &beyond, 1, &got) == Platform::Error::None && got == 1)))
            job->note =
                "changed while being read: stored as it was read, which may mix old and "
                "new content";
    }
    Platform::FileClose(file);
}

PackQueue::~PackQueue() {
    for (PackJob& job : m_jobs) FreeBlock(&job);
}

void PackQueue::FreeBlock(PackJob* job) {
    for (const BlockPiece& piece : job->pieces) Free(piece.data);
    job->pieces.clear();
    job->held = 0;
    if (job->spill != Platform::NullFile) Platform::FileClose(job->spill);
    job->spill = Platform::NullFile;
}

void PackQueue::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_next == m_jobs.size() || Fits(); });
        if (m_stop || m_next == m_jobs.size()) return;
        Run(&lock);
    }
}

bool PackQueue::Emit(PackJob* job, unsigned char* data, std::uint32_t count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    job->blockSize += count;
    if (job->spill == Platform::NullFile && job->held + count <= kHeldBlock) {
        job->pieces.push_back({data, count});
        job->held += count;
        m_changed.notify_all();
        return true;
    }
    // The writer is busy with blocks before this one: the rest of this one waits on disk.
    Platform::Error error = Platform::Error::None;
    if (job->spill == Platform::NullFile) {
        lock.unlock();
        Platform::FileHandle spill = Platform::NullFile;
        error = Platform::ScratchFileCreate(m_spillFolder, &spill);
        lock.lock();
        job->spill = spill;
    }
    const std::uint64_t at = job->spilled;
    lock.unlock();
    std::uint32_t written = 0;
    if (error == Platform::Error::None)
        error = Platform::FileWriteAt(job->spill, at, data, count, &written);
    Free(data);
    lock.lock();
    if (error != Platform::Error::None) {
        if (job->problem.empty())
            job->problem = "cannot be packed (no room for its block while it waits: " + Why(error) +
                           "): left out";
        return false;
    }
    job->spilled += count;
    m_changed.notify_all();
    return true;
}

bool PackQueue::Next(PackJob* job, BlockPiece* piece, std::uint64_t* spillAt,
                     std::uint32_t* spillCount) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (!job->pieces.empty()) {
            *piece = job->pieces.front();
            job->pieces.pop_front();
            job->held -= piece->size;
            return true;
        }
        if (job->drained < job->spilled) {
            *piece = BlockPiece{};
            *spillAt = job->drained;
            const std::uint64_t left = job->spilled - job->drained;
            *spillCount = left < kPackPiece ? static_cast<std::uint32_t>(left) : kPackPiece;
            return true;
        }
        if (job->done || Platform::CancelRequested()) return false;
        m_changed.wait_for(lock, std::chrono::milliseconds(50));
    }
}

bool PackQueue::Drain(std::size_t index, bool hasWorkers, Writer* writer) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!hasWorkers && m_next == index) Run(&lock);
    }
    PackJob& job = m_jobs[index];
    unsigned char* buffer = nullptr;
    bool ok = true;
    BlockPiece piece;
    std::uint64_t spillAt = 0;
    std::uint32_t spillCount = 0;
    while (ok && Next(&job, &piece, &spillAt, &spillCount)) {
        if (piece.data != nullptr) {
            ok = writer->Write(piece.data, piece.size);
            Free(piece.data);
            continue;
        }
        if (buffer == nullptr) buffer = static_cast<unsigned char*>(Allocate(kPackPiece));
        std::uint32_t got = 0;
        ok = buffer != nullptr &&
             Platform::FileReadAt(job.spill, spillAt, buffer, spillCount, &got) ==
                 Platform::Error::None &&
             got == spillCount && writer->Write(buffer, spillCount);
        std::lock_guard<std::mutex> lock(m_mutex);
        job.drained += spillCount;
    }
    Free(buffer);
    return ok && !Platform::CancelRequested();
}

void PackQueue::Release(std::size_t index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PackJob& job = m_jobs[index];
    FreeBlock(&job);
    m_held -= job.cost;
    job.cost = 0;
    m_changed.notify_all();
}

void PackQueue::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
    m_changed.notify_all();
}

void PackQueue::Run(std::unique_lock<std::mutex>* lock) {
    PackJob& job = m_jobs[m_next++];
    m_held += job.cost;
    lock->unlock();
    Pack(&job, m_root, m_device, this);
    lock->lock();
    // Only what is still in memory stays until the writer has taken it.
    m_held -= job.cost;
    job.cost = job.held;
    m_held += job.cost;
    job.done = true;
    m_changed.notify_all();
}

}  // namespace QxarcTool
