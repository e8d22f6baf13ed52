// Path mapping between the framework's Windows-shaped paths and POSIX paths.
#include "platform/posix/PathMap.h"

namespace Platform {

bool ToPosixPath(const char* windowsPath, std::string* posixPath) {
    if (windowsPath == nullptr || posixPath == nullptr) return false;
    std::string path(windowsPath);
    if (path.size() >= 2 && path[1] == ':') {
        char drive = path[0];
        if (drive != 'Z' && drive != 'z') return false;
        path.erase(0, 2);
        // "Z:" alone and "Z:name" both mean the root: there is no per-drive current folder.
        if (path.empty() || (path[0] != '\\' && path[0] != '/')) path.insert(0, "/");
    }
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    *posixPath = path;
    return true;
}

std::string ToWindowsPath(const std::string& posixPath) {
    std::string path = posixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (!path.empty() && path[0] == '\\') path.insert(0, "Z:");
    return path;
}

}  // namespace Platform
