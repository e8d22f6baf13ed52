// Create: the folder walked, files packed by workers into blocks, written in name order behind
// the room for the directory, the front written last.
#include "tools/qxarc/Create.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/ArchiveFormat.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/io/CompressDevice.h"
#include "framework/io/MemoryStream.h"
#include "platform/Cancel.h"
#include "platform/Directory.h"
#include "platform/File.h"
#include "platform/PathFacts.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Pack.h"

namespace QxarcTool {

using namespace QRV2;

namespace {

// Walks a folder tree and collects every visible file. Whatever cannot be packed is named on
// standard error with its reason and counted.
class Collector {
public:
    // skip: the archive's own normalised path, never packed into itself.
    explicit Collector(std::string skip) : m_skip(std::move(skip)) {}

    // Collects below folder (framework path ending in a separator), entry names starting with
    // relative.
    void Walk(const std::string& folder, const std::string& relative) {
        std::vector<Platform::DirectoryEntry> entries;
        if (!List(folder, &entries)) return;
        for (const Platform::DirectoryEntry& e : entries) {
            // Hidden names are left out by design, like the framework's own folder packing.
            if (!e.isHidden) Take(folder, relative, e.name);
        }
    }
    std::vector<Found>& Files() { return m_found; }
    int Problems() const { return m_problems; }

private:
    void Refuse(const std::string& path, const std::string& reason) {
        Error(Host(path), reason);
        ++m_problems;
    }

    // The folder's entries; false when it cannot be read at all (named unless it is empty).
    bool List(const std::string& folder, std::vector<Platform::DirectoryEntry>* entries) {
        Platform::DirectoryEntry entry;
        Platform::Error error = Platform::Error::None;
        Platform::DirectoryHandle search =
            Platform::DirectoryFindFirst((folder + "*").c_str(), &entry, &error);
        if (search == nullptr) {
            if (error != Platform::Error::FileNotFound && error != Platform::Error::NoMoreFiles)
                Refuse(folder, "folder cannot be read (" + Why(error) + "): left out");
            return false;
        }
        do {
            entries->push_back(entry);
        } while (Platform::DirectoryFindNext(search, &entry, &error));
        if (error != Platform::Error::NoMoreFiles)
            Refuse(folder, "folder cannot be read whole (" + Why(error) + "): some of it left out");
        Platform::DirectoryFindClose(search);
        return true;
    }

    void Take(const std::string& folder, const std::string& relative, const std::string& name) {
        const std::string path = folder + name;
        if (name.find('\\') != std::string::npos) {
            Refuse(path, "name holds a \"\\\", which the archive uses between folders: left out");
            return;
        }
        if (Normalized(path) == m_skip) return;  // the archive is not packed into itself
        Platform::PathFacts facts;
        Platform::Error error = Platform::InspectPath(path.c_str(), &facts);
        if (error != Platform::Error::None) {
            Refuse(path, "cannot be examined (" + Why(error) + "): left out");
            return;
        }
        const std::string entryName = relative + name;
        if (facts.kind == Platform::PathKind::Folder) {
            Walk(path + "\\", entryName + "\\");
        } else if (facts.kind != Platform::PathKind::File &&
                   facts.kind != Platform::PathKind::LinkToFile) {
            Refuse(path, NotPacked(facts.kind));
        } else if (facts.size > ArchiveFormat::kMaxSize) {
            // Refused from its size: the format's 32-bit sizes cannot carry it.
            Refuse(path, "larger than 4,294,967,295 bytes, the archive's limit: left out");
        } else if (entryName.size() > ArchiveFormat::kMaxNameLength) {
            Refuse(path, "name too long for the archive: left out");
        } else {
            m_found.push_back({entryName, path, facts.size});
        }
    }

    // Why a path that is neither a folder nor a file (or a link to one) is not packed.
    static const char* NotPacked(Platform::PathKind kind) {
        switch (kind) {
            case Platform::PathKind::LinkToFolder:
                return "link to a folder, not followed: left out";
            case Platform::PathKind::DanglingLink: return "link whose target is missing: left out";
            case Platform::PathKind::Special:
                return "not a regular file (FIFO, socket or device), not read: left out";
            default: return "vanished while being read: left out";
        }
    }

