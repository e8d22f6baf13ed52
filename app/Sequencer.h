// The installer's phase sequencer: three timed phases with status texts, progress and retries.
#pragma once

#include <cstdint>

#include "app/InstallState.h"
#include "app/InstallerEnvironment.h"

namespace QRV2 {

// The texts the window shows.
extern const char* const kWindowTitle;         // "Orvane2011 Installer"
extern const char* const kInitialStatusText;   // "Installing Orvane2011...."
extern const char* const kPhaseTexts[3];       // shown when a phase begins
extern const char* const kPhaseFailureTexts[3];  // shown when the phase's action fails
extern const char* const kStoppedTexts[3];     // "Installation Stopped - " and the phase's reason

// Result of RunInstaller when the user ended the run before the sequence was through; the
// code Windows installers use for an installation the user cancelled.
constexpr std::int32_t kInstallCancelled = 1602;
// Result of RunInstaller when a phase kept failing for a reason the user cannot mend.
constexpr std::int32_t kInstallFailed = 1603;
// Result of the program when another installation of the product runs in the user's session.
constexpr std::int32_t kInstallAlreadyRunning = 1618;

// Ticks per phase, and the pauses between ticks.
constexpr std::uint32_t kTicksPerPhase = 30;
constexpr std::uint32_t kPhaseStartPauseMs = 250;
constexpr std::uint32_t kTickPauseMs = 20;
// Attempts a phase gets for a failure other than a held library (one about every half second,
// about 3 s in all), and how long the stop text then stays on screen.
constexpr int kFailureAttempts = 6;
constexpr std::uint32_t kStoppedNoticeMs = 3000;

// Runs the whole sequence: window, phases 0 to 2 in order (a held library retried until it
// is free, any other failure kFailureAttempts times), then clean-up (window closed, archive
// closed and released, path released). 0 when every action succeeded (also when a stop request
// came after that) or the sequence was skipped for want of memory or of the application
// singleton; kInstallCancelled when the user stopped it before; kInstallFailed when a phase
// kept failing.
std::int32_t RunInstaller(InstallState* state, InstallerEnvironment& environment);

}  // namespace QRV2
