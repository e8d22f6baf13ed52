// qxarc: creates, lists, tests and extracts archives from the command line.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "framework/FrameworkSession.h"
#include "framework/archive/Archive.h"
#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/BlockCodec.h"
#include "framework/archive/ContentReader.h"
#include "framework/archive/LittleEndian.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/io/BinaryStream.h"
#include "framework/io/CompressDevice.h"
#include "framework/io/MemoryStream.h"
#include "framework/system/FileFunc.h"
#include "platform/Cancel.h"
#include "platform/Clock.h"
#include "platform/CommandLine.h"
#include "platform/Directory.h"
#include "platform/File.h"
#include "platform/PathFacts.h"

using namespace QRV2;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: qxarc create [-j N] ARCHIVE FOLDER\n"
    "                                        pack every file below FOLDER (hidden ones left out)\n"
    "       qxarc list ARCHIVE               show each entry's content size, stored size, offset\n"
    "       qxarc test ARCHIVE               read every entry and report each damaged one\n"
    "       qxarc extract [-j N] ARCHIVE DEST [PREFIX]\n"
    "                                        extract all entries (or those below PREFIX) into "
    "DEST\n"
    "       qxarc --help | --version\n"
    "-j N: N worker threads (default: one per processor); the archive is the same for any N.\n"
    "Exit status: 0 success, 1 something failed or was left out (each named on standard error),\n"
    "2 bad usage.\n";

std::string Shown(const std::string& name);

// Names and reasons may carry names from a folder tree or an archive: shown escaped.
int Error(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "qxarc: %s: %s\n", Shown(file).c_str(), Shown(reason).c_str());
    return kFailed;
}

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "qxarc: %s (see qxarc --help)\n", reason.c_str());
    return kUsage;
}

// A one-line bar on standard error, drawn only on a terminal and only once a run has taken a
// moment, so short runs and redirected output stay clean.
class Progress {
public:
    explicit Progress(std::uint64_t total)
        : m_total(total),
          m_enabled(Platform::StandardErrorIsTerminal()),
          m_start(std::chrono::steady_clock::now()),
          m_last(m_start) {}
    ~Progress() { Finish(); }

    void Step(const std::string& label) {
        ++m_done;
        if (!m_enabled || m_total == 0) return;
        auto now = std::chrono::steady_clock::now();
        if (now - m_start < std::chrono::milliseconds(500)) return;
        if (m_drawn && now - m_last < std::chrono::milliseconds(100) && m_done < m_total) return;
        m_last = now;
        m_drawn = true;
        const int width = 30;
        int filled = static_cast<int>(m_done * width / m_total);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(width - filled), '.');
        std::string name = label.size() > 40 ? "..." + label.substr(label.size() - 37) : label;
        std::fprintf(stderr, "\r[%s] %3d%% %-40s", bar.c_str(),
                     static_cast<int>(m_done * 100 / m_total), name.c_str());
        std::fflush(stderr);
    }

    void Finish() {
        if (!m_drawn) return;
        std::fprintf(stderr, "\r%*s\r", 30 + 2 + 5 + 40, "");
        std::fflush(stderr);
        m_drawn = false;
    }

private:
    std::uint64_t m_total;
    std::uint64_t m_done = 0;
    bool m_enabled;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
};

std::string Host(const std::string& frameworkPath) {
    return Platform::FrameworkPathToHostPath(frameworkPath);
}

bool ToFramework(const char* hostPath, std::string* path) {
    return Platform::HostPathToFrameworkPath(hostPath, path);
}

// The folder part of a framework path, with its separator ("" for a bare name).
std::string FolderOf(const std::string& path) {
    const std::string::size_type cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string AsFolder(std::string path) {
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    return path;
}

// A name as it is safe to print: control bytes (and DEL) as \xHH, so a name cannot move the
// cursor, clear the screen or fake another line of output.
std::string Shown(const std::string& name) {
    std::string shown;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::string EntryLabel(const char* hostArchive, const std::string& name) {
    return std::string(hostArchive) + ": entry \"" + name + "\"";
}

std::string Why(Platform::Error error) {
    switch (error) {
        case Platform::Error::AccessDenied: return "no permission";
        case Platform::Error::InvalidName: return "path too long or name not allowed by the system";
        case Platform::Error::FileNotFound:
        case Platform::Error::PathNotFound: return "vanished while being read";
        case Platform::Error::SharingViolation: return "in use by another program";
        case Platform::Error::DiskFull: return "disk full";
        case Platform::Error::FileExists:
        case Platform::Error::AlreadyExists: return "already exists";
        default: return "system error " + std::to_string(Platform::ToInt(error));
    }
}

// Removes the tool's temporary file unless it was handed on; the one place a Ctrl-C, a failure
// or an early return cleans up after itself.
class TemporaryFile {
public:
    // Creates a new file named stem.N.suffix (N a decimal number, counting up until a name is
    // free): an existing file of that or any other name is never opened or emptied.
    bool Create(const std::string& stem, const char* suffix, Platform::Error* error,
                Platform::FileAccess access = Platform::FileAccess::Write) {
        // Every call starts from a number of its own, so workers creating files at the same
        // moment do not try the same names one after another.
        static std::atomic<std::uint32_t> next{Platform::TickMilliseconds() % 100000000u};
        std::uint32_t n = next.fetch_add(1);
        for (int attempt = 0; attempt < 1000; ++attempt, ++n) {
            char number[16];
            std::snprintf(number, sizeof number, ".%u", static_cast<unsigned>(n % 1000000000u));
            std::string path = stem + number + suffix;
            *error = Platform::FileOpen(path.c_str(), access, Platform::FileShare::None,
                                        Platform::FileDisposition::CreateNew,
                                        Platform::FileHint::Normal, &m_handle);
            if (*error == Platform::Error::FileExists || *error == Platform::Error::AlreadyExists)
                continue;
            if (*error != Platform::Error::None) return false;
            m_path = path;
            return true;
        }
        return false;
    }
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { Discard(); }
    void Swap(TemporaryFile* other) {
        std::swap(m_path, other->m_path);
        std::swap(m_handle, other->m_handle);
    }
    const std::string& Path() const { return m_path; }
    Platform::FileHandle Handle() const { return m_handle; }
    // Closes the handle; false when the system reports that the data did not all go out.
    bool CloseHandle() {
        if (m_handle == Platform::NullFile) return true;
        Platform::Error error = Platform::FileClose(m_handle);
        m_handle = Platform::NullFile;
        return error == Platform::Error::None;
    }
    // Moves the file over target; afterwards it is no longer the tool's to remove.
    Platform::Error ReplaceInto(const std::string& target) {
        CloseHandle();
        Platform::Error error = Platform::FileReplace(m_path.c_str(), target.c_str());
        if (error == Platform::Error::None) m_path.clear();
        return error;
    }
    void Discard() {
        CloseHandle();
        if (!m_path.empty()) Platform::FileDelete(m_path.c_str());
        m_path.clear();
    }

private:
    std::string m_path;
    Platform::FileHandle m_handle = Platform::NullFile;
};

int Stopped() {
    std::fprintf(stderr, "qxarc: stopped by the user\n");
    return kFailed;
}

// Collapses "." and "x\.." components, so two spellings of one path compare equal.
std::string Normalized(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        char c = i < path.size() ? path[i] : '\\';
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (part == "." || (part.empty() && !parts.empty())) {
        } else if (part == ".." && parts.size() > 1) {
            parts.pop_back();
        } else {
            parts.push_back(part);
        }
        part.clear();
    }
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) joined += (i == 0 ? "" : "\\") + parts[i];
    return joined;
}

