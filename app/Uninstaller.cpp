// The uninstaller's main line.
#include "app/Uninstaller.h"

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
};

ActionResult RealUninstallerEnvironment::RunPhaseAction(int phase, InstallState* state) {
    switch (phase) {
        case 0:
            return StepOutcome(RemoveActiveXControl(state));
        case 1:
            return StepOutcome(RemoveMozillaPlugin(state));
        case 2:
            // Nothing of it is held by a browser: every failure gets its few attempts only.
            return RemoveLeftovers(state) == 0 ? ActionResult::Succeeded
                                               : ActionResult::FailedQuietly;
        default:
            return ActionResult::Failed;
    }
}

namespace {

SystemApp* Application() {
    Core* core = GetCore();
    return core == nullptr ? nullptr : static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
}

// A String holding folder followed by name (and suffix, when given); null when none can be had.
String* Joined(const char* folder, const char* name, const char* suffix = nullptr) {
    String* text = CreateElementAs<String>(TypeString);
    if (text != nullptr && (text->SetString(folder) != 0 || text->AppendString(name) != 0 ||
                            (suffix != nullptr && text->AppendString(suffix) != 0))) {
        ReleaseElement(text);
    }
    return text;
}

// True when the folder holds files and nothing but what a removal leaves there: the uninstaller
// it ran from and the original moved beside it.
bool HoldsOnlyUninstallerCopies(const char* folder) {
    String* pattern = Joined(folder, "*");
    if (pattern == nullptr) return false;
    Platform::DirectoryEntry entry;
    Platform::DirectoryHandle search =
        Platform::DirectoryFindFirst(pattern->GetString(), &entry, nullptr);
    ReleaseElement(pattern);
    bool only = search != nullptr;
    for (bool more = only; more; more = Platform::DirectoryFindNext(search, &entry, nullptr)) {
        String* started = Joined(kUninstallerFileName, kRemovedOriginalSuffix);
        only = only && !entry.isFolder && started != nullptr &&
               (SameFolderText(entry.name, kUninstallerFileName) ||
                SameFolderText(entry.name, started->GetString()));
        ReleaseElement(started);
    }
    Platform::DirectoryFindClose(search);
    return only;
}

// The temporary folders earlier removals left (each holding the uninstaller it ran from) are
// emptied and removed: nothing runs from them any more, or their files would not go.
void RemoveEarlierCopies(const char* ownFolder, FileFunc* files) {
    String* parent = Joined(ownFolder, "");
    if (parent == nullptr) return;
    // The system's temporary path: the private folder without its own name.
    std::int32_t length = parent->GetLength() - 1;
    while (length > 0 && parent->GetString()[length - 1] != '\\') --length;
    String* pattern = nullptr;
    if (length > 0 && parent->Shorten(length) == 0) pattern = Joined(parent->GetString(), "QRV*");
    Platform::DirectoryEntry entry;
    Platform::DirectoryHandle search =
        pattern == nullptr ? nullptr
                           : Platform::DirectoryFindFirst(pattern->GetString(), &entry, nullptr);
    for (bool more = search != nullptr; more;
         more = Platform::DirectoryFindNext(search, &entry, nullptr)) {
        String* folder = entry.isFolder ? Joined(parent->GetString(), entry.name, "\\") : nullptr;
        if (folder != nullptr && !SameFolderText(folder->GetString(), ownFolder) &&
            HoldsOnlyUninstallerCopies(folder->GetString())) {
            String* copy = Joined(folder->GetString(), kUninstallerFileName);
            String* original =
                Joined(folder->GetString(), kUninstallerFileName, kRemovedOriginalSuffix);
            if (copy != nullptr) files->Delete(copy->GetString());
            if (original != nullptr) files->Delete(original->GetString());
            if (folder->Shorten(folder->GetLength() - 1) == 0)
                files->RemoveFolder(folder->GetString());
            ReleaseElement(original);
            ReleaseElement(copy);
        }
        ReleaseElement(folder);
    }
    Platform::DirectoryFindClose(search);
    ReleaseElement(pattern);
    ReleaseElement(parent);
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
    if (files != nullptr) RemoveEarlierCopies(folder, files);
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
