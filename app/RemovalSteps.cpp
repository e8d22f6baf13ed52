// Removal steps: undo what the installer wrote, and nothing else.
#include "app/RemovalSteps.h"

#include "app/RunLog.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/SystemApp.h"
#include "platform/ProgramFile.h"

namespace QRV2 {

const char* const kRemovedOriginalSuffix = ".started";
const char* const kFolderKeptNotice =
    "Orvane2011 removed - Files of your own were kept in its folder.";

StepResult RemoveActiveXControl(InstallState* state) {
    ProductFolderFile control(ProductFileKind::ActiveXControl, LogOf(state));
    if (state == nullptr || control.target == nullptr) return StepResult::NoElement;
    if (control.Files()->Exists(control.target) == 0) {
        // Its registration names this very file: only the library itself can undo it.
        const StepResult result =
            CallControlEntry(control.target, "DllUnregisterServer", control.log);
        if (result != StepResult::Done) return result;
    }
    return control.Delete();
}

StepResult RemoveMozillaPlugin(InstallState* state) {
    ProductFolderFile plugin(ProductFileKind::MozillaPlugin, LogOf(state));
    if (state == nullptr || plugin.target == nullptr) return StepResult::NoElement;
    // The library first: while a browser holds it, the keys stay and the browser keeps working.
    const StepResult result = plugin.Delete();
    if (result != StepResult::Done) return result;
    // Sub-keys before their parents, in the reverse of the order they were written.
    for (std::size_t i = kMozillaPluginKeyCount; i > 0; --i) {
        if (!DeleteProductKey(kMozillaPluginKeys[i - 1].path, plugin.log)) {
            return StepResult::RegistryFailed;
        }
    }
    return StepResult::Done;
}

StepResult RemoveLeftovers(InstallState* state) {
    ProductFolderFile uninstaller(ProductFileKind::Uninstaller, LogOf(state));
    if (state == nullptr || uninstaller.target == nullptr) return StepResult::NoElement;
    if (!DeleteProductKey(kUninstallKey, uninstaller.log)) return StepResult::RegistryFailed;

    StepResult result = uninstaller.Delete();
    const char* here = uninstaller.app->GetModuleFolder();
    if (result != StepResult::Done && !Platform::RunningProgramCanRemoveItself() &&
        !SameFolderText(here, uninstaller.app->GetLocalProductFolder())) {
        // The run that started this copy waits on it, so its file cannot be deleted yet; moved
        // beside this copy it no longer keeps the product folder, and goes with the temporary
        // folder.
        Held<String> moved(TypeString);
        if (moved && here != nullptr && moved->SetString(here) == 0 &&
            moved->AppendString(uninstaller.file.installedName) == 0 &&
            moved->AppendString(kRemovedOriginalSuffix) == 0 &&
            uninstaller.Files()->Rename(uninstaller.target, moved->GetString()) == 0) {
            result = StepResult::Done;
            uninstaller.log.Info("file-moved",
                                 {{"path", uninstaller.target}, {"to", moved->GetString()}});
        }
    }
    if (result != StepResult::Done) return StepResult::StillThere;

    // The folder goes only when it is empty: a file the user put there keeps it, and is kept.
    const char* folder = uninstaller.app->GetLocalProductFolder();
    Held<String> bare(TypeString);
    if (!bare || folder == nullptr || bare->SetString(folder) != 0) return StepResult::NoElement;
    const std::int32_t length = bare->GetLength();
    const char last = length > 0 ? bare->GetString()[length - 1] : '\0';
    if (last == '\\' || last == '/') bare->Shorten(length - 1);
    uninstaller.Files()->RemoveFolder(bare->GetString());
    const bool kept = uninstaller.Files()->FolderExists(folder) == 0;
    if (kept) state->notice = kFolderKeptNotice;
    uninstaller.log.Info("folder-removed", {{"path", folder}, {"result", kept ? "kept" : "ok"}});
    return StepResult::Done;
}

}  // namespace QRV2
