// POSIX: a running program's file can be unlinked; copies start through fork and exec.
#include "platform/ProgramFile.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/NativeError.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/SystemCall.h"

namespace Platform {

bool RunningProgramCanRemoveItself() { return true; }

Error RunProgramAndWait(const char* path, const char* const* arguments, std::size_t count,
                        const char* workingFolder, std::uint32_t* exitCode) {
    std::string program;
    std::string folder;
    if (path == nullptr || exitCode == nullptr || !ToPosixPath(path, &program) ||
        (count > 0 && arguments == nullptr))
        return Error::InvalidParameter;
    if (workingFolder != nullptr && !ToPosixPath(workingFolder, &folder))
        return Error::InvalidParameter;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (std::size_t i = 0; i < count; ++i) {
        if (arguments[i] == nullptr) return Error::InvalidParameter;
        argv.push_back(const_cast<char*>(arguments[i]));
    }
    argv.push_back(nullptr);
    if (access(program.c_str(), X_OK) != 0) return FromErrno(errno);
    const pid_t child = fork();
    if (child < 0) return FromErrno(errno);
    if (child == 0) {
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (RetryInterrupted([&] { return waitpid(child, &status, 0); }) < 0) return FromErrno(errno);
    *exitCode = WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status)) : 255u;
    return Error::None;
}

Error MarkProgramRunnable(const char* path) {
    std::string file;
    if (path == nullptr || !ToPosixPath(path, &file)) return Error::InvalidParameter;
    struct stat info;
    if (stat(file.c_str(), &info) != 0) return FromErrno(errno);
    const mode_t mode = info.st_mode & 07777;
    const mode_t execute = (mode & S_IRUSR ? S_IXUSR : 0) | (mode & S_IRGRP ? S_IXGRP : 0) |
                           (mode & S_IROTH ? S_IXOTH : 0);
    if (chmod(file.c_str(), mode | execute) != 0) return FromErrno(errno);
    return Error::None;
}

}  // namespace Platform
