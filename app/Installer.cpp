// The installer's main line: framework start and stop, the real phase actions, the whole run.
#include "app/Installer.h"

#include "app/LeftoverRunFolders.h"
#include "app/PluginSteps.h"
#include "app/ProductSteps.h"
#include "app/ProgramRun.h"
#include "app/RunLog.h"
#include "app/Sequencer.h"
#include "framework/FrameworkSession.h"
#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/system/FileFunc.h"
#include "framework/system/SystemApp.h"
#include "framework/system/WriteResourceToFile.h"
#include "platform/Cancel.h"
#include "platform/SingleInstance.h"

namespace QRV2 {

namespace {
// The payload's file in the run's private temporary folder.
const char* const kPayloadFileName = "pluginwin32.dat";

// A run killed before its end leaves its temporary folder with the payload in it; the next run,
// holding the one-run claim, removes such folders (and nothing that holds anything else).
void RemoveLeftoverPayloads(RunLog& log) {
    SystemApp* app = Application();
    const char* folder = app == nullptr ? nullptr : app->GetTempFolder();
    Held<FileFunc> files(TypeFileFunc);
    if (folder != nullptr && folder[0] != '\0' && files) {
        const char* const names[] = {kPayloadFileName};
        RemoveLeftoverRunFolders(folder, names, 1, files.Get(), log);
    }
}
}  // namespace

ActionResult OpenPayloadArchive(InstallState* state) {
    SystemApp* app = Application();
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
    RunLog& log = LogOf(state);
    const char* path = state->archivePath->GetString();
    if (WriteResourceToFile(GetCore(), path, "IDR_ARCHIVE", "ARCHIVE", 16) != 0) {
        state->failureReason = "payload-not-written";
        log.Error("file-written", {{"path", path}, {"result", "not-written"}});
        return ActionResult::FailedQuietly;
    }
    log.Info("file-written", {{"path", path}, {"size", FileSize(path)}, {"result", "ok"}});
    return OpenWrittenPayload(state);
}

ActionResult OpenWrittenPayload(InstallState* state) {
    if (state->archive != nullptr) {
        state->archive->Close();
        ReleaseElement(state->archive);
    }
    RunLog& log = LogOf(state);
    state->failureReason = "payload-damaged";
    state->archive = CreateElementAs<Archive>(TypeArchive);
    if (state->archive == nullptr) return ActionResult::Failed;
    if (state->archivePath == nullptr || state->archive->SetMode(1) != 0 ||
        state->archive->Open(state->archivePath->GetString()) != 0) {
        log.Error("payload", {{"result", "damaged"}});
        return ActionResult::Failed;
    }
    // Reading each entry inflates and checks it: a damaged payload stops here, before the
    // first library is replaced, instead of failing half-way through the install.
    for (const ProductFile& file : kProductFiles) {
        if (state->archive->OpenEntry(file.payloadEntry) == nullptr) {
            log.Error("payload", {{"result", "damaged"}, {"entry", file.payloadEntry}});
            return ActionResult::Failed;
        }
        state->archive->CloseEntry();
    }
    state->failureReason = nullptr;
    log.Info("payload", {{"result", "ok"}, {"entries", std::int64_t{kProductFileCount}}});
    return ActionResult::Succeeded;
}

ActionResult RealInstallerEnvironment::RunPhaseAction(int phase, InstallState* state) {
    switch (phase) {
        case 0: return OpenPayloadArchive(state);
        case 1:
            return RecordOutcome(state, ProductFileKind::MozillaPlugin,
                                 InstallMozillaPlugin(state));
        case 2: {
            const ActionResult control =
                RecordOutcome(state, ProductFileKind::ActiveXControl, InstallActiveXPlugin(state));
            if (control != ActionResult::Succeeded) return control;
            // Without its uninstaller and entry the product could not be removed again: that
            // fails the phase too (no browser holds the uninstaller, so it is no held library).
            const StepResult uninstaller = InstallUninstaller(state);
            RecordOutcome(state, ProductFileKind::Uninstaller, uninstaller);
            return uninstaller == StepResult::Done ? ActionResult::Succeeded
                                                   : ActionResult::FailedQuietly;
        }
        default: return ActionResult::Failed;
    }
}

void RealInstallerEnvironment::OpenDocument(const char* commandLine) {
    if (SystemApp* app = Application()) app->OpenWithShell(commandLine);
}

std::int32_t RunInstallerProgram(const char* document, InstallerEnvironment& environment,
                                 const RunSettings& settings) {
    const std::int32_t result = RunSequenceWithState(environment, kInstallerTexts, settings);
    // Only a completed installation opens the document: a user who stopped the run did not
    // ask for it any more, and after a failure there may be nothing to open it with.
    if (result != 0) return result;
    if (document != nullptr && document[0] != '\0') {
        LogOf(settings).Info("open-document", {{"target", document}});
        environment.OpenDocument(document);
    }
    return 0;
}

std::int32_t InstallerMain(Platform::ModuleHandle instance, const ProgramOptions& options,
                           std::int32_t show) {
    // A second installer of the product in this session changes nothing: it would write the
    // same libraries and values the first is writing (and its log would replace the first's).
    // It ends before the framework (and its temporary folder) is even started. Where no claim
    // can be made at all, the run goes on.
    Platform::InstanceClaim claim = nullptr;
    if (Platform::ClaimInstance(kInstanceName, &claim) == Platform::ClaimResult::Taken) {
        return kInstallAlreadyRunning;
    }
    ProgramRunLog log(options, kInstallerTexts.title);
    std::int32_t exitCode = kLogNotCreated;
    if (log.Begin("installer")) {
        Platform::InstallCancelHandlers();
        FrameworkSession framework;
        exitCode = kInstallFailed;  // without a framework nothing can be installed
        if (framework.StartProgram(instance, options.document, show) != nullptr) {
            log.LogFolders();
            RemoveLeftoverPayloads(log.Log());
            RealInstallerEnvironment environment;
            exitCode = RunInstallerProgram(options.document, environment,
                                           SettingsFor(options, log.Open()));
            framework.Stop();
        }
        exitCode = log.End(exitCode);
    }
    Platform::ReleaseInstance(claim);
    return exitCode;
}

}  // namespace QRV2
