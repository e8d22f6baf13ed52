// StringUtilImp: case folding, comparisons, wildcards, replacing, tokens and number/colour text.
#include "framework/containers/StringUtilImp.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "framework/core/Allocator.h"
#include "framework/core/Core.h"

namespace QRV2 {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Characters take part in arithmetic as signed 8-bit values.
int Signed(char c) { return static_cast<signed char>(c); }

// Beyond this decimal exponent a double cannot hold the weight of a digit; any non-zero digit
// there is far outside the float range anyway.
constexpr long long kMaxDoubleExponent = 308;

}  // namespace

StringUtilImp::StringUtilImp(Core*) {}

std::int32_t StringUtilImp::Dispose() {
    Core* core = GetCore();
    if (core != nullptr && core->GetSingleton(TypeStringUtil) == this) {
        core->SetSingleton(TypeStringUtil, nullptr);
    }
    delete this;
    return 0;
}

int StringUtilImp::ToUpper(int c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

int StringUtilImp::ToLower(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

std::int32_t StringUtilImp::Length(const char* text) {
    return text == nullptr ? 0 : static_cast<std::int32_t>(std::strlen(text));
}

std::int32_t StringUtilImp::Equals(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return -1;
    return std::strcmp(a, b) == 0 ? 0 : -1;
}

std::int32_t StringUtilImp::CompareNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return -1;
    for (std::size_t i = 0;; ++i) {
        int d = ToUpper(Signed(a[i])) - ToUpper(Signed(b[i]));
        if (d != 0 || a[i] == '\0' || b[i] == '\0') return d;
    }
}

std::int32_t StringUtilImp::MatchWildcard(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return -1;
    const char* t = text;
    const char* p = pattern;
    const char* star = pattern;
    bool failed = false;
    for (;;) {
        while (*p == '*') {
            star = p;
            ++p;
        }
        if (ToUpper(Signed(*t)) == ToUpper(Signed(*p))) {
            if (*p != '\0') ++p;
        } else if (*star == '*') {
            p = star + 1;
        } else {
            failed = true;
            break;
        }
        if (*t == '\0') break;
        ++t;
        if (*t == '\0') break;
    }
    while (*p == '*') ++p;
    return !failed && *p == '\0' ? 0 : -1;
}

std::int32_t StringUtilImp::EqualsLoosely(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return 1;
    auto atEnd = [](const char* c) { return *c == '\0' || *c == '\r'; };
    auto ignored = [](const char* c) { return *c == ' ' || *c == '"'; };
    if (atEnd(a) || atEnd(b)) return 1;
    for (;;) {
        while (ignored(a)) ++a;
        while (ignored(b)) ++b;
        bool endA = atEnd(a), endB = atEnd(b);
        if (endA && endB) return 0;
        if (endA || endB) return 1;
        if (ToUpper(Signed(*a)) != ToUpper(Signed(*b))) return 1;
        ++a;
        ++b;
    }
}

std::int32_t StringUtilImp::SkipPrefix(const char** cursor, const char* word) {
    if (cursor == nullptr || *cursor == nullptr || word == nullptr) return 1;
    const char* text = *cursor;
    std::size_t i = 0;
    for (; word[i] != '\0'; ++i) {
        // The text's NUL differs from every word character, so a shorter text fails here.
        if (ToUpper(Signed(text[i])) != ToUpper(Signed(word[i]))) return 1;
    }
    *cursor = text + i;
    return 0;
}

std::int32_t StringUtilImp::SkipPattern(const char** cursor, const char* pattern) {
    if (cursor == nullptr || *cursor == nullptr || pattern == nullptr) return 1;
    const char* t = *cursor;
    const char* p = pattern;
    const char* matched = t;
    const char* restart = nullptr;
    for (;;) {
        if (*p == '\0' && *t == '\0') break;
        if (*p == '*') {
            while (*p == '*') ++p;
            restart = p;
        }
        if (ToUpper(Signed(*t)) == ToUpper(Signed(*p))) {
            matched = t;
            if (*p == '\0') break;
            ++p;
        } else {
            if (restart == nullptr) return 1;
            p = restart;
        }
        if (*t == '\0') {
            if (*p != '\0') return 1;
            break;
        }
        ++t;
    }
    *cursor = matched + (*matched != '\0' ? 1 : 0);
    return 0;
}

std::int32_t StringUtilImp::ReplaceAll(char** holder, const char* search, const char* replacement) {
    if (holder == nullptr) return 1;
    const char* text = *holder;
    std::size_t textLength = text == nullptr ? 0 : std::strlen(text);
    std::size_t searchLength = search == nullptr ? 0 : std::strlen(search);
    std::size_t replacementLength = replacement == nullptr ? 0 : std::strlen(replacement);
    if (textLength == 0 || searchLength == 0) return 0;

    // A character that breaks a partial match is not compared with the search text's start
    // again; the copy below uses the very same scan, so count and copy always agree.
    std::size_t occurrences = 0;
    std::size_t k = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == search[k]) {
            if (++k == searchLength) {
                ++occurrences;
                k = 0;
            }
        } else {
            k = 0;
        }
    }
    if (occurrences == 0) return 0;

    std::size_t kept = textLength - searchLength * occurrences + 1;
    if (replacementLength != 0 && replacementLength > (SIZE_MAX - kept) / occurrences) return 2;
    auto* result = static_cast<char*>(Allocate(kept + replacementLength * occurrences));
    if (result == nullptr) return 2;

    char* out = result;
    k = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == search[k]) {
            if (++k == searchLength) {
                if (replacementLength != 0) std::memcpy(out, replacement, replacementLength);
                out += replacementLength;
                k = 0;
            }
        } else {
            // The held-back characters are exactly the search text's first k characters.
            std::memcpy(out, search, k);
            out += k;
            k = 0;
            *out++ = *c;
        }
    }
    std::memcpy(out, search, k);
    out += k;
    *out = '\0';

    Free(*holder);
    *holder = result;
    return 0;
}

