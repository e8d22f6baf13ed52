// Extract: entries planned in directory order, their folders opened below the destination,
// inflated by workers into temporary files beside their targets, put in place and reported in
// directory order.
#include "tools/qxarc/Extract.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/ContentReader.h"
#include "platform/Cancel.h"
#include "platform/UserTree.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Reader.h"
#include "tools/qxarc/Selection.h"
#include "tools/qxarc/Unpack.h"

namespace QxarcTool {

using namespace QRV2;

bool BelowPrefix(const std::string& name, const std::string& prefix, std::string* rest) {
    const char* after = ArchiveFormat::AfterPrefix(name.c_str(), prefix.c_str(), true);
    if (after == nullptr) return false;
    *rest = after;
    return true;
}

std::vector<std::string> PathComponents(const std::string& rest) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        const char c = i < rest.size() ? rest[i] : '\\';
        if (!ArchiveFormat::IsSeparator(c)) {
            part += c;
            continue;
        }
        if (!part.empty() && part != ".") parts.push_back(part);
        part.clear();
    }
    return parts;
}

std::string PlaceKey(const std::string& rest, std::vector<std::string>* folders, bool loose) {
    std::string key;
    for (std::string part : PathComponents(rest)) {
        if (loose) {
            for (char& letter : part)
                if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
            if (part.empty()) continue;
        }
        if (!key.empty()) {
            if (folders != nullptr) folders->push_back(key);
            key += '\\';
        }
        key += part;
    }
    return key;
}

namespace {

// The folders below the destination, opened (and made where missing) one component at a time
// without following a link, so no link met on the way, in any letter case and however it was
// planted, carries a file outside the destination. The folders of recent entries stay open:
// entries come sorted, so most share the folder the one before them needed.
class FolderCache {
public:
    FolderCache(FolderRef root, bool loose) : m_root(std::move(root)), m_loose(loose) {}

    // The folder of the leading count components of parts, or null with *refusal saying why.
    FolderRef Prepare(const std::vector<std::string>& parts, std::size_t count,
                      std::string* refusal) {
        FolderRef folder = m_root;
        std::string key;
        std::size_t i = 0;
        // The deepest folder already open.
        for (std::size_t k = count; k > 0; --k) {
            const auto found = m_open.find(Key(parts, k));
            if (found != m_open.end()) {
                folder = found->second;
                i = k;
                break;
            }
        }
        for (; i < count; ++i) {
            Platform::UserFolder child = nullptr;
            const std::string shown = HostJoin(folder->HostPath(), parts[i]);
            bool made = false;
            const Platform::Error error =
                Platform::UserFolderOpenChild(folder->Get(), parts[i], true, &child, &made);
            if (error == Platform::Error::StoppedOnLink) {
                *refusal = shown + " is a link, which could lead outside the destination: refused";
                return nullptr;
            }
            if (error == Platform::Error::NotAFolder) {
                *refusal = shown + " is in the way of a folder: refused";
                return nullptr;
            }
            if (error != Platform::Error::None) {
                *refusal = "folder " + shown + " cannot be made or opened (" + Why(error) + ")";
                return nullptr;
            }
            folder = HoldFolder(child, shown, made);
            if (folder == nullptr) {
                *refusal = "out of memory";
                return nullptr;
            }
            Keep(Key(parts, i + 1), folder);
        }
        return folder;
    }

private:
    std::string Key(const std::vector<std::string>& parts, std::size_t count) const {
        std::string joined;
        for (std::size_t i = 0; i < count; ++i) joined += (i == 0 ? "" : "\\") + parts[i];
        return m_loose ? PlaceKey(joined, nullptr, true) : joined;
    }

    // Remembers the folder; when many are open, those no job holds any longer are closed.
    void Keep(const std::string& key, const FolderRef& folder) {
        if (m_open.size() >= kMostOpen) {
            for (auto it = m_open.begin(); it != m_open.end();)
                it = it->second.use_count() == 1 ? m_open.erase(it) : std::next(it);
        }
        m_open[key] = folder;
    }

    static constexpr std::size_t kMostOpen = 64;
    FolderRef m_root;
    bool m_loose;
    std::unordered_map<std::string, FolderRef> m_open;
};

// One extraction: the main thread plans every entry in directory order (prefix, name checks,
// the order against earlier entries, folders), hands it to the queue and reports it once
// done, in the same order.
class Extraction {
public:
    Extraction(const Reader& reader, FolderRef destination, const ExtractOptions& options,
               UnpackQueue* queue, ArchiveFormat::ContentReader* inlineReader, unsigned workerCount,
               std::uint64_t totalBytes)
        : m_hostArchive(reader.Label()),
          m_folders(destination, m_loose),
          m_options(options),
          m_queue(queue),
          m_inlineReader(inlineReader),
          m_window(16 + 4 * static_cast<std::size_t>(workerCount)),
          m_progress(totalBytes) {}

