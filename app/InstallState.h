// InstallState: the record a sequence shares with its phase actions (the installer's plug-in
// steps, the uninstaller's removal steps).
#pragma once

#include <cstdint>

#include "app/RunSettings.h"

namespace QRV2 {

class String;
class Archive;
class RunJournal;

struct InstallState {
    String* archivePath = nullptr;   // full path of the temporary archive file, owned
    Archive* archive = nullptr;      // the payload archive, open for reading after phase 0, owned
    std::int32_t currentPhase = -1;  // the phase whose status text the window shows
    const char* notice = nullptr;  // a static text an action leaves for the end of a completed run
    RunSettings settings;          // how the run meets the user, what it waits for, its log
    // Why the last action failed, for the log: a reason word and the product file it concerns
    // (static texts; null where the action did not say).
    const char* failureReason = nullptr;
    const char* failureFile = nullptr;
    // Where the run notes its changes before it makes them, so that they can be undone; null
    // where nothing is to be undone (the steps then only make their changes).
    RunJournal* journal = nullptr;
};

// The state's log (one that writes nothing when the run has none, or there is no state).
RunLog& LogOf(const InstallState* state);

}  // namespace QRV2
