// StringUtil: stateless operations on plain NUL-terminated 8-bit texts (type id 112).
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Case rules are ASCII only; wherever case is ignored both sides go through ToUpper.
class StringUtil : public Element {
public:
    virtual int ToUpper(int c) = 0;
    virtual int ToLower(int c) = 0;
    // Characters before the NUL; 0 for null.
    virtual std::int32_t Length(const char* text) = 0;
    // 0 when both present and identical, else -1.
    virtual std::int32_t Equals(const char* a, const char* b) = 0;
    // 0 when equal ignoring case, else the signed difference at the first mismatch; -1 for null.
    virtual std::int32_t CompareNoCase(const char* a, const char* b) = 0;
    // 0 when the whole text matches the pattern ('*' only, case ignored), else -1.
    virtual std::int32_t MatchWildcard(const char* text, const char* pattern) = 0;
    // 0 when equal ignoring case, spaces and double quotes (each ends at NUL or CR), else 1.
    virtual std::int32_t EqualsLoosely(const char* a, const char* b) = 0;
    // 0 and the cursor moved past word when the text begins with it (case ignored), else 1.
    virtual std::int32_t SkipPrefix(const char** cursor, const char* word) = 0;
    // 0 and the cursor moved past the last literally matched character, else 1.
    virtual std::int32_t SkipPattern(const char** cursor, const char* pattern) = 0;
    // Replaces every occurrence in the allocator-owned text *holder. 0; 1 holder null;
    // 2 storage cannot be obtained (text unchanged).
    virtual std::int32_t ReplaceAll(char** holder, const char* search, const char* replacement) = 0;
    // Copies the next token up to the delimiter into out (size bytes, always NUL-terminated)
    // and moves the cursor past it and its delimiter. 0; 1 when the token did not fit (the
    // first size - 1 characters are in out, the cursor stands on the rest) or there is no
    // buffer or cursor.
    virtual std::int32_t NextToken(const char** cursor, int delimiter, char* out,
                                   std::int32_t size) = 0;
    // Position just past the character that follows the needle's first match, or -1.
    virtual std::int32_t Find(const char* needle, const char* haystack, std::uint32_t end,
                              std::uint32_t start) = 0;
    // "#RRGGBB" to 0xFFRRGGBB. 0, or 1 when the text is anything but '#' and six hex digits.
    virtual std::int32_t ParseColor(const char* text, std::uint32_t* colour) = 0;
    // "#RRGGBB". 0, or 1 when out is null or smaller than 9 bytes.
    virtual std::int32_t FormatColor(std::uint32_t colour, char* out, std::int32_t size) = 0;
    // 0, or 1 after a sign inside the number (the value read so far is stored); 1 for a null
    // argument (nothing stored). Values beyond the float range are clamped to +-FLT_MAX.
    virtual std::int32_t ParseFloat(const char* text, float* value) = 0;
    // Decimal text with a point and up to six fraction digits, trailing zeros dropped. 0.
    virtual std::int32_t FormatFloat(float value, char* out, std::int32_t size) = 0;
    // The first run of digits with the sign of any '-' before it; 0 without digits. 0, or 1 for
    // a null argument. Runs beyond the 32-bit range saturate to 2147483647 / -2147483648.
    virtual std::int32_t ParseInt(const char* text, std::int32_t* value) = 0;
    // Decimal text, cut to fit with its NUL into size bytes. 0.
    virtual std::int32_t FormatInt(std::int32_t value, char* out, std::int32_t size) = 0;
};

}  // namespace QRV2
