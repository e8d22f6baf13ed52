// The user's request to stop a run: Ctrl-C and SIGTERM on POSIX, console and window close on
// Windows. One process-wide flag, safe to set from a signal handler.
#pragma once

namespace Platform {

// What asked the run to stop, so that a command-line tool can end the way its shell expects
// (128 plus the signal's number).
enum class CancelCause : int {
    None = 0,
    Interrupt = 1,  // SIGINT, Ctrl-C
    Terminate = 2,  // SIGTERM, Ctrl-Break, the console closed, the progress window closed
};

// Routes the system's stop requests (SIGINT/SIGTERM, console control events) into the flag.
void InstallCancelHandlers();
// Sets the flag (the progress window calls this when the user closes it).
void RequestCancel();
bool CancelRequested();
// The first request's cause; None while no stop was requested.
CancelCause CancelRequestCause();

}  // namespace Platform
