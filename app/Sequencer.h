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

// Result of RunInstaller when the user ended the run before the sequence was through; the
// code Windows installers use for an installation the user cancelled.
constexpr std::int32_t kInstallCancelled = 1602;

// Ticks per phase, and the pauses between ticks.
constexpr std::uint32_t kTicksPerPhase = 30;
constexpr std::uint32_t kPhaseStartPauseMs = 250;
constexpr std::uint32_t kTickPauseMs = 20;

// Runs the whole sequence: window, phases 0 to 2 each retried until its action succeeds, then
// clean-up (window closed, archive closed and released, path released). 0 when the sequence
// ran through or was skipped for want of memory or of the application singleton;
// kInstallCancelled when the user stopped it.
std::int32_t RunInstaller(InstallState* state, InstallerEnvironment& environment);

}  // namespace QRV2
