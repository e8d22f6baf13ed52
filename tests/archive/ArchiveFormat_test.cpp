// Tests of the archive format module: header checks, the worked example, the two-buffer commit,
// names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/CompressStream.h"
#include "framework/archive/ContentReader.h"
#include "framework/containers/Stream.h"
#include "framework/core/Core.h"
#include "tests/support/Noise.h"
#include "tests/support/VectorStream.h"

using namespace QRV2;
using QRV2Test::VectorStream;

namespace {

using Bytes = std::vector<unsigned char>;

struct Entries {
    std::vector<ArchiveEntry*> list;
    ArchiveEntry* Add(const char* name, std::uint32_t offset, std::uint32_t stored) {
        ArchiveEntry* e = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
        EXPECT_NE(nullptr, e);
        e->SetName(name);
        e->SetOffset(offset);
        e->SetStoredSize(stored);
        list.push_back(e);
        return e;
    }
    ~Entries() {
        for (ArchiveEntry*& e : list) ReleaseElement(e);
    }
    ArchiveEntry* const* data() const { return list.data(); }
    std::uint32_t size() const { return static_cast<std::uint32_t>(list.size()); }
};

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

Bytes Noise(std::size_t n, std::uint32_t seed) {
    std::string s = QRV2Test::Noise(n, seed);
    return Bytes(s.begin(), s.end());
}

}  // namespace

TEST(ArchiveFormatCommit, TwoEighteenCharacterNamesGiveTheWorkedExample) {
    Bytes blockA = Noise(19, 1);
    Bytes blockB = Noise(40, 2);
    VectorStream file;
    file.bytes = blockA;
    file.bytes.insert(file.bytes.end(), blockB.begin(), blockB.end());
    Entries entries;
    entries.Add("XPCOM\\npqx2011.dll", 0, 19);
    entries.Add("ActiveX\\QX2011.dll", 19, 40);
    ASSERT_EQ(0, ArchiveFormat::Commit(&file, entries.data(), 2, 0x0200, 0));

    std::uint32_t end = 0;
    file.GetPosition(&end);
    EXPECT_EQ(59u + 70u + 8u, end) << "position left at E + D + 8 for the cut on close";
    const Bytes& b = file.bytes;
    EXPECT_EQ(0, std::memcmp(b.data(), "QX11\x02\x00\x00\x00RAW\x00", 12));
    EXPECT_EQ(70u, U32(b, 12));
    EXPECT_EQ(2u, U32(b, 16));
    EXPECT_EQ(19, b[20]);
    EXPECT_EQ(0, b[21]);
    EXPECT_EQ(0, std::memcmp(b.data() + 22, "XPCOM\\npqx2011.dll", 19));
    EXPECT_EQ(78u, U32(b, 41));
    EXPECT_EQ(19u, U32(b, 45));
    EXPECT_EQ(78u + 19u, U32(b, 49 + 21));
    EXPECT_EQ(78u, entries.list[0]->GetOffset());
    EXPECT_EQ(97u, entries.list[1]->GetOffset());
    EXPECT_EQ(blockA, Bytes(b.begin() + 78, b.begin() + 97));
    EXPECT_EQ(blockB, Bytes(b.begin() + 97, b.begin() + 137));
}

TEST(ArchiveFormatCommit, DataOfMoreThanTwoChunksMovesIntact) {
    // Small directory (chunk 4096) and a large one (chunk 16384, D + 8 above 8192).
    for (int names : {3, 120}) {
        Bytes data = Noise(50000, 7);
        VectorStream file(data);
        Entries entries;
        std::uint32_t offset = 0;
        for (int i = 0; i < names; ++i) {
            std::uint32_t size = i + 1 == names ? 50000 - offset : 50000 / names;
            std::string name = std::string(60, 'n') + std::to_string(i);
            entries.Add(name.c_str(), offset, size);
            offset += size;
        }
        ASSERT_EQ(0, ArchiveFormat::Commit(&file, entries.data(), entries.size(), 0x0200, 0));
        std::uint32_t d = U32(file.bytes, 12);
        std::uint32_t end = 0;
        file.GetPosition(&end);
        EXPECT_EQ(50000u + d + 8, end);
        ASSERT_GE(file.bytes.size(), end);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), file.bytes.begin() + d + 8)) << names;
        EXPECT_EQ(d + 8, entries.list[0]->GetOffset());
    }
}

TEST(ArchiveFormatCommit, FailedWritesAndMissingDataAreReported) {
    Bytes data = Noise(20000, 3);
    for (std::uint64_t limit : {0ull, 10ull, 30ull, 5000ull, 19999ull}) {
        VectorStream file(data);
        file.writeBudget = limit;
        Entries entries;
        entries.Add("one", 0, 20000);
        EXPECT_EQ(1, ArchiveFormat::Commit(&file, entries.data(), 1, 0x0200, 0)) << limit;
    }
    VectorStream shortFile(Bytes(data.begin(), data.begin() + 9000));
    Entries entries;
    entries.Add("one", 0, 20000);
    EXPECT_EQ(1, ArchiveFormat::Commit(&shortFile, entries.data(), 1, 0x0200, 0));
}

