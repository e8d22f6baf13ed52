// Test-only process launcher: CreateProcessA on Windows, posix_spawn elsewhere.
#include "tests/support/ChildProcess.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

extern char** environ;
#endif

namespace QRV2Test {

namespace {

std::string OwnFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path(buffer, length);
    return path.substr(0, path.find_last_of("\\/") + 1);
#else
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return "./";
    std::string path(buffer, static_cast<size_t>(length));
    return path.substr(0, path.find_last_of('/') + 1);
#endif
}

#ifdef _WIN32
// Quotes one argument by the rules the C runtime uses to split a command line.
std::string Quote(const std::string& argument) {
    std::string quoted = "\"";
    unsigned backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}
#endif

}  // namespace

std::string HelperProgram(const std::string& name) {
#ifdef _WIN32
    return OwnFolder() + name + ".exe";
#else
    return OwnFolder() + name;
#endif
}

ChildProcess::~ChildProcess() {
    if (!Wait(2000)) Kill();
#ifdef _WIN32
    if (m_process != nullptr) CloseHandle(static_cast<HANDLE>(m_process));
#endif
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
#ifdef _WIN32
    std::string commandLine = Quote(program);
    for (const std::string& argument : arguments) commandLine += " " + Quote(argument);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    return true;
#else
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    m_pid = pid;
    return true;
#endif
}

bool ChildProcess::Wait(unsigned timeoutMs, int* exitCode) {
    if (!m_ended) {
#ifdef _WIN32
        if (m_process == nullptr) return true;
        if (WaitForSingleObject(static_cast<HANDLE>(m_process), timeoutMs) != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(static_cast<HANDLE>(m_process), &code);
        m_exitCode = static_cast<int>(code);
        m_ended = true;
#else
        if (m_pid <= 0) return true;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int status = 0;
            pid_t done = waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                m_ended = true;
                break;
            }
            if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
                if (done < 0) m_ended = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!m_ended) return false;
#endif
    }
    if (exitCode != nullptr) *exitCode = m_exitCode;
    return true;
}

bool ChildProcess::Running() { return !Wait(0); }

void ChildProcess::Kill() {
#ifdef _WIN32
    if (m_process != nullptr) {
        TerminateProcess(static_cast<HANDLE>(m_process), 1);
        WaitForSingleObject(static_cast<HANDLE>(m_process), 5000);
    }
#else
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
#endif
    m_ended = true;
}

}  // namespace QRV2Test
