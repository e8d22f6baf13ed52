// StringUtil: case rules, comparisons, wildcards, cursors, replacing, tokens and conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "framework/containers/StringUtil.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/AllocationWalk.h"

using namespace QRV2;

namespace {

class StringUtilTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(u, nullptr); }
    void TearDown() override { ReleaseElement(u); }

    std::string Float(float v, std::int32_t size = 64) {
        char buf[64];
        std::memset(buf, 'X', sizeof buf);
        EXPECT_EQ(u->FormatFloat(v, buf, size), 0);
        return std::string(buf, strnlen(buf, static_cast<std::size_t>(size)));
    }
    std::string Int(std::int32_t v, std::int32_t size = 32) {
        char buf[32];
        std::memset(buf, 'X', sizeof buf);
        EXPECT_EQ(u->FormatInt(v, buf, size), 0);
        EXPECT_NE(std::memchr(buf, 0, static_cast<std::size_t>(size)), nullptr);
        return buf;
    }
    float ParsedFloat(const std::string& text, std::int32_t expectedResult = 0) {
        float v = -777.0f;
        EXPECT_EQ(u->ParseFloat(text.c_str(), &v), expectedResult) << text;
        return v;
    }
    std::int32_t ParsedInt(const char* text) {
        std::int32_t v = -777;
        EXPECT_EQ(u->ParseInt(text, &v), 0) << text;
        return v;
    }

    StringUtil* u = CreateElementAs<StringUtil>(TypeStringUtil);
};

