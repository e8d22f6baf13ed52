// The uninstaller's main line.
#include "app/Uninstaller.h"

#include <cstdio>

#include "app/LeftoverRunFolders.h"
#include "app/PluginSteps.h"
#include "app/RemovalSteps.h"
#include "framework/FrameworkSession.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/FileFunc.h"
#include "framework/system/SystemApp.h"
#include "platform/Cancel.h"
#include "platform/Directory.h"
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
        case 0: return StepOutcome(RemoveActiveXControl(state));
        case 1: return StepOutcome(RemoveMozillaPlugin(state));
        case 2:
            // Nothing of it is held by a browser: every failure gets its few attempts only.
            return RemoveLeftovers(state) == 0 ? ActionResult::Succeeded
                                               : ActionResult::FailedQuietly;
        default: return ActionResult::Failed;
    }
}

namespace {

SystemApp* Application() {
    Core* core = GetCore();
    return core == nullptr ? nullptr : static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
}

}  // namespace

bool RunsFromProductFolder() {
    SystemApp* app = Application();
    return app != nullptr && SameFolderText(app->GetModuleFolder(), app->GetLocalProductFolder());
}

std::int32_t RunFromTemporaryCopy() {
    SystemApp* app = Application();
    const char* folder = app == nullptr ? nullptr : app->GetTempFolder();
    if (folder == nullptr || folder[0] == '\0') return kInstallFailed;
    String* source = CreateElementAs<String>(TypeString);
    String* copy = CreateElementAs<String>(TypeString);
    FileFunc* files = CreateElementAs<FileFunc>(TypeFileFunc);
    std::int32_t result = kInstallFailed;
    if (files != nullptr) {
        // What earlier removals left: the uninstaller each ran from, and its original beside it.
        char started[64];
        std::snprintf(started, sizeof started, "%s%s", kUninstallerFileName,
                      kRemovedOriginalSuffix);
        const char* const names[] = {kUninstallerFileName, started};
        RemoveLeftoverRunFolders(folder, names, 2, files);
    }
    if (source != nullptr && copy != nullptr && files != nullptr &&
        source->SetString(app->GetModuleFolder()) == 0 &&
        source->AppendString(kUninstallerFileName) == 0 && copy->SetString(folder) == 0 &&
        copy->AppendString(kUninstallerFileName) == 0 &&
        files->Copy(source->GetString(), copy->GetString()) == 0) {
        // The copy does the whole removal, this run's own file included (it moves it beside
        // itself); its folder is the private temporary folder, which this run then empties of
        // what it can. Its outcome is this run's outcome.
        std::uint32_t code = 0;
        if (Platform::RunProgramAndWait(copy->GetString(), folder, &code) ==
            Platform::Error::None) {
            result = static_cast<std::int32_t>(code);
        }
    }
    ReleaseElement(files);
    ReleaseElement(copy);
    ReleaseElement(source);
    return result;
}

std::int32_t UninstallerMain(Platform::ModuleHandle instance, std::int32_t show) {
    Platform::InstallCancelHandlers();
    FrameworkSession framework;
    if (framework.StartProgram(instance, "", show) == nullptr) return kInstallFailed;
    std::int32_t exitCode = kInstallFailed;
    if (!Platform::RunningProgramCanRemoveItself() && RunsFromProductFolder()) {
        // No claim here: the copy makes it, and would otherwise find this run's.
        exitCode = RunFromTemporaryCopy();
    } else {
        // Never alongside an installer of the product: one would remove what the other writes.
        Platform::InstanceClaim claim = nullptr;
        if (Platform::ClaimInstance(kInstanceName, &claim) == Platform::ClaimResult::Taken) {
            exitCode = kInstallAlreadyRunning;
        } else {
            RealUninstallerEnvironment environment;
            exitCode = RunSequenceWithState(environment, kUninstallerTexts);
        }
        Platform::ReleaseInstance(claim);
    }
    framework.Stop();
    return exitCode;
}

}  // namespace QRV2