// ---- create ---------------------------------------------------------------------------------

struct Found {
    std::string name;        // the entry name: relative path with "\" between components
    std::string path;        // framework path of the file
    std::uint64_t size = 0;  // its size when the folder was walked
};

// Walks folder (framework path ending in a separator) and collects every visible file. Whatever
// cannot be packed is named on standard error with its reason and counted in *problems.
void Collect(const std::string& folder, const std::string& relative, const std::string& skip,
             std::vector<Found>* found, int* problems) {
    auto refuse = [&](const std::string& path, const std::string& reason) {
        Error(Host(path), reason);
        ++*problems;
    };
    Platform::DirectoryEntry entry;
    Platform::Error error = Platform::Error::None;
    Platform::DirectoryHandle search =
        Platform::DirectoryFindFirst((folder + "*").c_str(), &entry, &error);
    if (search == nullptr) {
        if (error != Platform::Error::FileNotFound && error != Platform::Error::NoMoreFiles)
            refuse(folder, "folder cannot be read (" + Why(error) + "): left out");
        return;
    }
    std::vector<Platform::DirectoryEntry> entries;
    do {
        entries.push_back(entry);
    } while (Platform::DirectoryFindNext(search, &entry, &error));
    if (error != Platform::Error::NoMoreFiles)
        refuse(folder, "folder cannot be read whole (" + Why(error) + "): some of it left out");
    Platform::DirectoryFindClose(search);

    for (const Platform::DirectoryEntry& e : entries) {
        // Hidden names are left out by design, like the framework's own folder packing.
        if (e.isHidden) continue;
        const std::string name = e.name;
        const std::string path = folder + name;
        if (name.find('\\') != std::string::npos) {
            refuse(folder + name,
                   "name holds a \"\\\", which the archive uses between folders: left out");
            continue;
        }
        if (Normalized(path) == skip) continue;  // the archive is not packed into itself
        Platform::PathFacts facts;
        error = Platform::InspectPath(path.c_str(), &facts);
        if (error != Platform::Error::None) {
            refuse(path, "cannot be examined (" + Why(error) + "): left out");
            continue;
        }
        const std::string entryName = relative + name;
        switch (facts.kind) {
            case Platform::PathKind::Folder:
                Collect(path + "\\", entryName + "\\", skip, found, problems);
                break;
            case Platform::PathKind::File:
            case Platform::PathKind::LinkToFile:
                // Refused from its size: the format's 32-bit sizes cannot carry it.
                if (facts.size > ArchiveFormat::kMaxSize) {
                    refuse(path, "larger than 4,294,967,295 bytes, the archive's limit: left out");
                } else if (entryName.size() > ArchiveFormat::kMaxNameLength) {
                    refuse(path, "name too long for the archive: left out");
                } else {
                    found->push_back({entryName, path, facts.size});
                }
                break;
            case Platform::PathKind::LinkToFolder:
                refuse(path, "link to a folder, not followed: left out");
                break;
            case Platform::PathKind::DanglingLink:
                refuse(path, "link whose target is missing: left out");
                break;
            case Platform::PathKind::Special:
                refuse(path, "not a regular file (FIFO, socket or device), not read: left out");
                break;
            case Platform::PathKind::Missing:
                refuse(path, "vanished while being read: left out");
                break;
        }
    }
}

// How many workers to use when -j is not given: one per processor.
unsigned DefaultJobs() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

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

std::uint64_t PackCost(std::uint64_t size) {
    return size + ArchiveFormat::kBlockHeaderSize +
           CompressedSizeBound(static_cast<std::uint32_t>(size));
}

