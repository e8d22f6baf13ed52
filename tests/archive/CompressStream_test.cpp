// Tests of CompressDevice and CompressStream: block bytes, reading back, damaged blocks, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/BlockCodec.h"
#include "framework/archive/CompressStream.h"
#include "framework/containers/Stream.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/io/CompressDevice.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/VectorStream.h"

using namespace QRV2;
using QRV2Test::VectorStream;

namespace {

using Bytes = std::vector<unsigned char>;

struct Compressor {
    CompressStream* element = CreateElementAs<CompressStream>(TypeCompressStream);
    Stream* stream = InterfaceOf<Stream>(element, InterfaceStream);
    ~Compressor() { ReleaseElement(element); }
};

// Packs content into one data block the way an archive writer does.
Bytes Pack(const Bytes& content) {
    VectorStream out;
    Compressor c;
    c.element->SetOutputStream(&out);
    c.stream->SetAccessMode(Stream::AccessWrite);
    EXPECT_EQ(0, c.stream->Open());
    EXPECT_EQ(content.size(),
              c.stream->Write(content.data(), static_cast<std::uint32_t>(content.size())));
    EXPECT_EQ(0, c.stream->Close());
    return out.bytes;
}

// Opens a block for reading with an entry of the given stored size; returns Open's result and
// the content read.
std::int32_t Unpack(const Bytes& block, std::uint32_t storedSize, Bytes* content) {
    VectorStream in(block);
    ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
    entry->SetStoredSize(storedSize);
    Compressor c;
    c.element->SetInputStream(&in);
    c.element->SetEntry(entry);
    c.stream->SetAccessMode(Stream::AccessRead);
    std::int32_t result = c.stream->Open();
    content->clear();
    if (result == 0) {
        std::uint32_t size = 99;
        c.stream->GetSize(&size);
        content->resize(size);
        if (size != 0) {
            EXPECT_EQ(size, c.stream->Read(content->data(), size));
        }
        c.stream->Close();
    }
    ReleaseElement(entry);
    return result;
}

Bytes Header(const char* tag, std::uint32_t size) {
    Bytes b(tag, tag + 4);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(size >> (8 * i)));
    return b;
}

Bytes Sample(std::size_t n) {
    Bytes b(n);
    std::uint32_t x = 12345;
    for (auto& v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<unsigned char>((x >> 16) % 7 + 'a');
    }
    return b;
}

}  // namespace

TEST(CompressStreamBlock, AbcPacksToTheKnownBytesAndReadsBack) {
    Bytes block = Pack({'a', 'b', 'c'});
    Bytes expected = {0x50, 0x41, 0x43, 0x00, 0x03, 0x00, 0x00, 0x00, 0x78, 0xDA,
                      0x4B, 0x4C, 0x4A, 0x06, 0x00, 0x02, 0x4D, 0x01, 0x27};
    EXPECT_EQ(expected, block);
    Bytes content;
    EXPECT_EQ(0, Unpack(block, 19, &content));
    EXPECT_EQ(Bytes({'a', 'b', 'c'}), content);
}

