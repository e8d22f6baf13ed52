// StringImp: the owned-text element, with its Crunch and IO views.
#pragma once

#include "framework/containers/Crunch.h"
#include "framework/containers/IO.h"
#include "framework/containers/String.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class Core;

// Holds one NUL-terminated text in a block of the framework allocator, or no text at all (null).
// The two states differ on purpose: GetString gives null for "no text" and "" for empty text,
// and the stream form keeps them apart (00 00 versus 01 00 00).
//
// Stream form (IO): a 16-bit little-endian count n = length + 1 (0 for no text), then n bytes:
// the characters and their NUL.
//   WriteTo: the stream's HasError (0 = no error). A text of 65535 characters or more does not
//     fit the count; its first 65534 characters and a NUL are written with the count 65535, so
//     the form stays readable and the count matches the bytes, and 1 is returned when the stream
//     reports no error of its own, because the text was cut.
//   ReadFrom: 0, or 1 when storage cannot be obtained (the string then has no text). A stored
//     count of 0 leaves the string as it was. The text is always terminated within the bytes
//     read: the last byte is forced to NUL, and bytes a short stream did not deliver are zero
//     (the short read itself shows in the stream's HasError, as with Buffer).
class StringImp : public ElementImpBase<String, TypeString>, public Crunch, public IO {
public:
    explicit StringImp(Core* core);

    std::int32_t Dispose() override;
    void* GetInterface(std::int32_t interfaceId) override;

    const char* GetString() override;
    std::int32_t SetString(const char* text) override;
    std::int32_t AppendString(const char* text) override;
    std::int32_t GetLength() override;
    std::int32_t Shorten(std::int32_t length) override;

    // Crunch: QueryCrunch 0 for code 2 else 8; ApplyCrunch 0; CompareContent 0 only when both
    // texts are present and byte for byte equal (case-sensitive), else 1 (also for null or an
    // element that is not a String).
    std::int32_t QueryCrunch(void* context, std::int32_t code) override;
    std::int32_t ApplyCrunch(void* context, std::int32_t code) override;
    std::int32_t GetCrunchId() override;
    void SetCrunchId(std::int32_t id) override;
    std::int32_t CompareContent(Element* other) override;

    std::int32_t ReadFrom(Stream* stream, std::int32_t options) override;
    std::int32_t WriteTo(Stream* stream, std::int32_t options) override;

private:
    char* m_text = nullptr;
    std::int32_t m_crunchId = -1;
};

}  // namespace QRV2
