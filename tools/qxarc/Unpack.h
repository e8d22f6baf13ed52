// Unpack: one entry inflated by a worker into a temporary file and put in place, and the queue
// that hands entries to the workers and back in directory order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "framework/archive/ContentReader.h"
#include "tools/qxarc/Common.h"

namespace QRV2 {
class ArchiveEntry;
}

namespace QxarcTool {

class ArchiveFile;

// One matched entry of an extraction. The main thread prepares it in entry order (name checks,
// its folder opened or made) and reports it in entry order; a worker inflates it into a
// temporary file in that folder and puts it in place.
struct UnpackJob {
    QRV2::ArchiveEntry* entry = nullptr;
    const std::string* archive = nullptr;  // the archive as messages name it
    FolderRef folder;                      // where the file goes; null: refused beforehand
    std::string name;                      // the file's own name in that folder
    std::string shown;                     // the file's path as messages name it
    std::string replaces;                  // an earlier entry of this run that named the same file
    bool keepExisting = false;             // a file that was there before the run stays (-k)
    std::vector<std::pair<std::string, std::string>> messages;  // (what, reason), in order
    std::uint64_t bytes = 0;  // the entry's stored size, for the progress
    bool made = false;        // the file is in place
    bool done = false;
};

// The working memory of one extracting thread: it takes a block of up to 2 MiB in one read
// and hands an entry of up to 4 MiB to the file in one write.
constexpr std::uint32_t kUnpackInput = 2u << 20;
constexpr std::uint32_t kUnpackOutput = 4u << 20;

// True when content beginning with these bytes is a program: a script ("#!") or an executable
// of the ELF or Mach-O formats.
bool LooksExecutable(const unsigned char* start, std::uint32_t count);

// Inflates the entry into a new file beside its target and moves that over the target only
// once the entry checked out whole: a damaged entry never touches an existing file, and a link
// at the target's place is left as it is (the entry refused). A replaced file's permissions
// stay; a program gets the execute permission. Whatever goes wrong, and an earlier entry this
// one replaces, lands in the job's messages.
void Unpack(UnpackJob* job, QRV2::ArchiveFormat::ContentReader* reader, ArchiveFile* archive,
            std::uint32_t dataStart);

// The entries being extracted, oldest first. Workers take them in order; the main thread adds
// them and reports each once it is done, in the same order.
class UnpackQueue {
public:
    UnpackQueue(ArchiveFile* archive, std::uint32_t dataStart)
        : m_archive(archive), m_dataStart(dataStart) {}

    // A worker's loop: unpacks entries with reader until Stop.
    void Work(QRV2::ArchiveFormat::ContentReader* reader);
    // Adds a job; with an inline reader (no workers) it is done here at once.
    UnpackJob* Add(UnpackJob job, QRV2::ArchiveFormat::ContentReader* inlineReader);
    // Jobs added and not yet taken back.
    std::size_t Pending();
    // Waits until the oldest job is done and hands it over (false when there is none or the
    // user asked to stop).
    bool TakeOldest(UnpackJob* out);
    void Stop();

private:
    ArchiveFile* m_archive;
    std::uint32_t m_dataStart;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<UnpackJob> m_jobs;      // added and not yet reported, in entry order
    std::deque<UnpackJob*> m_waiting;  // not yet taken by a worker
    bool m_stop = false;
};

}  // namespace QxarcTool
