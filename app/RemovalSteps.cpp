// Removal steps: undo what the installer wrote, and nothing else.
#include "app/RemovalSteps.h"

#include "app/RunLog.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/SystemApp.h"
#include "platform/ProgramFile.h"
#include "platform/Registry.h"

namespace QRV2 {

const char* const kRemovedOriginalSuffix = ".started";
const char* const kCopyOutcomeSuffix = ".outcome";
const char* const kFolderKeptNotice =
    "Orvane2011 removed - Files of your own were kept in its folder.";

namespace {

// Opens key path below HKEY_CURRENT_USER with the given rights: None, FileNotFound or the error.
Platform::Error OpenUserKey(const char* path, std::uint32_t access, Platform::RegKey* key) {
    return Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser), path,
                                     access, key);
}

// True when the open key holds neither a value nor a sub-key.
bool KeyIsEmpty(Platform::RegKey key) {
    std::uint32_t subKeys = 1;
    std::uint32_t values = 1;
    return Platform::RegistryQueryInfo(key, &subKeys, nullptr, &values, nullptr, nullptr) ==
               Platform::Error::None &&
           subKeys == 0 && values == 0;
}

// The content type's values go while they name the control's class (another viewer that took
// the type over keeps it), and the key with them once nothing else is in it. True also when
// there is no such key; false when it cannot be read or changed.
bool RemoveControlContentType(RunLog& log) {
    Platform::RegKey key = nullptr;
    const Platform::Error opened =
        OpenUserKey(kControlContentTypeKey, Platform::KeyQueryValue | Platform::KeySetValue, &key);
    if (opened == Platform::Error::FileNotFound) return true;
    if (opened != Platform::Error::None) return false;
    char value[64];
    std::uint32_t size = sizeof value - 1;
    std::uint32_t type = Platform::RegNone;
    const bool read =
        Platform::RegistryQueryValue(key, "CLSID", &type, value, &size) == Platform::Error::None &&
        type == Platform::RegSz;
    if (read) value[size] = '\0';
    const bool ours = read && SameFolderText(value, kControlClassId);
    bool removed = true;
    for (std::size_t i = 0; ours && i < kControlContentTypeValueCount; ++i) {
        const Platform::Error error =
            Platform::RegistryDeleteValue(key, kControlContentTypeValues[i]);
        const bool gone = error == Platform::Error::None || error == Platform::Error::FileNotFound;
        log.Write(gone ? LogLevel::Info : LogLevel::Error, "registry-value-deleted",
                  {{"key", kControlContentTypeKey},
                   {"name", kControlContentTypeValues[i]},
                   {"result", gone ? "ok" : "failed"}});
        removed &= gone;
    }
    const bool empty = ours && KeyIsEmpty(key);
    Platform::RegistryCloseKey(key);
    return removed && (!empty || DeleteProductKey(kControlContentTypeKey, log));
}

// What the control's own unregistration removes, removed for it: its class keys and its content
// type. False when any of it cannot be removed.
bool RemoveControlRegistration(RunLog& log) {
    return DeleteProductKey(kControlServerKey, log) && DeleteProductKey(kControlClassKey, log) &&
           RemoveControlContentType(log);
}

// The parents the product's keys were made below, each deleted when nothing is left in it.
// One that cannot be deleted is logged and stays: it holds nothing of the product.
void RemoveEmptyParentKeys(RunLog& log) {
    for (const char* path : kProductParentKeys) {
        Platform::RegKey key = nullptr;
        if (OpenUserKey(path, Platform::KeyQueryValue, &key) != Platform::Error::None) continue;
        const bool empty = KeyIsEmpty(key);
        Platform::RegistryCloseKey(key);
        if (empty) DeleteProductKey(path, log);
    }
}

}  // namespace

