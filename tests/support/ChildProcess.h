// A small process launcher for tests that need a second process (never used by the framework).
#pragma once

#include <string>
#include <vector>

namespace QRV2Test {

// The path of a helper program built beside the test executable (".exe" added on Windows).
std::string HelperProgram(const std::string& name);

// Starts a program in the background with the given arguments (no shell involved).
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // waits a little, then kills a child that is still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::string& program, const std::vector<std::string>& arguments);
    // True once the child has ended (its exit code in *exitCode when given); false when it is
    // still running after timeoutMs.
    bool Wait(unsigned timeoutMs, int* exitCode = nullptr);
    bool Running();

private:
    void Kill();
#ifdef _WIN32
    void* m_process = nullptr;
#else
    int m_pid = -1;
#endif
    bool m_ended = false;
    int m_exitCode = -1;
};

}  // namespace QRV2Test
