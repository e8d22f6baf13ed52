// MemoryStream: block growth, the end-of-data state, gaps behind the data, and storage failures.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/io/MemoryStreamImp.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/TypedValues.h"

using namespace QRV2;

namespace {

class MemoryStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        element = CreateElementAs<MemoryStream>(TypeMemoryStream);
        ASSERT_NE(element, nullptr);
        imp = static_cast<MemoryStreamImp*>(element);
        stream = InterfaceOf<Stream>(element, InterfaceStream);
        ASSERT_NE(stream, nullptr);
    }
    void TearDown() override { ReleaseElement(element); }
    MemoryStream* element = nullptr;
    MemoryStreamImp* imp = nullptr;
    Stream* stream = nullptr;
};

}  // namespace

TEST_F(MemoryStreamTest, BlockGrowsByTheRule) {
    std::vector<char> bytes(20000, 'x');
    EXPECT_EQ(stream->Write(bytes.data(), 10), 10u);
    EXPECT_EQ(imp->GetCapacity(), 4096u);
    stream->SetPosition(0);
    EXPECT_EQ(stream->Write(bytes.data(), 20000), 20000u);  // doubling is not enough
    EXPECT_EQ(imp->GetCapacity(), 32768u);
    stream->SetPosition(32768);
    EXPECT_EQ(stream->Write(bytes.data(), 1), 1u);  // doubling is enough
    EXPECT_EQ(imp->GetCapacity(), 65536u);

    MemoryStream* big = CreateElementAs<MemoryStream>(TypeMemoryStream);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(InterfaceOf<Stream>(big, InterfaceStream)->Write(bytes.data(), 5000), 5000u);
    EXPECT_EQ(static_cast<MemoryStreamImp*>(big)->GetCapacity(), 8192u);
    ReleaseElement(big);
}

TEST_F(MemoryStreamTest, GrowthKeepsTheDataBeforeThePosition) {
    std::vector<unsigned char> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    EXPECT_EQ(stream->Write(bytes.data(), 4000), 4000u);
    EXPECT_EQ(stream->Write(bytes.data() + 4000, 1000), 1000u);
    std::uint32_t size = 0;
    stream->GetSize(&size);
    EXPECT_EQ(size, 5000u);
    std::vector<unsigned char> back(5000);
    stream->SetPosition(0);
    EXPECT_EQ(stream->Read(back.data(), 5000), 5000u);
    EXPECT_EQ(back, bytes);
}

TEST_F(MemoryStreamTest, ReadingToTheEndRefusesWritesUntilThePositionMovesBack) {
    EXPECT_EQ(stream->Write("0123456789", 10), 10u);
    stream->SetPosition(0);
    char buffer[16] = {};
    EXPECT_EQ(stream->Read(buffer, 10), 10u);
    EXPECT_EQ(imp->GetState(), MemoryStreamImp::StateReadAtEnd);
    EXPECT_EQ(stream->Write("abc", 3), 0u);
    EXPECT_EQ(stream->HasError(), 0);
    stream->SetPosition(5);
    EXPECT_EQ(imp->GetState(), MemoryStreamImp::StateNormal);
    EXPECT_EQ(stream->Write("ABCDEFGHIJ", 10), 10u);
    std::uint32_t size = 0;
    stream->GetSize(&size);
    EXPECT_EQ(size, 15u);

    stream->SetPosition(12);
    EXPECT_EQ(stream->Read(buffer, 4), 3u);
    EXPECT_EQ(std::memcmp(buffer, "HIJ", 3), 0);
    EXPECT_EQ(stream->Read(buffer, 4), 0u);
    std::uint32_t position = 0;
    stream->GetPosition(&position);
    EXPECT_EQ(position, 15u);
    EXPECT_EQ(imp->GetState(), MemoryStreamImp::StateReadAtEnd);  // not below the length
}