std::int32_t StringUtilImp::NextToken(const char** cursor, int delimiter, char* out,
                                      std::int32_t size) {
    if (out == nullptr || size <= 0) return 1;
    if (cursor == nullptr || *cursor == nullptr) {
        out[0] = '\0';
        return 1;
    }
    // Delimiters of 0x80 and above never match, whichever way the caller's char was signed.
    bool canMatch = delimiter > 0 && delimiter < 0x80;
    const char* c = *cursor;
    std::int32_t copied = 0;
    bool ended = false;
    // One byte stays for the terminator: a caller reading the token as text must never run
    // past the buffer. A token that does not fit is cut and the rest stays at the cursor.
    while (copied < size - 1 && *c != '\0') {
        if (canMatch && *c == static_cast<char>(delimiter)) {
            ++c;
            ended = true;
            break;
        }
        out[copied++] = *c++;
    }
    out[copied] = '\0';
    if (!ended && *c != '\0') {
        if (!(canMatch && *c == static_cast<char>(delimiter))) {
            *cursor = c;
            return 1;
        }
        ++c;  // the token filled the buffer exactly: the delimiter still ends it
    }
    *cursor = c;
    return 0;
}

std::int32_t StringUtilImp::Find(const char* needle, const char* haystack, std::uint32_t end,
                                 std::uint32_t start) {
    if (needle == nullptr || haystack == nullptr) return -1;
    std::size_t needleLength = std::strlen(needle);
    if (needleLength == 0) return -1;
    std::size_t haystackLength = std::strlen(haystack);
    // A match counts only when one more character follows it; the bound also keeps the scan
    // inside the haystack when end lies beyond its NUL.
    for (std::size_t q = start; q < end && q + needleLength < haystackLength; ++q) {
        if (std::memcmp(haystack + q, needle, needleLength) == 0) {
            return static_cast<std::int32_t>(q + needleLength + 1);
        }
    }
    return -1;
}

