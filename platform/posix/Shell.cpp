// POSIX shell services: xdg-open without a shell, message boxes on standard error.
#include "platform/Shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cstdio>
#include <string>

#include "platform/posix/NativeError.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/SystemCall.h"
#include "platform/testing/ShellSeams.h"

extern char** environ;

namespace Platform {

namespace {
MessageBoxHook g_messageBoxHook = nullptr;
}  // namespace

Error OpenWithShell(const char* target) {
    if (target == nullptr || target[0] == '\0') return Error::InvalidParameter;
    // Windows-shaped paths go to the opener as the POSIX paths they stand for; addresses
    // and plain paths unchanged. No shell is involved, so no text of target is interpreted.
    std::string argument = target;
    std::string mapped;
    if (argument.size() >= 3 && argument[1] == ':' && (argument[2] == '\\' || argument[2] == '/') &&
        ToPosixPath(target, &mapped)) {
        argument = mapped;
    }
    char program[] = "xdg-open";
    char* argv[] = {program, &argument[0], nullptr};
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
    if (rc != 0) return FromErrno(rc);
    // The opener is not waited for; if it has already finished, collect it now.
    int status = 0;
    waitpid(pid, &status, WNOHANG);
    return Error::None;
}

std::int32_t ShowMessageBox(const char* text, const char* caption, std::uint32_t style) {
    if (g_messageBoxHook != nullptr) return g_messageBoxHook(text, caption, style);
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error",
                 text != nullptr ? text : "");
    std::fflush(stderr);
    return MessageBoxResultOk;
}

void SetMessageBoxHookForTesting(MessageBoxHook hook) { g_messageBoxHook = hook; }

std::uint32_t WaitForMessages(std::uint32_t ms) {
    struct timespec delay;
    delay.tv_sec = static_cast<time_t>(ms / 1000);
    delay.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    RetryInterrupted([&] { return nanosleep(&delay, &delay); });
    return WaitTimedOut;
}

}  // namespace Platform
