// RunSettings: how one run of a program meets the user, how long it waits for held libraries,
// and where it keeps its log; the program sets them from its command line before the sequence.
#pragma once

#include <cstdint>

namespace QRV2 {

class RunLog;

// How a run meets the user.
enum class RunMode {
    Normal,   // the progress window; nobody is asked anything (the program asks no questions)
    Passive,  // the same, chosen by name for deployment tools' "silent with progress"
    Quiet,    // no window, no message box, nothing on a terminal: the log alone tells the story
};

struct RunSettings {
    RunMode mode = RunMode::Normal;
    // How long, in all, the run waits for libraries held by a browser before it stops as
    // failed; negative: for as long as it takes (until the user stops it).
    std::int32_t heldWaitLimitMs = -1;
    // The run's log; null when none was asked for (nothing is written then).
    RunLog* log = nullptr;
};

// The log of settings, or a log that is never open (writes nothing) when there is none.
RunLog& LogOf(const RunSettings& settings);

}  // namespace QRV2
