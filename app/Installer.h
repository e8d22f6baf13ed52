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

// The stop text of a run that finds a newer version of the product installed.
extern const char* const kNewerVersionInstalledText;
// The stop text of a run without its private temporary folder (it cannot be made or used).
extern const char* const kTempFolderUnusableText;

// The four numbers of a version text: one to four decimal numbers separated by dots
// ("1.0.1.8"; missing parts count as 0). False when the text is no such version.
bool ParseVersion(const char* text, std::uint32_t numbers[4]);

// True when the version of the product installed for this user -- the uninstall entry's
// DisplayVersion, else the Mozilla plug-in key's Version -- is newer than this program's. A
// version that cannot be read or parsed counts as older; none installed is no newer one. The
// version found goes to the log.
bool NewerVersionInstalled(RunLog& log);

// A run that was killed leaves the files it had moved aside (<name>.previous): each is put back
// where its file's own name is missing (a partial copy there is deleted first), and deleted
// where the file is there, whole. Each step is logged.
void RestoreMovedAsideFiles(RunLog& log);

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
    // Refuses the run when there is no private temporary folder (kTempFolderUnusableText,
    // kInstallFailed) or a newer version is installed; otherwise puts back what a killed run
    // left moved aside.
    const RunRefusal* PrepareRun(InstallState* state) override;
    ActionResult RunPhaseAction(int phase, InstallState* state) override;
    void OpenDocument(const char* commandLine) override;
};

// The run on a started framework: the state record with the settings and a journal of the
// run's changes, the sequence, then a non-empty document handed to the shell (only after a
// completed installation). Returns the exit code: 0, kInstallerNoMemory, kInstallCancelled,
// kInstallFailed or kNewerVersionInstalled.
std::int32_t RunInstallerProgram(const char* document, InstallerEnvironment& environment,
                                 const RunSettings& settings = RunSettings());

// The whole program with the options of its command line: one run per user session (another
// run holding the session's claim: kInstallAlreadyRunning, nothing changed), the log opened
// before anything changes (kLogNotCreated when it cannot be), start, sequence, open the
// document, stop, the log's end line. Returns the exit code: 0, kInstallCancelled,
// kInstallFailed (also when the framework cannot be started or the state record allocated:
// nothing was installed), kInstallAlreadyRunning, kLogNotCreated or kNewerVersionInstalled.
std::int32_t InstallerMain(Platform::ModuleHandle instance, const ProgramOptions& options,
                           std::int32_t show);

}  // namespace QRV2
