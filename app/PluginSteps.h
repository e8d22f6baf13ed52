// The two plug-in installation steps of phases 1 and 2, and the Mozilla plug-in registration.
#pragma once

#include <cstdint>

#include "app/InstallState.h"

namespace QRV2 {

// The plug-in id the Mozilla browsers list the plug-in under: "@" + vendor domain + "/" + product.
extern const char* const kMozillaPluginId;  // "@orvane.com/Orvane2011"

// Status codes of the two steps:
//   0  the library is installed and registered;
//   1  the old library cannot be deleted (as a rule a browser holds it);
//   13 the library file still exists after it was deleted;
//   2  no application singleton, or a path or file-functions element cannot be created;
//   3  no open archive, or the library cannot be written into the product folder (the folder
//      cannot be made, the entry cannot be read or written, the finished file cannot take the
//      library's name);
//   4  (Mozilla) a registry value of the plug-in keys cannot be written;
//   5  (ActiveX) the new library cannot be loaded;
//   6  (ActiveX) the library has no DllRegisterServer, or it reports a failure.
// Only 1 and 13 mean a library in use (IsHeldLibraryStatus); the others will not mend by waiting.
constexpr std::int32_t kStepHeld = 1;
constexpr std::int32_t kStepNoElement = 2;
constexpr std::int32_t kStepNotWritten = 3;
constexpr std::int32_t kStepRegistryFailed = 4;
constexpr std::int32_t kStepNotLoaded = 5;
constexpr std::int32_t kStepRegistrationFailed = 6;
constexpr std::int32_t kStepStillThere = 13;
inline bool IsHeldLibraryStatus(std::int32_t status) {
    return status == kStepHeld || status == kStepStillThere;
}

// The name a library is written under in the product folder until it is complete ("QX2011.dll"
// -> "QX2011.dll.partial"): a run that ends half-way never leaves a truncated library under the
// name a browser loads.
extern const char* const kPartialSuffix;

std::int32_t InstallMozillaPlugin(InstallState* state);
std::int32_t InstallActiveXPlugin(InstallState* state);

// The uninstaller's file name in the product folder and its entry in the payload archive.
extern const char* const
    kUninstallerFileName;  // "Orvane2011Uninstall.exe" ("orvane2011-uninstall")
extern const char* const kUninstallerEntryName;  // "Uninstall\" + the file name
// Where the system's list of installed programs finds the product, under HKEY_CURRENT_USER.
extern const char* const
    kUninstallKey;  // "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane2011"

// Writes the uninstaller from the state's archive into the product folder (replacing an older
// one, as the steps above replace their libraries) and then the uninstall entry. The status
// codes of the steps above; kStepRegistryFailed when the entry cannot be written whole.
std::int32_t InstallUninstaller(InstallState* state);

// Writes the uninstall entry for the product folder and the uninstaller at uninstallerPath:
// DisplayName, DisplayVersion, Publisher, InstallLocation, UninstallString (the quoted path),
// and NoModify and NoRepair (1). 0, or kStepRegistryFailed when anything could not be written.
std::int32_t WriteUninstallEntry(const char* productFolder, const char* uninstallerPath);

// Writes the Mozilla plug-in keys under HKEY_CURRENT_USER for the library at libraryPath.
// 0 when every value was written; kStepRegistryFailed when a key or value could not be.
std::int32_t RegisterMozillaPlugin(const char* libraryPath);

}  // namespace QRV2