// Reads the file whole and makes its data block as the framework's archive writer does: the
// whole content compressed at once, or stored when compression fails.
void Pack(PackJob* job, CompressDevice* device) {
    const std::string& path = job->file->path;
    Platform::FileHandle file = Platform::NullFile;
    Platform::Error error = Platform::FileOpen(
        path.c_str(), Platform::FileAccess::Read, Platform::FileShare::Read,
        Platform::FileDisposition::OpenExisting, Platform::FileHint::Sequential, &file);
    if (error != Platform::Error::None) {
        job->problem = "cannot be opened (" + Why(error) + "): left out";
        return;
    }
    std::uint32_t size = 0;
    unsigned char* content = nullptr;
    error = Platform::FileGetSize(file, &size);
    if (error == Platform::Error::None) {
        const std::uint64_t room = CompressedSizeBound(size);
        content = static_cast<unsigned char*>(Allocate(size));
        if (room + ArchiveFormat::kBlockHeaderSize <= ArchiveFormat::kMaxSize)
            job->block = static_cast<unsigned char*>(
                Allocate(static_cast<std::size_t>(room) + ArchiveFormat::kBlockHeaderSize));
        if (content == nullptr || job->block == nullptr) {
            job->problem = "cannot be packed (out of memory): left out";
        } else {
            std::uint32_t got = 0;
            while (got < size) {
                std::uint32_t n = 0;
                error = Platform::FileRead(file, content + got, size - got, &n);
                if (error != Platform::Error::None || n == 0) break;
                got += n;
            }
            if (got < size) {
                job->problem = error != Platform::Error::None
                                   ? "cannot be read whole (" + Why(error) + "): left out"
                                   : "cannot be read whole (it shrank): left out";
            } else {
                job->blockSize = ArchiveFormat::EncodeBlock(
                    device, content, size, job->block,
                    static_cast<std::uint32_t>(room) + ArchiveFormat::kBlockHeaderSize);
            }
        }
    } else {
        job->problem = "cannot be read (" + Why(error) + "): left out";
    }
    Platform::FileClose(file);
    Free(content);
    if (!job->problem.empty()) {
        Free(job->block);
        job->block = nullptr;
        job->blockSize = 0;
    }
}

// Hands the files to the workers in entry order, and keeps the memory that packed and waiting
// blocks hold within a budget: a worker takes the next file only when its content and block
// fit beside what is held (or when nothing is held, so the largest file always gets through).
class PackQueue {
public:
    PackQueue(std::vector<PackJob>* jobs, std::uint64_t budget, CompressDevice* device)
        : m_jobs(*jobs), m_budget(budget), m_device(device) {}

    // A worker's loop: packs files until none is left or Stop.
    void Work() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stop || m_next == m_jobs.size() || Fits(); });
            if (m_stop || m_next == m_jobs.size()) return;
            Run(&lock);
        }
    }

    // Waits until job index is packed (packing it here when there are no workers); false when
    // the user asked to stop.
    bool WaitFor(std::size_t index, bool hasWorkers) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!hasWorkers && m_next == index) Run(&lock);
        while (!m_jobs[index].done) {
            if (Platform::CancelRequested()) return false;
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        return !Platform::CancelRequested();
    }

    // The block of job index has been written or dropped: its memory is free again.
    void Release(std::size_t index) {
        std::lock_guard<std::mutex> lock(m_mutex);
        PackJob& job = m_jobs[index];
        Free(job.block);
        job.block = nullptr;
        m_held -= job.cost;
        job.cost = 0;
        m_changed.notify_all();
    }

    void Stop() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_changed.notify_all();
    }

private:
    // Packs the next job; called and returning with the lock held.
    void Run(std::unique_lock<std::mutex>* lock) {
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

    bool Fits() const { return m_held == 0 || m_held + m_jobs[m_next].cost <= m_budget; }

    std::vector<PackJob>& m_jobs;
    std::uint64_t m_budget;
    CompressDevice* m_device;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_next = 0;
    std::uint64_t m_held = 0;
    bool m_stop = false;
};

// Worker threads that are joined however the scope is left.
class Workers {
public:
    ~Workers() { Join(); }
    // Fewer threads start when the system refuses more.
    // Starts up to count threads, each running work(its number from 0).
    template <class Work>
    void Start(unsigned count, Work work) {
        for (unsigned i = 0; i < count; ++i) {
            try {
                m_threads.emplace_back(work, i);
            } catch (...) {
                break;  // the threads already running (or the main thread) do the work
            }
        }
    }
    bool Any() const { return !m_threads.empty(); }
    void Join() {
        for (std::thread& t : m_threads) t.join();
        m_threads.clear();
    }

private:
    std::vector<std::thread> m_threads;
};

// The header and directory of entries as bytes, ready to be written in front of the data.
bool FrontBytes(const std::vector<ArchiveEntry*>& entries, std::uint32_t directorySize,
                std::vector<unsigned char>* bytes) {
    Held<MemoryStream> memory(TypeMemoryStream);
    Stream* stream = InterfaceOf<Stream>(memory.Get(), InterfaceStream);
    std::uint32_t size = 0;
    if (stream == nullptr ||
        !ArchiveFormat::WriteFront(stream, entries.data(),
                                   static_cast<std::uint32_t>(entries.size()), directorySize,
                                   ArchiveFormat::kDefaultVersion, 0) ||
        stream->GetSize(&size) != 0 || stream->SetPosition(0) != 0)
        return false;
    bytes->resize(size);
    return stream->Read(bytes->data(), size) == size;
}

bool WriteAll(Platform::FileHandle file, const void* data, std::uint32_t count) {
    std::uint32_t written = 0;
    return Platform::FileWrite(file, data, count, &written) == Platform::Error::None &&
           written == count;
}

// Releases the archive entries made for a create.
struct EntryList {
    std::vector<ArchiveEntry*> all;
    ~EntryList() {
        for (ArchiveEntry* e : all) ReleaseElement(e);
    }
};

// Copies the blocks [from, end) of the first file behind the front of the second: the way out
// when files were left out after their neighbours' blocks had already been placed behind a
// directory that counted them.
bool MoveBlocks(Platform::FileHandle source, std::uint64_t from, std::uint64_t end,
                Platform::FileHandle target) {
    const std::uint32_t chunk = 1u << 20;
    unsigned char* buffer = static_cast<unsigned char*>(Allocate(chunk));
    bool ok = buffer != nullptr;
    for (std::uint64_t at = from; ok && at < end;) {
        std::uint32_t n = end - at < chunk ? static_cast<std::uint32_t>(end - at) : chunk;
        std::uint32_t got = 0;
        ok = Platform::FileReadAt(source, at, buffer, n, &got) == Platform::Error::None &&
             got == n && WriteAll(target, buffer, n);
        at += n;
    }
    Free(buffer);
    return ok;
}

