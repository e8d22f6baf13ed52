// The installer's steps of phases 1 and 2: the two plug-ins, the uninstaller and its entry.
#pragma once

#include "app/InstallState.h"
#include "app/ProductSteps.h"

namespace QRV2 {

// Write the library from the state's archive into the product folder, replacing an older copy,
// and register it: the Mozilla plug-in by its keys (RegisterMozillaPlugin), the control by its
// own DllRegisterServer. Held or StillThere while the old copy cannot be removed; NoElement,
// NotWritten; RegistryFailed (Mozilla); NotLoaded or RegistrationFailed (control).
StepResult InstallMozillaPlugin(InstallState* state);
StepResult InstallActiveXPlugin(InstallState* state);

// Writes the uninstaller from the state's archive into the product folder (replacing an older
// one, as the steps above replace their libraries) and then the uninstall entry. The results of
// the steps above; RegistryFailed when the entry cannot be written whole.
StepResult InstallUninstaller(InstallState* state);

// Writes the uninstall entry for the product folder and the uninstaller at uninstallerPath:
// DisplayName, DisplayVersion, Publisher, InstallLocation, UninstallString (the quoted path),
// QuietUninstallString (the same and the quiet switch), DisplayIcon (the path and ",0"),
// InstallDate (the local date, YYYYMMDD), and the DWORDs NoModify and NoRepair (1) and
// EstimatedSize (the KiB the product's files in the folder take, rounded up). Each value goes
// to the log. Done, or RegistryFailed when anything could not be written.
StepResult WriteUninstallEntry(const char* productFolder, const char* uninstallerPath, RunLog& log);

// Writes the Mozilla plug-in keys (kMozillaPluginKeys) under HKEY_CURRENT_USER for the library
// at libraryPath, each key and value logged. Done when every value was written; RegistryFailed
// when a key or value could not be.
StepResult RegisterMozillaPlugin(const char* libraryPath, RunLog& log);

}  // namespace QRV2
