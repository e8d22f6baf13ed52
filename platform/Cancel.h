// The user's request to stop a run: Ctrl-C and SIGTERM on POSIX, console and window close on
// Windows. One process-wide flag, safe to set from a signal handler.
#pragma once

namespace Platform {

// Routes the system's stop requests (SIGINT/SIGTERM, console control events) into the flag.
void InstallCancelHandlers();
// Sets the flag (the progress window calls this when the user closes it).
void RequestCancel();
bool CancelRequested();

}  // namespace Platform
