// The uninstaller's main line: the removal phases on the installer's sequencer, and the run from
// a temporary copy where a running program cannot delete its own file.
#pragma once

#include <cstdint>

#include "app/CommandLineOptions.h"
#include "app/ProgramEnvironment.h"
#include "app/ProgramRun.h"
#include "app/Sequencer.h"
#include "platform/Process.h"

namespace QRV2 {

// The uninstaller's window texts. A held library asks for the same browser to be closed as the
// installer does.
extern const SequenceTexts kUninstallerTexts;

// A real removal run: what both programs share, with the three removal steps as its phases
// (control, Mozilla plug-in, what is left).
class RealUninstallerEnvironment : public RealProgramEnvironment {
public:
    ActionResult RunPhaseAction(int phase, InstallState* state) override;
};

// True when the running program is the uninstaller in the product folder (letter case ignored).
bool RunsFromProductFolder();

// Copies the running uninstaller into the private temporary folder, runs the copy there with
// the options passed on (the log handed over: this run closes it while the copy adds to it) and
// waits for it: its exit code, or kInstallFailed when it could not be copied or started.
std::int32_t RunFromTemporaryCopy(const ProgramOptions& options, ProgramRunLog& log);

// The whole program with the options of its command line: where the program's own file cannot
// be deleted while it runs and it runs from the product folder, the run from a temporary copy;
// otherwise one removal per user session (kInstallAlreadyRunning while an installer or
// uninstaller of the product runs). The log is opened before anything is removed. 0 when
// everything was removed (also when a folder with the user's own files was kept),
// kInstallCancelled, kInstallFailed, kLogNotCreated.
std::int32_t UninstallerMain(Platform::ModuleHandle instance, const ProgramOptions& options,
                             std::int32_t show);

}  // namespace QRV2
