// String: text states, set/append/shorten, comparison, stream form and storage failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/containers/Crunch.h"
#include "framework/containers/IO.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/VectorStream.h"

using namespace QRV2;
using QRV2Test::VectorStream;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A String that releases itself at the end of the test.
struct OwnedString {
    String* s = CreateElementAs<String>(TypeString);
    ~OwnedString() { ReleaseElement(s); }
    String* operator->() const { return s; }
};

Bytes Written(String* s, std::int32_t* result = nullptr) {
    VectorStream out;
    std::int32_t r = InterfaceOf<IO>(s, InterfaceIO)->WriteTo(&out, 0);
    if (result != nullptr) *result = r;
    return out.bytes;
}

TEST(StringElement, TypeInterfacesAndParameter) {
    OwnedString s;
    ASSERT_NE(s.s, nullptr);
    EXPECT_EQ(s->GetTypeId(), TypeString);
    EXPECT_EQ(s->SetParam(5), 1);
    EXPECT_EQ(s->GetParam(), 0);
    Crunch* crunch = InterfaceOf<Crunch>(s.s, InterfaceCrunch);
    ASSERT_NE(crunch, nullptr);
    ASSERT_NE(InterfaceOf<IO>(s.s, InterfaceIO), nullptr);
    EXPECT_NE(static_cast<void*>(crunch), s->GetInterface(InterfaceIO));
    EXPECT_EQ(s->GetInterface(InterfaceStream), nullptr);
    EXPECT_EQ(crunch->GetCrunchId(), -1);
    crunch->SetCrunchId(42);
    EXPECT_EQ(crunch->GetCrunchId(), 42);
    EXPECT_EQ(crunch->QueryCrunch(nullptr, 2), 0);
    EXPECT_EQ(crunch->QueryCrunch(nullptr, 7), 8);
    EXPECT_EQ(crunch->ApplyCrunch(nullptr, 2), 0);
}

TEST(StringText, NoTextAndEmptyTextAreDistinct) {
    OwnedString s;
    EXPECT_EQ(s->GetString(), nullptr);
    EXPECT_EQ(s->GetLength(), 0);
    EXPECT_EQ(s->Shorten(0), 1);
    EXPECT_EQ(Written(s.s), (Bytes{0, 0}));

    EXPECT_EQ(s->SetString(nullptr), 0);
    ASSERT_NE(s->GetString(), nullptr);
    EXPECT_STREQ(s->GetString(), "");
    EXPECT_EQ(s->GetLength(), 0);
    EXPECT_EQ(Written(s.s), (Bytes{1, 0, 0}));
}

TEST(StringText, SetAppendAndShorten) {
    OwnedString s;
    EXPECT_EQ(s->AppendString("C:\\Temp\\"), 0);  // on no text: like SetString
    EXPECT_EQ(s->AppendString("pluginwin32.dat"), 0);
    EXPECT_STREQ(s->GetString(), "C:\\Temp\\pluginwin32.dat");
    EXPECT_EQ(s->AppendString(nullptr), 0);
    EXPECT_EQ(s->AppendString(""), 0);
    EXPECT_STREQ(s->GetString(), "C:\\Temp\\pluginwin32.dat");

    EXPECT_EQ(s->SetString("abcdef"), 0);
    EXPECT_EQ(s->Shorten(7), 1);
    EXPECT_EQ(s->Shorten(-1), 1);
    EXPECT_STREQ(s->GetString(), "abcdef");
    EXPECT_EQ(s->Shorten(6), 0);
    EXPECT_EQ(s->Shorten(3), 0);
    EXPECT_STREQ(s->GetString(), "abc");
    EXPECT_EQ(s->GetLength(), 3);
}

TEST(StringText, SourcesInsideTheOwnTextWork) {
    OwnedString s;
    s->SetString("abcdef");
    EXPECT_EQ(s->SetString(s->GetString() + 2), 0);
    EXPECT_STREQ(s->GetString(), "cdef");
    EXPECT_EQ(s->AppendString(s->GetString()), 0);
    EXPECT_STREQ(s->GetString(), "cdefcdef");
}

TEST(StringCrunch, CompareContentIsExactAndNeedsBothTexts) {
    OwnedString a, b, none;
    Crunch* crunch = InterfaceOf<Crunch>(a.s, InterfaceCrunch);
    a->SetString("abc");
    b->SetString("abc");
    EXPECT_EQ(crunch->CompareContent(b.s), 0);
    b->SetString("ABC");
    EXPECT_EQ(crunch->CompareContent(b.s), 1);
    b->SetString("abcd");
    EXPECT_EQ(crunch->CompareContent(b.s), 1);
    EXPECT_EQ(crunch->CompareContent(none.s), 1);
    EXPECT_EQ(InterfaceOf<Crunch>(none.s, InterfaceCrunch)->CompareContent(a.s), 1);
    EXPECT_EQ(crunch->CompareContent(nullptr), 1);
}

