// Extract: entries planned in directory order, inflated by workers into temporary files beside
// their targets, put in place and reported in directory order.
#include "tools/qxarc/Extract.h"

#include <algorithm>
#include <memory>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/ContentReader.h"
#include "framework/core/Held.h"
#include "framework/system/FileFunc.h"
#include "platform/Cancel.h"
#include "platform/File.h"
#include "platform/PathFacts.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Reader.h"
#include "tools/qxarc/Unpack.h"

namespace QxarcTool {

using namespace QRV2;

bool BelowPrefix(const std::string& name, const std::string& prefix, std::string* rest) {
    const char* after = ArchiveFormat::AfterPrefix(name.c_str(), prefix.c_str(), true);
    if (after == nullptr) return false;
    *rest = after;
    return true;
}

std::string PlaceKey(const std::string& rest, std::vector<std::string>* folders, bool looseLast) {
    std::string key;
    std::string part;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        char c = i < rest.size() ? rest[i] : '\\';
        if (!ArchiveFormat::IsSeparator(c)) {
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

namespace {

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

// One extraction: the main thread plans every entry in directory order (prefix, name checks,
// the order against earlier entries, folders), hands it to the queue and reports it once
// done, in the same order.
class Extraction {
public:
    Extraction(const char* hostArchive, const std::string& destination, const std::string& prefix,
               UnpackQueue* queue, ArchiveFormat::ContentReader* inlineReader, unsigned workerCount,
               std::size_t total)
        : m_hostArchive(hostArchive),
          m_destination(destination),
          m_prefix(prefix),
          m_queue(queue),
          m_inlineReader(inlineReader),
          m_window(16 + 4 * static_cast<std::size_t>(workerCount)),
          m_progress(total) {}

    // Every entry planned, extracted and reported; false when the user asked to stop.
    bool Run(const std::vector<ArchiveEntry*>& entries) {
        for (ArchiveEntry* entry : entries) {
            if (m_stopped || Platform::CancelRequested()) break;
            if (!Add(entry)) break;
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
    int Result() const { return m_result; }
    std::size_t Matched() const { return m_matched; }

private:
    // Plans the entry and hands it on; false when the user asked to stop meanwhile.
    bool Add(ArchiveEntry* entry) {
        const std::string name = NameOf(entry);
        std::string rest;
        if (!BelowPrefix(name, m_prefix, &rest)) {
            m_progress.Step(name);
            return true;
        }
        ++m_matched;
        UnpackJob job;
        job.entry = entry;
        job.archive = m_hostArchive;
        // Nothing may land outside the destination folder.
        if (!ArchiveFormat::IsSafeEntryName(name.c_str()) ||
            !ArchiveFormat::IsSafeEntryName(rest.c_str())) {
            job.messages.emplace_back(EntryLabel(m_hostArchive, name),
                                      "name is absolute, has a drive or \"..\": refused");
        } else if (!Place(name, rest, &job)) {
            return false;
        }
        m_queue->Add(std::move(job), m_inlineReader);
        return true;
    }

    // Orders the entry after those it meets, notes an earlier one it replaces and makes its
    // folders; false when the user asked to stop while it waited.
    bool Place(const std::string& name, const std::string& rest, UnpackJob* job) {
        std::vector<std::string> above;
        const std::string place = PlaceKey(rest, &above);
        if (m_inlineReader == nullptr && !WaitForEarlier(place, above)) return false;
        // The file this entry becomes here: an earlier entry that became the same file is lost
        // to this one, and named; a third names the second.
        const std::string file = m_looseNames ? place : PlaceKey(rest, nullptr, false);
        const auto made = m_madeBy.emplace(file, name);
        if (!made.second) {
            job->replaces = made.first->second;
            made.first->second = name;
        }
        // Entries come sorted, so most share the folder the one before them needed.
        const std::size_t cut = rest.rfind('\\');
        const std::string parent = cut == std::string::npos ? "" : rest.substr(0, cut + 1);
        std::string refusal;
        if (!m_prepared || parent != m_lastParent) {
            refusal = PrepareFolders(m_destination, rest, &m_ready);
            m_prepared = refusal.empty();
            m_lastParent = parent;
        }
        if (!refusal.empty())
            job->messages.emplace_back(EntryLabel(m_hostArchive, name), refusal);
        else
            job->target = m_destination + rest;
        return true;
    }

    // Entries that lead to the same place, or one to another's folder, must be done one after
    // the other, as a single thread would: the later waits until all before it are done.
    bool WaitForEarlier(const std::string& place, const std::vector<std::string>& above) {
        bool meets = m_places.count(place) != 0 || m_folders.count(place) != 0;
        for (const std::string& folder : above) meets = meets || m_places.count(folder) != 0;
        if (meets) {
            while (m_queue->Pending() != 0 && ReportOldest()) {
            }
            if (m_stopped) return false;
        }
        m_places.insert(place);
        m_folders.insert(above.begin(), above.end());
        return true;
    }

    // Reports the oldest job; false when there is none or the user asked to stop.
    bool ReportOldest() {
        UnpackJob job;
        if (!m_queue->TakeOldest(&job)) {
            m_stopped = Platform::CancelRequested();
            return false;
        }
        if (!job.messages.empty()) m_progress.Finish();
        for (const auto& message : job.messages) m_result = Error(message.first, message.second);
        m_progress.Step(NameOf(job.entry));
        return true;
    }

    const char* m_hostArchive;
    const std::string& m_destination;
    const std::string& m_prefix;
    UnpackQueue* m_queue;
    ArchiveFormat::ContentReader* m_inlineReader;  // null: the workers extract
    const std::size_t m_window;                    // jobs planned ahead of the reports
    const bool m_looseNames = Platform::ReplaceMatchesNamesLoosely();
    Progress m_progress;
    int m_result = kOk;
    std::size_t m_matched = 0;
    bool m_stopped = false;
    std::unordered_set<std::string> m_places;
    std::unordered_set<std::string> m_folders;
    std::unordered_map<std::string, std::string> m_madeBy;  // file -> the entry that made it
    std::unordered_set<std::string> m_ready;
    std::string m_lastParent;
    bool m_prepared = false;
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

}  // namespace

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

    const std::vector<ArchiveEntry*>& entries = reader.Entries();
    const unsigned workerCount =
        jobCount > 1 ? static_cast<unsigned>(std::min<std::size_t>(jobCount, entries.size())) : 0;
    std::vector<std::unique_ptr<ArchiveFormat::ContentReader>> readers;
    if (!MakeReaders(std::max(workerCount, 1u), &readers))
        return Error(hostArchive, "out of memory");

    UnpackQueue queue(&archive, reader.DataStart());
    Workers workers;
    workers.Start(workerCount, [&queue, &readers](unsigned i) { queue.Work(readers[i].get()); });
    Extraction run(hostArchive, destination, prefix, &queue,
                   workers.Any() ? nullptr : readers[0].get(), workerCount, entries.size());
    if (reader.CutShort())
        run.Fail(hostArchive, ArchiveFormat::Explain(ArchiveFormat::Damage::DirectoryCutShort));
    const bool whole = run.Run(entries);
    queue.Stop();
    workers.Join();
    if (!whole || Platform::CancelRequested()) return Stopped();
    if (run.Matched() == 0 && !prefix.empty())
        run.Fail(hostArchive, "no entry below \"" + prefix + "\"");
    return run.Result();
}

}  // namespace QxarcTool