TEST(ArchiveFormatHeader, MagicTagAndVersionWords) {
    Bytes good = {'Q', 'X', '1', '1', 0x12, 0x34, 0x56, 0x78, 'R', 'A',
                  'W', 0,   12,  0,   0,    0,    0,    0,    0,   0};
    ArchiveFormat::Header header;
    VectorStream file(good);
    ASSERT_EQ(ArchiveFormat::Damage::None, ArchiveFormat::ReadHeader(&file, &header));
    EXPECT_EQ(0x1234, header.version);
    EXPECT_EQ(0x5678, header.subVersion);
    EXPECT_EQ(0u, header.count);

    Bytes badMagic = good;
    badMagic[3] = '2';
    Bytes badTag = good;
    badTag[11] = 'X';
    Bytes cut(good.begin(), good.begin() + 10);
    using ArchiveFormat::Damage;
    const std::pair<Bytes, Damage> bad[] = {{badMagic, Damage::NotAnArchive},
                                            {badTag, Damage::BadDirectoryTag},
                                            {cut, Damage::BadDirectoryTag},
                                            {Bytes{}, Damage::NotAnArchive}};
    for (const auto& [bytes, damage] : bad) {
        VectorStream f(bytes);
        EXPECT_EQ(damage, ArchiveFormat::ReadHeader(&f, &header)) << bytes.size();
    }
}

TEST(ArchiveFormatRecord, RecordCutShortIsReported) {
    Bytes record = {4, 0, 'a', 'b', 'c', 0, 1, 2, 3, 4, 5, 6, 7, 8};
    ArchiveEntry* entry = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
    VectorStream whole(record);
    EXPECT_EQ(ArchiveFormat::Damage::None, ArchiveFormat::ReadRecord(&whole, entry));
    EXPECT_STREQ("abc", entry->GetName());
    EXPECT_EQ(0x04030201u, entry->GetOffset());
    EXPECT_EQ(0x08070605u, entry->GetStoredSize());
    for (std::size_t cut : {1u, 4u, 9u, 13u}) {
        ArchiveEntry* e = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
        VectorStream part(Bytes(record.begin(), record.begin() + cut));
        EXPECT_EQ(ArchiveFormat::Damage::DirectoryCutShort, ArchiveFormat::ReadRecord(&part, e))
            << cut;
        ReleaseElement(e);
    }
    ReleaseElement(entry);
}

TEST(ArchiveFormatNames, OnlyNamesBelowTheDestinationAreSafe) {
    for (const char* good :
         {"a", "XPCOM\\npqx2011.dll", "a/b/c.txt", "x..y", "...a", ".hidden", "a\\.\\b"})
        EXPECT_TRUE(ArchiveFormat::IsSafeEntryName(good)) << good;
    for (const char* bad : {"", "\\abs", "/abs", "\\\\server\\share\\x", "C:\\x", "C:x", "a\\..\\b",
                            "..", "../x", "a/..", "a\\. .\\b", "a\\... \\b", "file:stream"})
        EXPECT_FALSE(ArchiveFormat::IsSafeEntryName(bad)) << bad;
    EXPECT_FALSE(ArchiveFormat::IsSafeEntryName(nullptr));
}

TEST(ArchiveFormatBlocks, EmptyContentBlocksAreRecognised) {
    auto blockOf = [](const Bytes& content) {
        VectorStream out;
        CompressStream* c = CreateElementAs<CompressStream>(TypeCompressStream);
        Stream* s = InterfaceOf<Stream>(c, InterfaceStream);
        c->SetOutputStream(&out);
        s->SetAccessMode(Stream::AccessWrite);
        s->Open();
        s->Write(content.data(), static_cast<std::uint32_t>(content.size()));
        s->Close();
        ReleaseElement(c);
        return out.bytes;
    };
    Entries entries;
    VectorStream empty(blockOf({}));
    ArchiveEntry* e = entries.Add("e", 0, 16);
    EXPECT_TRUE(ArchiveFormat::IsEmptyBlock(&empty, e));
    VectorStream abc(blockOf({'a', 'b', 'c'}));
    ArchiveEntry* a = entries.Add("a", 0, 19);
    EXPECT_FALSE(ArchiveFormat::IsEmptyBlock(&abc, a));
    Bytes header = abc.bytes;
    header[4] = 0;  // claims to be empty, but its payload inflates to 'abc'
    VectorStream liar(header);
    EXPECT_FALSE(ArchiveFormat::IsEmptyBlock(&liar, a));
    VectorStream raw(Bytes{'R', 'A', 'W', 0, 0, 0, 0, 0});
    EXPECT_TRUE(ArchiveFormat::IsEmptyBlock(&raw, entries.Add("r", 0, 8)));
    VectorStream other(Bytes{'Z', 'I', 'P', 0, 0, 0, 0, 0});
    EXPECT_FALSE(ArchiveFormat::IsEmptyBlock(&other, entries.Add("z", 0, 8)));
}