    // Every entry given planned, extracted and reported; false when the user asked to stop.
    bool Run(const std::vector<ArchiveEntry*>& entries) {
        for (ArchiveEntry* entry : entries) {
            m_stopped = m_stopped || Platform::CancelRequested();
            if (m_stopped || !Add(entry)) break;
            const std::size_t waiting = m_inlineReader != nullptr ? 0 : m_window;
            while (m_queue->Pending() > waiting && ReportOldest()) {
            }
        }
        while (!m_stopped && m_queue->Pending() != 0 && ReportOldest()) {
        }
        m_progress.Finish();
        return !m_stopped;
    }
    // A message beside the entries' own, counted in the result.
    void Fail(const std::string& what, const std::string& reason) {
        m_result = Error(what, reason);
    }
    // A failure already named.
    void MarkFailed() { m_result = kFailed; }
    int Result() const { return m_result; }

private:
    // Plans the entry and hands it on; false when the user asked to stop meanwhile.
    bool Add(ArchiveEntry* entry) {
        const std::string name = NameOf(entry);
        const std::string& rest = name;
        UnpackJob job;
        job.entry = entry;
        job.archive = &m_hostArchive;
        job.bytes = entry->GetStoredSize();
        // Nothing may land outside the destination folder.
        if (!ArchiveFormat::IsSafeEntryName(name.c_str())) {
            job.messages.emplace_back(EntryLabel(m_hostArchive, name),
                                      "name is absolute, has a drive or \"..\": refused");
        } else if (!rest.empty() && ArchiveFormat::IsSeparator(rest.back())) {
            job.messages.emplace_back(EntryLabel(m_hostArchive, name),
                                      "name ends in a separator, so it names no file: refused");
        } else if (PathComponents(rest).empty()) {
            job.messages.emplace_back(EntryLabel(m_hostArchive, name),
                                      "name has no file name: refused");
        } else if (!Place(name, rest, &job)) {
            return false;
        }
        m_queue->Add(std::move(job), m_inlineReader);
        return true;
    }

    // Orders the entry after those it meets, notes an earlier one it replaces and opens its
    // folder; false when the user asked to stop while it waited.
    bool Place(const std::string& name, const std::string& rest, UnpackJob* job) {
        std::vector<std::string> above;
        const std::string place = PlaceKey(rest, &above, m_loose);
        if (m_inlineReader == nullptr && !WaitForEarlier(place, above)) return false;
        // The file this entry becomes here: an earlier entry that became the same file is lost
        // to this one, and named; a third names the second.
        const auto made = m_madeBy.emplace(place, name);
        if (!made.second) {
            job->replaces = made.first->second;
            made.first->second = name;
        }
        // A file that was there before the run stays when asked; one this run made does not.
        job->keepExisting = m_options.keepExisting && made.second;
        const std::vector<std::string> parts = PathComponents(rest);
        std::string refusal;
        job->folder = m_folders.Prepare(parts, parts.size() - 1, &refusal);
        job->name = parts.back();
        job->shown = HostJoin(job->folder != nullptr ? job->folder->HostPath() : "", job->name);
        if (job->folder == nullptr)
            job->messages.emplace_back(EntryLabel(m_hostArchive, name), refusal);
        return true;
    }

    // Entries that lead to the same place, or one to another's folder, must be done one after
    // the other, as a single thread would: the later waits until all before it are done.
    bool WaitForEarlier(const std::string& place, const std::vector<std::string>& above) {
        bool meets = m_places.count(place) != 0 || m_inFolders.count(place) != 0;
        for (const std::string& folder : above) meets = meets || m_places.count(folder) != 0;
        if (meets) {
            while (m_queue->Pending() != 0 && ReportOldest()) {
            }
            if (m_stopped) return false;
        }
        m_places.insert(place);
        m_inFolders.insert(above.begin(), above.end());
        return true;
    }

    // Reports the oldest job; false when there is none or the user asked to stop.
    bool ReportOldest() {
        UnpackJob job;
        if (!m_queue->TakeOldest(&job)) {
            m_stopped = Platform::CancelRequested();
            return false;
        }
        if (!job.messages.empty() || m_options.verbose) m_progress.Finish();
        for (const auto& message : job.messages) m_result = Error(message.first, message.second);
        if (m_options.verbose && job.made) std::printf("%s\n", Shown(job.shown).c_str());
        m_progress.Advance(job.bytes, NameOf(job.entry));
        return true;
    }

