// Path mapping between the framework's Windows-shaped paths and POSIX paths.
#include "platform/posix/PathMap.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace Platform {

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] != '\0'; ++i) {
        if (i >= b.size() || Fold(a[i]) != Fold(b[i])) return false;
    }
    return i == b.size();
}

bool Present(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// The entry of folder that is name ignoring letter case (the first in byte order when several
// are); empty when none is.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return std::string();
    std::string best;
    while (dirent* entry = readdir(dir)) {
        if (!SameIgnoringCase(entry->d_name, name)) continue;
        if (best.empty() || std::strcmp(entry->d_name, best.c_str()) < 0) best = entry->d_name;
    }
    closedir(dir);
    return best;
}

std::string WithoutTrailingDotsAndSpaces(const std::string& name) {
    if (name == "." || name == "..") return name;
    std::string::size_type end = name.find_last_not_of(". ");
    return end == std::string::npos ? name : name.substr(0, end + 1);
}

// folder as the start of a path to one of its entries ("" for the current folder).
std::string Prefix(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + "/";
}

bool HasLetter(const std::string& name) {
    for (char c : name) {
        if (Fold(c) >= 'a' && Fold(c) <= 'z') return true;
    }
    return false;
}

// The name of folder's entry that the component names (see ResolvePosixPath); *found tells
// whether that entry exists. With exactAbsent the caller has already seen that the component
// as given does not.
std::string ResolveComponent(const std::string& folder, const std::string& component,
                             bool exactAbsent, bool* found) {
    *found = true;
    std::string trimmed = WithoutTrailingDotsAndSpaces(component);
    const std::string* candidates[2] = {&component, &trimmed};
    // A name without trailing dots or spaces is its own trimmed form: one folder scan, not two.
    const int count = trimmed == component ? 1 : 2;
    for (int i = 0; i < count; ++i) {
        const std::string* name = candidates[i];
        if (!(i == 0 && exactAbsent) && Present(Prefix(folder) + *name)) return *name;
        // Without a letter no other spelling exists, so the look above settled it: the names
        // a program makes up for its own files (numbers, temporary names) cost no folder scan.
        if (*name == "." || *name == ".." || !HasLetter(*name)) continue;
        std::string match = FindIgnoringCase(folder, *name);
        if (!match.empty()) return match;
    }
    *found = false;
    return trimmed;
}

}  // namespace

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
    const std::string escaped(kEscapedBackslash);
    for (std::string::size_type at = path.find(escaped); at != std::string::npos;
         at = path.find(escaped, at + 1)) {
        path.replace(at, escaped.size(), "\\");
    }
    *posixPath = path;
    return true;
}

std::string ToWindowsName(const std::string& posixName) {
    std::string name;
    name.reserve(posixName.size());
    for (char c : posixName) {
        if (c == '\\') {
            name.append(kEscapedBackslash);
        } else {
            name.push_back(c);
        }
    }
    return name;
}

std::string ToWindowsPath(const std::string& posixPath) {
    std::string path = ToWindowsName(posixPath);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (!path.empty() && path[0] == '\\') path.insert(0, "Z:");
    return path;
}

bool ResolvePosixPath(const char* windowsPath, std::string* posixPath, bool wildcardLast) {
    std::string mapped;
    if (!ToPosixPath(windowsPath, &mapped)) return false;
    // The common case costs one lookup: the path exists exactly as given.
    if (mapped.empty() || Present(mapped)) {
        *posixPath = mapped;
        return true;
    }
    // A new file in a folder that exists as given: only its own name needs looking for, and
    // every component above it resolves to itself (the exact name wins).
    const std::string::size_type cut = mapped.rfind('/');
    if (cut == std::string::npos ||
        (cut + 1 < mapped.size() && Present(mapped.substr(0, cut + 1)))) {
        const std::string folder = cut == std::string::npos ? "" : mapped.substr(0, cut + 1);
        const std::string component = mapped.substr(folder.size());
        bool found = false;
        *posixPath =
            folder + (wildcardLast ? component : ResolveComponent(folder, component, true, &found));
        return true;
    }
    std::string resolved = mapped[0] == '/' ? "/" : "";
    bool lost = false;  // a component matched nothing: below it nothing can exist
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type slash = mapped.find('/', start);
        bool last = slash == std::string::npos;
        std::string component = mapped.substr(start, last ? std::string::npos : slash - start);
        if (!component.empty()) {
            std::string name;
            if (last && wildcardLast) {
                name = component;
            } else if (lost) {
                name = WithoutTrailingDotsAndSpaces(component);
            } else {
                bool found = false;
                name = ResolveComponent(resolved, component, false, &found);
                lost = !found;
            }
            resolved = Prefix(resolved) + name;
        } else if (last && !resolved.empty()) {
            resolved = Prefix(resolved);  // a trailing separator stays: "name\" is not "name"
        }
        if (last) break;
        start = slash + 1;
    }
    *posixPath = resolved;
    return true;
}

bool SingleSpellingPath(const char* windowsPath, std::string* posixPath) {
    std::string mapped;
    if (!ToPosixPath(windowsPath, &mapped)) return false;
    const std::string name = mapped.substr(mapped.rfind('/') + 1);
    if (name.empty() || name == "." || name == ".." || HasLetter(name) ||
        WithoutTrailingDotsAndSpaces(name) != name)
        return false;
    *posixPath = mapped;
    return true;
}

}  // namespace Platform
