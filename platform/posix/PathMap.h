// Maps the Windows-shaped paths the framework uses to POSIX paths and back.
#pragma once

#include <string>

namespace Platform {

// "Z:\home\me\a.txt" or "Z:/home/me/a.txt" -> "/home/me/a.txt"; a path without a drive keeps
// its shape with '\' turned into '/' ("a\b" -> "a/b", "\x" -> "/x"). Drive letters other than Z
// have no POSIX counterpart: false.
bool ToPosixPath(const char* windowsPath, std::string* posixPath);
// "/home/me/a.txt" -> "Z:\home\me\a.txt"; a relative path keeps its shape with '/' -> '\'.
std::string ToWindowsPath(const std::string& posixPath);

}  // namespace Platform