int Create(const char* hostArchive, const char* hostFolder, unsigned jobCount) {
    std::string archivePath;
    std::string folderPath;
    if (!ToFramework(hostArchive, &archivePath)) return Error(hostArchive, "not a usable path");
    if (!ToFramework(hostFolder, &folderPath)) return Error(hostFolder, "not a usable path");

    Platform::PathFacts facts;
    Platform::Error error = Platform::InspectPath(folderPath.c_str(), &facts);
    if (error != Platform::Error::None)
        return Error(hostFolder, "cannot be examined (" + Why(error) + ")");
    if (facts.kind == Platform::PathKind::Missing) return Error(hostFolder, "no such folder");
    if (facts.kind != Platform::PathKind::Folder && facts.kind != Platform::PathKind::LinkToFolder)
        return Error(hostFolder, "not a folder");
    folderPath = AsFolder(folderPath);
    Platform::InstallCancelHandlers();

    int problems = 0;
    std::vector<Found> found;
    Collect(folderPath, "", Normalized(archivePath), &found, &problems);
    // Directory order is the order of the names, whatever order the system lists them in.
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.name < b.name; });
    if (Platform::CancelRequested()) return Stopped();

    // Every record's length is known from its name, so the directory's size is known before
    // any block: the blocks go straight behind the room left for it, and the front is written
    // last. The result is byte for byte what the framework's writer makes of the same files.
    EntryList entries;
    std::vector<PackJob> jobs(found.size());
    std::uint64_t largest = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
        if (entry == nullptr) return Error(hostArchive, "out of memory");
        entries.all.push_back(entry);
        if (entry->SetName(found[i].name.c_str()) != 0) return Error(hostArchive, "out of memory");
        jobs[i].file = &found[i];
        jobs[i].cost = PackCost(found[i].size);
        largest = std::max(largest, jobs[i].cost);
    }
    std::uint32_t directorySize = 0;
    if (ArchiveFormat::MeasureDirectory(entries.all.data(),
                                        static_cast<std::uint32_t>(entries.all.size()),
                                        &directorySize) != ArchiveFormat::Damage::None)
        return Error(hostArchive, "out of memory");
    const std::uint64_t dataStart =
        static_cast<std::uint64_t>(directorySize) + ArchiveFormat::kPrefixSize;
    if (dataStart > 0x7FFFFFFF) return Error(hostArchive, "directory too large for the archive");
    Held<CompressDevice> device(TypeCompressDevice);
    if (!device) return Error(hostArchive, "out of memory");

    // The archive is made under a new name of its own beside the target and replaces it only
    // once complete: a failure or a stop never leaves a damaged archive or destroys an old one.
    TemporaryFile partial;
    if (!partial.Create(archivePath, ".partial", &error, Platform::FileAccess::ReadWrite))
        return Error(hostArchive,
                     "temporary file cannot be created beside it (" + Why(error) + ")");
    bool written =
        Platform::FileSeek(partial.Handle(), static_cast<std::int32_t>(dataStart),
                           Platform::SeekOrigin::Begin, nullptr) == Platform::Error::None;

    int result = problems == 0 ? kOk : kFailed;
    bool tooLarge = false;
    std::vector<ArchiveEntry*> kept;
    std::uint64_t end = dataStart;
    {
        const unsigned workerCount =
            jobCount > 1 ? static_cast<unsigned>(std::min<std::size_t>(jobCount, jobs.size())) : 0;
        PackQueue queue(&jobs, std::max<std::uint64_t>(workerCount, 1) * largest, device.Get());
        Workers workers;
        workers.Start(workerCount, [&queue](unsigned) { queue.Work(); });
        Progress progress(jobs.size());
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (!queue.WaitFor(i, workers.Any())) {
                queue.Stop();
                break;
            }
            PackJob& job = jobs[i];
            if (!job.problem.empty()) {
                progress.Finish();
                result = Error(Host(job.file->path), job.problem);
            } else if (end + job.blockSize > ArchiveFormat::kMaxSize) {
                tooLarge = true;
            } else if (written) {
                written = WriteAll(partial.Handle(), job.block, job.blockSize);
                entries.all[i]->SetOffset(static_cast<std::uint32_t>(end));
                entries.all[i]->SetStoredSize(job.blockSize);
                kept.push_back(entries.all[i]);
                end += job.blockSize;
            }
            queue.Release(i);
            progress.Step(job.file->name);
            if (tooLarge || !written) {
                queue.Stop();
                break;
            }
        }
        progress.Finish();
        queue.Stop();
        workers.Join();
        for (std::size_t i = 0; i < jobs.size(); ++i) Free(jobs[i].block);
    }
    if (Platform::CancelRequested()) return Stopped();
    if (tooLarge)
        return Error(hostArchive,
                     "the archive would pass 4,294,967,295 bytes, its format's limit; nothing "
                     "replaced");

    std::vector<unsigned char> front;
    if (written && kept.size() == entries.all.size()) {
        written =
            FrontBytes(kept, directorySize, &front) &&
            Platform::FileSeek(partial.Handle(), 0, Platform::SeekOrigin::Begin, nullptr) ==
                Platform::Error::None &&
            WriteAll(partial.Handle(), front.data(), static_cast<std::uint32_t>(front.size()));
        written = partial.CloseHandle() && written;
    } else if (written) {
        // Files were left out: their records shrink the directory, so the blocks move forward
        // into a second new file behind the smaller front.
        std::uint32_t smaller = 0;
        TemporaryFile moved;
        written =
            ArchiveFormat::MeasureDirectory(kept.data(), static_cast<std::uint32_t>(kept.size()),
                                            &smaller) == ArchiveFormat::Damage::None &&
            moved.Create(archivePath, ".partial", &error);
        if (written) {
            const std::uint32_t shift = directorySize - smaller;
            for (ArchiveEntry* entry : kept) entry->SetOffset(entry->GetOffset() - shift);
            written =
                FrontBytes(kept, smaller, &front) &&
                WriteAll(moved.Handle(), front.data(), static_cast<std::uint32_t>(front.size())) &&
                MoveBlocks(partial.Handle(), dataStart, end, moved.Handle());
            written = moved.CloseHandle() && written;
            partial.Discard();
            if (written) partial.Swap(&moved);
        }
    }
    if (!written)
        return Error(hostArchive, "writing the archive failed (disk full?); nothing replaced");
    error = partial.ReplaceInto(archivePath);
    if (error != Platform::Error::None)
        return Error(hostArchive, "cannot be replaced (" + Why(error) + ")");
    return result;
}

