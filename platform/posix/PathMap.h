// Maps the Windows-shaped paths the framework uses to POSIX paths and back.
#pragma once

#include <string>

namespace Platform {

// A POSIX name may hold '\', which a Windows-shaped path would take for a separator. Such a
// character travels through the framework as this private-use character in UTF-8 (U+F05C), so a
// name the directory search delivered names that same file again and never a path elsewhere.
constexpr char kEscapedBackslash[] = "\xEF\x81\x9C";

// "Z:\home\me\a.txt" or "Z:/home/me/a.txt" -> "/home/me/a.txt"; a path without a drive keeps
// its shape with '\' turned into '/' ("a\b" -> "a/b", "\x" -> "/x"). Drive letters other than Z
// have no POSIX counterpart: false. An escaped '\' (above) becomes '\' again.
bool ToPosixPath(const char* windowsPath, std::string* posixPath);
// "/home/me/a.txt" -> "Z:\home\me\a.txt"; a relative path keeps its shape with '/' -> '\'; a '\'
// inside a name is escaped (above).
std::string ToWindowsPath(const std::string& posixPath);
// One POSIX file name as the framework sees it: '\' escaped.
std::string ToWindowsName(const std::string& posixName);

// ToPosixPath, then each component found the way the Windows file system finds it: the name
// exactly as given when it exists; otherwise the one entry that matches it ignoring ASCII letter
// case (when several do, the first in byte order, so every operation picks the same one); then
// the same two steps for the name without its trailing dots and spaces ("noext." names "noext").
// A component that matches nothing stays as given, without trailing dots and spaces, so that it
// can be created. With wildcardLast, the last component is left alone (it is a search pattern).
bool ResolvePosixPath(const char* windowsPath, std::string* posixPath, bool wildcardLast = false);

// ToPosixPath, when the path's last name has one spelling only: no letter, no trailing dot or
// space, not "." or "..". Creating such a file exclusively under the path as given then has
// the outcome it has after ResolvePosixPath, unless a folder on the way is spelt differently,
// which the system reports as missing (so the caller resolves and tries again).
bool SingleSpellingPath(const char* windowsPath, std::string* posixPath);

}  // namespace Platform
