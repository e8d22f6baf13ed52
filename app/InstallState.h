// InstallState: the record a sequence shares with its phase actions (the installer's plug-in
// steps, the uninstaller's removal steps).
#pragma once

#include <cstdint>

namespace QRV2 {

class String;
class Archive;

struct InstallState {
    String* archivePath = nullptr;   // full path of the temporary archive file, owned
    Archive* archive = nullptr;      // the payload archive, open for reading after phase 0, owned
    std::int32_t currentPhase = -1;  // the phase whose status text the window shows
    const char* notice = nullptr;  // a static text an action leaves for the end of a completed run
};

}  // namespace QRV2