// ---- reading ---------------------------------------------------------------------------------

// The archive file and its directory, read once through the format module.
class Reader : public ArchiveFormat::DirectorySink {
public:
    ~Reader() {
        for (ArchiveEntry* entry : m_entries) ReleaseElement(entry);
    }
    bool Add(ArchiveEntry* entry) override {
        m_entries.push_back(entry);
        return true;
    }
    // Opens and reads the directory; false after naming the failure. A directory cut short
    // opens (what it holds is usable) and is reported by each command.
    bool Open(const char* hostArchive) {
        std::string path;
        if (!ToFramework(hostArchive, &path)) return Error(hostArchive, "not a usable path"), false;
        m_stream = InterfaceOf<Stream>(m_file.Get(), InterfaceStream);
        if (m_stream == nullptr || m_file->SetPathName(path.c_str()) != 0 ||
            m_stream->SetAccessMode(Stream::AccessRead) != 0)
            return Error(hostArchive, "out of memory"), false;
        std::int32_t code = m_stream->Open();
        if (code != 0) {
            Platform::PathFacts facts;
            Platform::InspectPath(path.c_str(), &facts);
            if (facts.kind == Platform::PathKind::Missing)
                return Error(hostArchive, "no such file"), false;
            if (facts.kind == Platform::PathKind::Folder)
                return Error(hostArchive, "is a folder"), false;
            return Error(hostArchive,
                         "cannot be opened (refused by the system: in use or no rights)"),
                   false;
        }
        m_damage = ReadDirectory();
        if (m_damage != ArchiveFormat::Damage::None &&
            m_damage != ArchiveFormat::Damage::DirectoryCutShort)
            return Error(hostArchive, ArchiveFormat::Explain(m_damage)), false;
        return true;
    }
    // The directory is parsed from one copy of the file's front in memory, one read instead of
    // several per record. The copy takes a byte beyond the directory's declared end, so it
    // never ends where the file does not; should the records run past it (a size that
    // understates them), the file itself is read instead.
    ArchiveFormat::Damage ReadDirectory() {
        constexpr std::uint32_t kLargestCopy = 64u << 20;
        std::uint32_t fileSize = 0;
        unsigned char fixed[ArchiveFormat::kPrefixSize + ArchiveFormat::kDirectoryFixedSize];
        if (m_stream->GetSize(&fileSize) == 0 && fileSize >= sizeof fixed &&
            m_stream->SetPosition(0) == 0 && m_stream->Read(fixed, sizeof fixed) == sizeof fixed) {
            const std::uint64_t size = LittleEndian::Get32(fixed + 12);
            const std::uint64_t copy = size + ArchiveFormat::kPrefixSize + 1;
            Held<MemoryStream> memory(TypeMemoryStream);
            Stream* view = InterfaceOf<Stream>(memory.Get(), InterfaceStream);
            std::vector<unsigned char> front;
            if (view != nullptr && copy <= fileSize && copy <= kLargestCopy) {
                front.resize(static_cast<std::size_t>(copy));
                const std::uint32_t n = static_cast<std::uint32_t>(copy);
                if (m_stream->SetPosition(0) == 0 && m_stream->Read(front.data(), n) == n &&
                    memory->SetData(front.data(), n) == 0) {
                    ArchiveFormat::Damage damage =
                        ArchiveFormat::ReadDirectory(view, &m_header, this, &m_dataStart);
                    if (damage != ArchiveFormat::Damage::DirectoryCutShort) return damage;
                }
                for (ArchiveEntry* entry : m_entries) ReleaseElement(entry);
                m_entries.clear();
            }
        }
        return ArchiveFormat::ReadDirectory(m_stream, &m_header, this, &m_dataStart);
    }
    bool CutShort() const { return m_damage == ArchiveFormat::Damage::DirectoryCutShort; }
    Stream* File() const { return m_stream; }
    const ArchiveFormat::Header& Header() const { return m_header; }
    std::uint32_t DataStart() const { return m_dataStart; }
    const std::vector<ArchiveEntry*>& Entries() const { return m_entries; }

private:
    Held<BinaryStream> m_file{TypeBinaryStream};
    Stream* m_stream = nullptr;
    ArchiveFormat::Header m_header;
    ArchiveFormat::Damage m_damage = ArchiveFormat::Damage::None;
    std::uint32_t m_dataStart = 0;
    std::vector<ArchiveEntry*> m_entries;
};

std::string NameOf(ArchiveEntry* entry) {
    return entry->GetName() != nullptr ? entry->GetName() : "";
}

