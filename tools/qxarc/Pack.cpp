// Pack: a file read whole and laid out as one data block.
#include "tools/qxarc/Pack.h"

#include <chrono>

#include "framework/archive/BlockCodec.h"
#include "framework/core/Allocator.h"
#include "framework/io/CompressDevice.h"
#include "platform/Cancel.h"
#include "platform/File.h"
#include "tools/qxarc/Common.h"

namespace QxarcTool {

using namespace QRV2;

std::uint64_t PackCost(std::uint64_t size) {
    return size + ArchiveFormat::kBlockHeaderSize +
           CompressedSizeBound(static_cast<std::uint32_t>(size));
}

namespace {

// Reads up to size bytes into content; the count read (less when the file shrank or a read
// failed, *error saying which).
std::uint32_t ReadWhole(Platform::FileHandle file, unsigned char* content, std::uint32_t size,
                        Platform::Error* error) {
    std::uint32_t got = 0;
    while (got < size) {
        std::uint32_t n = 0;
        *error = Platform::FileRead(file, content + got, size - got, &n);
        if (*error != Platform::Error::None || n == 0) break;
        got += n;
    }
    return got;
}

// Makes the job's block from the open file: its content read whole and laid out as the
// framework's archive writer does, compressed at once or stored when compression fails.
void PackOpened(PackJob* job, Platform::FileHandle file, CompressDevice* device) {
    std::uint32_t size = 0;
    Platform::Error error = Platform::FileGetSize(file, &size);
    if (error != Platform::Error::None) {
        job->problem = "cannot be read (" + Why(error) + "): left out";
        return;
    }
    const std::uint64_t room = CompressedSizeBound(size) + ArchiveFormat::kBlockHeaderSize;
    unsigned char* content = static_cast<unsigned char*>(Allocate(size));
    if (room <= ArchiveFormat::kMaxSize)
        job->block = static_cast<unsigned char*>(Allocate(static_cast<std::size_t>(room)));
    if (content == nullptr || job->block == nullptr) {
        job->problem = "cannot be packed (out of memory): left out";
    } else if (ReadWhole(file, content, size, &error) < size) {
        job->problem = error != Platform::Error::None
                           ? "cannot be read whole (" + Why(error) + "): left out"
                           : "cannot be read whole (it shrank): left out";
    } else {
        job->blockSize = ArchiveFormat::EncodeBlock(device, content, size, job->block,
                                                    static_cast<std::uint32_t>(room));
    }
    Free(content);
}

}  // namespace

void Pack(PackJob* job, CompressDevice* device) {
    Platform::FileHandle file = Platform::NullFile;
    Platform::Error error = Platform::FileOpen(
        job->file->path.c_str(), Platform::FileAccess::Read, Platform::FileShare::Read,
        Platform::FileDisposition::OpenExisting, Platform::FileHint::Sequential, &file);
    if (error != Platform::Error::None) {
        job->problem = "cannot be opened (" + Why(error) + "): left out";
        return;
    }
    PackOpened(job, file, device);
    Platform::FileClose(file);
    if (!job->problem.empty()) {
        Free(job->block);
        job->block = nullptr;
        job->blockSize = 0;
    }
}

void PackQueue::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_next == m_jobs.size() || Fits(); });
        if (m_stop || m_next == m_jobs.size()) return;
        Run(&lock);
    }
}

bool PackQueue::WaitFor(std::size_t index, bool hasWorkers) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!hasWorkers && m_next == index) Run(&lock);
    while (!m_jobs[index].done) {
        if (Platform::CancelRequested()) return false;
        m_changed.wait_for(lock, std::chrono::milliseconds(50));
    }
    return !Platform::CancelRequested();
}

void PackQueue::Release(std::size_t index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PackJob& job = m_jobs[index];
    Free(job.block);
    job.block = nullptr;
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
    Pack(&job, m_device);
    lock->lock();
    // Only the block stays until the main thread has written it.
    m_held -= job.cost;
    job.cost = job.blockSize;
    m_held += job.cost;
    job.done = true;
    m_changed.notify_all();
}

}  // namespace QxarcTool