std::int32_t StringUtilImp::ParseColor(const char* text, std::uint32_t* colour) {
    if (text == nullptr || colour == nullptr) return 1;
    // Exactly '#' and six hexadecimal digits: a formatted-input scan would also take signs,
    // blanks and short groups ("#-1-1-1", "# 1 2 3") as colours.
    if (text[0] != '#') return 1;
    std::uint32_t value = 0;
    for (int i = 1; i <= 6; ++i) {
        int digit = HexDigit(text[i]);
        if (digit < 0) return 1;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    if (text[7] != '\0') return 1;
    *colour = 0xFF000000u | value;
    return 0;
}

std::int32_t StringUtilImp::FormatColor(std::uint32_t colour, char* out, std::int32_t size) {
    if (out == nullptr || size < 9) return 1;
    static const char kHex[] = "0123456789ABCDEF";
    out[0] = '#';
    for (int i = 0; i < 6; ++i) out[1 + i] = kHex[(colour >> (20 - 4 * i)) & 0xF];
    out[7] = '\0';
    return 0;
}

std::int32_t StringUtilImp::ParseFloat(const char* text, float* value) {
    if (text == nullptr || value == nullptr) return 1;
    const char* c = text;
    bool negative = false;
    for (; *c == '+' || *c == '-'; ++c) {
        if (*c == '-') negative = true;
    }
    long long exponent = -1;  // decimal exponent of the next digit's weight
    for (const char* d = c; IsDigit(*d); ++d) ++exponent;

    double weight = 0.1;
    if (exponent >= 0 && exponent <= kMaxDoubleExponent) {
        weight = 1.0;
        for (long long i = 0; i < exponent; ++i) weight *= 10.0;
    }
    double sum = 0.0;
    bool beyondRange = false;
    std::int32_t result = 0;
    for (;; ++c) {
        char ch = *c;
        if (IsDigit(ch)) {
            int digit = ch - '0';
            if (exponent > kMaxDoubleExponent) {
                if (digit != 0) beyondRange = true;
                if (--exponent == kMaxDoubleExponent) weight = 1e308;
            } else {
                sum += digit * weight;
                weight /= 10.0;
                --exponent;
            }
        } else if (ch == '.' || ch == ',') {
            continue;
        } else {
            if (ch == '+' || ch == '-') result = 1;
            break;
        }
    }
    // Converting a double outside the float range is undefined, so clamp first.
    if (beyondRange || sum > FLT_MAX) sum = FLT_MAX;
    *value = static_cast<float>(negative ? -sum : sum);
    return result;
}

std::int32_t StringUtilImp::FormatFloat(float value, char* out, std::int32_t size) {
    if (out == nullptr || size <= 0) return 0;
    const float epsilon = FLT_EPSILON;  // also the rounding bias 2^-23
    float v = value;
    if (std::isnan(v)) v = 0.0f;
    if (v > FLT_MAX) v = FLT_MAX;
    if (v < -FLT_MAX) v = -FLT_MAX;

    std::int32_t written = 0;
    if (v < 0.0f) {
        out[written++] = '-';
        v = -v;
    }
    // The decimal exponent of the current digit is counted apart from the float power: from
    // about 1e11 up, dividing the power by 10 in float drifts away from the exact powers, and a
    // test of "power is 1" would then miss the point altogether (1e20 would read as 1e26).
    float power = 1.0f;
    int exponent = 0;
    for (float next = 10.0f; next <= v; next *= 10.0f) {
        power = next;
        ++exponent;
    }

    // Floats from 2^23 up have no fraction; what is left of v there is rounding residue.
    const bool integral = v >= 8388608.0f;
    bool pointWritten = false;
    // The last digit written is the one for 10^-6.
    while (written < size && exponent >= -6) {
        float quotient = std::trunc((v + epsilon) / power);
        // Float rounding can push the quotient to 10 (v just below the next power, plus the
        // bias) or below 0 (a subtraction that overshot); a digit is always one of 0 to 9.
        if (!(quotient >= 0.0f)) quotient = 0.0f;
        if (quotient > 9.0f) quotient = 9.0f;
        if (integral && exponent < 0) quotient = 0.0f;
        int digit = static_cast<int>(quotient);
        out[written++] = static_cast<char>('0' + digit);
        v = v - static_cast<float>(digit) * power;
        if (exponent == 0 && written < size) {
            out[written++] = '.';
            pointWritten = true;
        }
        power = power / 10.0f;
        --exponent;
    }
    if (written == size) {
        --written;
        if (pointWritten && out[written] == '.') pointWritten = false;
    }
    // Only zeros behind the point are dropped: without it they are part of the integer.
    if (pointWritten) {
        while (written > 0 && out[written - 1] == '0') --written;
    }
    out[written] = '\0';
    return 0;
}

std::int32_t StringUtilImp::ParseInt(const char* text, std::int32_t* value) {
    if (text == nullptr || value == nullptr) return 1;
    const char* c = text;
    bool negative = false;
    for (; *c != '\0' && !IsDigit(*c); ++c) {
        if (*c == '-') negative = true;
    }
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t magnitude = 0;
    for (; IsDigit(*c); ++c) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*c - '0');
        if (magnitude > limit) magnitude = limit;
    }
    *value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                      : static_cast<std::int32_t>(magnitude);
    return 0;
}

std::int32_t StringUtilImp::FormatInt(std::int32_t value, char* out, std::int32_t size) {
    if (out == nullptr || size <= 0) return 0;
    // The magnitude in unsigned arithmetic, so -2147483648 needs no negation of an int.
    std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);

    std::int32_t written = 0;
    if (value < 0 && size > 1) out[written++] = '-';
    for (int i = count - 1; i >= 0 && written < size - 1; --i) out[written++] = digits[i];
    out[written] = '\0';
    return 0;
}

}  // namespace QRV2