int List(const char* hostArchive) {
    Reader reader;
    if (!reader.Open(hostArchive)) return kFailed;
    const ArchiveFormat::Header& header = reader.Header();
    std::printf("%s: version 0x%04X, sub-version 0x%04X, %" PRIu32 " entries, directory %" PRIu32
                " bytes, data from offset %" PRIu64 "\n",
                hostArchive, static_cast<unsigned>(header.version),
                static_cast<unsigned>(header.subVersion), header.count, header.directorySize,
                header.DataStart());
    std::printf("%12s %12s %12s  %s\n", "content", "stored", "offset", "name");
    for (ArchiveEntry* entry : reader.Entries()) {
        ArchiveFormat::BlockHeader block;
        char content[16] = "?";
        if (ArchiveFormat::ReadBlockHeader(reader.File(), entry->GetOffset(), &block) ==
                ArchiveFormat::Damage::None &&
            (block.Packed() || block.Raw()))
            std::snprintf(content, sizeof content, "%" PRIu32, block.contentSize);
        std::printf("%12s %12" PRIu32 " %12" PRIu32 "  %s\n", content, entry->GetStoredSize(),
                    entry->GetOffset(), Shown(NameOf(entry)).c_str());
    }
    if (reader.CutShort())
        return Error(hostArchive, ArchiveFormat::Explain(ArchiveFormat::Damage::DirectoryCutShort));
    return kOk;
}

// Stops a read when the user asks to.
class CancelCheck : public ArchiveFormat::ContentSink {
public:
    bool Put(const void*, std::uint32_t) override { return !Platform::CancelRequested(); }
};

int Test(const char* hostArchive) {
    Reader reader;
    if (!reader.Open(hostArchive)) return kFailed;
    Platform::InstallCancelHandlers();
    int result = kOk;
    if (reader.CutShort())
        result =
            Error(hostArchive, ArchiveFormat::Explain(ArchiveFormat::Damage::DirectoryCutShort));
    std::size_t good = 0;
    Progress progress(reader.Entries().size());
    CancelCheck cancel;
    for (ArchiveEntry* entry : reader.Entries()) {
        const std::string name = NameOf(entry);
        ArchiveFormat::Damage damage =
            ArchiveFormat::ReadContent(reader.File(), entry->GetOffset(), entry->GetStoredSize(),
                                       reader.DataStart(), &cancel, nullptr);
        if (Platform::CancelRequested()) return progress.Finish(), Stopped();
        if (damage == ArchiveFormat::Damage::None) {
            ++good;
        } else {
            progress.Finish();
            result = Error(EntryLabel(hostArchive, name), ArchiveFormat::Explain(damage));
        }
        progress.Step(name);
    }
    progress.Finish();
    std::printf("%zu of %zu entries good\n", good, reader.Entries().size());
    return result;
}

// True when name lies below prefix (whole components); *rest gets what follows it.
bool BelowPrefix(const std::string& name, const std::string& prefix, std::string* rest) {
    if (prefix.empty()) {
        *rest = name;
        return true;
    }
    if (name.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = name[i];
        char b = prefix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    if (prefix.back() != '\\' && name.size() > prefix.size() && name[prefix.size()] != '\\')
        return false;
    std::size_t start = prefix.size();
    while (start < name.size() && name[start] == '\\') ++start;
    *rest = name.substr(start);
    return true;
}

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

// Makes the folders of rest's leading components below destination, refusing any that is not
// a real folder (a link met on the way would carry the file outside the destination). Folders
// found or made once are remembered in ready, so a tree of many files examines each folder
// once. Empty, or the reason the entry is refused.
std::string PrepareFolders(const std::string& destination, const std::string& rest,
                           std::unordered_set<std::string>* ready) {
    std::string path = destination;
    std::size_t start = 0;
    for (std::size_t cut = rest.find('\\'); cut != std::string::npos;
         cut = rest.find('\\', start)) {
        path += rest.substr(start, cut - start);
        start = cut + 1;
        if (path.back() == '\\') continue;  // an empty component
        if (ready->count(path) == 0) {
            Platform::PathFacts facts;
            Platform::Error error = Platform::InspectPath(path.c_str(), &facts);
            if (error != Platform::Error::None)
                return Host(path) + " cannot be examined (" + Why(error) + ")";
            if (facts.kind == Platform::PathKind::Missing) {
                error = Platform::FolderCreate(path.c_str());
                if (error != Platform::Error::None && error != Platform::Error::AlreadyExists)
                    return "folder " + Host(path) + " cannot be created (" + Why(error) + ")";
                // Someone else's folder made at this very moment is examined next time.
                if (error == Platform::Error::None) ready->insert(path);
            } else if (facts.kind != Platform::PathKind::Folder) {
                return Host(path) + (facts.kind == Platform::PathKind::LinkToFolder
                                         ? " is a link to a folder, which would lead outside "
                                           "the destination: refused"
                                         : " is in the way of a folder: refused");
            } else {
                ready->insert(path);
            }
        }
        path += '\\';
    }
    return std::string();
}

// The archive file read at offsets, shared by the extracting workers.
class ArchiveFile : public ArchiveFormat::BlockSource {
public:
    ~ArchiveFile() {
        if (m_file != Platform::NullFile) Platform::FileClose(m_file);
    }
    bool Open(const std::string& path) {
        std::uint32_t size = 0;
        if (Platform::FileOpen(path.c_str(), Platform::FileAccess::Read, Platform::FileShare::Read,
                               Platform::FileDisposition::OpenExisting, Platform::FileHint::Random,
                               &m_file) != Platform::Error::None ||
            Platform::FileGetSize(m_file, &size) != Platform::Error::None)
            return false;
        m_size = size;
        return true;
    }
    bool ReadAt(std::uint64_t offset, void* into, std::uint32_t count,
                std::uint32_t* got) override {
        return Platform::FileReadAt(m_file, offset, into, count, got) == Platform::Error::None;
    }
    bool Size(std::uint64_t* size) override {
        *size = m_size;
        return true;
    }

private:
    Platform::FileHandle m_file = Platform::NullFile;
    std::uint64_t m_size = 0;
};

// One matched entry of an extraction. The main thread prepares it in entry order (name checks,
// folders) and reports it in entry order; a worker inflates it into a temporary file and puts
// that in place.
struct UnpackJob {
    ArchiveEntry* entry = nullptr;
    const char* archive = nullptr;  // the archive as the user named it, for messages
    std::string target;             // framework path of the file to make; empty: refused beforehand
    std::string replaces;           // an earlier entry of this run that named the same file
    std::vector<std::pair<std::string, std::string>> messages;  // (what, reason), in order
    bool done = false;
};

// The working memory of one extracting thread: it takes a block of up to 2 MiB in one read
// and hands an entry of up to 4 MiB to the file in one write.
constexpr std::uint32_t kUnpackInput = 2u << 20;
constexpr std::uint32_t kUnpackOutput = 4u << 20;

// Inflates the entry into a new file beside its target and moves that over the target only
// once the entry checked out whole: a damaged entry never touches an existing file, and a link
// at the target's place is replaced rather than written through.
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

// The entries being extracted, oldest first. Workers take them in order; the main thread adds
// them and reports each once it is done, in the same order.
class UnpackQueue {
public:
    UnpackQueue(ArchiveFile* archive, std::uint32_t dataStart)
        : m_archive(archive), m_dataStart(dataStart) {}

    void Work(ArchiveFormat::ContentReader* reader) {
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

    // Adds a job; without workers it is done here at once.
    UnpackJob* Add(UnpackJob job, ArchiveFormat::ContentReader* inline_reader) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
        UnpackJob* added = &m_jobs.back();
        if (added->target.empty()) {
            added->done = true;
        } else if (inline_reader != nullptr) {
            Unpack(added, inline_reader, m_archive, m_dataStart);
            added->done = true;
        } else {
            m_waiting.push_back(added);
            m_changed.notify_all();
        }
        return added;
    }

    std::size_t Pending() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_jobs.size();
    }

    // Waits until the oldest job is done and hands it over (false when there is none or the
    // user asked to stop).
    bool TakeOldest(UnpackJob* out) {
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

    void Stop() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_changed.notify_all();
    }

private:
    ArchiveFile* m_archive;
    std::uint32_t m_dataStart;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<UnpackJob> m_jobs;      // added and not yet reported, in entry order
    std::deque<UnpackJob*> m_waiting;  // not yet taken by a worker
    bool m_stop = false;
};

