// The installer's steps of phases 1 and 2: the two plug-ins, the uninstaller and its entry.
#pragma once

#include "app/InstallState.h"
#include "app/ProductSteps.h"

namespace QRV2 {

class RunJournal;

// Each step notes every change in the state's journal (where it has one) just before it makes
// it, and fails before a change it cannot note. An older copy of a file is moved aside to
// <name>.previous (after HeldCheck) rather than deleted, so the journal can put it back; a copy
// this run wrote in an earlier attempt is simply replaced.

// Write the library from the state's archive into the product folder, replacing an older copy,
// and register it: the Mozilla plug-in by its keys (RegisterMozillaPlugin), the control by its
// own DllRegisterServer. Held while the old copy is a library in use, NotReplaceable while
// something else keeps it in place; NoElement (also when a change cannot be noted), NotWritten;
// RegistryFailed (Mozilla); NotLoaded or RegistrationFailed (control).
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
// to the log, and noted in journal (null: none) before it is written. Done, or RegistryFailed
// when anything could not be written or noted.
StepResult WriteUninstallEntry(const char* productFolder, const char* uninstallerPath, RunLog& log,
                               RunJournal* journal = nullptr);

// Writes the Mozilla plug-in keys (kMozillaPluginKeys) under HKEY_CURRENT_USER for the library
// at libraryPath, each key and value logged and noted in journal (null: none) first. Done when
// every value was written; RegistryFailed when a key or value could not be written or noted.
StepResult RegisterMozillaPlugin(const char* libraryPath, RunLog& log,
                                 RunJournal* journal = nullptr);

}  // namespace QRV2