TEST(StringIO, RoundTripAndStoredForms) {
    OwnedString s, back;
    s->SetString("hi");
    EXPECT_EQ(Written(s.s), (Bytes{3, 0, 'h', 'i', 0}));

    VectorStream in(Bytes{3, 0, 'h', 'i', 0});
    EXPECT_EQ(InterfaceOf<IO>(back.s, InterfaceIO)->ReadFrom(&in, 0), 0);
    EXPECT_STREQ(back->GetString(), "hi");
    EXPECT_EQ(in.HasError(), 0);

    // A stored "no text" leaves the previous text; a stored empty text replaces it.
    VectorStream zero(Bytes{0, 0});
    EXPECT_EQ(InterfaceOf<IO>(back.s, InterfaceIO)->ReadFrom(&zero, 0), 0);
    EXPECT_STREQ(back->GetString(), "hi");
    VectorStream empty(Bytes{1, 0, 0});
    EXPECT_EQ(InterfaceOf<IO>(back.s, InterfaceIO)->ReadFrom(&empty, 0), 0);
    ASSERT_NE(back->GetString(), nullptr);
    EXPECT_STREQ(back->GetString(), "");
}

TEST(StringIO, ReadOfBytesWithoutNulStaysTerminatedWithinThem) {
    OwnedString s;
    VectorStream in(Bytes{3, 0, 'x', 'y', 'z', 'w'});
    EXPECT_EQ(InterfaceOf<IO>(s.s, InterfaceIO)->ReadFrom(&in, 0), 0);
    EXPECT_STREQ(s->GetString(), "xy");

    // A stream that ends early: the text holds what arrived, and the stream reports the fault.
    VectorStream shortIn(Bytes{10, 0, 'a', 'b'});
    EXPECT_EQ(InterfaceOf<IO>(s.s, InterfaceIO)->ReadFrom(&shortIn, 0), 0);
    EXPECT_STREQ(s->GetString(), "ab");
    EXPECT_NE(shortIn.HasError(), 0);
}

TEST(StringIO, TextTooLongForTheCountIsCutConsistently) {
    OwnedString s, back;
    std::string text(70000, 'q');
    text[65533] = 'E';  // last character that fits
    ASSERT_EQ(s->SetString(text.c_str()), 0);
    std::int32_t result = 0;
    Bytes out = Written(s.s, &result);
    EXPECT_EQ(result, 1);  // cut: not reported as a clean write
    ASSERT_EQ(out.size(), 2u + 65535u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out.back(), 0);

    VectorStream in(out);
    EXPECT_EQ(InterfaceOf<IO>(back.s, InterfaceIO)->ReadFrom(&in, 0), 0);
    EXPECT_EQ(back->GetLength(), 65534);
    EXPECT_EQ(back->GetString()[65533], 'E');

    // 65534 characters is the largest text that fits and is not reported as cut.
    text.resize(65534);
    s->SetString(text.c_str());
    Bytes exact = Written(s.s, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(exact.size(), 2u + 65535u);
}

TEST(StringIO, WriteToReportsTheStreamsError) {
    OwnedString s;
    s->SetString("abc");
    VectorStream full;
    full.writeLimit = 3;
    EXPECT_NE(InterfaceOf<IO>(s.s, InterfaceIO)->WriteTo(&full, 0), 0);
}

TEST(StringStorage, FailuresGiveTheDocumentedStateAndLeakNothing) {
    std::int64_t start = AllocatorHook::LiveBlocks();
    int failures = QRV2Test::WalkAllocationFailures([](int) {
        OwnedString s;
        if (s.s == nullptr) return;
        if (s->SetString("keep") != 0) {
            EXPECT_EQ(s->GetString(), nullptr);  // a failed set leaves no text
            return;
        }
        if (s->AppendString("more") != 0) {
            EXPECT_STREQ(s->GetString(), "keep");  // a failed append keeps the text
            return;
        }
        VectorStream in(Bytes{4, 0, 'n', 'e', 'w', 0});
        if (InterfaceOf<IO>(s.s, InterfaceIO)->ReadFrom(&in, 0) != 0) {
            EXPECT_EQ(s->GetString(), nullptr);
            return;
        }
        EXPECT_STREQ(s->GetString(), "new");
    });
    EXPECT_EQ(failures, 4);  // element, SetString, AppendString, ReadFrom
    EXPECT_EQ(AllocatorHook::LiveBlocks(), start);
}

}  // namespace
