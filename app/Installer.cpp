// The installer's main line: framework start and stop, the real phase actions, the whole run.
#include "app/Installer.h"

#include <new>

#include "app/LeftoverRunFolders.h"
#include "app/PluginSteps.h"
#include "app/ProgressBarImp.h"
#include "app/Sequencer.h"
#include "framework/FrameworkSession.h"
#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/system/FileFunc.h"
#include "framework/system/SystemApp.h"
#include "framework/system/WriteResourceToFile.h"
#include "platform/Cancel.h"
#include "platform/Clock.h"
#include "platform/ProgressWindow.h"
#include "platform/SingleInstance.h"

namespace QRV2 {

namespace {
const char* const kPayloadEntries[3] = {"XPCOM\\npqx2011.dll", "ActiveX\\QX2011.dll",
                                        "Uninstall\\" QRV2_UNINSTALLER_FILE};
// The payload's file in the run's private temporary folder.
const char* const kPayloadFileName = "pluginwin32.dat";

// A run killed before its end leaves its temporary folder with the payload in it; the next run,
// holding the one-run claim, removes such folders (and nothing that holds anything else).
void RemoveLeftoverPayloads() {
    auto* app = static_cast<SystemApp*>(GetCore()->GetSingleton(TypeSystemApp));
    const char* folder = app == nullptr ? nullptr : app->GetTempFolder();
    FileFunc* files = CreateElementAs<FileFunc>(TypeFileFunc);
    if (folder != nullptr && folder[0] != '\0' && files != nullptr) {
        const char* const names[] = {kPayloadFileName};
        RemoveLeftoverRunFolders(folder, names, 1, files);
    }
    ReleaseElement(files);
}
}  // namespace

const char* const kInstanceName = "Orvane2011.Installer";

ActionResult StepOutcome(std::int32_t status) {
    if (status == 0) return ActionResult::Succeeded;
    // Only a library in use asks the user for something (closing the browser); every other
    // failure leaves the status text as it is while it gets its few attempts.
    return IsHeldLibraryStatus(status) ? ActionResult::Held : ActionResult::FailedQuietly;
}

ActionResult OpenPayloadArchive(InstallState* state) {
    Core* core = GetCore();
    auto* app = static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
    if (app == nullptr || state->archivePath == nullptr) return ActionResult::FailedQuietly;
    // Without the private temporary folder there is nowhere safe to put the payload: a bare
    // file name would land in (or, through a planted link, anywhere from) the current folder.
    const char* folder = app->GetTempFolder();
    if (folder == nullptr || folder[0] == '\0') return ActionResult::FailedQuietly;
    if (state->archivePath->SetString(folder) != 0 ||
        state->archivePath->AppendString(kPayloadFileName) != 0) {
        return ActionResult::FailedQuietly;
    }
    // An earlier attempt may have left the archive open on the file: close it before the file
    // is written again.
    if (state->archive != nullptr) {
        state->archive->Close();
        ReleaseElement(state->archive);
    }
    if (WriteResourceToFile(core, state->archivePath->GetString(), "IDR_ARCHIVE", "ARCHIVE", 16) !=
        0) {
        return ActionResult::FailedQuietly;
    }
    return OpenWrittenPayload(state);
}

ActionResult OpenWrittenPayload(InstallState* state) {
    if (state->archive != nullptr) {
        state->archive->Close();
        ReleaseElement(state->archive);
    }
    state->archive = CreateElementAs<Archive>(TypeArchive);
    if (state->archive == nullptr) return ActionResult::Failed;
    if (state->archivePath == nullptr || state->archive->SetMode(1) != 0 ||
        state->archive->Open(state->archivePath->GetString()) != 0) {
        return ActionResult::Failed;
    }
    // Reading each entry inflates and checks it: a damaged payload stops here, before the
    // first library is replaced, instead of failing half-way through the install.
    for (const char* name : kPayloadEntries) {
        if (state->archive->OpenEntry(name) == nullptr) return ActionResult::Failed;
        state->archive->CloseEntry();
    }
    return ActionResult::Succeeded;
}

ProgressBar* RealInstallerEnvironment::NewProgressBar() {
    return new ProgressBarImp();  // framework storage: null when none can be had
}

void RealInstallerEnvironment::DeleteProgressBar(ProgressBar* bar) {
    if (bar == nullptr) return;
    delete static_cast<ProgressBarImp*>(bar);
}

ActionResult RealInstallerEnvironment::RunPhaseAction(int phase, InstallState* state) {
    switch (phase) {
        case 0: return OpenPayloadArchive(state);
        case 1: return StepOutcome(InstallMozillaPlugin(state));
        case 2: {
            const ActionResult control = StepOutcome(InstallActiveXPlugin(state));
            if (control != ActionResult::Succeeded) return control;
            // Without its uninstaller and entry the product could not be removed again: that
            // fails the phase too (no browser holds the uninstaller, so it is no held library).
            return InstallUninstaller(state) == 0 ? ActionResult::Succeeded
                                                  : ActionResult::FailedQuietly;
        }
        default: return ActionResult::Failed;
    }
}

void RealInstallerEnvironment::ReportStopped(const char* text) { Platform::ReportStopped(text); }

bool RealInstallerEnvironment::UserFoldersReachable() {
    auto* app = static_cast<SystemApp*>(GetCore()->GetSingleton(TypeSystemApp));
    return app == nullptr || app->CheckUserFolders() == 0;
}

void RealInstallerEnvironment::Sleep(std::uint32_t milliseconds) { Platform::Sleep(milliseconds); }

bool RealInstallerEnvironment::CancelRequested() { return Platform::CancelRequested(); }

void RealInstallerEnvironment::OpenDocument(const char* commandLine) {
    Core* core = GetCore();
    if (auto* app = core == nullptr ? nullptr
                                    : static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp))) {
        app->OpenWithShell(commandLine);
    }
}