    std::string m_skip;
    std::vector<Found> m_found;
    int m_problems = 0;
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

// Releases the archive entries made for a create.
struct EntryList {
    std::vector<ArchiveEntry*> all;
    EntryList() = default;
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;
    ~EntryList() {
        for (ArchiveEntry* e : all) ReleaseElement(e);
    }
};

// The archive made of the files found. Every record's length is known from its name, so the
// directory's size is known before any block: the blocks go straight behind the room left for
// it, and the front is written last. The result is byte for byte what the framework's writer
// makes of the same files. The archive is made under a new name of its own beside the target
// and replaces it only once complete: a failure or a stop never leaves a damaged archive or
// destroys an old one.
class ArchiveMaker {
public:
    ArchiveMaker(const char* hostArchive, const std::string& archivePath,
                 const std::vector<Found>& found)
        : m_hostArchive(hostArchive), m_archivePath(archivePath), m_found(found) {}

    // result: kFailed when files were already left out. The exit status.
    int Make(unsigned jobCount, int result) {
        const int prepared = Prepare();
        if (prepared != kOk) return prepared;
        result = PackAll(jobCount, result);
        if (Platform::CancelRequested()) return Stopped();
        if (m_tooLarge)
            return Error(m_hostArchive,
                         "the archive would pass 4,294,967,295 bytes, its format's limit; nothing "
                         "replaced");
        if (m_written)
            m_written = m_kept.size() == m_entries.all.size() ? WriteFront() : WriteMoved();
        if (!m_written)
            return Error(m_hostArchive,
                         "writing the archive failed (disk full?); nothing replaced");
        const Platform::Error error = m_partial.ReplaceInto(m_archivePath);
        if (error != Platform::Error::None)
            return Error(m_hostArchive, "cannot be replaced (" + Why(error) + ")");
        return result;
    }

private:
    // Entries, jobs, the directory's size and the temporary file. kOk, or the failure named.
    int Prepare() {
        m_jobs.resize(m_found.size());
        for (std::size_t i = 0; i < m_found.size(); ++i) {
            ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
            if (entry == nullptr) return Error(m_hostArchive, "out of memory");
            m_entries.all.push_back(entry);
            if (entry->SetName(m_found[i].name.c_str()) != 0)
                return Error(m_hostArchive, "out of memory");
            m_jobs[i].file = &m_found[i];
            m_jobs[i].cost = PackCost(m_found[i].size);
            m_largest = std::max(m_largest, m_jobs[i].cost);
        }
        if (ArchiveFormat::MeasureDirectory(m_entries.all.data(),
                                            static_cast<std::uint32_t>(m_entries.all.size()),
                                            &m_directorySize) != ArchiveFormat::Damage::None)
            return Error(m_hostArchive, "out of memory");
        m_dataStart = static_cast<std::uint64_t>(m_directorySize) + ArchiveFormat::kPrefixSize;
        if (m_dataStart > 0x7FFFFFFF)
            return Error(m_hostArchive, "directory too large for the archive");
        m_device = Held<CompressDevice>(TypeCompressDevice);
        if (!m_device) return Error(m_hostArchive, "out of memory");
        Platform::Error error = Platform::Error::None;
        if (!m_partial.Create(m_archivePath, ".partial", &error, Platform::FileAccess::ReadWrite))
            return Error(m_hostArchive,
                         "temporary file cannot be created beside it (" + Why(error) + ")");
        m_written =
            Platform::FileSeek(m_partial.Handle(), static_cast<std::int32_t>(m_dataStart),
                               Platform::SeekOrigin::Begin, nullptr) == Platform::Error::None;
        m_end = m_dataStart;
        return kOk;
    }

