// Create: the folder walked, files packed by workers into blocks, written in name order behind
// the room for the directory, the front written last, the archive put in place or streamed.
#include "tools/qxarc/Create.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
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
#include "platform/File.h"
#include "platform/PathFacts.h"
#include "platform/UserTree.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Pack.h"

namespace QxarcTool {

using namespace QRV2;

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (!Platform::UserNamesMatchLoosely()) return a == b;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

// Walks a folder tree by the names the system has and collects every file. Whatever cannot be
// packed is named on standard error with its reason and counted: folders that cannot be read
// or searched, names the archive cannot carry, links and special files, and folders that hold
// nothing to pack (the archive has no entry for a folder).
class Collector {
public:
    // archiveFolder (may be null) holds the archive and its temporary file, skipNames their
    // names there: never packed into the archive itself.
    Collector(bool excludeHidden, FolderRef archiveFolder, std::vector<std::string> skipNames)
        : m_excludeHidden(excludeHidden),
          m_archiveFolder(std::move(archiveFolder)),
          m_skip(std::move(skipNames)) {}

    // Collects below folder, entry names starting with relative. True when it holds anything
    // but folders that are empty (hidden items left out on request count as something).
    bool Walk(const FolderRef& folder, const std::string& relative) {
        if (Platform::CancelRequested()) return true;
        std::vector<Platform::UserEntry> entries;
        const Platform::Error error = Platform::UserFolderList(folder->Get(), &entries);
        if (error != Platform::Error::None) {
            Refuse(folder->HostPath(),
                   "folder cannot be read (" + Why(error) + "): " +
                       (entries.empty() ? "its content" : "some of its content") + " left out");
            if (entries.empty()) return true;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Platform::UserEntry& a, const Platform::UserEntry& b) {
                      return a.name < b.name;
                  });
        const bool holdsArchive = m_archiveFolder != nullptr &&
                                  Platform::UserSameFolder(folder->Get(), m_archiveFolder->Get());
        bool holds = false;
        std::vector<std::string> empty;  // folders below that hold nothing to pack
        for (const Platform::UserEntry& e : entries) {
            if ((holdsArchive && Skipped(e.name)) || (e.hidden && m_excludeHidden)) {
                holds = true;
                continue;
            }
            if (!Take(folder, relative, e, &empty)) holds = true;
        }
        // The highest folders that hold nothing are named, once each: the one at the top of
        // the walk stands for the whole tree and is not.
        if (holds || relative.empty()) {
            for (const std::string& path : empty)
                Refuse(path, "empty folder not stored (the archive has no entry for folders)");
        }
        return holds;
    }
    std::vector<Found>& Files() { return m_found; }
    int Problems() const { return m_problems; }

private:
    void Refuse(const std::string& path, const std::string& reason) {
        Error(path, reason);
        ++m_problems;
    }

    bool Skipped(const std::string& name) const {
        for (const std::string& skip : m_skip)
            if (SameName(name, skip)) return true;
        return false;
    }

    // Takes one entry of the folder; true only for a folder that holds nothing to pack (then
    // added to *empty, for the caller to name or to stand in for).
    bool Take(const FolderRef& folder, const std::string& relative, const Platform::UserEntry& e,
              std::vector<std::string>* empty) {
        const std::string path = HostJoin(folder->HostPath(), e.name);
        const std::string entryName = relative + e.name;
        if (e.error != Platform::Error::None) {
            Refuse(path, e.error == Platform::Error::AccessDenied
                             ? "cannot be examined (its folder cannot be searched: no "
                               "permission): left out"
                             : "cannot be examined (" + Why(e.error) + "): left out");
            return false;
        }
        if (e.name.find(ArchiveFormat::kNameSeparator) != std::string::npos) {
            Refuse(path, "name holds a \"\\\", which the archive uses between folders: left out");
            return false;
        }
        switch (e.facts.kind) {
            case Platform::PathKind::Folder: {
                Platform::UserFolder child = nullptr;
                const Platform::Error error =
                    Platform::UserFolderOpenChild(folder->Get(), e.name, false, &child);
                if (error != Platform::Error::None) {
                    Refuse(path,
                           "folder cannot be opened (" + Why(error) + "): its content left out");
                    return false;
                }
                const FolderRef held = HoldFolder(child, path);
                if (held == nullptr) {
                    Refuse(path, "out of memory: its content left out");
                    return false;
                }
                if (Walk(held, entryName + ArchiveFormat::kNameSeparator)) return false;
                empty->push_back(path);
                return true;
            }
            case Platform::PathKind::File:
            case Platform::PathKind::LinkToFile:
                if (e.facts.size > ArchiveFormat::kMaxSize) {
                    // Refused from its size: the format's 32-bit sizes cannot carry it.
                    Refuse(path, "larger than 4,294,967,295 bytes, the archive's limit: left out");
                } else if (entryName.size() > ArchiveFormat::kMaxNameLength) {
                    Refuse(path, "name too long for the archive (" +
                                     std::to_string(entryName.size()) +
                                     " bytes with its folders, at most 65,534): left out");
                } else {
                    m_found.push_back({entryName, e.facts.size});
                }
                return false;
            default: Refuse(path, NotPacked(e.facts.kind)); return false;
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
            default: return "vanished while the folder was read: left out";
        }
    }

