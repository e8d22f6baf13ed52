// SequenceEnvironment: what the phase sequencer needs from the world, so tests can stand in.
#pragma once

#include <cstdint>

namespace QRV2 {

class ProgressBar;
struct InstallState;

// Outcome of one phase action.
// A held library is the one failure the user can mend (by closing the browser), so only it is
// retried until it succeeds; any other failure gets a few attempts (a virus scanner's passing
// lock heals in that time) and then stops the run.
enum class ActionResult {
    Succeeded,
    Held,           // the library is in use: the phase's failure message, retried without limit
    Failed,         // the phase's failure message replaces the status text; a few attempts
    FailedQuietly,  // the status text stays (e.g. the payload could not be written); a few attempts
};

// Why a run ends before its first phase, having changed nothing: the program's exit code, the
// word the log gives the reason, and the text shown as a stop text is.
struct RunRefusal {
    std::int32_t exitCode;
    const char* reason;
    const char* text;
};

// The same for the installer and the uninstaller: each program adds only its phase actions
// (and the installer the document it opens, InstallerEnvironment).
class SequenceEnvironment {
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
    // The run stopped on a failure with this text: where the window cannot show it for long
    // (a terminal), it is written where the user finds it after the run.
    virtual void ReportStopped(const char* text) = 0;
    // False when a per-user folder the run works in exists but cannot be named: the run then
    // stops before its first action instead of working in another folder.
    virtual bool UserFoldersReachable() { return true; }
    // Once the window is up and before the first phase: what the program checks, and puts right,
    // before it changes anything. Null to go on, or why the run ends at once.
    virtual const RunRefusal* PrepareRun(InstallState* state) {
        static_cast<void>(state);
        return nullptr;
    }

protected:
    ~SequenceEnvironment() = default;
};

}  // namespace QRV2
