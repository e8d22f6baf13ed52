// InstallState: the installer's record shared by the sequencer and the two plug-in steps.
#pragma once

#include <cstdint>

namespace QRV2 {

class String;
class Archive;

struct InstallState {
    String* archivePath = nullptr;  // full path of the temporary archive file, owned
    Archive* archive = nullptr;     // the payload archive, open for reading after phase 0, owned
    std::int32_t currentPhase = -1; // the phase whose status text the window shows
};

}  // namespace QRV2