    const std::string& m_hostArchive;
    const bool m_loose = Platform::UserNamesMatchLoosely();
    FolderCache m_folders;
    const ExtractOptions& m_options;
    UnpackQueue* m_queue;
    ArchiveFormat::ContentReader* m_inlineReader;  // null: the workers extract
    const std::size_t m_window;                    // jobs planned ahead of the reports
    Progress m_progress;
    int m_result = kOk;
    bool m_stopped = false;
    std::unordered_set<std::string> m_places;
    std::unordered_set<std::string> m_inFolders;
    std::unordered_map<std::string, std::string> m_madeBy;  // file -> the entry that made it
};

// The working memory of each extracting thread (at least one); false when it cannot be had.
bool MakeReaders(unsigned count,
                 std::vector<std::unique_ptr<ArchiveFormat::ContentReader>>* readers) {
    for (unsigned i = 0; i < count; ++i) {
        readers->emplace_back(new (std::nothrow)
                                  ArchiveFormat::ContentReader(kUnpackInput, kUnpackOutput, false));
        if (readers->back() == nullptr || !readers->back()->Ready()) return false;
    }
    return true;
}

// Writes entries' content to standard output as it is inflated.
class OutputSink : public ArchiveFormat::ContentSink {
public:
    explicit OutputSink(Platform::FileHandle output) : m_output(output) {}
    bool Put(const void* data, std::uint32_t count) override {
        std::uint32_t written = 0;
        failed = Platform::FileWrite(m_output, data, count, &written) != Platform::Error::None ||
                 written != count;
        return !failed && !Platform::CancelRequested();
    }
    bool failed = false;

private:
    Platform::FileHandle m_output;
};

// -O: the content of each entry to standard output, one after another, in directory order.
int ExtractToOutput(Reader* reader, const std::vector<ArchiveEntry*>& entries, bool verbose) {
    Platform::FileHandle output = Platform::NullFile;
    const Platform::Error error = Platform::StandardOutputFile(&output);
    if (error != Platform::Error::None)
        return Error("standard output", "cannot be written (" + Why(error) + ")");
    ArchiveFormat::ContentReader content(kUnpackInput, kUnpackOutput, false);
    OutputSink sink(output);
    int result = reader->ReportDirectory();
    for (ArchiveEntry* entry : entries) {
        if (verbose) std::fprintf(stderr, "%s\n", Shown(NameOf(entry)).c_str());
        const ArchiveFormat::Damage damage =
            content.Read(reader->File(), entry->GetOffset(), entry->GetStoredSize(),
                         reader->DataStart(), &sink, nullptr);
        if (Platform::CancelRequested()) break;
        if (sink.failed) {
            result = Error("standard output", "write failed");
            break;
        }
        if (damage != ArchiveFormat::Damage::None)
            result = Error(EntryLabel(reader->Label(), NameOf(entry)),
                           std::string(ArchiveFormat::Explain(damage)) +
                               " (what came before the damage was written)");
    }
    Platform::FileClose(output);
    return Platform::CancelRequested() ? Stopped() : result;
}

}  // namespace

int Extract(const std::string& hostArchive, const std::string& hostDestination,
            Selection* selection, const ExtractOptions& options) {
    Reader reader;
    if (!reader.Open(hostArchive)) return Platform::CancelRequested() ? Stopped() : kFailed;
    std::vector<ArchiveEntry*> entries;
    std::uint64_t totalBytes = 0;
    for (ArchiveEntry* entry : reader.Entries()) {
        if (!selection->Takes(NameOf(entry))) continue;
        entries.push_back(entry);
        totalBytes += entry->GetStoredSize();
    }
    int unmatched = kOk;
    for (const std::string& name : selection->Unmatched())
        unmatched = Error(name, "not found in the archive");
    Platform::InstallCancelHandlers();
    if (options.toOutput) {
        const int result = ExtractToOutput(&reader, entries, options.verbose);
        return result != kOk ? result : unmatched;
    }

    Platform::Error error = Platform::UserFolderMake(hostDestination);
    if (error == Platform::Error::NotAFolder) return Error(hostDestination, "not a folder");
    Platform::UserFolder root = nullptr;
    if (error == Platform::Error::None) error = Platform::UserFolderOpen(hostDestination, &root);
    if (error != Platform::Error::None)
        return Error(hostDestination, "folder cannot be made or opened (" + Why(error) + ")");
    const FolderRef destination = HoldFolder(root, hostDestination);
    if (destination == nullptr) return Error(hostDestination, "out of memory");

    const unsigned workerCount =
        options.jobs > 1
            ? static_cast<unsigned>(std::min<std::size_t>(options.jobs, entries.size()))
            : 0;
    std::vector<std::unique_ptr<ArchiveFormat::ContentReader>> readers;
    if (!MakeReaders(std::max(workerCount, 1u), &readers))
        return Error(reader.Label(), "out of memory");

    UnpackQueue queue(reader.File(), reader.DataStart());
    Workers workers;
    workers.Start(workerCount, [&queue, &readers](unsigned i) { queue.Work(readers[i].get()); });
    Extraction run(reader, destination, options, &queue, workers.Any() ? nullptr : readers[0].get(),
                   workerCount, totalBytes);
    if (reader.ReportDirectory() != kOk || unmatched != kOk) run.MarkFailed();
    const bool whole = run.Run(entries);
    queue.Stop();
    workers.Join();
    if (!whole) return Stopped();
    return run.Result();
}

}  // namespace QxarcTool
