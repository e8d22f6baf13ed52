// Buffer: resize/set/append rules, comparison, stream form, corrupt input and storage failures.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/containers/Buffer.h"
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

struct OwnedBuffer {
    Buffer* b = CreateElementAs<Buffer>(TypeBuffer);
    ~OwnedBuffer() { ReleaseElement(b); }
    Buffer* operator->() const { return b; }
    Bytes Content() const { return Bytes(b->GetData(), b->GetData() + b->GetSize()); }
    IO* Io() const { return InterfaceOf<IO>(b, InterfaceIO); }
};

TEST(BufferElement, TypeInterfacesAndCrunchDefaults) {
    OwnedBuffer b;
    ASSERT_NE(b.b, nullptr);
    EXPECT_EQ(b->GetTypeId(), TypeBuffer);
    EXPECT_EQ(b->SetParam(5), 1);
    EXPECT_EQ(b->GetParam(), 0);
    EXPECT_EQ(b->GetData(), nullptr);
    EXPECT_EQ(b->GetSize(), 0u);
    Crunch* crunch = InterfaceOf<Crunch>(b.b, InterfaceCrunch);
    ASSERT_NE(crunch, nullptr);
    ASSERT_NE(b.Io(), nullptr);
    EXPECT_EQ(b->GetInterface(InterfaceIterator), nullptr);
    EXPECT_EQ(crunch->GetCrunchId(), -1);
    crunch->SetCrunchId(3);
    EXPECT_EQ(crunch->GetCrunchId(), 3);
    EXPECT_EQ(crunch->QueryCrunch(nullptr, 2), 0);
    EXPECT_EQ(crunch->QueryCrunch(nullptr, 7), 8);
    EXPECT_EQ(crunch->ApplyCrunch(nullptr, 0), 0);
}