std::int32_t RunSequenceWithState(InstallerEnvironment& environment, const SequenceTexts& texts) {
    void* block = Allocate(sizeof(InstallState));
    if (block == nullptr) return kInstallerNoMemory;
    auto* state = new (block) InstallState();
    const std::int32_t result = RunSequence(state, environment, texts);
    state->~InstallState();
    Free(block);
    return result;
}

std::int32_t RunInstallerProgram(const char* commandLine, InstallerEnvironment& environment) {
    const std::int32_t result = RunSequenceWithState(environment, kInstallerTexts);
    // Only a completed installation opens the document: a user who stopped the run did not
    // ask for it any more, and after a failure there may be nothing to open it with.
    if (result != 0) return result;
    if (commandLine != nullptr && commandLine[0] != '\0') environment.OpenDocument(commandLine);
    return 0;
}

std::int32_t InstallerMain(Platform::ModuleHandle instance, const char* commandLine,
                           std::int32_t show) {
    // A second installer of the product in this session changes nothing: it would write the
    // same libraries and values the first is writing. It ends before the framework (and its
    // temporary folder) is even started. Where no claim can be made at all, the run goes on.
    Platform::InstanceClaim claim = nullptr;
    if (Platform::ClaimInstance(kInstanceName, &claim) == Platform::ClaimResult::Taken) {
        return kInstallAlreadyRunning;
    }
    Platform::InstallCancelHandlers();
    FrameworkSession framework;
    std::int32_t exitCode = kInstallFailed;  // without a framework nothing can be installed
    if (framework.StartProgram(instance, commandLine, show) != nullptr) {
        RemoveLeftoverPayloads();
        RealInstallerEnvironment environment;
        exitCode = RunInstallerProgram(commandLine, environment);
        framework.Stop();
    }
    Platform::ReleaseInstance(claim);
    return exitCode;
}

}  // namespace QRV2
