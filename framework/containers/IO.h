// IO: reads and writes an element's content from and to a Stream in its length-prefixed form.
#pragma once

#include <cstdint>

namespace QRV2 {

class Stream;

// Secondary interface (interface id 13) of Buffer, String, ElementContainer and ArchiveEntry.
class IO {
public:
    virtual ~IO();
    // 0 on success, 1 on failure; options are 0 from every caller.
    virtual std::int32_t ReadFrom(Stream* stream, std::int32_t options) = 0;
    // The stream's HasError after writing (0 = no error).
    virtual std::int32_t WriteTo(Stream* stream, std::int32_t options) = 0;
};

}  // namespace QRV2
