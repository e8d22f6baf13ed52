// POSIX process and machine facts, with folders mapped to Windows-shaped paths.
#include "platform/Process.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/posix/NativeError.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/SystemCall.h"
#include "platform/testing/ProcessSeams.h"

namespace Platform {

namespace {

bool g_versionOverride = false;
std::int32_t g_overrideMajor = 0;
std::int32_t g_overrideMinor = 0;

Error Deliver(const std::string& text, char* buffer, std::uint32_t size, std::uint32_t* length) {
    if (length == nullptr || (buffer == nullptr && size > 0)) return Error::InvalidParameter;
    if (text.size() + 1 > size) {
        *length = static_cast<std::uint32_t>(text.size() + 1);
        return Error::InsufficientBuffer;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *length = static_cast<std::uint32_t>(text.size());
    return Error::None;
}

// A folder as the framework sees it: Windows-shaped and ending in a separator.
std::string FolderText(const std::string& posixFolder) {
    std::string text = ToWindowsPath(posixFolder);
    if (text.empty() || text.back() != '\\') text.push_back('\\');
    return text;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    struct passwd* pw = getpwuid(getuid());
    return (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "";
}

// An absolute folder from an XDG variable, or empty when unset or relative (which the
// base-directory rules say to ignore).
std::string XdgFolder(const char* variable) {
    const char* value = std::getenv(variable);
    return (value != nullptr && value[0] == '/') ? std::string(value) : std::string();
}

// The desktop as the user's folder settings name it ($HOME/Desktop without them).
std::string DesktopFolder() {
    std::string home = HomeFolder();
    if (home.empty()) return std::string();
    std::string config = XdgFolder("XDG_CONFIG_HOME");
    if (config.empty()) config = home + "/.config";
    std::ifstream dirs(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_DESKTOP_DIR=\"";
        if (line.compare(0, key.size(), key) != 0 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0) return home + value.substr(5);
        if (!value.empty() && value[0] == '/') return value;
    }
    return home + "/Desktop";
}

// Makes sure path is a folder of ours that nobody else can enter: created 0700 if missing;
// refused when it is a symbolic link or belongs to someone else; tightened to 0700 if looser.
Error EnsurePrivateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return FromErrno(errno);
    Descriptor fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid())
        return (errno == ELOOP || errno == ENOTDIR) ? Error::AccessDenied : FromErrno(errno);
    struct stat st;
    if (fstat(fd.Get(), &st) != 0) return FromErrno(errno);
    if (st.st_uid != getuid()) return Error::AccessDenied;
    if ((st.st_mode & 077) != 0 && fchmod(fd.Get(), 0700) != 0) return Error::AccessDenied;
    return Error::None;
}

bool UsableRuntimeFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

// A fresh private folder of this process, made when the usual one cannot be trusted (someone
// else made it, or it is a link). Made once per process and removed at exit when empty.
std::string g_fallbackFolder;

extern "C" void RemoveFallbackFolder() {
    if (!g_fallbackFolder.empty()) rmdir(g_fallbackFolder.c_str());
}

Error FallbackTempFolder(std::string* folder) {
    if (!g_fallbackFolder.empty() && EnsurePrivateFolder(g_fallbackFolder) == Error::None) {
        *folder = g_fallbackFolder;
        return Error::None;
    }
    std::string base = XdgFolder("TMPDIR");
    if (base.empty()) base = "/tmp";
    std::string pattern =
        base + "/qrv2-" + std::to_string(static_cast<unsigned>(getuid())) + "-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) return FromErrno(errno);  // made 0700, ours
    bool first = g_fallbackFolder.empty();
    g_fallbackFolder = pattern;
    if (first) std::atexit(RemoveFallbackFolder);
    *folder = pattern;
    return Error::None;
}

}  // namespace

Error GetOsVersion(std::int32_t* major, std::int32_t* minor) {
    if (major == nullptr || minor == nullptr) return Error::InvalidParameter;
    if (g_versionOverride) {
        *major = g_overrideMajor;
        *minor = g_overrideMinor;
        return Error::None;
    }
    // The kernel's release ("6.1.0-13-amd64") is the version of the system we run on.
    struct utsname names;
    if (uname(&names) != 0) return FromErrno(errno);
    char* end = nullptr;
    long ma = std::strtol(names.release, &end, 10);
    long mi = (*end == '.') ? std::strtol(end + 1, nullptr, 10) : 0;
    *major = static_cast<std::int32_t>(ma);
    *minor = static_cast<std::int32_t>(mi);
    return Error::None;
}

void SetOsVersionForTesting(bool active, std::int32_t major, std::int32_t minor) {
    g_versionOverride = active;
    g_overrideMajor = major;
    g_overrideMinor = minor;
}

Error GetExecutableFileName(ModuleHandle, char* buffer, std::uint32_t size, std::uint32_t* length) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n < 0) return FromErrno(errno);
    if (static_cast<std::size_t>(n) >= sizeof self - 1) return Error::InvalidName;
    return Deliver(ToWindowsPath(std::string(self, static_cast<std::size_t>(n))), buffer, size,
                   length);
}

Error GetTempFolderPath(char* buffer, std::uint32_t size, std::uint32_t* length) {
    std::string runtime = XdgFolder("XDG_RUNTIME_DIR");
    std::string folder = UsableRuntimeFolder(runtime)
                             ? runtime + "/qrv2"
                             : "/tmp/qrv2-" + std::to_string(static_cast<unsigned>(getuid()));
    // A folder of that name that is not ours (another user made it first, or it is a link) is
    // left alone; the run goes on in a private folder of its own instead of failing.
    Error e = EnsurePrivateFolder(folder);
    if (e == Error::AccessDenied) e = FallbackTempFolder(&folder);
    if (e != Error::None) return e;
    return Deliver(FolderText(folder), buffer, size, length);
}

Error GetSpecialFolder(SpecialFolder folder, char* buffer, std::uint32_t size,
                       std::uint32_t* length) {
    std::string path;
    if (folder == SpecialFolder::Desktop) {
        path = DesktopFolder();
    } else {
        path = XdgFolder("XDG_DATA_HOME");
        if (path.empty()) {
            std::string home = HomeFolder();
            if (!home.empty()) path = home + "/.local/share";
        }
    }
    if (path.empty()) return Error::FileNotFound;
    return Deliver(FolderText(path), buffer, size, length);
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

Error GetMachineName(char* buffer, std::uint32_t size, std::uint32_t* length) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return FromErrno(errno);
    std::string name(host);
    name = name.substr(0, name.find('.'));
    if (name.size() > 15) name.resize(15);
    return Deliver(name, buffer, size, length);
}

}  // namespace Platform
