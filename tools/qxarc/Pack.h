// Pack: one file read and laid out as a data block by a worker, and the queue that hands files
// to the workers in entry order and their blocks to the writer, within a memory budget.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/UserTree.h"

namespace QRV2 {
class CompressDevice;
}

namespace QxarcTool {

struct Found {
    std::string name;        // the entry name: the path below the folder, "\" between components
    std::uint64_t size = 0;  // its size when the folder was walked
};

// Files up to this size are read whole and compressed in one call; larger ones are read and
// compressed in pieces of this size, so memory stays bounded and a stop is prompt whatever a
// file's size.
constexpr std::uint32_t kPackPiece = 1u << 20;
// The most of a block a worker keeps in memory while the writer is busy with the blocks before
// it; the rest waits in a scratch file.
constexpr std::uint64_t kHeldBlock = 32u << 20;
// The memory one worker may hold: its pieces, its compressor and the blocks waiting their turn.
constexpr std::uint64_t kWorkerMemory = 64u << 20;

// One piece of a block on its way into the archive (from the framework allocator).
struct BlockPiece {
    unsigned char* data = nullptr;
    std::uint32_t size = 0;
};

// One file on its way into the archive: read and compressed by a worker, then written by the
// main thread in entry order, piece by piece as they come.
struct PackJob {
    const Found* file = nullptr;
    std::uint64_t cost = 0;  // the memory it may hold while it is packed and waits
    // The block so far, in order: pieces in memory, then what went to the spill file.
    std::deque<BlockPiece> pieces;
    std::uint64_t held = 0;  // bytes in pieces
    Platform::FileHandle spill = Platform::NullFile;
    std::uint64_t spilled = 0;    // bytes written to the spill file
    std::uint64_t drained = 0;    // of those, bytes the writer has taken
    std::uint64_t blockSize = 0;  // bytes of the block laid out so far
    std::string problem;          // why it is left out (empty: packed)
    std::string note;             // packed, but worth a message (it changed while read)
    bool done = false;
};

// Bytes a file of that size may hold while it is packed.
std::uint64_t PackCost(std::uint64_t size);

// Hands the files to the workers in entry order, and keeps the memory that packed and waiting
// blocks hold within a budget: a worker takes the next file only when its cost fits beside
// what is held (or when nothing is held, so every file gets through).
class PackQueue {
public:
    // root: the folder the files' names are relative to; spillFolder: where blocks that wait
    // beyond kHeldBlock go (a host path, "" for the system's temporary folder).
    PackQueue(std::vector<PackJob>* jobs, std::uint64_t budget, Platform::UserFolder root,
              std::string spillFolder, QRV2::CompressDevice* device)
        : m_jobs(*jobs),
          m_budget(budget),
          m_root(root),
          m_spillFolder(std::move(spillFolder)),
          m_device(device) {}
    ~PackQueue();

    // A worker's loop: packs files until none is left or Stop.
    void Work();
    // Where Drain hands a block's bytes; false stops it.
    class Writer {
    public:
        virtual bool Write(const void* data, std::uint32_t count) = 0;

    protected:
        ~Writer() = default;
    };
    // Hands the block of job index to writer piece by piece as it is made (packing it here
    // when there are no workers), until the job is done. false when the user asked to stop or
    // the writer refused (the job's block is then incomplete).
    bool Drain(std::size_t index, bool hasWorkers, Writer* writer);
    // The job's block has been written or dropped: its memory is free again.
    void Release(std::size_t index);
    void Stop();

    // For a worker packing job: adds count bytes at data (from the framework allocator, owned
    // from now on) to the job's block. false (the job's problem set) when they cannot be kept.
    bool Emit(PackJob* job, unsigned char* data, std::uint32_t count);

private:
    // What Drain takes next: a piece, or a stretch of the spill file; false when the job is
    // done and everything was taken, or on a stop.
    bool Next(PackJob* job, BlockPiece* piece, std::uint64_t* spillAt, std::uint32_t* spillCount);
    // Frees what the job still holds; called with the lock held.
    static void FreeBlock(PackJob* job);
    // Packs the next job; called and returning with the lock held.
    void Run(std::unique_lock<std::mutex>* lock);
    bool Fits() const { return m_held == 0 || m_held + m_jobs[m_next].cost <= m_budget; }

    std::vector<PackJob>& m_jobs;
    std::uint64_t m_budget;
    Platform::UserFolder m_root;
    std::string m_spillFolder;
    QRV2::CompressDevice* m_device;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_next = 0;
    std::uint64_t m_held = 0;
    bool m_stop = false;
};

// Reads the job's file and lays out its data block as the framework's archive writer does (the
// content compressed at level 9, or stored when no compressor can be had), handing it to the
// queue piece by piece. On failure its problem says why the file is left out; a file that
// changed while it was read is kept as read, with a note.
void Pack(PackJob* job, Platform::UserFolder root, QRV2::CompressDevice* device, PackQueue* queue);

}  // namespace QxarcTool
