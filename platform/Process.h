// Process and machine facts: OS version, executable name, temporary and special folders.
#pragma once

#include <cstdint>

#include "platform/Error.h"

namespace Platform {

// A loaded module (the executable itself, or a library); null means the executable.
struct ModuleTag;
using ModuleHandle = ModuleTag*;

// Text-returning services share one contract: buffer receives the NUL-terminated text and
// *length its length without the NUL. When size is too small nothing usable is written,
// *length tells the room needed (NUL included) and the result is InsufficientBuffer.
// Folder texts are Windows-shaped ("Z:\home\me\" where the system has no drives) and end in
// a separator.
// A name the system gives is handed out only as it is: where the 8-bit text (the code page the
// process runs with) cannot spell it exactly, the result is NoUnicodeTranslation and no text,
// never a name with a character replaced.

// The operating system's major and minor version. None (always, on the systems we run on).
Error GetOsVersion(std::int32_t* major, std::int32_t* minor);

// Full file name of the module (null: the running executable).
// None; InsufficientBuffer; InvalidParameter; NoUnicodeTranslation; other system errors.
Error GetExecutableFileName(ModuleHandle module, char* buffer, std::uint32_t size,
                            std::uint32_t* length);

// The folder for temporary files. On POSIX a private per-user folder (created with mode
// 0700, owned by the user and not reached through a symbolic link), never the shared /tmp
// itself. None; InsufficientBuffer; AccessDenied (the folder belongs to someone else, is a
// link or cannot be made private); NoUnicodeTranslation; other system errors.
Error GetTempFolderPath(char* buffer, std::uint32_t size, std::uint32_t* length);

enum class SpecialFolder {
    Desktop,       // the user's desktop
    LocalAppData,  // per-user application data that stays on this machine
};

// The folder as it currently is named (not created). None; InsufficientBuffer;
// FileNotFound (the system names no such folder); NoUnicodeTranslation (it names one, but
// not in a way the 8-bit text can spell); other system errors.
Error GetSpecialFolder(SpecialFolder folder, char* buffer, std::uint32_t size,
                       std::uint32_t* length);

// The running process's id, as the system's process lists show it.
std::uint32_t CurrentProcessId();

// The computer's name as the system reports it, at most 15 characters (where the system's
// own name is longer, its first 15). None; InsufficientBuffer; other system errors.
Error GetMachineName(char* buffer, std::uint32_t size, std::uint32_t* length);

}  // namespace Platform
