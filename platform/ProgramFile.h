// The running program's own file: whether it can be removed while it runs, starting a copy of it,
// and marking an extracted program runnable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Error.h"

namespace Platform {

// True where a running program may delete its own file (POSIX); false where the system keeps
// the file of a running program from being deleted (Windows), so a program that must remove
// itself runs from a copy elsewhere.
bool RunningProgramCanRemoveItself();

// Starts the program at path (a Windows-shaped full path) with the count arguments (none when
// count is 0; each reaches the program as one argument, spaces and quotes included), in
// workingFolder (null: the caller's), and waits for it to end; *exitCode gets its exit code.
// None; FileNotFound; AccessDenied; InvalidParameter (null path or exitCode, a null argument,
// unmappable path); other system errors.
Error RunProgramAndWait(const char* path, const char* const* arguments, std::size_t count,
                        const char* workingFolder, std::uint32_t* exitCode);

// Makes the file at path runnable as a program by everyone who may read it (POSIX: the execute
// bits follow the read bits). Windows: nothing to do. None; FileNotFound; AccessDenied;
// InvalidParameter; other system errors.
Error MarkProgramRunnable(const char* path);

}  // namespace Platform