StepResult RemoveActiveXControl(InstallState* state) {
    ProductFolderFile control(ProductFileKind::ActiveXControl, LogOf(state));
    if (state == nullptr || control.target == nullptr) return StepResult::NoElement;
    // Nothing is undone while a browser holds the library: until it lets go the control stays
    // registered, and so keeps working in that browser and in every other.
    const StepResult held = HeldCheck(control.target);
    if (held != StepResult::Done) {
        control.log.Warn("file-removed",
                         {{"path", control.target}, {"result", StepResultWord(held)}});
        return held;
    }
    // Its registration names this very file: the library undoes it itself where it can. One that
    // cannot be loaded (damaged, gone) or fails to leaves keys that name a library no browser
    // can use: they are removed directly, and the file goes all the same.
    bool unregistered = false;
    if (control.Files()->Exists(control.target) == 0) {
        unregistered = CallControlEntry(control.target, "DllUnregisterServer", control.log) ==
                       StepResult::Done;
    }
    if (!unregistered && !RemoveControlRegistration(control.log)) return StepResult::RegistryFailed;
    const StepResult result = control.Delete();
    if (result != StepResult::Done) {
        // A browser took the library in the meantime: registered again, it keeps working there
        // until the next attempt.
        if (unregistered) CallControlEntry(control.target, "DllRegisterServer", control.log);
        return result;
    }
    RemoveEmptyParentKeys(control.log);
    return StepResult::Done;
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
    RemoveEmptyParentKeys(plugin.log);
    return StepResult::Done;
}

namespace {

// Deletes one copy of the uninstaller. Where a running program cannot delete its own file, the
// one that started this copy -- held by the run waiting on it -- is moved beside this copy
// instead: it then no longer keeps its folder, and goes with the temporary folder. Done when
// nothing is left at its name.
StepResult RemoveUninstaller(ProductFolderFile& uninstaller) {
    StepResult result = uninstaller.Delete();
    const char* here = uninstaller.app->GetModuleFolder();
    if (result == StepResult::Done || Platform::RunningProgramCanRemoveItself() ||
        here == nullptr || SameFolderText(here, uninstaller.folder)) {
        return result;
    }
    Held<String> moved(TypeString);
    if (moved && moved->SetString(here) == 0 &&
        moved->AppendString(uninstaller.file.installedName) == 0 &&
        moved->AppendString(kRemovedOriginalSuffix) == 0 &&
        uninstaller.Files()->Rename(uninstaller.target, moved->GetString()) == 0) {
        uninstaller.log.Info("file-moved",
                             {{"path", uninstaller.target}, {"to", moved->GetString()}});
        return StepResult::Done;
    }
    return result;
}

}  // namespace

StepResult RemoveLeftovers(InstallState* state) {
    ProductFolderFile uninstaller(ProductFileKind::Uninstaller, LogOf(state));
    // Where older versions put it.
    ProductFolderFile inProductFolder(ProductFileKind::Uninstaller, LogOf(state),
                                      FilePlace::ProductFolder);
    if (state == nullptr || uninstaller.target == nullptr || inProductFolder.target == nullptr) {
        return StepResult::NoElement;
    }
    if (!DeleteProductKey(kUninstallKey, uninstaller.log)) return StepResult::RegistryFailed;
    if (RemoveUninstaller(uninstaller) != StepResult::Done ||
        RemoveUninstaller(inProductFolder) != StepResult::Done) {
        return StepResult::StillThere;
    }

    // The folder goes only when it is empty: a file the user put there keeps it, and is kept.
    const char* folder = inProductFolder.folder;
    FileFunc* files = uninstaller.Files();
    if (files->FolderExists(folder) != 0) {
        uninstaller.log.Info("folder-removed", {{"path", folder}, {"result", "gone"}});
        return StepResult::Done;
    }
    Held<String> bare(TypeString);
    if (!bare || bare->SetString(folder) != 0) return StepResult::NoElement;
    const std::int32_t length = bare->GetLength();
    const char last = length > 0 ? bare->GetString()[length - 1] : '\0';
    if (last == '\\' || last == '/') bare->Shorten(length - 1);
    files->RemoveFolder(bare->GetString());
    const bool kept = files->FolderExists(folder) == 0;
    if (kept) state->notice = kFolderKeptNotice;
    uninstaller.log.Info("folder-removed", {{"path", folder}, {"result", kept ? "kept" : "ok"}});
    return StepResult::Done;
}

}  // namespace QRV2
