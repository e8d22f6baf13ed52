// FrameworkSession: the framework's start and stop for a program's thread, the one way to start it.
#pragma once

#include <cstdint>

#include "platform/Process.h"

namespace QRV2 {

class Core;
class SystemAppImp;

// Start installs the factory table, makes the Core and anchors it in the process's thread-local
// slot (allocated by the first start, kept for the process's life); a program's start also
// registers the application singleton. Stop (or the destructor) ends everything Start made and
// clears the slot. One session per thread at a time.
class FrameworkSession {
public:
    FrameworkSession() = default;
    ~FrameworkSession() { Stop(); }
    FrameworkSession(const FrameworkSession&) = delete;
    FrameworkSession& operator=(const FrameworkSession&) = delete;

    // The framework without the application singleton (tools, tests, fuzz targets). The Core,
    // or null when storage or the slot cannot be obtained (nothing is left started then).
    Core* Start();
    // The framework with the application singleton built from the program's instance, command
    // line and show state (its start-up creates the temporary folder). The Core, or null when
    // storage or the slot cannot be obtained (nothing is left started then).
    Core* StartProgram(Platform::ModuleHandle instance, const char* commandLine, std::int32_t show);
    // Releases the Core, which ends the application singleton's run (temporary folder
    // included), frees the singleton's storage and clears the slot. Nothing when not started.
    void Stop();

    Core* GetCore() const { return m_core; }

private:
    Core* m_core = nullptr;
    SystemAppImp* m_app = nullptr;
};

}  // namespace QRV2
