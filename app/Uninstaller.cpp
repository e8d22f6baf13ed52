// The uninstaller's main line.
#include "app/Uninstaller.h"

#include <cstdio>

#include "app/LeftoverRunFolders.h"
#include "app/ProductSteps.h"
#include "app/RemovalSteps.h"
#include "app/RunLog.h"
#include "framework/FrameworkSession.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/system/FileFunc.h"
#include "framework/system/SystemApp.h"
#include "platform/Cancel.h"
#include "platform/ProgramFile.h"
#include "platform/SingleInstance.h"

namespace QRV2 {

const SequenceTexts kUninstallerTexts = {
    "Orvane2011 Uninstaller",
    "Removing Orvane2011....",
    {
        "Removing Orvane2011 - ActiveX Plugin.",
        "Removing Orvane2011 - XPCOM Plugin.",
        "Removing Orvane2011 - Program Folder.",
    },
    {
        "Please close Internet Explorer to update the Orvane2011.",
        "Please close Mozilla Firefox to update the Orvane2011.",
        "Removal Stopped - Unable to remove the program folder.",
    },
    {
        "Removal Stopped - Unable to remove the ActiveX Plugin.",
        "Removal Stopped - Unable to remove the XPCOM Plugin.",
        "Removal Stopped - Unable to remove the program folder.",
    },
    "Removal Stopped - Unable to reach the user's folder.",
};

ActionResult RealUninstallerEnvironment::RunPhaseAction(int phase, InstallState* state) {
    switch (phase) {
        case 0:
            return RecordOutcome(state, ProductFileKind::ActiveXControl,
                                 RemoveActiveXControl(state));
        case 1:
            return RecordOutcome(state, ProductFileKind::MozillaPlugin, RemoveMozillaPlugin(state));
        case 2: {
            // Nothing of it is held by a browser: every failure gets its few attempts only.
            const StepResult result = RemoveLeftovers(state);
            RecordOutcome(state, ProductFileKind::Uninstaller, result);
            return result == StepResult::Done ? ActionResult::Succeeded
                                              : ActionResult::FailedQuietly;
        }
        default: return ActionResult::Failed;
    }
}

bool RunsFromProductFolder() {
    SystemApp* app = Application();
    return app != nullptr && SameFolderText(app->GetModuleFolder(), app->GetLocalProductFolder());
}

std::int32_t RunFromTemporaryCopy(const ProgramOptions& options, ProgramRunLog& log) {
    SystemApp* app = Application();
    const char* folder = app == nullptr ? nullptr : app->GetTempFolder();
    if (folder == nullptr || folder[0] == '\0') return kInstallFailed;
    const char* fileName = ProductFileOf(ProductFileKind::Uninstaller).installedName;
    Held<String> source(TypeString);
    Held<String> copy(TypeString);
    Held<FileFunc> files(TypeFileFunc);
    if (files) {
        // What earlier removals left: the uninstaller each ran from, and its original beside it.
        char started[64];
        std::snprintf(started, sizeof started, "%s%s", fileName, kRemovedOriginalSuffix);
        const char* const names[] = {fileName, started};
        RemoveLeftoverRunFolders(folder, names, 2, files.Get(), log.Log());
    }
    if (!source || !copy || !files || source->SetString(app->GetModuleFolder()) != 0 ||
        source->AppendString(fileName) != 0 || copy->SetString(folder) != 0 ||
        copy->AppendString(fileName) != 0 ||
        files->Copy(source->GetString(), copy->GetString()) != 0) {
        log.Log().Error("copy",
                        {{"path", copy ? copy->GetString() : nullptr}, {"result", "not-written"}});
        return kInstallFailed;
    }
    // The copy does the whole removal, this run's own file included (it moves it beside
    // itself); its folder is the private temporary folder, which this run then empties of
    // what it can. Its outcome is this run's outcome. The copy adds its lines to this run's
    // log, between this run's start and end.
    char waitText[16];
    const char* arguments[kPassedOnArgumentRoom];
    const std::size_t count = PassOnOptions(options, log.Path(), waitText, arguments);
    log.Log().Info("copy", {{"path", copy->GetString()},
                            {"result", "ok"},
                            LogField::Joined("arguments", arguments, count)});
    log.Suspend();
    std::uint32_t code = 0;
    const Platform::Error started =
        Platform::RunProgramAndWait(copy->GetString(), arguments, count, folder, &code);
    log.Resume();
    if (started != Platform::Error::None) {
        log.Log().Error("copy-ended",
                        {{"result", "not-started"}, {"error", Platform::ToInt(started)}});
        return kInstallFailed;
    }
    log.Log().Info("copy-ended", {{"exit-code", std::int64_t{code}}});
    return static_cast<std::int32_t>(code);
}

std::int32_t UninstallerMain(Platform::ModuleHandle instance, const ProgramOptions& options,
                             std::int32_t show) {
    Platform::InstallCancelHandlers();
    FrameworkSession framework;
    if (framework.StartProgram(instance, "", show) == nullptr) return kInstallFailed;
    ProgramRunLog log(options, kUninstallerTexts.title);
    std::int32_t exitCode = kLogNotCreated;
    if (!Platform::RunningProgramCanRemoveItself() && RunsFromProductFolder()) {
        // No claim here: the copy makes it, and would otherwise find this run's.
        if (log.Begin("uninstaller")) {
            log.LogFolders();
            exitCode = RunFromTemporaryCopy(options, log);
        }
    } else {
        // Never alongside an installer of the product: one would remove what the other writes
        // (and its log would be the one the other writes).
        Platform::InstanceClaim claim = nullptr;
        if (Platform::ClaimInstance(kInstanceName, &claim) == Platform::ClaimResult::Taken) {
            exitCode = kInstallAlreadyRunning;
        } else if (log.Begin("uninstaller")) {
            log.LogFolders();
            RealUninstallerEnvironment environment;
            exitCode = RunSequenceWithState(environment, kUninstallerTexts,
                                            SettingsFor(options, log.Open()));
        }
        Platform::ReleaseInstance(claim);
    }
    framework.Stop();
    return log.End(exitCode);
}

}  // namespace QRV2
