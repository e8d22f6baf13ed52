// qxarc: creates, lists, tests and extracts archives from the command line.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/core/Core.h"
#include "framework/FrameworkSession.h"
#include "framework/archive/Archive.h"
#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/ArchiveFormat.h"
#include "framework/io/BinaryStream.h"
#include "framework/containers/Stream.h"
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
    "usage: qxarc create ARCHIVE FOLDER      pack every file below FOLDER (hidden ones left out)\n"
    "       qxarc list ARCHIVE               show each entry's content size, stored size, offset\n"
    "       qxarc test ARCHIVE               read every entry and report each damaged one\n"
    "       qxarc extract ARCHIVE DEST [PREFIX]\n"
    "                                        extract all entries (or those below PREFIX) into "
    "DEST\n"
    "       qxarc --help | --version\n"
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

// Element holders that release on scope exit.
template <class T>
struct Held {
    T* p = nullptr;
    explicit Held(std::int32_t typeId) : p(CreateElementAs<T>(typeId)) {}
    ~Held() { ReleaseElement(p); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

std::string Host(const std::string& frameworkPath) {
    return Platform::FrameworkPathToHostPath(frameworkPath);
}

bool ToFramework(const char* hostPath, std::string* path) {
    return Platform::HostPathToFrameworkPath(hostPath, path);
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
        case Platform::Error::AccessDenied:
            return "no permission";
        case Platform::Error::InvalidName:
            return "path too long or name not allowed by the system";
        case Platform::Error::FileNotFound:
        case Platform::Error::PathNotFound:
            return "vanished while being read";
        case Platform::Error::SharingViolation:
            return "in use by another program";
        case Platform::Error::DiskFull:
            return "disk full";
        case Platform::Error::FileExists:
        case Platform::Error::AlreadyExists:
            return "already exists";
        default:
            return "system error " + std::to_string(Platform::ToInt(error));
    }
}

// Removes the tool's temporary file unless it was handed on; the one place a Ctrl-C, a failure
// or an early return cleans up after itself.
class TemporaryFile {
public:
    // Creates a new file named stem.N.suffix (N counting up from a clock-derived start until
    // a name is free): an existing file of that or any other name is never opened or emptied.
    bool Create(const std::string& stem, const char* suffix, Platform::Error* error) {
        std::uint32_t n = Platform::TickMilliseconds() & 0xFFFFFF;
        for (int attempt = 0; attempt < 1000; ++attempt, ++n) {
            char number[16];
            std::snprintf(number, sizeof number, ".%X", static_cast<unsigned>(n));
            std::string path = stem + number + suffix;
            *error = Platform::FileOpen(
                path.c_str(), Platform::FileAccess::Write, Platform::FileShare::None,
                Platform::FileDisposition::CreateNew, Platform::FileHint::Sequential, &m_handle);
            if (*error == Platform::Error::FileExists || *error == Platform::Error::AlreadyExists)
                continue;
            if (*error != Platform::Error::None) return false;
            m_path = path;
            return true;
        }
        return false;
    }
    ~TemporaryFile() { Discard(); }
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
    std::string name;  // the entry name: relative path with "\" between components
    std::string path;  // framework path of the file
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
                    found->push_back({entryName, path});
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

int Create(const char* hostArchive, const char* hostFolder) {
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

    // The archive is made under a new name of its own beside the target and replaces it only
    // once complete: a failure or a stop never leaves a damaged archive or destroys an old one.
    TemporaryFile partial;
    if (!partial.Create(archivePath, ".partial", &error))
        return Error(hostArchive,
                     "temporary file cannot be created beside it (" + Why(error) + ")");
    partial.CloseHandle();

    int result = problems == 0 ? kOk : kFailed;
    bool written = true;
    if (found.empty()) {
        // No entries: an archive with an empty directory, so list, test and extract accept it.
        Held<BinaryStream> file(TypeBinaryStream);
        Stream* stream = InterfaceOf<Stream>(file.p, InterfaceStream);
        written = stream != nullptr && file->SetPathName(partial.Path().c_str()) == 0 &&
                  stream->SetAccessMode(Stream::AccessReadWrite) == 0 && stream->Open() == 0 &&
                  ArchiveFormat::Commit(stream, nullptr, 0, ArchiveFormat::kDefaultVersion, 0) == 0;
        if (stream != nullptr && stream->IsClosed() == 0 && stream->Close() != 0) written = false;
    } else {
        Held<Archive> archive(TypeArchive);
        if (!archive) return Error(hostArchive, "out of memory");
        archive->SetMode(0);
        if (archive->Open(partial.Path().c_str()) != 0)
            return Error(Host(partial.Path()), "cannot be opened for writing");
        Progress progress(found.size());
        for (const Found& file : found) {
            if (Platform::CancelRequested()) break;
            std::int32_t code = archive->AddFile(file.path.c_str(), file.name.c_str());
            if (code != 0) {
                progress.Finish();
                result = Error(Host(file.path),
                               code == 17 ? "cannot be opened (in use or no rights): left out"
                                          : "cannot be read whole: left out");
            }
            progress.Step(file.name);
        }
        progress.Finish();
        written = archive->Close() == 0;
    }
    if (Platform::CancelRequested()) return Stopped();
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
        m_stream = InterfaceOf<Stream>(m_file.p, InterfaceStream);
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
        m_damage = ArchiveFormat::ReadDirectory(m_stream, &m_header, this, &m_dataStart);
        if (m_damage != ArchiveFormat::Damage::None &&
            m_damage != ArchiveFormat::Damage::DirectoryCutShort)
            return Error(hostArchive, ArchiveFormat::Explain(m_damage)), false;
        return true;
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
// a real folder (a link met on the way would carry the file outside the destination).
// Empty, or the reason the entry is refused.
std::string PrepareFolders(const std::string& destination, const std::string& rest) {
    std::string path = destination;
    std::size_t start = 0;
    for (std::size_t cut = rest.find('\\'); cut != std::string::npos;
         cut = rest.find('\\', start)) {
        path += rest.substr(start, cut - start);
        start = cut + 1;
        if (path.back() == '\\') continue;  // an empty component
        Platform::PathFacts facts;
        Platform::Error error = Platform::InspectPath(path.c_str(), &facts);
        if (error != Platform::Error::None)
            return Host(path) + " cannot be examined (" + Why(error) + ")";
        if (facts.kind == Platform::PathKind::Missing) {
            error = Platform::FolderCreate(path.c_str());
            if (error != Platform::Error::None && error != Platform::Error::AlreadyExists)
                return "folder " + Host(path) + " cannot be created (" + Why(error) + ")";
        } else if (facts.kind != Platform::PathKind::Folder) {
            return Host(path) + (facts.kind == Platform::PathKind::LinkToFolder
                                     ? " is a link to a folder, which would lead outside the "
                                       "destination: refused"
                                     : " is in the way of a folder: refused");
        }
        path += '\\';
    }
    return std::string();
}

int Extract(const char* hostArchive, const char* hostDestination, const char* prefixArgument) {
    std::string destination;
    if (!ToFramework(hostDestination, &destination))
        return Error(hostDestination, "not a usable path");
    destination = AsFolder(destination);
    std::string prefix = prefixArgument != nullptr ? prefixArgument : "";
    std::replace(prefix.begin(), prefix.end(), '/', '\\');

    Reader reader;
    if (!reader.Open(hostArchive)) return kFailed;
    Held<FileFunc> files(TypeFileFunc);
    if (!files) return Error(hostArchive, "out of memory");
    if (files->CreateFolders(destination.c_str()) != 0)
        return Error(hostDestination, "folder cannot be created");
    Platform::InstallCancelHandlers();

    int result = kOk;
    if (reader.CutShort())
        result =
            Error(hostArchive, ArchiveFormat::Explain(ArchiveFormat::Damage::DirectoryCutShort));
    std::size_t matched = 0;
    Progress progress(reader.Entries().size());
    for (ArchiveEntry* entry : reader.Entries()) {
        const std::string name = NameOf(entry);
        std::string rest;
        progress.Step(name);
        if (!BelowPrefix(name, prefix, &rest)) continue;
        ++matched;
        const std::string label = EntryLabel(hostArchive, name);
        // Nothing may land outside the destination folder.
        if (!ArchiveFormat::IsSafeEntryName(name.c_str()) ||
            !ArchiveFormat::IsSafeEntryName(rest.c_str())) {
            progress.Finish();
            result = Error(label, "name is absolute, has a drive or \"..\": refused");
            continue;
        }
        std::string refusal = PrepareFolders(destination, rest);
        if (!refusal.empty()) {
            progress.Finish();
            result = Error(label, refusal);
            continue;
        }
        const std::string target = destination + rest;
        Platform::PathFacts facts;
        Platform::InspectPath(target.c_str(), &facts);
        if (facts.kind == Platform::PathKind::Folder) {
            progress.Finish();
            result = Error(Host(target), "is a folder: entry not extracted");
            continue;
        }
        // The content goes into a new file beside the target and replaces it only once the
        // entry checked out whole: a damaged entry never touches an existing file, and a link
        // at the target's place is replaced rather than written through.
        TemporaryFile temporary;
        Platform::Error error = Platform::Error::None;
        if (!temporary.Create(target, ".partial", &error)) {
            progress.Finish();
            result = Error(Host(target), "cannot be written (" + Why(error) + ")");
            continue;
        }
        FileSink sink(temporary.Handle());
        ArchiveFormat::Damage damage =
            ArchiveFormat::ReadContent(reader.File(), entry->GetOffset(), entry->GetStoredSize(),
                                       reader.DataStart(), &sink, nullptr);
        if (Platform::CancelRequested()) return progress.Finish(), Stopped();
        // The bar is cleared only when a message is about to be written under it.
        const bool good = damage == ArchiveFormat::Damage::None && temporary.CloseHandle();
        if (!good) progress.Finish();
        if (damage == ArchiveFormat::Damage::WriteFailed) {
            result = Error(Host(target), "cannot be written (" + Why(sink.LastError()) + ")");
        } else if (damage != ArchiveFormat::Damage::None) {
            result = Error(label, ArchiveFormat::Explain(damage));
        } else if (!good) {
            result = Error(Host(target), "cannot be written (disk full?)");
        } else if ((error = temporary.ReplaceInto(target)) != Platform::Error::None) {
            progress.Finish();
            result = Error(Host(target), "cannot be replaced (" + Why(error) + ")");
        }
    }
    progress.Finish();
    if (matched == 0 && !prefix.empty())
        result = Error(hostArchive, "no entry below \"" + prefix + "\"");
    return result;
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
    FrameworkSession framework;
    if (framework.Start() == nullptr) {
        std::fprintf(stderr, "qxarc: cannot start (out of memory)\n");
        return kFailed;
    }
    const std::string& command = args[0];
    std::size_t operands = args.size() - 1;
    if (command == "create") {
        if (operands != 2) return UsageError("create takes ARCHIVE FOLDER");
        return Finish(Create(argv[2], argv[3]));
    }
    if (command == "list") {
        if (operands != 1) return UsageError("list takes ARCHIVE");
        return Finish(List(argv[2]));
    }
    if (command == "test") {
        if (operands != 1) return UsageError("test takes ARCHIVE");
        return Finish(Test(argv[2]));
    }
    if (command == "extract") {
        if (operands != 2 && operands != 3)
            return UsageError("extract takes ARCHIVE DEST [PREFIX]");
        return Finish(Extract(argv[2], argv[3], operands == 3 ? argv[4] : nullptr));
    }
    return UsageError("unknown command \"" + command + "\"");
}