// An entry's target below the destination as a key that two spellings of one place share:
// components without empty ones, ASCII letters folded and trailing dots and spaces dropped (as
// the file system may do), the last component only when looseLast.
std::string PlaceKey(const std::string& rest, std::vector<std::string>* folders,
                     bool looseLast = true) {
    std::string key;
    std::string part;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        char c = i < rest.size() ? rest[i] : '\\';
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (i < rest.size() || looseLast) {
            for (char& letter : part)
                if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        }
        if (part.empty()) continue;
        if (!key.empty()) {
            if (folders != nullptr) folders->push_back(key);
            key += '\\';
        }
        key += part;
        part.clear();
    }
    return key;
}

int Extract(const char* hostArchive, const char* hostDestination, const char* prefixArgument,
            unsigned jobCount) {
    std::string destination;
    if (!ToFramework(hostDestination, &destination))
        return Error(hostDestination, "not a usable path");
    destination = AsFolder(destination);
    std::string prefix = prefixArgument != nullptr ? prefixArgument : "";
    std::replace(prefix.begin(), prefix.end(), '/', '\\');

    Reader reader;
    if (!reader.Open(hostArchive)) return kFailed;
    std::string archivePath;
    ArchiveFile archive;
    if (!ToFramework(hostArchive, &archivePath) || !archive.Open(archivePath))
        return Error(hostArchive, "cannot be opened (refused by the system: in use or no rights)");
    Held<FileFunc> files(TypeFileFunc);
    if (!files) return Error(hostArchive, "out of memory");
    if (files->CreateFolders(destination.c_str()) != 0)
        return Error(hostDestination, "folder cannot be created");
    Platform::InstallCancelHandlers();

    const unsigned workerCount =
        jobCount > 1
            ? static_cast<unsigned>(std::min<std::size_t>(jobCount, reader.Entries().size()))
            : 0;
    std::vector<std::unique_ptr<ArchiveFormat::ContentReader>> readers;
    for (unsigned i = 0; i < std::max(workerCount, 1u); ++i) {
        readers.emplace_back(new (std::nothrow)
                                 ArchiveFormat::ContentReader(kUnpackInput, kUnpackOutput, false));
        if (readers.back() == nullptr || !readers.back()->Ready())
            return Error(hostArchive, "out of memory");
    }

    int result = kOk;
    if (reader.CutShort())
        result =
            Error(hostArchive, ArchiveFormat::Explain(ArchiveFormat::Damage::DirectoryCutShort));
    std::size_t matched = 0;
    Progress progress(reader.Entries().size());
    UnpackQueue queue(&archive, reader.DataStart());
    Workers workers;
    workers.Start(workerCount, [&queue, &readers](unsigned i) { queue.Work(readers[i].get()); });
    ArchiveFormat::ContentReader* inlineReader = workers.Any() ? nullptr : readers[0].get();

    // Reports the oldest job; false when there is none or the user asked to stop.
    bool stopped = false;
    auto reportOldest = [&]() {
        UnpackJob job;
        if (!queue.TakeOldest(&job)) {
            stopped = Platform::CancelRequested();
            return false;
        }
        if (!job.messages.empty()) progress.Finish();
        for (const auto& message : job.messages) result = Error(message.first, message.second);
        progress.Step(NameOf(job.entry));
        return true;
    };
    // Entries that lead to the same place, or one to another's folder, must be done one after
    // the other, as a single thread would: the later waits until all before it are done.
    std::unordered_set<std::string> places;
    std::unordered_set<std::string> folders;
    std::unordered_map<std::string, std::string> madeBy;  // file -> the entry that made it
    const bool looseNames = Platform::ReplaceMatchesNamesLoosely();
    const std::size_t window = 16 + 4 * static_cast<std::size_t>(workerCount);
    std::unordered_set<std::string> ready;
    std::string lastParent;
    bool prepared = false;
    for (ArchiveEntry* entry : reader.Entries()) {
        if (stopped || Platform::CancelRequested()) break;
        const std::string name = NameOf(entry);
        std::string rest;
        if (!BelowPrefix(name, prefix, &rest)) {
            progress.Step(name);
            continue;
        }
        ++matched;
        UnpackJob job;
        job.entry = entry;
        job.archive = hostArchive;
        // Nothing may land outside the destination folder.
        if (!ArchiveFormat::IsSafeEntryName(name.c_str()) ||
            !ArchiveFormat::IsSafeEntryName(rest.c_str())) {
            job.messages.emplace_back(EntryLabel(hostArchive, name),
                                      "name is absolute, has a drive or \"..\": refused");
        } else {
            std::vector<std::string> above;
            const std::string place = PlaceKey(rest, &above);
            if (inlineReader == nullptr) {
                bool meets = places.count(place) != 0 || folders.count(place) != 0;
                for (const std::string& folder : above) meets = meets || places.count(folder) != 0;
                if (meets) {
                    while (queue.Pending() != 0 && reportOldest()) {
                    }
                    if (stopped) break;
                }
                places.insert(place);
                folders.insert(above.begin(), above.end());
            }
            // The file this entry becomes here: an earlier entry that became the same file is
            // lost to this one, and named.
            const auto made =
                madeBy.emplace(looseNames ? place : PlaceKey(rest, nullptr, false), name);
            if (!made.second) job.replaces = made.first->second;
            // Entries come sorted, so most share the folder the one before them needed.
            const std::size_t cut = rest.rfind('\\');
            const std::string parent = cut == std::string::npos ? "" : rest.substr(0, cut + 1);
            std::string refusal;
            if (!prepared || parent != lastParent) {
                refusal = PrepareFolders(destination, rest, &ready);
                prepared = refusal.empty();
                lastParent = parent;
            }
            if (!refusal.empty())
                job.messages.emplace_back(EntryLabel(hostArchive, name), refusal);
            else
                job.target = destination + rest;
        }
        queue.Add(std::move(job), inlineReader);
        while (queue.Pending() > (inlineReader != nullptr ? 0 : window) && reportOldest()) {
        }
    }
    while (!stopped && queue.Pending() != 0 && reportOldest()) {
    }
    queue.Stop();
    workers.Join();
    progress.Finish();
    if (stopped || Platform::CancelRequested()) return Stopped();
    if (matched == 0 && !prefix.empty())
        result = Error(hostArchive, "no entry below \"" + prefix + "\"");
    return result;
}

