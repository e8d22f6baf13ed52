// Unpack: an entry inflated into a temporary file beside its target and moved over it.
#include "tools/qxarc/Unpack.h"

#include <chrono>
#include <cstring>

#include "framework/archive/ArchiveEntry.h"
#include "platform/Cancel.h"
#include "platform/File.h"
#include "platform/PathFacts.h"
#include "platform/UserTree.h"
#include "tools/qxarc/Reader.h"

namespace QxarcTool {

using namespace QRV2;

bool LooksExecutable(const unsigned char* start, std::uint32_t count) {
    static const unsigned char kMagics[][4] = {
        {0x7F, 'E', 'L', 'F'},     // ELF
        {0xFE, 0xED, 0xFA, 0xCE},  // Mach-O, 32-bit
        {0xFE, 0xED, 0xFA, 0xCF},  // Mach-O, 64-bit
        {0xCE, 0xFA, 0xED, 0xFE},  // the same, little-endian
        {0xCF, 0xFA, 0xED, 0xFE},
    };
    if (count >= 2 && start[0] == '#' && start[1] == '!') return true;
    if (count < 4) return false;
    for (const auto& magic : kMagics) {
        if (std::memcmp(start, magic, 4) == 0) return true;
    }
    return false;
}

namespace {

// Writes an entry's content into the temporary file as it is inflated; the first bytes tell
// whether the file is a program.
class FileSink : public ArchiveFormat::ContentSink {
public:
    explicit FileSink(Platform::FileHandle file) : m_file(file) {}
    bool Put(const void* data, std::uint32_t count) override {
        if (Platform::CancelRequested()) return false;
        if (m_first && count != 0) {
            m_first = false;
            m_program = LooksExecutable(static_cast<const unsigned char*>(data), count);
        }
        std::uint32_t written = 0;
        m_error = Platform::FileWrite(m_file, data, count, &written);
        return m_error == Platform::Error::None && written == count;
    }
    Platform::Error LastError() const { return m_error; }
    bool Program() const { return m_program; }

private:
    Platform::FileHandle m_file;
    Platform::Error m_error = Platform::Error::None;
    bool m_first = true;
    bool m_program = false;
};

}  // namespace

void Unpack(UnpackJob* job, ArchiveFormat::ContentReader* reader, ArchiveFile* archive,
            std::uint32_t dataStart) {
    auto fail = [job](const std::string& what, const std::string& reason) {
        job->messages.emplace_back(what, reason);
    };
    TemporaryFile temporary;
    Platform::Error error = Platform::Error::None;
    // Named without a letter (".~.N"), so no spelling of it can meet a name of the archive's.
    if (!temporary.Create(job->folder, ".~", "", &error))
        return fail(job->shown, "cannot be written (" + Why(error) + ")");
    FileSink sink(temporary.Handle());
    ArchiveFormat::Damage damage = reader->Read(
        archive, job->entry->GetOffset(), job->entry->GetStoredSize(), dataStart, &sink, nullptr);
    if (Platform::CancelRequested()) return;  // the temporary file goes with it
    if (damage == ArchiveFormat::Damage::WriteFailed)
        return fail(job->shown, "cannot be written (" + Why(sink.LastError()) + ")");
    if (damage != ArchiveFormat::Damage::None)
        return fail(EntryLabel(*job->archive, NameOf(job->entry)), ArchiveFormat::Explain(damage));
    // The format keeps no permissions: a new file gets those of any new file, a program the
    // execute permission too, and a file that is replaced keeps its own.
    if (sink.Program()) Platform::UserFileMarkExecutable(temporary.Handle());
    // A link at the file's place is the user's (or was planted): neither written through nor
    // replaced. A folder this run made holds nothing older.
    if (!job->folder->Made() &&
        Platform::UserFileAdoptMode(temporary.Handle(), job->folder->Get(), job->name, false) ==
            Platform::Error::StoppedOnLink)
        return fail(job->shown,
                    "is a link, which is neither followed nor replaced: entry not "
                    "extracted");
    if (!temporary.CloseHandle()) return fail(job->shown, "cannot be written (disk full?)");
    error = temporary.ReplaceInto(job->name, job->keepExisting);
    job->made = error == Platform::Error::None;
    if (error == Platform::Error::None) {
        if (!job->replaces.empty())
            fail(EntryLabel(*job->archive, job->replaces),
                 "replaced by entry \"" + NameOf(job->entry) +
                     "\" after it, which names the same file");
        return;
    }
    if (error == Platform::Error::AlreadyExists && job->keepExisting)
        return fail(job->shown, "exists and is kept (-k): entry not extracted");
    // Examined only now: a folder at the target's place is rare, a look before every file is
    // not.
    Platform::PathFacts facts;
    Platform::UserInspect(job->folder->Get(), job->name, &facts);
    if (facts.kind == Platform::PathKind::Folder)
        fail(job->shown, "is a folder: entry not extracted");
    else
        fail(job->shown, "cannot be replaced (" + Why(error) + ")");
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
    if (added->folder == nullptr) {
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
