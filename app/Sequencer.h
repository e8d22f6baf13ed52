// The installer's phase sequencer: three timed phases with status texts, progress and retries.
#pragma once

#include <cstdint>

#include "app/InstallState.h"
#include "app/SequenceEnvironment.h"

namespace QRV2 {

// The texts a sequence's window shows: its title, the text before the first phase, and per phase
// the text shown when it begins, when its action fails, and when it stops the run.
struct SequenceTexts {
    const char* title;
    const char* initialStatus;
    const char* phases[3];
    const char* failures[3];
    const char* stopped[3];
    const char* userFolderUnreachable;  // the stop text when a user's folder cannot be named
};

// The installer's texts.
extern const SequenceTexts kInstallerTexts;

// Result of RunInstaller when the user ended the run before the sequence was through; the
// code Windows installers use for an installation the user cancelled.
constexpr std::int32_t kInstallCancelled = 1602;
// Result of RunInstaller when a phase kept failing for a reason the user cannot mend.
constexpr std::int32_t kInstallFailed = 1603;
// Result of the program when another installation of the product runs in the user's session.
constexpr std::int32_t kInstallAlreadyRunning = 1618;
// Result of the installer when a newer version of the product is installed: nothing is changed
// (the code Windows installers give for another version of the product already installed).
constexpr std::int32_t kNewerVersionInstalled = 1638;

// Ticks per phase, and the pauses between ticks.
constexpr std::uint32_t kTicksPerPhase = 30;
constexpr std::uint32_t kPhaseStartPauseMs = 250;
constexpr std::uint32_t kTickPauseMs = 20;
// Attempts a phase gets for a failure other than a held library (one about every half second,
// about 3 s in all), and how long the stop text then stays on screen.
constexpr int kFailureAttempts = 6;
constexpr std::uint32_t kStoppedNoticeMs = 3000;

// Runs a whole sequence with the given texts and the state's settings: window, phases 0 to 2 in
// order (a held library retried until it is free or the settings' time for held libraries is
// spent, any other failure kFailureAttempts times), then clean-up (window closed, archive closed
// and released, path released). 0 when every action succeeded (also when a stop request came
// after that; a notice an action left in the state is then shown for a while);
// kInstallCancelled when the user stopped it before; kInstallFailed when a phase kept failing
// or the sequence could not run at all for want of memory or of the application singleton
// (nothing was done, which must not pass for success). A quiet run makes no window object and
// shows nothing, and pauses only between the attempts after a failure. Phases, retries (with
// the reason the action left in the state), the stop and the notice go to the settings' log.
// Before the first phase the environment may refuse the run (PrepareRun): its text is shown as
// a stop text and its exit code returned. With a journal in the state, a run that did not
// complete undoes every change it noted (after a failure while the stop text is up, after a
// stop request before the window closes), and a completed run drops the moved-aside files.
std::int32_t RunSequence(InstallState* state, SequenceEnvironment& environment,
                         const SequenceTexts& texts);

// A sequence with a state record of its own: the record is allocated with the settings and the
// journal (null: none), RunSequence run on it and the record freed. RunSequence's result, or
// kInstallFailed when there is no storage for the record (nothing was done).
std::int32_t RunSequenceWithState(SequenceEnvironment& environment, const SequenceTexts& texts,
                                  const RunSettings& settings = RunSettings(),
                                  RunJournal* journal = nullptr);

// The installer's sequence: RunSequence with kInstallerTexts.
std::int32_t RunInstaller(InstallState* state, SequenceEnvironment& environment);

}  // namespace QRV2