TEST(StringUtilSingleton, DisposeClearsOnlyItsOwnEntry) {
    Core* core = GetCore();
    StringUtil* registered = CreateElementAs<StringUtil>(TypeStringUtil);
    StringUtil* other = CreateElementAs<StringUtil>(TypeStringUtil);
    ASSERT_NE(registered, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(registered->SetParam(3), 1);
    EXPECT_EQ(registered->GetInterface(InterfaceIO), nullptr);
    core->SetSingleton(TypeStringUtil, registered);
    ReleaseElement(other);
    EXPECT_EQ(core->GetSingleton(TypeStringUtil), registered);
    ReleaseElement(registered);
    EXPECT_EQ(core->GetSingleton(TypeStringUtil), nullptr);
}

TEST_F(StringUtilTest, CaseAndComparisons) {
    EXPECT_EQ(u->ToUpper('q'), 'Q');
    EXPECT_EQ(u->ToUpper('['), '[');
    EXPECT_EQ(u->ToUpper(0xE9), 0xE9);
    EXPECT_EQ(u->ToLower('Q'), 'q');
    EXPECT_EQ(u->ToLower('@'), '@');
    EXPECT_EQ(u->Length(nullptr), 0);
    EXPECT_EQ(u->Length("abc"), 3);
    EXPECT_EQ(u->Equals("abc", "abc"), 0);
    EXPECT_EQ(u->Equals("abc", "ABC"), -1);
    EXPECT_EQ(u->Equals(nullptr, nullptr), -1);
    EXPECT_EQ(u->CompareNoCase("Archive", "ARCHIVE"), 0);
    EXPECT_LT(u->CompareNoCase("ab", "abc"), 0);
    EXPECT_GT(u->CompareNoCase("abc", "ab"), 0);
    EXPECT_EQ(u->CompareNoCase("b", "a"), 1);
    EXPECT_EQ(u->CompareNoCase(nullptr, "a"), -1);
    // Bytes above 0x7F count as negative values and never fold.
    EXPECT_LT(u->CompareNoCase("\xE9", "a"), 0);
    EXPECT_NE(u->CompareNoCase("\xE9", "\xC9"), 0);
}

TEST_F(StringUtilTest, MatchWildcard) {
    EXPECT_EQ(u->MatchWildcard("readme.txt", "*.TXT"), 0);
    EXPECT_EQ(u->MatchWildcard("readme.txt", "*"), 0);
    EXPECT_EQ(u->MatchWildcard("readme.txt", "read*"), 0);
    EXPECT_EQ(u->MatchWildcard("readme.txt", "README.TXT"), 0);
    EXPECT_EQ(u->MatchWildcard("readme.txt", "*.doc"), -1);
    EXPECT_EQ(u->MatchWildcard("readme.txt", "readme"), -1);
    EXPECT_EQ(u->MatchWildcard("readme", "readme.txt"), -1);
    EXPECT_EQ(u->MatchWildcard("", ""), 0);
    EXPECT_EQ(u->MatchWildcard("", "*"), 0);
    EXPECT_EQ(u->MatchWildcard("a", ""), -1);
    EXPECT_EQ(u->MatchWildcard("aab", "*ab"), -1);  // the simple restart rule
    EXPECT_EQ(u->MatchWildcard("a.b.c", "a*c"), 0);
    EXPECT_EQ(u->MatchWildcard(nullptr, "*"), -1);
    EXPECT_EQ(u->MatchWildcard("x", nullptr), -1);
}

TEST_F(StringUtilTest, EqualsLoosely) {
    EXPECT_EQ(u->EqualsLoosely("Program Files", "\"programfiles\""), 0);
    EXPECT_EQ(u->EqualsLoosely("", ""), 1);
    EXPECT_EQ(u->EqualsLoosely("abc\r", "ABC"), 0);
    EXPECT_EQ(u->EqualsLoosely("abc\rzzz", "ABC"), 0);
    EXPECT_EQ(u->EqualsLoosely("\rabc", "abc"), 1);
    EXPECT_EQ(u->EqualsLoosely("abc", "abcd"), 1);
    EXPECT_EQ(u->EqualsLoosely("abd", "abc"), 1);
    EXPECT_EQ(u->EqualsLoosely(nullptr, "a"), 1);
}

TEST_F(StringUtilTest, SkipPrefixAndSkipPattern) {
    const char* path = "ActiveX\\lib.dll";
    const char* c = path;
    EXPECT_EQ(u->SkipPrefix(&c, "XPCOM\\"), 1);
    EXPECT_EQ(c, path);
    EXPECT_EQ(u->SkipPrefix(&c, "activex\\"), 0);
    EXPECT_STREQ(c, "lib.dll");
    EXPECT_EQ(u->SkipPrefix(&c, ""), 0);
    EXPECT_STREQ(c, "lib.dll");
    EXPECT_EQ(u->SkipPrefix(&c, "lib.dll.bak"), 1);  // text ends first
    EXPECT_STREQ(c, "lib.dll");
    EXPECT_EQ(u->SkipPrefix(nullptr, "a"), 1);

    const char* text = "abc";
    c = text;
    EXPECT_EQ(u->SkipPattern(&c, "ab*"), 0);
    EXPECT_EQ(c, text + 2);
    c = text;
    EXPECT_EQ(u->SkipPattern(&c, "*c"), 0);
    EXPECT_EQ(c, text + 3);
    c = text;
    EXPECT_EQ(u->SkipPattern(&c, "ABC"), 0);
    EXPECT_EQ(c, text + 3);
    c = text;
    EXPECT_EQ(u->SkipPattern(&c, "abd"), 1);
    EXPECT_EQ(u->SkipPattern(&c, "ab"), 1);
    EXPECT_EQ(u->SkipPattern(&c, "abcd"), 1);
    EXPECT_EQ(c, text);
    EXPECT_EQ(u->SkipPattern(&c, nullptr), 1);
}

TEST_F(StringUtilTest, ReplaceAll) {
    char* text = DuplicateText("a-b-c");
    EXPECT_EQ(u->ReplaceAll(&text, "-", "+-+"), 0);
    EXPECT_STREQ(text, "a+-+b+-+c");
    Free(text);

    text = DuplicateText("ab xa");
    EXPECT_EQ(u->ReplaceAll(&text, "ab", "Q"), 0);
    EXPECT_STREQ(text, "Q xa");
    char* same = text;
    EXPECT_EQ(u->ReplaceAll(&text, "zz", "Q"), 0);
    EXPECT_EQ(text, same);
    EXPECT_EQ(u->ReplaceAll(&text, "", "Q"), 0);
    EXPECT_EQ(u->ReplaceAll(&text, nullptr, "Q"), 0);
    EXPECT_EQ(text, same);
    EXPECT_EQ(u->ReplaceAll(&text, "Q", nullptr), 0);  // null replacement removes
    EXPECT_STREQ(text, " xa");
    Free(text);

    // A broken partial match is written back and its breaking character is not retried.
    text = DuplicateText("aab");
    EXPECT_EQ(u->ReplaceAll(&text, "ab", "X"), 0);
    EXPECT_STREQ(text, "aab");
    Free(text);
    text = DuplicateText("abcab");
    EXPECT_EQ(u->ReplaceAll(&text, "abc", "Z"), 0);
    EXPECT_STREQ(text, "Zab");
    Free(text);

    char* none = nullptr;
    EXPECT_EQ(u->ReplaceAll(&none, "a", "b"), 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(u->ReplaceAll(nullptr, "a", "b"), 1);
}

TEST_F(StringUtilTest, ReplaceAllStorageFailureKeepsTheText) {
    std::int64_t start = AllocatorHook::LiveBlocks();
    int failures = QRV2Test::WalkAllocationFailures([&](int) {
        char* text = DuplicateText("x.y.z");
        if (text == nullptr) return;
        std::int32_t r = u->ReplaceAll(&text, ".", "::");
        if (r == 2) {
            EXPECT_STREQ(text, "x.y.z");
        } else {
            EXPECT_EQ(r, 0);
            EXPECT_STREQ(text, "x::y::z");
        }
        Free(text);
    });
    EXPECT_EQ(failures, 2);  // the copy of the text, then the one block ReplaceAll needs
    EXPECT_EQ(AllocatorHook::LiveBlocks(), start);
}

TEST_F(StringUtilTest, NextToken) {
    const char* text = "one;two";
    const char* c = text;
    char buf[10];
    u->NextToken(&c, ';', buf, 10);
    EXPECT_STREQ(buf, "one");
    EXPECT_STREQ(c, "two");
    u->NextToken(&c, ';', buf, 10);
    EXPECT_STREQ(buf, "two");
    EXPECT_EQ(*c, '\0');
    u->NextToken(&c, ';', buf, 10);
    EXPECT_STREQ(buf, "");

    // A token that does not fit is cut, terminated inside the buffer and reported; the rest
    // stays at the cursor. One that fills it exactly still consumes its delimiter.
    c = text;
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(u->NextToken(&c, ';', buf, 3), 1);
    EXPECT_EQ(std::string(buf, 4), std::string("on\0X", 4));
    EXPECT_STREQ(c, "e;two");
    c = text;
    EXPECT_EQ(u->NextToken(&c, ';', buf, 4), 0);
    EXPECT_STREQ(buf, "one");
    EXPECT_STREQ(c, "two");

    const char* high = "a\xB5z";
    c = high;
    u->NextToken(&c, static_cast<char>(0xB5), buf, 10);  // never a delimiter
    EXPECT_STREQ(buf, "a\xB5z");

    c = text;
    u->NextToken(&c, ';', nullptr, 10);
    u->NextToken(&c, ';', buf, 0);
    EXPECT_EQ(c, text);
}

TEST_F(StringUtilTest, Find) {
    EXPECT_EQ(u->Find("ab", "xaby", 4, 0), 4);
    EXPECT_EQ(u->Find("ab", "xaby", 4, 2), -1);
    EXPECT_EQ(u->Find("ab", "xaby", 1, 0), -1);
    EXPECT_EQ(u->Find("ab", "xaby", 2, 1), 4);
    EXPECT_EQ(u->Find("ab", "xab", 3, 0), -1);  // no character follows the match
    EXPECT_EQ(u->Find("", "xaby", 4, 0), -1);
    EXPECT_EQ(u->Find("ab", "xaby", 3, 3), -1);
    // An end far beyond the haystack's NUL stops at the NUL.
    EXPECT_EQ(u->Find("zz", "ab", 1000000, 0), -1);
    EXPECT_EQ(u->Find("b", "ab", 1000000, 5), -1);
}

TEST_F(StringUtilTest, Colours) {
    std::uint32_t colour = 0x12345678;
    EXPECT_EQ(u->ParseColor("#FF8000", &colour), 0);
    const std::uint8_t expected[4] = {0x00, 0x80, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(&colour, expected, 4), 0);
    EXPECT_EQ(colour, 0xFFFF8000u);
    EXPECT_EQ(u->ParseColor("#0a0B0c", &colour), 0);
    EXPECT_EQ(colour, 0xFF0A0B0Cu);
    colour = 7;
    EXPECT_EQ(u->ParseColor("FF8000", &colour), 1);
    EXPECT_EQ(u->ParseColor("#FF80", &colour), 1);
    for (const char* bad : {"#-1-1-1", "# 1 2 3", "#+1+2+3", "#FF8000A", "#FF800", "#0x1234"}) {
        EXPECT_EQ(u->ParseColor(bad, &colour), 1) << bad;
    }
    EXPECT_EQ(colour, 7u);

    char buf[9];
    EXPECT_EQ(u->FormatColor(0xFFFF8000u, buf, 9), 0);
    EXPECT_STREQ(buf, "#FF8000");
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(u->FormatColor(0xFFFF8000u, buf, 8), 1);
    EXPECT_EQ(buf[0], 'X');
    EXPECT_EQ(u->FormatColor(0xFFFF8000u, nullptr, 9), 1);
}

TEST_F(StringUtilTest, ParseFloat) {
    EXPECT_FLOAT_EQ(ParsedFloat("-12.5"), -12.5f);
    EXPECT_FLOAT_EQ(ParsedFloat("--3"), -3.0f);
    EXPECT_FLOAT_EQ(ParsedFloat("+-+7"), -7.0f);
    EXPECT_FLOAT_EQ(ParsedFloat("3-4", 1), 3.0f);
    EXPECT_FLOAT_EQ(ParsedFloat("1,5"), 1.5f);
    EXPECT_FLOAT_EQ(ParsedFloat("1.2.3"), 1.23f);
    EXPECT_FLOAT_EQ(ParsedFloat("1,000.5"), 1.0005f);
    EXPECT_FLOAT_EQ(ParsedFloat(".25"), 0.25f);
    EXPECT_FLOAT_EQ(ParsedFloat("42 apples"), 42.0f);
    EXPECT_EQ(ParsedFloat("x12"), 0.0f);
    EXPECT_EQ(ParsedFloat(""), 0.0f);
}

TEST_F(StringUtilTest, ParseFloatBeyondTheFloatRangeClamps) {
    EXPECT_EQ(ParsedFloat("1" + std::string(40, '0')), FLT_MAX);
    EXPECT_EQ(ParsedFloat("-" + std::string(500, '9')), -FLT_MAX);
    // Leading zeros do not count towards the size, however many there are.
    EXPECT_FLOAT_EQ(ParsedFloat(std::string(400, '0') + "12.5"), 12.5f);
    EXPECT_EQ(ParsedFloat(std::string(400, '0') + "1" + std::string(330, '0')), FLT_MAX);
    // Tiny values round towards zero instead of misbehaving.
    EXPECT_EQ(ParsedFloat("0." + std::string(400, '0') + "1"), 0.0f);
}

TEST_F(StringUtilTest, FormatFloat) {
    EXPECT_EQ(Float(1.5f), "1.5");
    EXPECT_EQ(Float(-0.25f), "-0.25");
    EXPECT_EQ(Float(100.0f), "100.");
    EXPECT_EQ(Float(0.0f), "0.");
    EXPECT_EQ(Float(2.5f), "2.5");
    EXPECT_EQ(Float(123.456f, 4), "123");
    EXPECT_EQ(Float(0.000001f), "0.000001");
    EXPECT_EQ(Float(std::nextafter(10.0f, 0.0f)), "9.999999");
    EXPECT_EQ(Float(-7.0f, 1), "");
}

TEST_F(StringUtilTest, FormatFloatCutTextKeepsIntegerZerosAndHandlesSpecialValues) {
    EXPECT_EQ(Float(100.0f, 4), "100");
    EXPECT_EQ(Float(1000.0f, 4), "100");  // cut, not stripped to "1"
    // Float division of the power drifts for large values; the point still follows the units
    // (1e20 once came out with 27 digits and no point).
    EXPECT_EQ(Float(1e20f), "100000000000000000000.");
    EXPECT_EQ(Float(std::numeric_limits<float>::quiet_NaN()), "0.");
    std::string inf = Float(std::numeric_limits<float>::infinity());
    EXPECT_EQ(inf, Float(FLT_MAX));
    EXPECT_EQ(inf.substr(0, 4), "3402");
    EXPECT_EQ(inf.size(), 40u);  // 39 digits and the point: no fraction on a float this large
    EXPECT_EQ(inf.back(), '.');
    EXPECT_EQ(Float(-std::numeric_limits<float>::infinity()), "-" + inf);
    float back = 0;
    EXPECT_EQ(u->ParseFloat(inf.c_str(), &back), 0);
    EXPECT_NEAR(back, FLT_MAX, FLT_MAX * 1e-6f);
}

TEST_F(StringUtilTest, FormatFloatRoundTripsThroughParseFloat) {
    // A deterministic spread of magnitudes and signs: the text holds only digits, one point
    // and at most a leading '-', and reads back within float precision.
    std::uint32_t seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        float mantissa = static_cast<float>(seed >> 8) / 16777216.0f;
        float v = std::ldexp(mantissa, static_cast<int>(seed % 150) - 22);
        if (seed & 1) v = -v;
        std::string text = Float(v);
        ASSERT_EQ(text.find_first_not_of("-0123456789."), std::string::npos) << text;
        ASSERT_EQ(std::count(text.begin(), text.end(), '.'), 1) << text;
        float back = 0;
        ASSERT_EQ(u->ParseFloat(text.c_str(), &back), 0) << text;
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-6f + 1.5e-6f) << text;
    }
}

