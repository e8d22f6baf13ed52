// The uninstaller's three removal steps: the ActiveX control, the Mozilla plug-in, what is left.
#pragma once

#include "app/InstallState.h"
#include "app/ProductSteps.h"

namespace QRV2 {

// Shown at the end of a removal that left the product folder in place because it holds files
// the installer did not write.
extern const char* const kFolderKeptNotice;

// The name the uninstaller in the product folder is given when it is moved beside the copy that
// removed it: the uninstaller's file name followed by this.
extern const char* const kRemovedOriginalSuffix;  // ".started"

// The file a temporary copy of the uninstaller leaves its exit code in, beside itself: the
// uninstaller's file name followed by this. Only a copy that ran to its end writes it, so the run
// waiting on the copy knows a killed or crashed one from one that finished.
extern const char* const kCopyOutcomeSuffix;  // ".outcome"

// The results are those of the install steps (ProductSteps.h): Done removed (also when there
// was nothing to remove), Held / StillThere for a library in use, the others for failures that
// do not mend by waiting.

// Has the installed control unregister itself (its DllUnregisterServer, the library loaded by
// its full path), then deletes the library. NotLoaded when it cannot be loaded,
// RegistrationFailed when it has no DllUnregisterServer or that reports a failure.
StepResult RemoveActiveXControl(InstallState* state);

// Deletes the Mozilla plug-in library, then the plug-in's keys (kMozillaPluginKeys, a key that
// holds a sub-key the installer did not write is kept). RegistryFailed when a key cannot be
// deleted for another reason.
StepResult RemoveMozillaPlugin(InstallState* state);

// Deletes the uninstall entry and the uninstaller in the product folder, then the folder itself
// when nothing else is in it (otherwise the state's notice is set to kFolderKeptNotice). Where
// a running program cannot delete its own file, the one in the product folder -- held by the
// run that started this copy -- is moved beside this copy instead. RegistryFailed when the
// entry cannot be deleted, StillThere when the uninstaller cannot be removed.
StepResult RemoveLeftovers(InstallState* state);

}  // namespace QRV2
