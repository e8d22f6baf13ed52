// WriteResourceToFile: resource lookup through the platform, bytes out through a BinaryStream.
#include "framework/system/WriteResourceToFile.h"

#include "framework/containers/Stream.h"
#include "framework/core/Core.h"
#include "framework/io/BinaryStream.h"
#include "platform/Resources.h"

namespace QRV2 {

std::int32_t WriteResourceToFile(Core* core, const char* path, const char* name, const char* type,
                                 std::uint32_t minimumSize) {
    if (core == nullptr) return 1;
    Element* element = core->CreateElement(TypeBinaryStream, 0);
    if (element == nullptr) return 1;
    auto* file = static_cast<BinaryStream*>(element);
    Stream* stream = InterfaceOf<Stream>(element, InterfaceStream);
    if (stream == nullptr || file->SetPathName(path) != 0 ||
        stream->SetAccessMode(Stream::AccessWrite) != 0 || stream->Open() != 0) {
        core->ReleaseElement(&element);
        return 1;
    }
    std::int32_t result = 1;
    const void* data = nullptr;
    std::uint32_t size = 0;
    if (Platform::FindExecutableResource(name, type, &data, &size) == Platform::Error::None &&
        size >= minimumSize && data != nullptr) {
        result = stream->Write(data, size) == size ? 0 : 1;
    }
    // Closing cuts the file at what was written, and can itself fail to do so.
    if (stream->Close() != 0) result = 1;
    core->ReleaseElement(&element);
    return result;
}

}  // namespace QRV2