TEST_F(MemoryStreamTest, TypedValuesAreLittleEndianAndSetDataReplacesContent) {
    QRV2Test::WriteTypedSample(stream);
    const unsigned char expected[] = {0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xFE, 0xFF, 0xFF,
                                      0xFF, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    ASSERT_EQ(std::memcmp(imp->GetData(), expected, sizeof expected), 0);
    stream->SetPosition(0);
    QRV2Test::ExpectTypedSample(stream);

    EXPECT_EQ(element->SetData("abcdef", 6), 0);
    std::uint32_t size = 0;
    stream->GetSize(&size);
    EXPECT_EQ(size, 6u);
    stream->SetPosition(0);
    char buffer[8] = {};
    EXPECT_EQ(stream->Read(buffer, 6), 6u);
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
}

// A position set beyond the data: the gap reads as zeros and growth never copies from beyond
// the old block (the sanitizer build catches an overread).
TEST_F(MemoryStreamTest, WriteBeyondTheEndFillsTheGapWithZeros) {
    EXPECT_EQ(element->SetData("ab", 2), 0);  // a block of exactly 2 bytes
    stream->SetPosition(6000);
    EXPECT_EQ(stream->Write("Z", 1), 1u);
    std::uint32_t size = 0;
    stream->GetSize(&size);
    EXPECT_EQ(size, 6001u);
    std::vector<char> back(6001, 'q');
    stream->SetPosition(0);
    EXPECT_EQ(stream->Read(back.data(), 6001), 6001u);
    EXPECT_EQ(back[0], 'a');
    EXPECT_EQ(back[1], 'b');
    for (size_t i = 2; i < 6000; ++i) ASSERT_EQ(back[i], 0) << i;
    EXPECT_EQ(back[6000], 'Z');

    // Without growth as well: the gap inside the block holds whatever the allocator gave.
    MemoryStream* other = CreateElementAs<MemoryStream>(TypeMemoryStream);
    ASSERT_NE(other, nullptr);
    Stream* second = InterfaceOf<Stream>(other, InterfaceStream);
    second->Write("0123456789", 10);
    second->SetPosition(20);
    EXPECT_EQ(second->Write("?", 1), 1u);
    EXPECT_EQ(std::memcmp(static_cast<MemoryStreamImp*>(other)->GetData(),
                          "0123456789\0\0\0\0\0\0\0\0\0\0?", 21),
              0);
    ReleaseElement(other);
}

TEST(MemoryStreamStorage, WritesUnderEveryAllocationFailureReturnZeroAndLeakNothing) {
    std::int64_t before = AllocatorHook::LiveBlocks();
    std::vector<char> bytes(10000, 'b');
    int walked = QRV2Test::WalkAllocationFailures([&](int) {
        MemoryStream* element = CreateElementAs<MemoryStream>(TypeMemoryStream);
        if (element == nullptr) return;  // the object itself could not be had
        Stream* stream = InterfaceOf<Stream>(element, InterfaceStream);
        std::uint32_t first = stream->Write(bytes.data(), 100);
        std::uint32_t second = first == 0 ? 0 : stream->Write(bytes.data(), 10000);
        auto* imp = static_cast<MemoryStreamImp*>(element);
        if (first == 0 || second == 0) {
            EXPECT_EQ(imp->GetState(), MemoryStreamImp::StateNoMemory);
            // Once storage failed, every later write returns 0 and reads still work.
            AllocatorHook::Disarm();
            EXPECT_EQ(stream->Write(bytes.data(), 1), 0u);
            std::uint32_t size = 0;
            stream->GetSize(&size);
            EXPECT_EQ(size, first);
        } else {
            EXPECT_EQ(first, 100u);
            EXPECT_EQ(second, 10000u);
        }
        ReleaseElement(element);
    });
    EXPECT_GE(walked, 3);
    EXPECT_EQ(AllocatorHook::LiveBlocks(), before);

    // SetData that cannot get its block changes nothing.
    MemoryStream* element = CreateElementAs<MemoryStream>(TypeMemoryStream);
    ASSERT_NE(element, nullptr);
    element->SetData("abc", 3);
    AllocatorHook::FailNth(1);
    EXPECT_EQ(element->SetData("wxyz", 4), 1);
    AllocatorHook::Disarm();
    std::uint32_t size = 0;
    InterfaceOf<Stream>(element, InterfaceStream)->GetSize(&size);
    EXPECT_EQ(size, 3u);
    ReleaseElement(element);
}
