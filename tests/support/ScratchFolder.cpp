// Test folders under the system temp folder, unique per run, and plain file helpers for tests.
#include "tests/support/ScratchFolder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace QRV2Test {

namespace {

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
}

std::string ToFrameworkPath(const fs::path& native) {
    std::string text = native.string();
#ifdef _WIN32
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return text;
#else
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return "Z:" + text;
#endif
}

struct RunFolderHolder {
    std::string framework;
    fs::path native;
    RunFolderHolder() {
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        native = fs::temp_directory_path() / ("qrv2-test-" + std::to_string(ProcessId()) + "-" +
                                              std::to_string(stamp % 1000000));
        fs::create_directories(native);
        framework = ToFrameworkPath(native);
        if (framework.empty() || framework.back() != '\\') framework += '\\';
    }
    ~RunFolderHolder() {
        std::error_code ignored;
        fs::remove_all(native, ignored);
    }
};

RunFolderHolder& Holder() {
    static RunFolderHolder holder;
    return holder;
}

std::atomic<int> g_nextFolder{0};

}  // namespace

const std::string& RunFolder() { return Holder().framework; }

std::string NativePath(const std::string& frameworkPath) {
#ifdef _WIN32
    return frameworkPath;
#else
    std::string text = frameworkPath;
    if (text.size() >= 2 && (text[0] == 'Z' || text[0] == 'z') && text[1] == ':') text.erase(0, 2);
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
#endif
}

ScratchFolder::ScratchFolder() {
    m_path = RunFolder() + "t" + std::to_string(++g_nextFolder) + "\\";
    fs::create_directories(NativePath(m_path));
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(NativePath(m_path), ignored);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PathPresent(const std::string& path) {
    std::error_code ignored;
    return fs::exists(NativePath(path), ignored);
}

bool IsDirectory(const std::string& path) {
    std::error_code ignored;
    return fs::is_directory(NativePath(path), ignored);
}

}  // namespace QRV2Test
