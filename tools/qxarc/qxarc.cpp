// qxarc: creates, lists, tests and extracts archives from the command line.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/containers/ElementContainer.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/core/CoreImp.h"
#include "framework/io/Archive.h"
#include "framework/io/ArchiveEntry.h"
#include "framework/io/ArchiveLayout.h"
#include "framework/io/BinaryStream.h"
#include "framework/io/Stream.h"
#include "framework/system/FileFunc.h"
#include "framework/system/FileSystemIterator.h"
#include "platform/CommandLine.h"
#include "platform/Tls.h"

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
    "                                        extract all entries (or those below PREFIX) into DEST\n"
    "       qxarc --help | --version\n"
    "Exit status: 0 success, 1 an archive or entry failed, 2 bad usage.\n";

int Error(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "qxarc: %s: %s\n", file.c_str(), reason.c_str());
    return kFailed;
}

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "qxarc: %s (see qxarc --help)\n", reason.c_str());
    return kUsage;
}

// Starts the framework for the tool's thread as the installer does, and stops it at the end.
class Framework {
public:
    Framework() {
        m_core = new CoreImp(nullptr);
        m_slot = Platform::TlsAllocate();
        if (m_core == nullptr || m_slot == Platform::InvalidTlsSlot) return;
        m_core->AddReference();
        m_core->SetParam(static_cast<std::int32_t>(m_slot));
        m_ready = Platform::TlsSet(m_slot, m_core);
    }
    ~Framework() {
        if (m_core != nullptr) {
            Element* core = m_core;
            core->ReleaseReference();
        }
        if (m_slot != Platform::InvalidTlsSlot) {
            Platform::TlsSet(m_slot, nullptr);
            Platform::TlsFree(m_slot);
        }
    }
    bool Ready() const { return m_ready; }

private:
    Core* m_core = nullptr;
    std::uint32_t m_slot = Platform::InvalidTlsSlot;
    bool m_ready = false;
};

