// The installer's main line: framework start and stop, the real phase actions, the whole run.
#include "app/Installer.h"

#include "app/LeftoverRunFolders.h"
#include "app/PluginSteps.h"
#include "app/ProductSteps.h"
#include "app/ProgramRun.h"
#include "app/RunJournal.h"
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
#include "platform/Registry.h"
#include "platform/SingleInstance.h"

namespace QRV2 {

const char* const kNewerVersionInstalledText =
    "Installation Stopped - A newer version of Orvane2011 is installed.";
const char* const kTempFolderUnusableText =
    "Installation Stopped - Unable to use the temporary folder.";

namespace {

const RunRefusal kNewerInstalled = {kNewerVersionInstalled, "newer-version-installed",
                                    kNewerVersionInstalledText};
const RunRefusal kTempFolderUnusable = {kInstallFailed, "temp-folder-unusable",
                                        kTempFolderUnusableText};

// The REG_SZ value name of key (below HKEY_CURRENT_USER) into text; false when it is not there
// (no key, no such value). A value of another type, or too long for text, is read as empty: it
// is there, but no version.
bool ReadText(const char* key, const char* name, char* text, std::uint32_t room) {
    Platform::RegKey handle = nullptr;
    if (Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser), key,
                                  Platform::KeyQueryValue, &handle) != Platform::Error::None) {
        return false;
    }
    std::uint32_t type = Platform::RegNone;
    std::uint32_t size = room - 1;
    const Platform::Error error = Platform::RegistryQueryValue(handle, name, &type, text, &size);
    Platform::RegistryCloseKey(handle);
    if (error == Platform::Error::FileNotFound) return false;
    if (error != Platform::Error::None || type != Platform::RegSz) size = 0;
    text[size] = '\0';
    return true;
}

}  // namespace

bool ParseVersion(const char* text, std::uint32_t numbers[4]) {
    if (text == nullptr) return false;
    std::uint32_t parsed[4] = {0, 0, 0, 0};
    int part = 0;
    const char* c = text;
    for (;;) {
        if (*c < '0' || *c > '9') return false;  // every part has a digit, nothing else
        std::uint64_t value = 0;
        for (; *c >= '0' && *c <= '9'; ++c) {
            value = value * 10 + static_cast<std::uint64_t>(*c - '0');
            if (value > 0xFFFFFFFFu) return false;
        }
        parsed[part++] = static_cast<std::uint32_t>(value);
        if (*c == '\0') break;
        if (*c != '.' || part == 4) return false;
        ++c;
    }
    for (int i = 0; i < 4; ++i) numbers[i] = parsed[i];
    return true;
}

bool NewerVersionInstalled(RunLog& log) {
    char text[64];
    const char* source = "DisplayVersion";
    if (!ReadText(kUninstallKey, "DisplayVersion", text, sizeof text)) {
        source = "Version";
        if (!ReadText(kMozillaPluginKeys[0].path, "Version", text, sizeof text)) return false;
    }
    std::uint32_t installed[4];
    const bool parsed = ParseVersion(text, installed);
    bool newer = false;
    for (int i = 0; parsed && i < 4; ++i) {
        if (installed[i] != kProductVersion[i]) {
            newer = installed[i] > kProductVersion[i];
            break;
        }
    }
    log.Info("installed-version", {{"version", text},
                                   {"from", source},
                                   {"compared", !parsed ? "unreadable"
                                                : newer ? "newer"
                                                        : "not-newer"}});
    return newer;
}

void RestoreMovedAsideFiles(RunLog& log) {
    for (const ProductFile& file : kProductFiles) {
        ProductFolderFile installed(file.kind, log);
        Held<String> previous(TypeString);
        Held<String> partial(TypeString);
        if (installed.target == nullptr || !previous || !partial ||
            previous->SetString(installed.target) != 0 ||
            previous->AppendString(kPreviousSuffix) != 0 ||
            partial->SetString(installed.target) != 0 ||
            partial->AppendString(kPartialSuffix) != 0) {
            continue;  // without storage the steps still replace what is there
        }
        FileFunc* files = installed.Files();
        const char* aside = previous->GetString();
        if (files->Exists(aside) != 0) continue;
        if (files->Exists(installed.target) == 0) {
            const bool removed = files->Delete(aside) == 0;
            log.Write(removed ? LogLevel::Info : LogLevel::Warn, "file-removed",
                      {{"path", aside}, {"result", removed ? "ok" : "failed"}});
            continue;
        }
        if (files->Exists(partial->GetString()) == 0) files->Delete(partial->GetString());
        const bool moved = files->Rename(aside, installed.target) == 0;
        log.Write(moved ? LogLevel::Info : LogLevel::Warn, "file-moved",
                  {{"path", aside}, {"to", installed.target}, {"result", moved ? "ok" : "failed"}});
    }
}

const RunRefusal* RealInstallerEnvironment::PrepareRun(InstallState* state) {
    RunLog& log = LogOf(state);
    // Without its private temporary folder the payload has nowhere safe to go, and no attempt
    // mends that: the run ends before it changes anything, saying why.
    SystemApp* app = Application();
    const char* temp = app == nullptr ? nullptr : app->GetTempFolder();
    if (temp == nullptr || temp[0] == '\0') return &kTempFolderUnusable;
    // A newer version is never replaced by this older one, nor touched at all.
    if (NewerVersionInstalled(log)) return &kNewerInstalled;
    RestoreMovedAsideFiles(log);
    return nullptr;
}

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
    RunJournal journal;
    const std::int32_t result =
        RunSequenceWithState(environment, kInstallerTexts, settings, &journal);
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
            RemoveProductRunLeftovers(log.Log());
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
