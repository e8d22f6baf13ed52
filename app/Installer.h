// The installer's main line: framework start and stop, the real phase actions, the whole run.
#pragma once

#include <cstdint>

#include "app/InstallState.h"
#include "app/InstallerEnvironment.h"
#include "app/Sequencer.h"
#include "platform/Process.h"

namespace QRV2 {

class Core;

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
// How the sequencer treats a plug-in step's status: a held library, or a failure that gets a
// few attempts.
ActionResult StepOutcome(std::int32_t status);

// The environment of a real run: the progress window, the platform clock, the user's stop
// request and the three phase actions (phase 2 also installs the uninstaller and its entry).
class RealInstallerEnvironment : public InstallerEnvironment {
public:
    ProgressBar* NewProgressBar() override;
    void DeleteProgressBar(ProgressBar* bar) override;
    ActionResult RunPhaseAction(int phase, InstallState* state) override;
    void Sleep(std::uint32_t milliseconds) override;
    bool CancelRequested() override;
    void OpenDocument(const char* commandLine) override;
    void ReportStopped(const char* text) override;
    bool UserFoldersReachable() override;
};

// A sequence with a state record of its own: the record is allocated, RunSequence run on it and
// the record freed. RunSequence's result, or kInstallerNoMemory.
std::int32_t RunSequenceWithState(InstallerEnvironment& environment, const SequenceTexts& texts);

// The run on a started framework: the state record, the sequence, then a non-empty command
// line handed to the shell (only after a completed installation). Returns the exit code: 0,
// kInstallerNoMemory, kInstallCancelled or kInstallFailed.
std::int32_t RunInstallerProgram(const char* commandLine, InstallerEnvironment& environment);

// The name of the claim that keeps a second installer or uninstaller of the product from running
// alongside.
extern const char* const kInstanceName;

// The whole program: one run per user session, start, sequence, open the command line, stop.
// Returns the exit code: 0, kInstallCancelled, kInstallFailed (also when the framework cannot
// be started or the state record allocated: nothing was installed), or
// kInstallAlreadyRunning when another run of the installer holds the session's claim.
std::int32_t InstallerMain(Platform::ModuleHandle instance, const char* commandLine,
                           std::int32_t show);

}  // namespace QRV2
