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
// installer does, for the removal.
extern const SequenceTexts kUninstallerTexts;

// A real removal run: what both programs share, with the three removal steps as its phases
// (control, Mozilla plug-in, what is left).
class RealUninstallerEnvironment : public RealProgramEnvironment {
public:
    ActionResult RunPhaseAction(int phase, InstallState* state) override;
};

// True when the running program is an uninstaller the installer put in place: in the folder
// it installs it in, or in the product folder, where older versions put it (letter case
// ignored).
bool RunsAsInstalledUninstaller();

// The outcome of a temporary copy as the run waiting on it passes it on: the code the copy
// reported in its outcome file (reported false: it left none, so it never reached its end) when
// that is 0, kInstallCancelled, kInstallFailed or kInstallAlreadyRunning and its exit code says
// the same (whole, or its low 8 bits); kInstallFailed for anything else, a killed or crashed
// copy above all.
std::int32_t CopyOutcome(bool reported, std::uint32_t reportedCode, std::uint32_t exitCode);

// Under the one-run claim (kInstallAlreadyRunning when another run holds it), clears what
// earlier runs left in the temporary path and copies the running uninstaller into the private
// temporary folder; then, the claim given up, runs the copy there with the options passed on
// (the log handed over: this run closes it while the copy adds to it, and the file the copy
// leaves its outcome in) and waits for it: CopyOutcome of what it reported and its exit code,
// or kInstallFailed when it could not be copied or started.
std::int32_t RunFromTemporaryCopy(const ProgramOptions& options, ProgramRunLog& log);

// The whole program with the options of its command line: where the program's own file cannot
// be deleted while it runs and it runs from the product folder, the run from a temporary copy;
// otherwise one removal per user session (kInstallAlreadyRunning while an installer or
// uninstaller of the product runs), which first clears what killed runs left in the temporary
// path. The log is opened before anything is removed. 0 when everything was removed (also when
// a folder with the user's own files was kept), kInstallCancelled, kInstallFailed,
// kLogNotCreated. A run whose options name an outcome file writes its exit code there last.
std::int32_t UninstallerMain(Platform::ModuleHandle instance, const ProgramOptions& options,
                             std::int32_t show);

}  // namespace QRV2
