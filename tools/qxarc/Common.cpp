// Common: messages and their reasons, the user's folders and paths, the temporary file and the
// progress bar of qxarc.
#include "tools/qxarc/Common.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <utility>

#include "framework/archive/ArchiveFormat.h"
#include "platform/Cancel.h"
#include "platform/Clock.h"
#include "platform/CommandLine.h"

namespace QxarcTool {

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

int Error(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "qxarc: %s: %s\n", Shown(file).c_str(), Shown(reason).c_str());
    return kFailed;
}

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "qxarc: %s (see qxarc --help)\n", Shown(reason).c_str());
    return kUsage;
}

int Stopped() {
    const bool interrupted = Platform::CancelRequestCause() == Platform::CancelCause::Interrupt;
    std::fprintf(stderr, "qxarc: stopped (%s); no file was left half-written\n",
                 interrupted ? "interrupted" : "terminated");
    return interrupted ? kInterrupted : kTerminated;
}

std::string Why(Platform::Error error) {
    switch (error) {
        case Platform::Error::AccessDenied: return "no permission";
        case Platform::Error::InvalidName: return "name too long or not allowed by the system";
        case Platform::Error::FileNotFound:
        case Platform::Error::PathNotFound: return "no such file or folder";
        case Platform::Error::NotAFolder: return "not a folder";
        case Platform::Error::StoppedOnLink: return "a link stands there";
        case Platform::Error::SharingViolation: return "in use by another program";
        case Platform::Error::DiskFull: return "disk full";
        case Platform::Error::FileExists:
        case Platform::Error::AlreadyExists: return "already exists";
        case Platform::Error::NotEnoughMemory: return "out of memory";
        case Platform::Error::TooManyOpenFiles: return "too many open files";
        case Platform::Error::WriteFault:
        case Platform::Error::ReadFault: return "input/output error";
        case Platform::Error::InvalidFunction: return "not supported by the system for this file";
        case Platform::Error::Unknown: return "an error the system does not name";
        default: return "system error " + std::to_string(Platform::ToInt(error));
    }
}

std::string EntryLabel(const std::string& hostArchive, const std::string& name) {
    return hostArchive + ": entry \"" + name + "\"";
}

std::string HostJoin(const std::string& folder, const std::string& name) {
    const char separator = Platform::HostSeparator();
    std::string path = folder;
    if (!path.empty() && path.back() != separator && path.back() != '/' && !name.empty())
        path += separator;
    return path + name;
}

std::string HostJoinEntry(const std::string& folder, const std::string& entryName) {
    std::string name = entryName;
    for (char& c : name) {
        if (QRV2::ArchiveFormat::IsSeparator(c)) c = Platform::HostSeparator();
    }
    return HostJoin(folder, name);
}

FolderRef HoldFolder(Platform::UserFolder folder, const std::string& hostPath, bool made) {
    try {
        return std::make_shared<const OpenFolder>(folder, hostPath, made);
    } catch (const std::bad_alloc&) {
        Platform::UserFolderClose(folder);
        return nullptr;
    }
}

bool TemporaryFile::Create(const FolderRef& folder, const std::string& stem, const char* suffix,
                           Platform::Error* error) {
    // Every call starts from a number of its own, so workers creating files at the same
    // moment do not try the same names one after another.
    static std::atomic<std::uint32_t> next{Platform::TickMilliseconds() % 100000000u};
    std::uint32_t n = next.fetch_add(1);
    for (int attempt = 0; attempt < 1000; ++attempt, ++n) {
        char number[16];
        std::snprintf(number, sizeof number, ".%u", static_cast<unsigned>(n % 1000000000u));
        const std::string name = stem + number + suffix;
        *error = Platform::UserFileCreate(folder->Get(), name, &m_handle);
        if (*error == Platform::Error::FileExists || *error == Platform::Error::AlreadyExists)
            continue;
        if (*error != Platform::Error::None) return false;
        m_folder = folder;
        m_name = name;
        return true;
    }
    return false;
}

void TemporaryFile::Swap(TemporaryFile* other) {
    std::swap(m_folder, other->m_folder);
    std::swap(m_name, other->m_name);
    std::swap(m_handle, other->m_handle);
}

bool TemporaryFile::CloseHandle() {
    if (m_handle == Platform::NullFile) return true;
    Platform::Error error = Platform::FileClose(m_handle);
    m_handle = Platform::NullFile;
    return error == Platform::Error::None;
}

Platform::Error TemporaryFile::ReplaceInto(const std::string& target, bool noReplace) {
    CloseHandle();
    Platform::Error error = Platform::UserFileReplace(m_folder->Get(), m_name, target, noReplace);
    if (error == Platform::Error::None) m_name.clear();
    return error;
}

void TemporaryFile::Discard() {
    CloseHandle();
    if (!m_name.empty()) Platform::UserFileDelete(m_folder->Get(), m_name);
    m_name.clear();
    m_folder.reset();
}

Progress::Progress(std::uint64_t totalBytes)
    : m_total(totalBytes),
      m_enabled(Platform::StandardErrorIsTerminal()),
      m_start(std::chrono::steady_clock::now()),
      m_last(m_start) {}

void Progress::Advance(std::uint64_t bytes, const std::string& label) {
    m_done += bytes;
    if (!m_enabled || m_total == 0) return;
    auto now = std::chrono::steady_clock::now();
    if (now - m_start < std::chrono::milliseconds(500)) return;
    if (m_drawn && now - m_last < std::chrono::milliseconds(100)) return;
    m_last = now;
    m_drawn = true;
    const std::uint64_t done = m_done < m_total ? m_done : m_total;
    const int width = 30;
    const int filled = static_cast<int>(done * width / m_total);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    const std::string shown = Shown(label);
    const std::string name = shown.size() > 40 ? "..." + shown.substr(shown.size() - 37) : shown;
    std::fprintf(stderr, "\r[%s] %3d%% %-40s", bar.c_str(), static_cast<int>(done * 100 / m_total),
                 name.c_str());
    std::fflush(stderr);
}

void Progress::Finish() {
    if (!m_drawn) return;
    std::fprintf(stderr, "\r%*s\r", 30 + 2 + 5 + 40, "");
    std::fflush(stderr);
    m_drawn = false;
}

}  // namespace QxarcTool