TEST(CompressStreamBlock, EmptyContentWritesSixteenBytesThatDoNotReadBack) {
    Bytes block = Pack({});
    Bytes expected = {0x50, 0x41, 0x43, 0x00, 0,    0,    0,    0,
                      0x78, 0xDA, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(expected, block);
    Bytes content;
    EXPECT_EQ(1, Unpack(block, 16, &content));
}

TEST(CompressStreamBlock, LargeContentGrowsTheBlockAndRoundTrips) {
    Bytes content = Sample(300000);
    VectorStream out;
    {
        Compressor c;
        c.element->SetOutputStream(&out);
        c.stream->SetAccessMode(Stream::AccessWrite);
        ASSERT_EQ(0, c.stream->Open());
        // Written in odd pieces so the block grows several times mid-write.
        for (std::size_t at = 0; at < content.size(); at += 1000) {
            std::uint32_t n =
                static_cast<std::uint32_t>(std::min<std::size_t>(1000, content.size() - at));
            ASSERT_EQ(n, c.stream->Write(content.data() + at, n));
        }
        ASSERT_EQ(0, c.stream->Close());
    }
    Bytes back;
    EXPECT_EQ(0, Unpack(out.bytes, static_cast<std::uint32_t>(out.bytes.size()), &back));
    EXPECT_EQ(content, back);
}

TEST(CompressStreamBlock, RawBlockTakesItsSizeFromTheHeader) {
    Bytes block = Header("RAW", 5);
    for (unsigned char c : {'h', 'e', 'l', 'l', 'o'}) block.push_back(c);
    block.push_back('!');  // the next block's bytes: not part of this entry
    Bytes content;
    EXPECT_EQ(0, Unpack(block, 0, &content));
    EXPECT_EQ(Bytes({'h', 'e', 'l', 'l', 'o'}), content);
}

TEST(CompressStreamBlock, DamagedBlocksAreRefused) {
    Bytes good = Pack(Sample(5000));
    auto stored = static_cast<std::uint32_t>(good.size());
    Bytes content;

    Bytes truncated(good.begin(), good.end() - 10);
    EXPECT_EQ(1, Unpack(truncated, stored, &content)) << "block cut short";
    EXPECT_EQ(1, Unpack(good, stored - 10, &content)) << "payload cut short by the stored size";

    Bytes corrupt = good;
    corrupt[good.size() / 2] ^= 0x55;
    EXPECT_EQ(1, Unpack(corrupt, stored, &content)) << "corrupt zlib data";

    Bytes tooSmall = good;
    tooSmall[4] = 0x10;  // content size 4880 + ... < 5000
    tooSmall[5] = 0x13;
    EXPECT_EQ(1, Unpack(tooSmall, stored, &content)) << "content larger than its declared size";

    Bytes larger = good;
    larger[4] = 0x00;  // declared 0x1400 = 5120, real 5000
    larger[5] = 0x14;
    EXPECT_EQ(0, Unpack(larger, stored, &content));
    EXPECT_EQ(5000u, content.size());

    EXPECT_EQ(1, Unpack(good, 8, &content)) << "PAC without payload";

    Bytes rawShort = Header("RAW", 10);
    rawShort.insert(rawShort.end(), {'1', '2', '3'});
    EXPECT_EQ(1, Unpack(rawShort, 0, &content)) << "RAW block cut short";

    EXPECT_EQ(1, Unpack(Header("RAW", 0), 8, &content)) << "content size 0";
    EXPECT_EQ(1, Unpack(Bytes{'P', 'A', 'C'}, 3, &content)) << "header cut short";
}

TEST(CompressStreamBlock, UnknownTagReadsAsEmpty) {
    Bytes block = Header("ZIP", 7);
    block.insert(block.end(), 7, 'x');
    Bytes content = {1};
    EXPECT_EQ(0, Unpack(block, 15, &content));
    EXPECT_TRUE(content.empty());
}

TEST(CompressStreamBlock, ImpossibleContentSizeIsRefusedBeforeAllocating) {
    // 11 payload bytes can never inflate to 3 GB; the reader must say no without asking for a
    // block that size (so any allocation during Open means the check came too late).
    Bytes block = Pack({'a', 'b', 'c'});
    block[7] = 0xC0;
    VectorStream in(block);
    ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
    entry->SetStoredSize(19);
    Compressor c;
    c.element->SetInputStream(&in);
    c.element->SetEntry(entry);
    c.stream->SetAccessMode(Stream::AccessRead);
    AllocatorHook::FailNth(1);
    EXPECT_EQ(1, c.stream->Open());
    EXPECT_FALSE(AllocatorHook::Fired()) << "an allocation was attempted";
    AllocatorHook::Disarm();
    ReleaseElement(entry);
}

TEST(CompressStreamWrite, ShortWriteToTheOutputIsAnError) {
    Bytes content = Sample(2000);
    for (std::uint64_t limit : {0ull, 3ull, 8ull, 20ull}) {
        VectorStream out;
        out.writeBudget = limit;
        Compressor c;
        c.element->SetOutputStream(&out);
        c.stream->SetAccessMode(Stream::AccessWrite);
        ASSERT_EQ(0, c.stream->Open());
        c.stream->Write(content.data(), 2000);
        EXPECT_EQ(1, c.stream->Close()) << "limit " << limit;
    }
}

TEST(CompressStreamWrite, StoredFormWritesTheBytesWithoutHeader) {
    VectorStream out;
    Compressor c;
    c.element->SetOutputStream(&out);
    c.element->SetStored(1);
    c.stream->SetAccessMode(Stream::AccessWrite);
    ASSERT_EQ(0, c.stream->Open());
    c.stream->Write("xyz", 3);
    EXPECT_EQ(0, c.stream->Close());
    EXPECT_EQ(Bytes({'x', 'y', 'z'}), out.bytes);

    // Reading the stored form takes the entry's offset and stored size.
    VectorStream in(Bytes{'-', '-', 'x', 'y', 'z', '-'});
    ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
    entry->SetOffset(2);
    entry->SetStoredSize(3);
    Compressor r;
    r.element->SetInputStream(&in);
    r.element->SetEntry(entry);
    r.element->SetStored(1);
    r.stream->SetAccessMode(Stream::AccessRead);
    ASSERT_EQ(0, r.stream->Open());
    char back[4] = {};
    EXPECT_EQ(3u, r.stream->Read(back, 4));
    EXPECT_STREQ("xyz", back);
    r.stream->Close();
    entry->SetStoredSize(10);    // beyond the end of the input
    r.element->SetEntry(entry);  // Close forgets the entry
    EXPECT_EQ(1, r.stream->Open());
    ReleaseElement(entry);
}

TEST(CompressStreamMemory, BufferOnlyIsAPlainMemoryStream) {
    VectorStream other;
    Compressor c;
    c.element->SetOutputStream(&other);
    c.element->SetInputStream(&other);
    EXPECT_EQ(1, c.stream->IsClosed());
    std::uint32_t position = 7;
    EXPECT_EQ(1, c.stream->GetPosition(&position)) << "not open";
    EXPECT_EQ(0u, c.stream->Write("a", 1)) << "not open";
    ASSERT_EQ(0, c.stream->SetUsage(Stream::UsageBufferOnly));
    ASSERT_EQ(0, c.stream->Open());
    EXPECT_EQ(1, c.stream->Open()) << "second Open";
    EXPECT_EQ(0, c.stream->IsClosed());
    EXPECT_EQ(1, c.stream->SetAccessMode(Stream::AccessRead));
    EXPECT_EQ(1, c.stream->SetUsage(Stream::UsageRandom));
    EXPECT_EQ(1, c.stream->SetAuxMode(5));
    EXPECT_EQ(Stream::UsageBufferOnly, c.stream->GetUsage());

    EXPECT_EQ(2u, c.stream->Write16(0x1234));
    EXPECT_EQ(4u, c.stream->Write32(0xA1B2C3D4u));
    EXPECT_EQ(0, c.stream->GetPosition(&position));
    EXPECT_EQ(6u, position);
    EXPECT_EQ(1, c.stream->SetPosition(7));
    ASSERT_EQ(0, c.stream->SetPosition(0));
    std::uint16_t v16 = 0;
    EXPECT_EQ(2u, c.stream->Read16(&v16));
    EXPECT_EQ(0x1234, v16);
    unsigned char rest[8] = {};
    EXPECT_EQ(4u, c.stream->Read(rest, 8));
    EXPECT_EQ(1, c.stream->HasError()) << "the end was reached";
    EXPECT_EQ(0u, c.stream->Read(rest, 1));
    EXPECT_EQ(0u, c.stream->Write("z", 1)) << "writes refused after reaching the end";
    ASSERT_EQ(0, c.stream->SetPosition(5));
    EXPECT_EQ(0, c.stream->HasError());
    EXPECT_EQ(1u, c.stream->Read(rest, 1));
    EXPECT_EQ(0xA1, rest[0]);

    EXPECT_EQ(0, c.stream->Close());
    EXPECT_TRUE(other.bytes.empty());
    EXPECT_EQ(0u, other.position);
    EXPECT_EQ(1, c.stream->Close()) << "closing twice";
}

TEST(CompressStreamOpen, MissingStreamsAndFailedOpenOfTheUnderlyingStream) {
    Compressor c;
    c.stream->SetAccessMode(Stream::AccessWrite);
    EXPECT_EQ(1, c.stream->Open()) << "no output";
    c.stream->SetAccessMode(Stream::AccessRead);
    EXPECT_EQ(1, c.stream->Open()) << "no input";
    EXPECT_EQ(1, c.stream->IsClosed()) << "a failure with 1 keeps the stream configurable";

    // A closed input whose Open fails passes its code on, and the stream is then stuck.
    struct Refusing : VectorStream {
        std::int32_t Open() override { return 17; }
    } refusing;
    refusing.closed = 1;
    c.element->SetInputStream(&refusing);
    EXPECT_EQ(17, c.stream->Open());
    EXPECT_EQ(17, c.stream->IsClosed());
    EXPECT_EQ(1, c.stream->Open());
    EXPECT_EQ(1, c.stream->SetAccessMode(Stream::AccessWrite));
    EXPECT_EQ(17, c.stream->Close());
}

TEST(CompressStreamMemory, AllocationFailuresNeitherLeakNorPretend) {
    Bytes content = Sample(9000);
    Bytes block = Pack(content);
    int steps = QRV2Test::WalkAllocationFailures([&](int) {
        std::int64_t before = AllocatorHook::LiveBlocks();
        {
            VectorStream out;
            Compressor c;
            if (c.element != nullptr) {
                c.element->SetOutputStream(&out);
                c.stream->SetAccessMode(Stream::AccessWrite);
                ASSERT_EQ(0, c.stream->Open());
                std::uint32_t n = c.stream->Write(content.data(), 9000);
                std::int32_t closed = c.stream->Close();
                if (n == 9000 && closed == 0) {
                    EXPECT_EQ(block, out.bytes);
                } else if (n != 9000) {
                    EXPECT_EQ(1, closed) << "content lost for want of memory closed as success";
                    EXPECT_TRUE(out.bytes.empty());
                }
            }
            Bytes back;
            VectorStream in(block);
            Compressor r;
            ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
            if (r.element != nullptr && entry != nullptr) {
                entry->SetStoredSize(static_cast<std::uint32_t>(block.size()));
                r.element->SetInputStream(&in);
                r.element->SetEntry(entry);
                r.stream->SetAccessMode(Stream::AccessRead);
                if (r.stream->Open() == 0) {
                    std::uint32_t size = 0;
                    r.stream->GetSize(&size);
                    EXPECT_EQ(9000u, size);
                }
            }
            ReleaseElement(entry);
        }
        EXPECT_EQ(before, AllocatorHook::LiveBlocks());
    });
    EXPECT_GT(steps, 4);
}

TEST(CompressDevice, RoundTripAndTooSmallDestination) {
    CompressDevice* device = CreateElementAs<CompressDevice>(TypeCompressDevice);
    ASSERT_NE(nullptr, device);
    Bytes content = Sample(1000);
    Bytes packed(2000);
    std::uint32_t packedLength = 2000;
    ASSERT_EQ(0, device->Compress(packed.data(), &packedLength, content.data(), 1000));
    EXPECT_EQ(0x78, packed[0]);
    EXPECT_EQ(0xDA, packed[1]);
    Bytes back(1000);
    std::uint32_t length = 1000;
    ASSERT_EQ(0, device->Uncompress(back.data(), &length, packed.data(), packedLength));
    EXPECT_EQ(1000u, length);
    EXPECT_EQ(content, back);
    length = 999;
    EXPECT_EQ(-5, device->Uncompress(back.data(), &length, packed.data(), packedLength));
    std::uint32_t tiny = 4;
    EXPECT_EQ(-5, device->Compress(packed.data(), &tiny, content.data(), 1000));

    // A block laid out piece by piece, in pieces of odd sizes, is the block of the writer, which
    // compresses the content in one call; without memory for a compressor it is the stored one.
    Bytes large = Sample(300000);
    for (std::size_t i = 0; i < large.size(); i += 7000)
        std::memcpy(&large[i], content.data(), 500);  // matches far apart
    const Bytes whole = Pack(large);
    auto inPieces = [&large]() {
        ArchiveFormat::BlockEncoder encoder;
        Bytes block(8);
        encoder.Begin(static_cast<std::uint32_t>(large.size()), block.data());
        unsigned char out[777];
        ArchiveFormat::BlockEncoder::Result step = ArchiveFormat::BlockEncoder::More;
        for (std::size_t at = 0; step == ArchiveFormat::BlockEncoder::More;) {
            const std::uint32_t n = static_cast<std::uint32_t>(
                std::min<std::size_t>(large.size() - at, 1 + (at * 31) % 65521));
            std::uint32_t taken = 0;
            std::uint32_t made = 0;
            step = encoder.Put(large.data() + at, n, at + n == large.size(), &taken, out,
                               sizeof out, &made);
            block.insert(block.end(), out, out + made);
            at += taken;
        }
        EXPECT_EQ(ArchiveFormat::BlockEncoder::Done, step);
        return block;
    };
    EXPECT_TRUE(whole == inPieces());
    AllocatorHook::FailNth(1);
    const Bytes stored = inPieces();
    AllocatorHook::Disarm();
    Bytes expected = Header("RAW", 300000);
    expected.insert(expected.end(), large.begin(), large.end());
    EXPECT_TRUE(expected == stored);
    ReleaseElement(device);
}
