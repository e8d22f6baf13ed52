// Common: messages and their reasons, paths, the temporary file and the progress bar of qxarc.
#include "tools/qxarc/Common.h"

#include <atomic>
#include <cstdio>
#include <utility>

#include "framework/archive/ArchiveFormat.h"
#include "platform/Clock.h"
#include "platform/CommandLine.h"
#include "platform/PathFacts.h"

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
    std::fprintf(stderr, "qxarc: %s (see qxarc --help)\n", reason.c_str());
    return kUsage;
}

int Stopped() {
    std::fprintf(stderr, "qxarc: stopped by the user\n");
    return kFailed;
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

std::string EntryLabel(const char* hostArchive, const std::string& name) {
    return std::string(hostArchive) + ": entry \"" + name + "\"";
}

std::string Host(const std::string& frameworkPath) {
    return Platform::FrameworkPathToHostPath(frameworkPath);
}

bool ToFramework(const char* hostPath, std::string* path) {
    return Platform::HostPathToFrameworkPath(hostPath, path);
}

std::string FolderOf(const std::string& path) {
    const std::string::size_type cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string AsFolder(std::string path) {
    if (path.empty() || !QRV2::ArchiveFormat::IsSeparator(path.back())) path += '\\';
    return path;
}

std::string Normalized(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        char c = i < path.size() ? path[i] : '\\';
        if (!QRV2::ArchiveFormat::IsSeparator(c)) {
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

bool TemporaryFile::Create(const std::string& stem, const char* suffix, Platform::Error* error,
                           Platform::FileAccess access) {
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

void TemporaryFile::Swap(TemporaryFile* other) {
    std::swap(m_path, other->m_path);
    std::swap(m_handle, other->m_handle);
}

bool TemporaryFile::CloseHandle() {
    if (m_handle == Platform::NullFile) return true;
    Platform::Error error = Platform::FileClose(m_handle);
    m_handle = Platform::NullFile;
    return error == Platform::Error::None;
}

Platform::Error TemporaryFile::ReplaceInto(const std::string& target) {
    CloseHandle();
    Platform::Error error = Platform::FileReplace(m_path.c_str(), target.c_str());
    if (error == Platform::Error::None) m_path.clear();
    return error;
}

void TemporaryFile::Discard() {
    CloseHandle();
    if (!m_path.empty()) Platform::FileDelete(m_path.c_str());
    m_path.clear();
}

Progress::Progress(std::uint64_t total)
    : m_total(total),
      m_enabled(Platform::StandardErrorIsTerminal()),
      m_start(std::chrono::steady_clock::now()),
      m_last(m_start) {}

void Progress::Step(const std::string& label) {
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

void Progress::Finish() {
    if (!m_drawn) return;
    std::fprintf(stderr, "\r%*s\r", 30 + 2 + 5 + 40, "");
    std::fflush(stderr);
    m_drawn = false;
}

}  // namespace QxarcTool
