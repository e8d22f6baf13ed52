// StringUtilImp: the stateless text-operations element (a singleton-capable type).
#pragma once

#include "framework/containers/StringUtil.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class Core;

// Every operation works on caller memory. Where case is ignored both sides go through ToUpper,
// called as an operation of the element. Results beyond those listed in StringUtil.h:
//   - null text or cursor arguments: Length 0, Equals -1, CompareNoCase -1, MatchWildcard -1,
//     EqualsLoosely 1, SkipPrefix/SkipPattern 1, NextToken writes an empty token (when it has a
//     buffer), Find -1, ParseColor 1, ParseFloat/ParseInt 1 (nothing stored).
//   - MatchWildcard and SkipPattern restart simply: after a mismatch behind a '*' the failing
//     text character is not tried again against the restarted pattern ('*ab' does not match
//     'aab').
//   - Find never reads past the haystack's NUL, whatever end position it is given, and does not
//     report a match that ends exactly at the NUL (no following character exists).
//   - ParseInt saturates runs beyond the 32-bit range to 2147483647 or -2147483648.
//   - ParseFloat clamps values beyond the float range to +-3.4028235e38 (never infinity, never
//     NaN); values too small for a float round towards 0.
//   - FormatFloat clamps infinities to +-3.4028235e38 and formats NaN as 0 ("0."); when the
//     buffer is too small the text is cut at its end, and trailing zeros are dropped only after
//     the decimal point (100 in 4 bytes gives "100", not "1").
//   - NextToken keeps one byte of the buffer for the NUL, so a token of size or more characters
//     is cut one character earlier than a copy without terminator would cut it; it reports
//     the cut with 1 (the result is new: a token a caller reads as text is always terminated).
//   - ParseColor takes exactly '#' and six hexadecimal digits, nothing before or after them.
//   - FormatInt and FormatFloat always NUL-terminate within size when size > 0; they write
//     nothing for a null buffer or a size <= 0 and return 0.
//   - Dispose clears the Core's singleton entry 112 when it holds this object.
class StringUtilImp : public ElementImpBase<StringUtil, TypeStringUtil> {
public:
    explicit StringUtilImp(Core* core);

    std::int32_t Dispose() override;

    int ToUpper(int c) override;
    int ToLower(int c) override;
    std::int32_t Length(const char* text) override;
    std::int32_t Equals(const char* a, const char* b) override;
    std::int32_t CompareNoCase(const char* a, const char* b) override;
    std::int32_t MatchWildcard(const char* text, const char* pattern) override;
    std::int32_t EqualsLoosely(const char* a, const char* b) override;
    std::int32_t SkipPrefix(const char** cursor, const char* word) override;
    std::int32_t SkipPattern(const char** cursor, const char* pattern) override;
    std::int32_t ReplaceAll(char** holder, const char* search, const char* replacement) override;
    std::int32_t NextToken(const char** cursor, int delimiter, char* out,
                           std::int32_t size) override;
    std::int32_t Find(const char* needle, const char* haystack, std::uint32_t end,
                      std::uint32_t start) override;
    std::int32_t ParseColor(const char* text, std::uint32_t* colour) override;
    std::int32_t FormatColor(std::uint32_t colour, char* out, std::int32_t size) override;
    std::int32_t ParseFloat(const char* text, float* value) override;
    std::int32_t FormatFloat(float value, char* out, std::int32_t size) override;
    std::int32_t ParseInt(const char* text, std::int32_t* value) override;
    std::int32_t FormatInt(std::int32_t value, char* out, std::int32_t size) override;
};

}  // namespace QRV2
