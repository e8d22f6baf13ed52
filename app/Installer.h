// The installer's main line: framework start and stop, the real phase actions, the whole run.
#pragma once

#include <cstdint>

#include "app/CommandLineOptions.h"
#include "app/InstallState.h"
#include "app/ProgramEnvironment.h"
#include "app/Sequencer.h"
#include "platform/Process.h"

namespace QRV2 {

// Exit code when the installer's state record cannot be allocated: nothing was installed, so the
// run failed like any other that could not complete.
constexpr std::int32_t kInstallerNoMemory = kInstallFailed;

// Phase 0: writes the payload resource into the temporary folder, opens it as an archive and
// reads its three entries (the two plug-ins and the uninstaller) once, so a damaged payload is
// caught before anything is installed. Failures: FailedQuietly when the payload cannot be written
// (no temporary folder, no room), else what OpenWrittenPayload reports.
ActionResult OpenPayloadArchive(InstallState* state);
// The second half of phase 0, on the file archivePath names: Failed (the phase's message) when
// it cannot be opened as an archive or an entry cannot be read whole.
ActionResult OpenWrittenPayload(InstallState* state);

// The installer's sequence environment: the sequence's needs and, after a completed run, the
// document the installer was started with.
class InstallerEnvironment : public virtual SequenceEnvironment {
public:
    // Hands the installer's command line (a document or address) to the shell, unchanged.
    virtual void OpenDocument(const char* commandLine) = 0;

protected:
    ~InstallerEnvironment() = default;
};

// The environment of a real run: what both programs share, the three phase actions (phase 2
// also installs the uninstaller and its entry) and the shell for the document.
class RealInstallerEnvironment : public RealProgramEnvironment, public InstallerEnvironment {
public:
    ActionResult RunPhaseAction(int phase, InstallState* state) override;
    void OpenDocument(const char* commandLine) override;
};

// The run on a started framework: the state record with the settings, the sequence, then a
// non-empty document handed to the shell (only after a completed installation). Returns the
// exit code: 0, kInstallerNoMemory, kInstallCancelled or kInstallFailed.
std::int32_t RunInstallerProgram(const char* document, InstallerEnvironment& environment,
                                 const RunSettings& settings = RunSettings());

// The whole program with the options of its command line: one run per user session (another
// run holding the session's claim: kInstallAlreadyRunning, nothing changed), the log opened
// before anything changes (kLogNotCreated when it cannot be), start, sequence, open the
// document, stop, the log's end line. Returns the exit code: 0, kInstallCancelled,
// kInstallFailed (also when the framework cannot be started or the state record allocated:
// nothing was installed), kInstallAlreadyRunning or kLogNotCreated.
std::int32_t InstallerMain(Platform::ModuleHandle instance, const ProgramOptions& options,
                           std::int32_t show);

}  // namespace QRV2