namespace {

struct CollectEntries : ArchiveFormat::DirectorySink {
    Entries entries;
    bool Add(ArchiveEntry* entry) override {
        entries.list.push_back(entry);
        return true;
    }
};

struct CollectBytes : ArchiveFormat::ContentSink {
    Bytes bytes;
    bool Put(const void* data, std::uint32_t count) override {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), p, p + count);
        return true;
    }
};

}  // namespace

TEST(ArchiveFormatDirectory, ReadingStopsWhereTheFileEnds) {
    // The count claims three records; the file holds one and the start of a second.
    Bytes file = {'Q', 'X', '1', '1', 2, 0,   0, 0,  'R', 'A', 'W', 0, 0, 0, 0, 0, 3,
                  0,   0,   0,   2,   0, 'a', 0, 30, 0,   0,   0,   9, 0, 0, 0, 5, 0};
    VectorStream stream(file);
    CollectEntries sink;
    ArchiveFormat::Header header;
    std::uint32_t dataStart = 0;
    EXPECT_EQ(ArchiveFormat::Damage::DirectoryCutShort,
              ArchiveFormat::ReadDirectory(&stream, &header, &sink, &dataStart));
    ASSERT_EQ(2u, sink.entries.size()) << "no record is made up after the end of the file";
    EXPECT_EQ(30u, sink.entries.list[0]->GetOffset());
    EXPECT_EQ(file.size(), dataStart);
}

TEST(ArchiveFormatContent, EveryDamageIsFoundWhileStreaming) {
    // Several pieces of content, so the piecewise inflate and its bookkeeping are exercised.
    Bytes content = Noise(3 * ArchiveFormat::kStreamPiece, 4);
    for (std::size_t i = 0; i < content.size(); i += 3) content[i] = 'x';
    VectorStream packed;
    CompressStream* c = CreateElementAs<CompressStream>(TypeCompressStream);
    Stream* s = InterfaceOf<Stream>(c, InterfaceStream);
    c->SetOutputStream(&packed);
    s->SetAccessMode(Stream::AccessWrite);
    ASSERT_EQ(0, s->Open());
    s->Write(content.data(), static_cast<std::uint32_t>(content.size()));
    ASSERT_EQ(0, s->Close());
    ReleaseElement(c);
    // Four bytes of something else in front, so the block does not start at offset 0.
    Bytes block = {1, 2, 3, 4};
    block.insert(block.end(), packed.bytes.begin(), packed.bytes.end());
    const std::uint32_t stored = static_cast<std::uint32_t>(packed.bytes.size());
    const std::uint32_t size = static_cast<std::uint32_t>(content.size());

    CollectBytes whole;
    VectorStream good(block);
    std::uint32_t declared = 0;
    ASSERT_EQ(ArchiveFormat::Damage::None,
              ArchiveFormat::ReadContent(&good, 4, stored, 4, &whole, &declared));
    EXPECT_EQ(content, whole.bytes);
    EXPECT_EQ(size, declared);

    using ArchiveFormat::Damage;
    struct Case {
        const char* what;
        std::uint32_t dataStart, storedSize;
        std::size_t at;  // byte to change (0: none)
        std::uint32_t value;
        Damage damage;
    };
    const std::uint32_t last = 4 + stored - 1;
    const Case cases[] = {
        {"offset inside the directory", 5, stored, 0, 0, Damage::OffsetInsideDirectory},
        {"unknown tag", 4, stored, 4, 'Z', Damage::UnknownBlockTag},
        {"content longer", 4, stored, 8, size - 1, Damage::ContentLonger},
        {"content shorter", 4, stored, 8, size + 1, Damage::ContentShorter},
        {"impossible size", 4, stored, 8, 0xFFFFFFFFu, Damage::ImpossibleContentSize},
        {"stored size 8", 4, 8, 0, 0, Damage::StoredSizeTooSmall},
        {"past the end", 4, stored + 1, 0, 0, Damage::BlockCutShort},
        {"payload cut", 4, stored - 5, 0, 0, Damage::CompressedDataCutShort},
        {"checksum", 4, stored, last, block[last] ^ 0x01u, Damage::CompressedDataDamaged},
    };
    for (const Case& k : cases) {
        Bytes bytes = block;
        if (k.at == 4) bytes[4] = static_cast<unsigned char>(k.value);
        if (k.at == 8) {
            for (int i = 0; i < 4; ++i)
                bytes[k.at + i] = static_cast<unsigned char>(k.value >> (8 * i));
        }
        if (k.at == last) bytes[last] = static_cast<unsigned char>(k.value);
        VectorStream f(bytes);
        EXPECT_EQ(k.damage,
                  ArchiveFormat::ReadContent(&f, 4, k.storedSize, k.dataStart, nullptr, nullptr))
            << k.what;
    }
}
