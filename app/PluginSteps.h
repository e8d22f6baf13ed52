// The two plug-in installation steps of phases 1 and 2, and the Mozilla plug-in registration.
#pragma once

#include <cstdint>

#include "app/InstallState.h"

namespace QRV2 {

// The plug-in id the Mozilla browsers list the plug-in under: "@" + vendor domain + "/" + product.
extern const char* const kMozillaPluginId;  // "@orvane.com/Orvane2011"

// Status codes of the two steps (the sequencer treats every non-zero code alike):
//   0  the library is installed (and registered / self-registration called);
//   1  no application singleton, the old library cannot be deleted (a browser holds it), the
//      library cannot be extracted from the archive, or (ActiveX) the new library cannot be loaded;
//   2  a path or file-functions element cannot be created;
//   13 the library file still exists after it was deleted.
std::int32_t InstallMozillaPlugin(InstallState* state);
std::int32_t InstallActiveXPlugin(InstallState* state);

// Writes the Mozilla plug-in keys under HKEY_CURRENT_USER for the library at libraryPath.
// Write failures are not reported: always 0.
std::int32_t RegisterMozillaPlugin(const char* libraryPath);

}  // namespace QRV2
