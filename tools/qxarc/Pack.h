// Pack: one file read and laid out as a data block by a worker, and the queue that hands files
// to the workers in entry order within a memory budget.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace QRV2 {
class CompressDevice;
}

namespace QxarcTool {

struct Found {
    std::string name;        // the entry name: relative path with "\" between components
    std::string path;        // framework path of the file
    std::uint64_t size = 0;  // its size when the folder was walked
};

// One file on its way into the archive: read and compressed by a worker, then written by the
// main thread in entry order.
struct PackJob {
    const Found* file = nullptr;
    std::uint64_t cost = 0;          // bytes it may hold: content and block while packed
    unsigned char* block = nullptr;  // the data block (header and payload) once packed
    std::uint32_t blockSize = 0;
    std::string problem;  // why it is left out (empty: packed)
    bool done = false;
};

// Bytes a file of that size may hold while it is packed: its content and its block.
std::uint64_t PackCost(std::uint64_t size);

// Reads the job's file whole and makes its data block as the framework's archive writer does:
// the whole content compressed at once, or stored when compression fails. On failure the job
// holds no block and its problem says why the file is left out.
void Pack(PackJob* job, QRV2::CompressDevice* device);

// Hands the files to the workers in entry order, and keeps the memory that packed and waiting
// blocks hold within a budget: a worker takes the next file only when its content and block
// fit beside what is held (or when nothing is held, so the largest file always gets through).
class PackQueue {
public:
    PackQueue(std::vector<PackJob>* jobs, std::uint64_t budget, QRV2::CompressDevice* device)
        : m_jobs(*jobs), m_budget(budget), m_device(device) {}

    // A worker's loop: packs files until none is left or Stop.
    void Work();
    // Waits until job index is packed (packing it here when there are no workers); false when
    // the user asked to stop.
    bool WaitFor(std::size_t index, bool hasWorkers);
    // The block of job index has been written or dropped: its memory is free again.
    void Release(std::size_t index);
    void Stop();

private:
    // Packs the next job; called and returning with the lock held.
    void Run(std::unique_lock<std::mutex>* lock);
    bool Fits() const { return m_held == 0 || m_held + m_jobs[m_next].cost <= m_budget; }

    std::vector<PackJob>& m_jobs;
    std::uint64_t m_budget;
    QRV2::CompressDevice* m_device;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_next = 0;
    std::uint64_t m_held = 0;
    bool m_stop = false;
};

}  // namespace QxarcTool