// Takes "-j N" (or "-jN") from the front of the operands: the number of worker threads, at
// least 1; "--" ends the options, so a name may begin with "-j". false with the reason when
// the number is missing or not a positive count.
bool TakeJobs(std::vector<std::string>* operands, unsigned* jobs, std::string* problem) {
    if (operands->empty()) return true;
    const std::string first = operands->front();
    if (first == "--") {
        operands->erase(operands->begin());
        return true;
    }
    if (first.compare(0, 2, "-j") != 0) return true;
    std::string value = first.substr(2);
    std::size_t used = 1;
    if (value.empty()) {
        if (operands->size() < 2) return *problem = "-j needs a number of workers", false;
        value = (*operands)[1];
        used = 2;
    }
    unsigned long n = 0;
    bool digits = !value.empty() && value.size() <= 4;
    for (char c : value) digits = digits && c >= '0' && c <= '9';
    if (digits) n = std::stoul(value);
    if (!digits || n == 0 || n > 256)
        return *problem = "-j takes a number of workers from 1 to 256, not \"" + value + "\"",
               false;
    *jobs = static_cast<unsigned>(n);
    operands->erase(operands->begin(), operands->begin() + static_cast<long>(used));
    if (!operands->empty() && operands->front() == "--") operands->erase(operands->begin());
    return true;
}

// Output that could not be written is a failure: a listing cut short must not pass as whole.
int Finish(int result) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "qxarc: standard output: write failed\n");
        return result == kOk ? kFailed : result;
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsageText, stdout);
        return Finish(kOk);
    }
    if (args[0] == "--version") {
        std::printf("qxarc 1.0.0\n");
        return Finish(kOk);
    }
    const std::string command = args[0];
    std::vector<std::string> operands(args.begin() + 1, args.end());
    unsigned jobs = DefaultJobs();
    if (command == "create" || command == "extract") {
        std::string problem;
        if (!TakeJobs(&operands, &jobs, &problem)) return UsageError(problem);
    }
    FrameworkSession framework;
    if (framework.Start() == nullptr) {
        std::fprintf(stderr, "qxarc: cannot start (out of memory)\n");
        return kFailed;
    }
    const std::size_t count = operands.size();
    if (command == "create") {
        if (count != 2) return UsageError("create takes [-j N] ARCHIVE FOLDER");
        return Finish(Create(operands[0].c_str(), operands[1].c_str(), jobs));
    }
    if (command == "list") {
        if (count != 1) return UsageError("list takes ARCHIVE");
        return Finish(List(operands[0].c_str()));
    }
    if (command == "test") {
        if (count != 1) return UsageError("test takes ARCHIVE");
        return Finish(Test(operands[0].c_str()));
    }
    if (command == "extract") {
        if (count != 2 && count != 3)
            return UsageError("extract takes [-j N] ARCHIVE DEST [PREFIX]");
        return Finish(Extract(operands[0].c_str(), operands[1].c_str(),
                              count == 3 ? operands[2].c_str() : nullptr, jobs));
    }
    return UsageError("unknown command \"" + command + "\"");
}