// A one-line bar on standard error, drawn only on a terminal and only once a run has taken a
// moment, so short runs and redirected output stay clean.
class Progress {
public:
    explicit Progress(std::uint64_t total)
        : m_total(total), m_enabled(Platform::StandardErrorIsTerminal()),
          m_start(std::chrono::steady_clock::now()), m_last(m_start) {}
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
        std::fprintf(stderr, "\r[%s] %3d%% %-40s", bar.c_str(), static_cast<int>(m_done * 100 / m_total),
                     name.c_str());
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

// Opens a file stream for reading on the archive beside the Archive element's own, so the tool
// can look at block headers without disturbing it.
struct RawFile {
    Held<BinaryStream> file{TypeBinaryStream};
    Stream* stream = nullptr;
    bool Open(const std::string& path) {
        stream = InterfaceOf<Stream>(file.p, InterfaceStream);
        return stream != nullptr && file->SetPathName(path.c_str()) == 0 &&
               stream->SetAccessMode(Stream::AccessRead) == 0 && stream->Open() == 0;
    }
};

std::string DescribeOpenFailure(std::int32_t code, const std::string& path) {
    Held<FileFunc> files(TypeFileFunc);
    if (code == 17) return "cannot be opened (refused by the system: in use or no rights)";
    if (files && files->Exists(path.c_str()) != 0) return "no such file";
    return "not an archive (bad magic or directory tag)";
}

std::int32_t OpenArchive(Archive* archive, const std::string& path, const char* hostPath) {
    if (archive == nullptr) return Error(hostPath, "out of memory");
    archive->SetMode(1);
    std::int32_t code = archive->Open(path.c_str());
    if (code != 0) return Error(hostPath, DescribeOpenFailure(code, path));
    return kOk;
}

struct BlockInfo {
    bool readable = false;
    unsigned char tag[4] = {};
    std::uint32_t contentSize = 0;
    bool Packed() const { return std::memcmp(tag, "PAC", 4) == 0; }
    bool Raw() const { return std::memcmp(tag, "RAW", 4) == 0; }
};

BlockInfo ReadBlock(Stream* file, ArchiveEntry* entry) {
    BlockInfo info;
    info.readable = file != nullptr &&
                    ArchiveLayout::ReadBlockHeader(file, entry->GetOffset(), info.tag, &info.contentSize) == 0;
    return info;
}

// Why an entry that the archive would not open is damaged, in words.
std::string Diagnose(Stream* file, ArchiveEntry* entry, std::uint32_t dataStart) {
    std::uint32_t fileSize = 0;
    if (file != nullptr) file->GetSize(&fileSize);
    if (entry->GetOffset() < dataStart) return "record damaged (block offset inside the directory)";
    BlockInfo block = ReadBlock(file, entry);
    if (!block.readable) return "block header missing (archive cut short)";
    if (!block.Packed() && !block.Raw()) return "unknown block tag";
    if (block.contentSize == 0) return "content size 0";
    std::uint64_t end = static_cast<std::uint64_t>(entry->GetOffset()) + entry->GetStoredSize();
    if (block.Packed() && entry->GetStoredSize() <= ArchiveLayout::kBlockHeaderSize)
        return "stored size too small for a compressed block";
    if (block.Raw() && static_cast<std::uint64_t>(entry->GetOffset()) + 8 + block.contentSize > fileSize)
        return "block cut short";
    if (block.Packed() && end > fileSize) return "block cut short";
    if (block.Packed()) return "compressed data damaged or content size wrong";
    return "block unreadable";
}

int Create(const char* hostArchive, const char* hostFolder) {
    std::string archivePath;
    std::string folderPath;
    if (!ToFramework(hostArchive, &archivePath)) return Error(hostArchive, "not a usable path");
    if (!ToFramework(hostFolder, &folderPath)) return Error(hostFolder, "not a usable path");
    folderPath = AsFolder(folderPath);

    Held<FileFunc> files(TypeFileFunc);
    Held<FileSystemIterator> walker(TypeFileSystemIterator);
    if (!files || !walker) return Error(hostArchive, "out of memory");
    if (files->FolderExists(folderPath.c_str()) != 0) return Error(hostFolder, "no such folder");

    // The same walk AddFolder makes; done here so every file can be named in an error and
    // counted for the progress display.
    walker->SetRootFolder(folderPath.c_str());
    walker->SetReportFolders(0);
    walker->SetReportFiles(1);
    walker->SetHiddenSelector(0);
    walker->SetCollect(1);
    if (walker->Walk(0) != 0) return Error(hostFolder, "cannot be read");
    std::vector<std::string> names;
    if (Iterator* found = walker->GetResults(nullptr)) {
        for (found->First(); found->IsAtEnd() == 0; found->Next()) {
            String* relative = static_cast<String*>(found->GetCurrent());
            if (relative == nullptr || relative->GetString() == nullptr) continue;
            std::string name = relative->GetString();
            std::replace(name.begin(), name.end(), '/', '\\');
            // The archive being written may lie inside the folder: it is not packed into itself.
            if (folderPath + name == archivePath || folderPath + name == archivePath + ".partial") continue;
            names.push_back(name);
        }
        walker->ReleaseResults(&found);
    }
    std::sort(names.begin(), names.end());

    // The archive is made under a temporary name beside the target and only replaces it once
    // it is complete, so a failure never leaves a damaged archive or destroys an old one.
    const std::string partial = archivePath + ".partial";
    if (files->Truncate(partial.c_str()) != 0) return Error(Host(partial), "cannot be created");
    int result = kOk;
    if (names.empty()) {
        // No entries: an archive with an empty directory, so list, test and extract accept it.
        RawFile file;
        file.stream = InterfaceOf<Stream>(file.file.p, InterfaceStream);
        bool ok = file.stream != nullptr && file.file->SetPathName(partial.c_str()) == 0 &&
                  file.stream->SetAccessMode(Stream::AccessReadWrite) == 0 && file.stream->Open() == 0 &&
                  ArchiveLayout::Commit(file.stream, nullptr, 0, ArchiveLayout::kDefaultVersion, 0) == 0;
        if (file.stream != nullptr && file.stream->IsClosed() == 0 && file.stream->Close() != 0) ok = false;
        if (!ok) result = Error(Host(partial), "write failed (disk full?)");
    } else {
        Held<Archive> archive(TypeArchive);
        if (!archive) {
            result = Error(hostArchive, "out of memory");
        } else {
            archive->SetMode(0);
            std::int32_t code = archive->Open(partial.c_str());
            if (code != 0) result = Error(Host(partial), "cannot be opened for writing");
            Progress progress(names.size());
            for (std::size_t i = 0; result == kOk && i < names.size(); ++i) {
                std::string source = folderPath + names[i];
                code = archive->AddFile(source.c_str(), names[i].c_str());
                if (code != 0) {
                    progress.Finish();
                    result = Error(Host(source), code == 17 ? "cannot be opened (in use or no rights)"
                                                            : "cannot be read or packed (disk full?)");
                }
                progress.Step(names[i]);
            }
            progress.Finish();
            if (archive->Close() != 0 && result == kOk) result = Error(Host(partial), "write failed (disk full?)");
        }
    }
    if (result == kOk) {
        files->Delete(archivePath.c_str());
        if (files->Rename(partial.c_str(), archivePath.c_str()) != 0)
            result = Error(hostArchive, "cannot be replaced (in use or no rights)");
    }
    if (result != kOk) files->Delete(partial.c_str());
    return result;
}

// Walks the directory in order, calling visit(entry, index).
template <class F>
void ForEachEntry(Archive* archive, F visit) {
    Iterator* it = archive->GetIterator(ElementContainer::IteratorRead);
    if (it == nullptr) return;
    for (it->First(); it->IsAtEnd() == 0; it->Next()) {
        ArchiveEntry* entry = static_cast<ArchiveEntry*>(it->GetCurrent());
        if (entry != nullptr) visit(entry);
    }
    archive->ReturnIterator(&it);
}

int List(const char* hostArchive) {
    std::string path;
    if (!ToFramework(hostArchive, &path)) return Error(hostArchive, "not a usable path");
    Held<Archive> archive(TypeArchive);
    if (OpenArchive(archive.p, path, hostArchive) != kOk) return kFailed;
    RawFile raw;
    ArchiveLayout::Header header;
    if (!raw.Open(path) || ArchiveLayout::ReadHeader(raw.stream, &header) != 0)
        return Error(hostArchive, "cannot be read");
    std::printf("%s: version 0x%04X, sub-version 0x%04X, %" PRIu32 " entries, directory %" PRIu32 " bytes, data from offset %" PRIu32 "\n",
                hostArchive, static_cast<unsigned>(header.version), static_cast<unsigned>(header.subVersion),
                header.count, header.directorySize, header.directorySize + ArchiveLayout::kPrefixSize);
    std::printf("%12s %12s %12s  %s\n", "content", "stored", "offset", "name");
    ForEachEntry(archive.p, [&](ArchiveEntry* entry) {
        BlockInfo block = ReadBlock(raw.stream, entry);
        char content[16] = "?";
        if (block.readable && (block.Packed() || block.Raw()))
            std::snprintf(content, sizeof content, "%" PRIu32, block.contentSize);
        std::printf("%12s %12" PRIu32 " %12" PRIu32 "  %s\n", content, entry->GetStoredSize(),
                    entry->GetOffset(), entry->GetName() != nullptr ? entry->GetName() : "");
    });
    return kOk;
}

// Where the data region starts by the header's own account: no block may begin before it.
std::uint32_t DataStart(Stream* raw) {
    ArchiveLayout::Header header;
    if (ArchiveLayout::ReadHeader(raw, &header) != 0) return 0;
    std::uint64_t start = static_cast<std::uint64_t>(header.directorySize) + ArchiveLayout::kPrefixSize;
    return start > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(start);
}

std::size_t CountEntries(Archive* archive) {
    std::size_t n = 0;
    ForEachEntry(archive, [&](ArchiveEntry*) { ++n; });
    return n;
}

int Test(const char* hostArchive) {
    std::string path;
    if (!ToFramework(hostArchive, &path)) return Error(hostArchive, "not a usable path");
    Held<Archive> archive(TypeArchive);
    if (OpenArchive(archive.p, path, hostArchive) != kOk) return kFailed;
    RawFile raw;
    if (!raw.Open(path)) return Error(hostArchive, "cannot be read");
    const std::uint32_t dataStart = DataStart(raw.stream);
    int result = kOk;
    std::size_t good = 0;
    Progress progress(CountEntries(archive.p));
    ForEachEntry(archive.p, [&](ArchiveEntry* entry) {
        std::string name = entry->GetName() != nullptr ? entry->GetName() : "";
        std::string label = std::string(hostArchive) + ": entry \"" + name + "\"";
        BlockInfo block = ReadBlock(raw.stream, entry);
        std::string problem;
        Stream* content = archive->OpenEntryContent(entry);
        if (content != nullptr) {
            std::uint32_t size = 0;
            content->GetSize(&size);
            if (!block.Packed() && !block.Raw()) {
                problem = "unknown block tag";
            } else if (size != block.contentSize) {
                problem = "content is " + std::to_string(size) + " bytes, block header says " +
                          std::to_string(block.contentSize);
            }
            archive->CloseEntry();
        } else if (!ArchiveLayout::IsEmptyBlock(raw.stream, entry)) {
            problem = Diagnose(raw.stream, entry, dataStart);
        }
        if (problem.empty()) {
            ++good;
        } else {
            progress.Finish();
            result = Error(label, problem);
        }
        progress.Step(name);
    });
    progress.Finish();
    std::printf("%zu of %zu entries good\n", good, CountEntries(archive.p));
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
    if (prefix.back() != '\\' && name.size() > prefix.size() && name[prefix.size()] != '\\') return false;
    std::size_t start = prefix.size();
    while (start < name.size() && name[start] == '\\') ++start;
    *rest = name.substr(start);
    return true;
}

int Extract(const char* hostArchive, const char* hostDestination, const char* prefixArgument) {
    std::string path;
    std::string destination;
    if (!ToFramework(hostArchive, &path)) return Error(hostArchive, "not a usable path");
    if (!ToFramework(hostDestination, &destination)) return Error(hostDestination, "not a usable path");
    destination = AsFolder(destination);
    std::string prefix = prefixArgument != nullptr ? prefixArgument : "";
    std::replace(prefix.begin(), prefix.end(), '/', '\\');

    Held<Archive> archive(TypeArchive);
    if (OpenArchive(archive.p, path, hostArchive) != kOk) return kFailed;
    RawFile raw;
    Held<FileFunc> files(TypeFileFunc);
    if (!raw.Open(path) || !files) return Error(hostArchive, "cannot be read");
    if (files->CreateFolders(destination.c_str()) != 0) return Error(hostDestination, "folder cannot be created");
    const std::uint32_t dataStart = DataStart(raw.stream);

    int result = kOk;
    std::size_t matched = 0;
    Progress progress(CountEntries(archive.p));
    ForEachEntry(archive.p, [&](ArchiveEntry* entry) {
        std::string name = entry->GetName() != nullptr ? entry->GetName() : "";
        std::string rest;
        progress.Step(name);
        if (!BelowPrefix(name, prefix, &rest)) return;
        ++matched;
        std::string label = std::string(hostArchive) + ": entry \"" + name + "\"";
        // Nothing may land outside the destination folder.
        if (!ArchiveLayout::IsSafeEntryName(name.c_str()) || !ArchiveLayout::IsSafeEntryName(rest.c_str())) {
            progress.Finish();
            result = Error(label, "name is absolute, has a drive or \"..\": refused");
            return;
        }
        BlockInfo block = ReadBlock(raw.stream, entry);
        if (block.readable && !block.Packed() && !block.Raw()) {
            progress.Finish();
            result = Error(label, "unknown block tag");
            return;
        }
        std::string target = destination + rest;
        if (archive->ExtractEntryTo(entry, target.c_str(), 1) != 0) {
            progress.Finish();
            Stream* content = archive->OpenEntryContent(entry);
            bool readable = content != nullptr || ArchiveLayout::IsEmptyBlock(raw.stream, entry);
            if (content != nullptr) archive->CloseEntry();
            result = readable ? Error(Host(target), "cannot be written (in use, no rights or disk full)")
                              : Error(label, Diagnose(raw.stream, entry, dataStart));
        }
    });
    progress.Finish();
    if (matched == 0 && !prefix.empty()) result = Error(hostArchive, "no entry below \"" + prefix + "\"");
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    if (args[0] == "--version") {
        std::printf("qxarc 1.0.0\n");
        return kOk;
    }
    Framework framework;
    if (!framework.Ready()) return Error("qxarc", "cannot start (out of memory)");
    const std::string& command = args[0];
    std::size_t operands = args.size() - 1;
    if (command == "create") {
        if (operands != 2) return UsageError("create takes ARCHIVE FOLDER");
        return Create(argv[2], argv[3]);
    }
    if (command == "list") {
        if (operands != 1) return UsageError("list takes ARCHIVE");
        return List(argv[2]);
    }
    if (command == "test") {
        if (operands != 1) return UsageError("test takes ARCHIVE");
        return Test(argv[2]);
    }
    if (command == "extract") {
        if (operands != 2 && operands != 3) return UsageError("extract takes ARCHIVE DEST [PREFIX]");
        return Extract(argv[2], argv[3], operands == 3 ? argv[4] : nullptr);
    }
    return UsageError("unknown command \"" + command + "\"");
}
