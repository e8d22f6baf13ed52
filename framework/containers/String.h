// String: the owned text element (type id 2): one NUL-terminated 8-bit text, or no text.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

class String : public Element {
public:
    // The text (valid until the next change), or null when there is none.
    virtual const char* GetString() = 0;
    // Sets the text (null means ""). 0, or 1 when storage cannot be obtained (then no text).
    virtual std::int32_t SetString(const char* text) = 0;
    // Appends (null means ""). 0, or 1 when storage cannot be obtained (text unchanged).
    virtual std::int32_t AppendString(const char* text) = 0;
    // Characters before the NUL; 0 when there is no text.
    virtual std::int32_t GetLength() = 0;
    // Cuts the text to n characters. 0, or 1 when n < 0, n > length or there is no text.
    virtual std::int32_t Shorten(std::int32_t length) = 0;
};

}  // namespace QRV2