TEST(BufferContent, ResizeKeepsPrefixAndZeroFillsGrowth) {
    OwnedBuffer b;
    const std::uint8_t abc[] = {1, 2, 3};
    ASSERT_EQ(b->SetData(abc, 3), 0);
    std::uint8_t* same = b->GetData();
    EXPECT_EQ(b->Resize(3), 0);
    EXPECT_EQ(b->GetData(), same);
    EXPECT_EQ(b->Resize(6), 0);
    EXPECT_EQ(b.Content(), (Bytes{1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(b->Resize(2), 0);
    EXPECT_EQ(b.Content(), (Bytes{1, 2}));
    EXPECT_EQ(b->Resize(0), 0);
    EXPECT_EQ(b->GetData(), nullptr);
    EXPECT_EQ(b->GetSize(), 0u);
}

TEST(BufferContent, NullSourcesAndEmptyCounts) {
    OwnedBuffer b;
    const std::uint8_t xy[] = {9, 8};
    b->SetData(xy, 2);
    EXPECT_EQ(b->SetData(nullptr, 5), 1);
    EXPECT_EQ(b->AppendData(nullptr, 3), 1);
    EXPECT_EQ(b->AppendData(nullptr, 0), 0);
    EXPECT_EQ(b->AppendData(xy, 0), 0);
    EXPECT_EQ(b.Content(), (Bytes{9, 8}));
    EXPECT_EQ(b->AppendData(xy, 1), 0);
    EXPECT_EQ(b.Content(), (Bytes{9, 8, 9}));
    EXPECT_EQ(b->SetData(xy, 0), 0);
    EXPECT_EQ(b->GetData(), nullptr);
    b->SetData(xy, 2);
    EXPECT_EQ(b->SetData(nullptr, 0), 0);
    EXPECT_EQ(b->GetData(), nullptr);
    EXPECT_EQ(b->GetSize(), 0u);
}

TEST(BufferContent, SourcesInsideTheOwnContentWork) {
    OwnedBuffer b;
    const std::uint8_t data[] = {1, 2, 3, 4};
    b->SetData(data, 4);
    EXPECT_EQ(b->AppendData(b->GetData(), 4), 0);
    EXPECT_EQ(b.Content(), (Bytes{1, 2, 3, 4, 1, 2, 3, 4}));
    EXPECT_EQ(b->SetData(b->GetData() + 5, 3), 0);
    EXPECT_EQ(b.Content(), (Bytes{2, 3, 4}));
    EXPECT_EQ(b->SetData(b->GetData() + 1, 3 - 1), 0);
    EXPECT_EQ(b.Content(), (Bytes{3, 4}));
}

TEST(BufferContent, AppendPastTheSizeRangeIsRefused) {
    OwnedBuffer b;
    const std::uint8_t one[] = {7};
    b->SetData(one, 1);
    EXPECT_EQ(b->AppendData(one, UINT32_MAX), 2);
    EXPECT_EQ(b.Content(), (Bytes{7}));
}

TEST(BufferCrunch, CompareContent) {
    OwnedBuffer a, b;
    Crunch* crunch = InterfaceOf<Crunch>(a.b, InterfaceCrunch);
    EXPECT_EQ(crunch->CompareContent(b.b), 1);  // two empty buffers differ
    const std::uint8_t x[] = {1, 2, 3}, y[] = {1, 2, 4};
    a->SetData(x, 3);
    b->SetData(x, 3);
    EXPECT_EQ(crunch->CompareContent(b.b), 0);
    b->SetData(y, 3);
    EXPECT_EQ(crunch->CompareContent(b.b), 1);
    b->SetData(x, 2);
    EXPECT_EQ(crunch->CompareContent(b.b), 1);
    EXPECT_EQ(crunch->CompareContent(nullptr), 1);
    String* s = CreateElementAs<String>(TypeString);
    if (s != nullptr) {
        EXPECT_EQ(crunch->CompareContent(s), 1);
        ReleaseElement(s);
    }
}

TEST(BufferIO, StoredFormsRoundTrip) {
    OwnedBuffer b, back;
    VectorStream empty;
    EXPECT_EQ(b.Io()->WriteTo(&empty, 0), 0);
    EXPECT_EQ(empty.bytes, (Bytes{0, 0, 0, 0}));

    const std::uint8_t data[] = {0xAA, 0x00, 0x55};
    back->SetData(data, 2);
    VectorStream fromEmpty(empty.bytes);
    EXPECT_EQ(back.Io()->ReadFrom(&fromEmpty, 0), 0);
    EXPECT_EQ(back->GetData(), nullptr);

    b->SetData(data, 3);
    VectorStream out;
    EXPECT_EQ(b.Io()->WriteTo(&out, 0), 0);
    EXPECT_EQ(out.bytes, (Bytes{3, 0, 0, 0, 0xAA, 0x00, 0x55}));
    VectorStream in(out.bytes);
    EXPECT_EQ(back.Io()->ReadFrom(&in, 0), 0);
    EXPECT_EQ(back.Content(), (Bytes{0xAA, 0x00, 0x55}));

    VectorStream full;
    full.writeLimit = 5;
    EXPECT_NE(b.Io()->WriteTo(&full, 0), 0);
}

TEST(BufferIO, LargeContentRoundTripsAcrossReadSteps) {
    OwnedBuffer b, back;
    Bytes big(3u * 1024u * 1024u + 17u);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + 1);
    ASSERT_EQ(b->SetData(big.data(), static_cast<std::uint32_t>(big.size())), 0);
    VectorStream s;
    ASSERT_EQ(b.Io()->WriteTo(&s, 0), 0);
    s.position = 0;
    ASSERT_EQ(back.Io()->ReadFrom(&s, 0), 0);
    EXPECT_TRUE(back.Content() == big);
}

TEST(BufferIO, DeclaredSizeBeyondTheStreamFailsAndKeepsContent) {
    OwnedBuffer b;
    const std::uint8_t keep[] = {5, 6};
    b->SetData(keep, 2);
    for (Bytes stored : {Bytes{0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}, Bytes{0x00, 0x00, 0x40, 0x00, 1},
                         Bytes{10, 0, 0, 0, 1, 2}}) {
        VectorStream in(stored);
        EXPECT_EQ(b.Io()->ReadFrom(&in, 0), 1);
        EXPECT_NE(in.HasError(), 0);
        EXPECT_EQ(b.Content(), (Bytes{5, 6}));
    }
}

TEST(BufferStorage, FailuresLeaveContentAndLeakNothing) {
    std::int64_t start = AllocatorHook::LiveBlocks();
    EXPECT_GE(QRV2Test::WalkAllocationFailures([](int) {
                  Buffer* b = CreateElementAs<Buffer>(TypeBuffer);
                  if (b != nullptr) ReleaseElement(b);
              }),
              1);
    EXPECT_EQ(AllocatorHook::LiveBlocks(), start);

    const std::uint8_t data[] = {1, 2, 3, 4};
    int failures = QRV2Test::WalkAllocationFailures([&](int) {
        OwnedBuffer b;
        if (b.b == nullptr) return;
        if (b->SetData(data, 2) != 0) {
            EXPECT_EQ(b->GetSize(), 0u);
            return;
        }
        std::int32_t r = b->SetData(data, 3);
        EXPECT_TRUE(r == 0 || (r == 2 && b.Content() == (Bytes{1, 2}))) << r;
        if (r != 0) return;
        r = b->AppendData(data, 1);
        EXPECT_TRUE(r == 0 || (r == 2 && b.Content() == (Bytes{1, 2, 3}))) << r;
        if (r != 0) return;
        r = b->Resize(6);
        EXPECT_TRUE(r == 0 || (r == 2 && b.Content() == (Bytes{1, 2, 3, 1}))) << r;
        if (r != 0) return;
        EXPECT_EQ(b.Content(), (Bytes{1, 2, 3, 1, 0, 0}));
        VectorStream in(Bytes{2, 0, 0, 0, 8, 9});
        r = b.Io()->ReadFrom(&in, 0);
        EXPECT_TRUE(r == 0 || (r == 1 && b->GetSize() == 6u)) << r;
        if (r == 0) {
            EXPECT_EQ(b.Content(), (Bytes{8, 9}));
        }
    });
    EXPECT_EQ(failures, 6);  // element, SetData twice, AppendData, Resize, ReadFrom
    EXPECT_EQ(AllocatorHook::LiveBlocks(), start);
}

}  // namespace