    // Packs the files with the workers and writes their blocks in entry order; every file
    // left out is named. The result, kFailed once anything was left out.
    int PackAll(unsigned jobCount, int result) {
        const unsigned workerCount =
            jobCount > 1 ? static_cast<unsigned>(std::min<std::size_t>(jobCount, m_jobs.size()))
                         : 0;
        PackQueue queue(&m_jobs, std::max<std::uint64_t>(workerCount, 1) * m_largest,
                        m_device.Get());
        Workers workers;
        workers.Start(workerCount, [&queue](unsigned) { queue.Work(); });
        Progress progress(m_jobs.size());
        for (std::size_t i = 0; i < m_jobs.size(); ++i) {
            if (!queue.WaitFor(i, workers.Any())) break;
            PackJob& job = m_jobs[i];
            if (!job.problem.empty()) {
                progress.Finish();
                result = Error(Host(job.file->path), job.problem);
            } else if (m_end + job.blockSize > ArchiveFormat::kMaxSize) {
                m_tooLarge = true;
            } else if (m_written) {
                Place(i);
            }
            queue.Release(i);
            progress.Step(job.file->name);
            if (m_tooLarge || !m_written) break;
        }
        progress.Finish();
        queue.Stop();
        workers.Join();
        for (PackJob& job : m_jobs) Free(job.block);
        return result;
    }

    // Writes the block of job index behind those before it and gives its record the place.
    void Place(std::size_t index) {
        const PackJob& job = m_jobs[index];
        m_written = WriteAll(m_partial.Handle(), job.block, job.blockSize);
        m_entries.all[index]->SetOffset(static_cast<std::uint32_t>(m_end));
        m_entries.all[index]->SetStoredSize(job.blockSize);
        m_kept.push_back(m_entries.all[index]);
        m_end += job.blockSize;
    }

    // Every file packed: the front goes into the room left for it.
    bool WriteFront() {
        std::vector<unsigned char> front;
        const bool written =
            FrontBytes(m_kept, m_directorySize, &front) &&
            Platform::FileSeek(m_partial.Handle(), 0, Platform::SeekOrigin::Begin, nullptr) ==
                Platform::Error::None &&
            WriteAll(m_partial.Handle(), front.data(), static_cast<std::uint32_t>(front.size()));
        return m_partial.CloseHandle() && written;
    }

    // Files were left out: their records shrink the directory, so the blocks move forward into
    // a second new file behind the smaller front.
    bool WriteMoved() {
        std::uint32_t smaller = 0;
        TemporaryFile moved;
        Platform::Error error = Platform::Error::None;
        if (ArchiveFormat::MeasureDirectory(m_kept.data(),
                                            static_cast<std::uint32_t>(m_kept.size()),
                                            &smaller) != ArchiveFormat::Damage::None ||
            !moved.Create(m_archivePath, ".partial", &error))
            return false;
        const std::uint32_t shift = m_directorySize - smaller;
        for (ArchiveEntry* entry : m_kept) entry->SetOffset(entry->GetOffset() - shift);
        std::vector<unsigned char> front;
        bool written =
            FrontBytes(m_kept, smaller, &front) &&
            WriteAll(moved.Handle(), front.data(), static_cast<std::uint32_t>(front.size())) &&
            MoveBlocks(m_partial.Handle(), m_dataStart, m_end, moved.Handle());
        written = moved.CloseHandle() && written;
        m_partial.Discard();
        if (written) m_partial.Swap(&moved);
        return written;
    }

    const char* m_hostArchive;
    const std::string& m_archivePath;
    const std::vector<Found>& m_found;
    EntryList m_entries;
    std::vector<PackJob> m_jobs;
    std::uint64_t m_largest = 0;
    std::uint32_t m_directorySize = 0;
    std::uint64_t m_dataStart = 0;
    Held<CompressDevice> m_device;
    TemporaryFile m_partial;
    bool m_written = false;  // every write into the temporary file so far went out whole
    bool m_tooLarge = false;
    std::vector<ArchiveEntry*> m_kept;  // the entries whose blocks were written, in order
    std::uint64_t m_end = 0;            // where the next block goes
};

}  // namespace

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

    Collector collector(Normalized(archivePath));
    collector.Walk(folderPath, "");
    std::vector<Found>& found = collector.Files();
    // Directory order is the order of the names, whatever order the system lists them in.
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.name < b.name; });
    if (Platform::CancelRequested()) return Stopped();
    ArchiveMaker maker(hostArchive, archivePath, found);
    return maker.Make(jobCount, collector.Problems() == 0 ? kOk : kFailed);
}

}  // namespace QxarcTool
