// CommandLine: what a command-line tool needs from the host: its paths as framework paths,
// terminals.
#pragma once

#include <string>

namespace Platform {

// Turns a path as the user typed it on this host into the absolute, Windows-shaped path the
// framework uses ("/home/me/x" -> "Z:\home\me\x"; "out\a" -> "C:\work\out\a" on Windows).
// False when the path is empty or has no framework form.
bool HostPathToFrameworkPath(const std::string& hostPath, std::string* frameworkPath);

// The other way round, for messages: a framework path as the user would write it here
// ("Z:\home\me\x" -> "/home/me/x"); a path without a host form comes back unchanged.
std::string FrameworkPathToHostPath(const std::string& frameworkPath);

// True when standard error is a terminal (a progress display makes sense there).
bool StandardErrorIsTerminal();

}  // namespace Platform
