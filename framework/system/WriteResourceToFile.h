// WriteResourceToFile: copies a resource of the running executable into a file.
#pragma once

#include <cstdint>

namespace QRV2 {

class Core;

// Writes the resource named name of type type (texts, or numbers written "#130") into the
// file at path (created when missing) through a file stream, all at once. 0 on success; 1
// when the stream cannot be created or opened, the resource is missing, smaller than
// minimumSize bytes or has no data, or fewer bytes than its size were written. A failure
// after the file was opened leaves it as far as it got (possibly empty).
std::int32_t WriteResourceToFile(Core* core, const char* path, const char* name, const char* type,
                                 std::uint32_t minimumSize);

}  // namespace QRV2