    bool m_excludeHidden;
    FolderRef m_archiveFolder;
    std::vector<std::string> m_skip;
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

bool WriteAll(Platform::FileHandle file, std::uint64_t at, const void* data, std::uint32_t count) {
    std::uint32_t written = 0;
    return Platform::FileWriteAt(file, at, data, count, &written) == Platform::Error::None &&
           written == count;
}

bool WriteOn(Platform::FileHandle stream, const void* data, std::uint32_t count) {
    std::uint32_t written = 0;
    return Platform::FileWrite(stream, data, count, &written) == Platform::Error::None &&
           written == count;
}

// Copies the bytes [from, end) of source to target, at position to of a file or, with to
// null, onto a stream; a stop ends it early unless it must not be left half-done.
bool Copy(Platform::FileHandle source, std::uint64_t from, std::uint64_t end,
          Platform::FileHandle target, const std::uint64_t* to, bool stoppable = true) {
    const std::uint32_t chunk = 1u << 20;
    unsigned char* buffer = static_cast<unsigned char*>(Allocate(chunk));
    bool ok = buffer != nullptr;
    for (std::uint64_t at = from; ok && at < end;) {
        if (stoppable && Platform::CancelRequested()) ok = false;
        const std::uint32_t n = end - at < chunk ? static_cast<std::uint32_t>(end - at) : chunk;
        std::uint32_t got = 0;
        ok = ok && Platform::FileReadAt(source, at, buffer, n, &got) == Platform::Error::None &&
             got == n &&
             (to != nullptr ? WriteAll(target, *to + (at - from), buffer, n)
                            : WriteOn(target, buffer, n));
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

// Where the archive goes: a file made beside its final name and put in place once complete, or
// a stream (standard output, a FIFO, a device) that gets the archive at the end, its blocks
// held in a scratch file meanwhile.
class Output {
public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() {
        if (m_stream != Platform::NullFile) Platform::FileClose(m_stream);
        if (m_scratch != Platform::NullFile) Platform::FileClose(m_scratch);
    }

    // Examines the target and makes the file the blocks go into; kOk, or the failure named.
    int Prepare(const std::string& hostArchive) {
        m_label = hostArchive == "-" ? "standard output" : hostArchive;
        Platform::Error error = Platform::Error::None;
        if (hostArchive == "-") {
            m_standard = true;
            error = Platform::StandardOutputFile(&m_stream);
            if (error != Platform::Error::None)
                return Error(m_label, "cannot be written (" + Why(error) + ")");
            if (Platform::FileIsTerminal(m_stream))
                return Error(m_label, "is a terminal: an archive is not written to one");
            return MakeScratch();
        }
        Platform::UserTarget target;
        error = Platform::UserTargetInspect(hostArchive, &target);
        if (error != Platform::Error::None)
            return Error(m_label, "cannot be examined (" + Why(error) + ")");
        switch (target.kind) {
            case Platform::PathKind::Folder: return Error(m_label, "is a folder");
            case Platform::PathKind::DanglingLink:
                return Error(m_label, "is a link whose target is missing: nothing written");
            case Platform::PathKind::Special:
                error = Platform::UserStreamOpenWrite(hostArchive, &m_stream);
                if (error != Platform::Error::None)
                    return Error(m_label, "cannot be written (" + Why(error) + ")");
                if (Platform::FileIsTerminal(m_stream))
                    return Error(m_label, "is a terminal: an archive is not written to one");
                return MakeScratch();
            case Platform::PathKind::File:
                if (!target.writable)
                    return Error(m_label, "no permission to write it: not replaced");
                m_replaces = true;
                m_inPlace = target.links > 1;
                break;
            default: break;
        }
        m_name = target.name;
        Platform::UserFolder folder = nullptr;
        error = Platform::UserFolderOpen(target.folder, &folder);
        if (error != Platform::Error::None)
            return Error(m_label,
                         "its folder " + target.folder + " cannot be opened (" + Why(error) + ")");
        m_folder = HoldFolder(folder, target.folder);
        if (m_folder == nullptr) return Error(m_label, "out of memory");
        if (!m_partial.Create(m_folder, m_name, ".partial", &error))
            return Error(m_label,
                         "temporary file cannot be created beside it (" + Why(error) + ")");
        m_blocks = m_partial.Handle();
        return kOk;
    }

    const std::string& Label() const { return m_label; }
    bool IsStream() const { return m_stream != Platform::NullFile; }
    bool ToStandardOutput() const { return m_standard; }
    // Where a block that waits its turn may go meanwhile: beside the archive, where its room is
    // needed anyway ("" for a stream: the system's temporary folder).
    std::string SpillFolder() const { return m_folder != nullptr ? m_folder->HostPath() : ""; }
    Platform::FileHandle Blocks() const { return m_blocks; }
    // The folder the archive and its temporary file are in (null for a stream), and their
    // names there.
    const FolderRef& Folder() const { return m_folder; }
    std::vector<std::string> Names() const { return {m_name, m_partial.Name()}; }

    // The archive is complete: front (its header and directory) goes before the blocks that
    // lie at [blocksAt, end) of the blocks file. Puts it in place or streams it; kOk, or the
    // failure named.
    int Finish(const std::vector<unsigned char>& front, std::uint64_t blocksAt, std::uint64_t end) {
        const std::uint32_t size = static_cast<std::uint32_t>(front.size());
        if (IsStream()) {
            const bool sent = WriteOn(m_stream, front.data(), size) &&
                              Copy(m_blocks, blocksAt, end, m_stream, nullptr);
            const bool closed = Platform::FileClose(m_stream) == Platform::Error::None;
            m_stream = Platform::NullFile;
            if (sent && closed) return kOk;
            return Platform::CancelRequested() ? Stopped()
                                               : Error(m_label, "writing the archive failed");
        }
        // The front goes into the room left for it; when files were left out the directory
        // shrank, and the blocks move forward into a second new file behind it.
        TemporaryFile moved;
        TemporaryFile* made = &m_partial;
        bool written = true;
        if (blocksAt != size) {
            Platform::Error error = Platform::Error::None;
            const std::uint64_t to = size;
            written = moved.Create(m_folder, m_name, ".partial", &error) &&
                      Copy(m_blocks, blocksAt, end, moved.Handle(), &to);
            m_partial.Discard();
            made = &moved;
        }
        // A block left out after part of it was written leaves bytes beyond the end.
        written =
            written && WriteAll(made->Handle(), 0, front.data(), size) &&
            Platform::FileSetLength(made->Handle(), end - blocksAt + size) == Platform::Error::None;
        // An old archive's permissions and owner go to the new one; where the owner cannot be
        // kept, the old file is overwritten in place instead.
        if (written && m_replaces && !m_inPlace &&
            Platform::UserFileAdoptMode(made->Handle(), m_folder->Get(), m_name, true) ==
                Platform::Error::AccessDenied)
            m_inPlace = true;
        if (!made->CloseHandle() || !written) {
            if (Platform::CancelRequested()) return Stopped();
            return Error(m_label, "writing the archive failed (disk full?); nothing replaced");
        }
        if (m_inPlace) return CopyInPlace(made);
        const Platform::Error error = made->ReplaceInto(m_name);
        if (error != Platform::Error::None)
            return Error(m_label, "cannot be replaced (" + Why(error) + ")");
        return kOk;
    }

private:
    int MakeScratch() {
        const Platform::Error error = Platform::ScratchFileCreate("", &m_scratch);
        if (error != Platform::Error::None)
            return Error(m_label,
                         "scratch file for its blocks cannot be made (" + Why(error) + ")");
        m_blocks = m_scratch;
        return kOk;
    }

    // An old archive with other hard links (or one whose owner a new file could not get) is
    // overwritten in place by the finished one, so every name of it sees the new archive.
    int CopyInPlace(TemporaryFile* made) {
        Platform::FileHandle source = Platform::NullFile;
        Platform::FileHandle target = Platform::NullFile;
        Platform::PathFacts facts;
        Platform::Error error =
            Platform::UserFileOpenRead(made->Folder()->Get(), made->Name(), &source);
        if (error == Platform::Error::None) error = Platform::FileGetFacts(source, &facts);
        if (error == Platform::Error::None)
            error = Platform::UserFileOpenWrite(m_folder->Get(), m_name, &target);
        const std::uint64_t zero = 0;
        bool ok = error == Platform::Error::None &&
                  Copy(source, 0, facts.size, target, &zero, false) &&
                  Platform::FileSetLength(target, facts.size) == Platform::Error::None;
        if (source != Platform::NullFile) Platform::FileClose(source);
        if (target != Platform::NullFile)
            ok = Platform::FileClose(target) == Platform::Error::None && ok;
        if (ok) return kOk;
        if (error != Platform::Error::None)
            return Error(m_label,
                         "cannot be rewritten in place (" + Why(error) + "); not replaced");
        return Error(m_label, "rewriting it in place failed (disk full?): it is damaged");
    }

    std::string m_label;
    std::string m_name;
    FolderRef m_folder;
    TemporaryFile m_partial;
    Platform::FileHandle m_stream = Platform::NullFile;
    Platform::FileHandle m_scratch = Platform::NullFile;
    Platform::FileHandle m_blocks = Platform::NullFile;
    bool m_replaces = false;
    bool m_inPlace = false;
    bool m_standard = false;
};

// The archive made of the files found. Every record's length is known from its name, so the
// directory's size is known before any block: the blocks go straight behind the room left for
// it, in entry order, and the front is written last. The result is byte for byte what the
// framework's writer makes of the same files.
class ArchiveMaker {
public:
    ArchiveMaker(Output* output, FolderRef root, const std::vector<Found>& found, bool verbose)
        : m_output(output), m_root(std::move(root)), m_found(found), m_verbose(verbose) {}

    // result: kFailed when files were already left out. The exit status.
    int Make(unsigned jobCount, int result) {
        const int prepared = Prepare();
        if (prepared != kOk) return prepared;
        result = PackAll(jobCount, result);
        if (Platform::CancelRequested()) return Stopped();
        const std::string& label = m_output->Label();
        if (m_tooLarge)
            return Error(label,
                         "the archive would pass 4,294,967,295 bytes, its format's limit; nothing "
                         "written");
        if (!m_written)
            return Error(label, "writing the archive failed (disk full?); nothing written");
        std::vector<unsigned char> front;
        if (!MakeFront(&front)) return Error(label, "out of memory");
        const int finished = m_output->Finish(front, m_dataStart, m_end);
        return finished != kOk ? finished : result;
    }

private:
    // Entries, jobs, the directory's size and the compressor. kOk, or the failure named.
    int Prepare() {
        const std::string& label = m_output->Label();
        m_jobs.resize(m_found.size());
        for (std::size_t i = 0; i < m_found.size(); ++i) {
            ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
            if (entry == nullptr) return Error(label, "out of memory");
            m_entries.all.push_back(entry);
            if (entry->SetName(m_found[i].name.c_str()) != 0) return Error(label, "out of memory");
            m_jobs[i].file = &m_found[i];
            m_jobs[i].cost = PackCost(m_found[i].size);
        }
        if (ArchiveFormat::MeasureDirectory(m_entries.all.data(),
                                            static_cast<std::uint32_t>(m_entries.all.size()),
                                            &m_directorySize) != ArchiveFormat::Damage::None)
            return Error(label, "out of memory");
        m_dataStart = static_cast<std::uint64_t>(m_directorySize) + ArchiveFormat::kPrefixSize;
        if (m_dataStart > ArchiveFormat::kMaxSize)
            return Error(label, "directory too large for the archive");
        m_device = Held<CompressDevice>(TypeCompressDevice);
        if (!m_device) return Error(label, "out of memory");
        m_end = m_dataStart;
        m_written = true;
        return kOk;
    }

    // Writes a block's pieces behind those before it, within the archive's limit.
    class BlockWriter : public PackQueue::Writer {
    public:
        BlockWriter(Platform::FileHandle file, std::uint64_t at) : m_file(file), m_at(at) {}
        bool Write(const void* data, std::uint32_t count) override {
            if (m_at + m_written + count > ArchiveFormat::kMaxSize) {
                tooLarge = true;
                return false;
            }
            failed = !WriteAll(m_file, m_at + m_written, data, count);
            m_written += count;
            return !failed;
        }
        bool tooLarge = false;
        bool failed = false;

    private:
        Platform::FileHandle m_file;
        std::uint64_t m_at;
        std::uint64_t m_written = 0;
    };

    // Packs the files with the workers and writes their blocks in entry order as they are
    // made; every file left out is named. The result, kFailed once anything was left out.
    int PackAll(unsigned jobCount, int result) {
        // One worker at least: the main thread stays free to write, to see a stop at once
        // and to clean up.
        const unsigned workerCount = static_cast<unsigned>(
            std::max<std::size_t>(1, std::min<std::size_t>(jobCount, m_jobs.size())));
        PackQueue queue(&m_jobs, workerCount * kWorkerMemory, m_root->Get(),
                        m_output->SpillFolder(), m_device.Get());
        Workers workers;
        workers.Start(workerCount, [&queue](unsigned) { queue.Work(); });
        std::uint64_t total = 0;
        for (const Found& file : m_found) total += file.size;
        Progress progress(total);
        for (std::size_t i = 0; i < m_jobs.size() && m_written && !m_tooLarge; ++i) {
            BlockWriter writer(m_output->Blocks(), m_end);
            const bool drained = queue.Drain(i, workers.Any(), &writer);
            if (Platform::CancelRequested()) break;
            const PackJob& job = m_jobs[i];
            const std::string path = HostJoinEntry(m_root->HostPath(), job.file->name);
            if (writer.tooLarge) {
                m_tooLarge = true;
            } else if (writer.failed) {
                m_written = false;
            } else if (!job.problem.empty() || !drained) {
                progress.Finish();
                result =
                    Error(path, job.problem.empty() ? "cannot be packed: left out" : job.problem);
            } else {
                m_entries.all[i]->SetOffset(static_cast<std::uint32_t>(m_end));
                m_entries.all[i]->SetStoredSize(static_cast<std::uint32_t>(job.blockSize));
                m_kept.push_back(m_entries.all[i]);
                m_end += job.blockSize;
                if (m_verbose) {
                    progress.Finish();
                    // Standard output may be the archive itself.
                    std::fprintf(m_output->ToStandardOutput() ? stderr : stdout, "%s\n",
                                 Shown(job.file->name).c_str());
                }
                if (!job.note.empty()) {
                    progress.Finish();
                    result = Error(path, job.note);
                }
            }
            queue.Release(i);
            progress.Advance(job.file->size, job.file->name);
        }
        progress.Finish();
        queue.Stop();
        workers.Join();
        return result;
    }

    // The header and directory of the entries kept; when files were left out the directory
    // is smaller, and every block moves forward by the difference.
    bool MakeFront(std::vector<unsigned char>* front) {
        std::uint32_t size = m_directorySize;
        if (m_kept.size() != m_entries.all.size()) {
            if (ArchiveFormat::MeasureDirectory(m_kept.data(),
                                                static_cast<std::uint32_t>(m_kept.size()),
                                                &size) != ArchiveFormat::Damage::None)
                return false;
            const std::uint32_t shift = m_directorySize - size;
            for (ArchiveEntry* entry : m_kept) entry->SetOffset(entry->GetOffset() - shift);
        }
        return FrontBytes(m_kept, size, front);
    }

    Output* m_output;
    FolderRef m_root;
    const std::vector<Found>& m_found;
    bool m_verbose;
    EntryList m_entries;
    std::vector<PackJob> m_jobs;
    std::uint32_t m_directorySize = 0;
    std::uint64_t m_dataStart = 0;
    Held<CompressDevice> m_device;
    bool m_written = false;  // every write of a block so far went out whole
    bool m_tooLarge = false;
    std::vector<ArchiveEntry*> m_kept;  // the entries whose blocks were written, in order
    std::uint64_t m_end = 0;            // where the next block goes
};

}  // namespace

int Create(const char* hostArchive, const char* hostFolder, const CreateOptions& options) {
    Platform::UserFolder folder = nullptr;
    Platform::Error error = Platform::UserFolderOpen(hostFolder, &folder);
    if (error == Platform::Error::PathNotFound || error == Platform::Error::FileNotFound)
        return Error(hostFolder, "no such folder");
    if (error == Platform::Error::NotAFolder) return Error(hostFolder, "not a folder");
    if (error != Platform::Error::None)
        return Error(hostFolder, "cannot be opened (" + Why(error) + ")");
    const FolderRef root = HoldFolder(folder, hostFolder);
    if (root == nullptr) return Error(hostFolder, "out of memory");

    Platform::InstallCancelHandlers();
    // The archive's place is settled before the walk: a folder that is missing is named at once.
    Output output;
    const int prepared = output.Prepare(hostArchive);
    if (prepared != kOk) return prepared;

    Collector collector(options.excludeHidden, output.Folder(), output.Names());
    collector.Walk(root, "");
    std::vector<Found>& found = collector.Files();
    // Directory order is the order of the names, whatever order the system lists them in.
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.name < b.name; });
    if (Platform::CancelRequested()) return Stopped();
    ArchiveMaker maker(&output, root, found, options.verbose);
    return maker.Make(options.jobs, collector.Problems() == 0 ? kOk : kFailed);
}

}  // namespace QxarcTool
