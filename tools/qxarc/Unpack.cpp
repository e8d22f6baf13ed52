// Unpack: an entry inflated into a temporary file beside its target and moved over it.
#include "tools/qxarc/Unpack.h"

#include <chrono>

#include "framework/archive/ArchiveEntry.h"
#include "platform/Cancel.h"
#include "platform/File.h"
#include "platform/PathFacts.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Reader.h"

namespace QxarcTool {

using namespace QRV2;

namespace {

// Writes an entry's content into the temporary file as it is inflated.
class FileSink : public ArchiveFormat::ContentSink {
public:
    explicit FileSink(Platform::FileHandle file) : m_file(file) {}
    bool Put(const void* data, std::uint32_t count) override {
        if (Platform::CancelRequested()) return false;
        std::uint32_t written = 0;
        m_error = Platform::FileWrite(m_file, data, count, &written);
        return m_error == Platform::Error::None && written == count;
    }
    Platform::Error LastError() const { return m_error; }

private:
    Platform::FileHandle m_file;
    Platform::Error m_error = Platform::Error::None;
};

}  // namespace

void Unpack(UnpackJob* job, ArchiveFormat::ContentReader* reader, ArchiveFile* archive,
            std::uint32_t dataStart) {
    const std::string& target = job->target;
    auto fail = [job](const std::string& what, const std::string& reason) {
        job->messages.emplace_back(what, reason);
    };
    TemporaryFile temporary;
    Platform::Error error = Platform::Error::None;
    // Named without a letter (".~.N"): a name with letters would make the file system layer
    // look through the whole folder for another spelling of it, once for every file.
    if (!temporary.Create(FolderOf(target) + ".~", "", &error))
        return fail(Host(target), "cannot be written (" + Why(error) + ")");
    FileSink sink(temporary.Handle());
    ArchiveFormat::Damage damage = reader->Read(
        archive, job->entry->GetOffset(), job->entry->GetStoredSize(), dataStart, &sink, nullptr);
    if (Platform::CancelRequested()) return;  // the temporary file goes with it
    const bool good = damage == ArchiveFormat::Damage::None && temporary.CloseHandle();
    if (damage == ArchiveFormat::Damage::WriteFailed) {
        fail(Host(target), "cannot be written (" + Why(sink.LastError()) + ")");
    } else if (damage != ArchiveFormat::Damage::None) {
        fail(EntryLabel(job->archive, NameOf(job->entry)), ArchiveFormat::Explain(damage));
    } else if (!good) {
        fail(Host(target), "cannot be written (disk full?)");
    } else if ((error = temporary.ReplaceInto(target)) == Platform::Error::None) {
        if (!job->replaces.empty())
            fail(EntryLabel(job->archive, job->replaces),
                 "replaced by entry \"" + NameOf(job->entry) +
                     "\" after it, which names the same file");
    } else {
        // Examined only now: a folder at the target's place is rare, a look before every
        // file is not.
        Platform::PathFacts facts;
        Platform::InspectPath(target.c_str(), &facts);
        if (facts.kind == Platform::PathKind::Folder)
            fail(Host(target), "is a folder: entry not extracted");
        else
            fail(Host(target), "cannot be replaced (" + Why(error) + ")");
    }
}

void UnpackQueue::Work(ArchiveFormat::ContentReader* reader) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
        if (m_stop) return;
        UnpackJob* job = m_waiting.front();
        m_waiting.pop_front();
        lock.unlock();
        Unpack(job, reader, m_archive, m_dataStart);
        lock.lock();
        job->done = true;
        m_changed.notify_all();
    }
}

UnpackJob* UnpackQueue::Add(UnpackJob job, ArchiveFormat::ContentReader* inlineReader) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    UnpackJob* added = &m_jobs.back();
    if (added->target.empty()) {
        added->done = true;
    } else if (inlineReader != nullptr) {
        Unpack(added, inlineReader, m_archive, m_dataStart);
        added->done = true;
    } else {
        m_waiting.push_back(added);
        m_changed.notify_all();
    }
    return added;
}

std::size_t UnpackQueue::Pending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_jobs.size();
}

bool UnpackQueue::TakeOldest(UnpackJob* out) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_jobs.empty()) return false;
    while (!m_jobs.front().done) {
        if (Platform::CancelRequested()) return false;
        m_changed.wait_for(lock, std::chrono::milliseconds(50));
    }
    *out = std::move(m_jobs.front());
    m_jobs.pop_front();
    return !Platform::CancelRequested();
}

void UnpackQueue::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
    m_changed.notify_all();
}

}  // namespace QxarcTool
