// InstallerEnvironment: what the phase sequencer needs from the world, so tests can stand in.
#pragma once

#include <cstdint>

namespace QRV2 {

class ProgressBar;
struct InstallState;

// Outcome of one phase action.
enum class ActionResult {
    Succeeded,
    Failed,          // the phase's failure message replaces the status text
    FailedQuietly,   // failed, but the status text stays (the payload could not be written)
};

class InstallerEnvironment {
public:
    // A new progress window object, not yet created on screen; null when none can be had.
    virtual ProgressBar* NewProgressBar() = 0;
    // Ends a progress window object from NewProgressBar (after Close).
    virtual void DeleteProgressBar(ProgressBar* bar) = 0;
    // Runs the action of phase 0, 1 or 2 on the state.
    virtual ActionResult RunPhaseAction(int phase, InstallState* state) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // True once the user asked to stop (window closed, Escape, Ctrl-C, SIGTERM).
    virtual bool CancelRequested() = 0;
    // Hands the installer's command line (a document or address) to the shell, unchanged.
    virtual void OpenDocument(const char* commandLine) = 0;

protected:
    ~InstallerEnvironment() = default;
};

}  // namespace QRV2