TEST_F(StringUtilTest, ParseInt) {
    EXPECT_EQ(ParsedInt("abc-42x"), -42);
    EXPECT_EQ(ParsedInt("7"), 7);
    EXPECT_EQ(ParsedInt(""), 0);
    EXPECT_EQ(ParsedInt("12-34"), 12);
    EXPECT_EQ(ParsedInt("999999999"), 999999999);
    EXPECT_EQ(ParsedInt("2147483647"), 2147483647);
    EXPECT_EQ(ParsedInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParsedInt("2147483648"), 2147483647);
    EXPECT_EQ(ParsedInt("-99999999999999999999999"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(u->ParseInt(nullptr, nullptr), 1);
}

TEST_F(StringUtilTest, FormatInt) {
    EXPECT_EQ(Int(-305), "-305");
    EXPECT_EQ(Int(0), "0");
    EXPECT_EQ(Int(12345, 4), "123");
    EXPECT_EQ(Int(-12345, 4), "-12");
    EXPECT_EQ(Int(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(Int(2147483647), "2147483647");
    EXPECT_EQ(Int(-5, 1), "");
    for (std::int32_t v : {1, -1, 9, 10, -99, 65536, 1000000000}) {
        std::int32_t back = 0;
        u->ParseInt(Int(v).c_str(), &back);
        EXPECT_EQ(back, v);
    }
}

TEST(StringUtilStorage, CreationFailureLeaksNothing) {
    std::int64_t start = AllocatorHook::LiveBlocks();
    EXPECT_GE(QRV2Test::WalkAllocationFailures([](int) {
                  StringUtil* u = CreateElementAs<StringUtil>(TypeStringUtil);
                  if (u != nullptr) ReleaseElement(u);
              }),
              1);
    EXPECT_EQ(AllocatorHook::LiveBlocks(), start);
}

}  // namespace
