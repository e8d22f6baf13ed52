// Tests of Archive and ArchiveEntry on real files: writing, reading, extraction, damage, full disk.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/archive/Archive.h"
#include "framework/archive/ArchiveEntry.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "platform/File.h"
#include "platform/testing/FileTestHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/Noise.h"
#include "tests/support/ScratchFolder.h"

using namespace QRV2;
using QRV2Test::Noise;
using QRV2Test::PathPresent;
using QRV2Test::ReadBytes;
using QRV2Test::ScratchFolder;
using QRV2Test::WriteBytes;

namespace {

struct HeldArchive {
    Archive* a = CreateElementAs<Archive>(TypeArchive);
    ~HeldArchive() { ReleaseElement(a); }
    Archive* operator->() { return a; }
};

// Writes an archive of (name, content) pairs through BeginEntry/EndEntry.
int WriteArchive(const std::string& path,
                 const std::vector<std::pair<std::string, std::string>>& entries) {
    HeldArchive archive;
    if (archive.a == nullptr) return 1;
    archive->SetMode(0);
    if (archive->Open(path.c_str()) != 0) return 1;
    for (const auto& [name, content] : entries) {
        Stream* s = archive->BeginEntry(name.c_str());
        if (s == nullptr) return 1;
        s->Write(content.data(), static_cast<std::uint32_t>(content.size()));
        // The written count is deliberately not checked: EndEntry must notice lost content.
        if (archive->EndEntry() != 0) return 1;
    }
    return archive->Close();
}

std::string ReadEntry(Archive* archive, const char* name) {
    Stream* s = archive->OpenEntry(name);
    if (s == nullptr) return "<null>";
    std::uint32_t size = 0;
    s->GetSize(&size);
    std::string content(size, '\0');
    if (size != 0) s->Read(content.data(), size);
    archive->CloseEntry();
    return content;
}

std::uint32_t U32(const std::string& b, std::size_t at) {
    auto u = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i]));
    };
    return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}

}  // namespace

TEST(ArchiveWrite, EntriesReadBackAndTheLayoutIsExact) {
    ScratchFolder dir;
    std::string path = dir / "a.qx";
    ASSERT_EQ(0, WriteArchive(path, {{"XPCOM\\npqx2011.dll", "abc"},
                                     {"ActiveX\\QX2011.dll", Noise(3000, 1)}}));
    std::string bytes = ReadBytes(path);
    EXPECT_EQ(70u, U32(bytes, 12));
    EXPECT_EQ(78u, U32(bytes, 41));
    EXPECT_EQ(19u, U32(bytes, 45));
    std::uint32_t second = U32(bytes, 70);
    EXPECT_EQ(97u, second);
    EXPECT_EQ(bytes.size(), second + U32(bytes, 74));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 78, "PAC\0\x03\0\0\0\x78\xDA", 10));

    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    EXPECT_EQ(0x0200, archive->GetVersion());
    EXPECT_EQ(0, archive->FindEntry("activex\\qx2011.DLL"));
    EXPECT_EQ(1, archive->FindEntry("activex/qx2011.dll"));
    EXPECT_EQ("abc", ReadEntry(archive.a, "xpcom\\NPQX2011.dll"));
    EXPECT_EQ(Noise(3000, 1), ReadEntry(archive.a, "ActiveX\\QX2011.dll"));
    EXPECT_EQ(0, archive->Close());
}

TEST(ArchiveWrite, EntriesOfMoreThanTwoChunksMoveIntact) {
    ScratchFolder dir;
    std::string path = dir / "big.qx";
    std::vector<std::pair<std::string, std::string>> entries = {
        {"one", Noise(7000, 2)}, {"two", Noise(9000, 3)}, {"three", std::string(50000, 'z')}};
    ASSERT_EQ(0, WriteArchive(path, entries));
    std::string bytes = ReadBytes(path);
    std::uint32_t d = U32(bytes, 12);
    std::uint32_t lastOffset = U32(bytes, 20 + (2 + 4 + 8) + (2 + 4 + 8) + 2 + 6);
    std::uint32_t lastStored = U32(bytes, 20 + 14 + 14 + 2 + 6 + 4);
    EXPECT_EQ(bytes.size(), lastOffset + lastStored);
    EXPECT_GT(bytes.size() - d - 8, 8192u) << "E spans more than two chunks";
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    for (const auto& [name, content] : entries)
        EXPECT_EQ(content, ReadEntry(archive.a, name.c_str())) << name;
}

TEST(ArchiveWrite, ClosingWithoutEntriesLeavesTheFileAlone) {
    ScratchFolder dir;
    std::string old = dir / "old.qx";
    WriteBytes(old, "previous content");
    ASSERT_EQ(0, WriteArchive(old, {}));
    EXPECT_EQ("previous content", ReadBytes(old));
    std::string fresh = dir / "new.qx";
    ASSERT_EQ(0, WriteArchive(fresh, {}));
    EXPECT_EQ("", ReadBytes(fresh));
}

TEST(ArchiveWrite, EntryStreamRulesAndModes) {
    ScratchFolder dir;
    HeldArchive archive;
    EXPECT_EQ(0, archive->SetMode(2));
    EXPECT_EQ(0, archive->GetMode());
    EXPECT_EQ(nullptr, archive->BeginEntry("x")) << "not open";
    ASSERT_EQ(0, archive->Open((dir / "m.qx").c_str()));
    EXPECT_EQ(1, archive->SetMode(1));
    Stream* s = archive->BeginEntry("a");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(nullptr, archive->BeginEntry("b"));
    EXPECT_EQ(nullptr, archive->OpenEntry("a"));
    s->Write("abc", 3);
    EXPECT_EQ(0, archive->EndEntry());
    EXPECT_EQ(1, archive->EndEntry());
    EXPECT_EQ(1, archive->CloseEntry());
    EXPECT_EQ(1, archive->Reserved1(0));
    EXPECT_EQ(1, archive->Reserved2(0, 0));
    EXPECT_EQ(0, archive->Close());

    HeldArchive never;
    never->SetMode(0);
    EXPECT_EQ(1, never->Close()) << "write mode without an open file";
}

TEST(ArchiveRead, EmptyEntriesOpenAsNullButExtractAsEmptyFiles) {
    ScratchFolder dir;
    std::string path = dir / "e.qx";
    ASSERT_EQ(0, WriteArchive(path, {{"a", "abc"}, {"b", ""}}));
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    EXPECT_EQ(0, archive->FindEntry("b"));
    EXPECT_EQ("<null>", ReadEntry(archive.a, "b"));
    std::string target = dir / "b.out";
    WriteBytes(target, "older and longer");
    EXPECT_EQ(0, archive->ExtractEntry(target.c_str(), "b"));
    EXPECT_EQ("", ReadBytes(target));
    WriteBytes(target, "older and longer");
    EXPECT_EQ(0, archive->ExtractEntry(target.c_str(), "A"));
    EXPECT_EQ("abc", ReadBytes(target)) << "a longer old file is cut";
    std::string missing = dir / "never.out";
    EXPECT_EQ(1, archive->ExtractEntry(missing.c_str(), "c"));
    EXPECT_FALSE(PathPresent(missing));
}

TEST(ArchiveRead, ExtractAllBuildsPathsUnderTheFolderAndHonoursThePrefix) {
    ScratchFolder dir;
    std::string path = dir / "p.qx";
    ASSERT_EQ(0,
              WriteArchive(path, {{"XPCOM\\npqx2011.dll", "moz"}, {"ActiveX\\QX2011.dll", "ax"}}));
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    std::string out = dir / "out\\\\\\";
    EXPECT_EQ(0, archive->ExtractAll(out.c_str(), nullptr));
    EXPECT_EQ("moz", ReadBytes(dir / "out\\XPCOM\\npqx2011.dll"));
    EXPECT_EQ("ax", ReadBytes(dir / "out\\ActiveX\\QX2011.dll"));
    std::string only = dir / "only\\";
    EXPECT_EQ(0, archive->ExtractAll(only.c_str(), "xpcom"));
    EXPECT_EQ("moz", ReadBytes(dir / "only\\npqx2011.dll"));
    EXPECT_FALSE(PathPresent(dir / "only\\QX2011.dll"));
    EXPECT_FALSE(PathPresent(dir / "only\\ActiveX"));
}

TEST(ArchiveRead, ExtractAllNeverWritesOutsideTheDestination) {
    ScratchFolder dir;
    const char* unsafe[] = {"..\\escaped.txt", "sub\\..\\..\\escaped.txt",   "\\rooted.txt",
                            "C:\\drive.txt",   "\\\\server\\share\\net.txt", "../slash.txt"};
    for (const char* name : unsafe) {
        std::string path = dir / "u.qx";
        ASSERT_EQ(0, WriteArchive(path, {{name, "bad"}, {"fine.txt", "ok"}}));
        HeldArchive archive;
        ASSERT_EQ(0, archive->Open(path.c_str()));
        std::string out = dir / "deep\\out\\";
        EXPECT_EQ(1, archive->ExtractAll(out.c_str(), nullptr)) << name;
        EXPECT_FALSE(PathPresent(dir / "escaped.txt")) << name;
        EXPECT_FALSE(PathPresent(dir / "deep\\escaped.txt")) << name;
        EXPECT_FALSE(PathPresent(dir / "deep\\slash.txt")) << name;
        EXPECT_FALSE(PathPresent(dir / "deep\\out\\fine.txt")) << "later entries are skipped";
    }
    {
        HeldArchive archive;
        ASSERT_EQ(0, archive->Open((dir / "u.qx").c_str()));
        EXPECT_EQ(1, archive->ExtractAll("", nullptr)) << "no folder means the drive's root";
    }
    // A prefix that ends inside a component must not turn the rest into "..".
    std::string path = dir / "p.qx";
    ASSERT_EQ(0, WriteArchive(path, {{"x..\\..\\esc.txt", "bad"}}));
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    EXPECT_EQ(1, archive->ExtractAll((dir / "deep\\out2\\").c_str(), "x"));
    EXPECT_FALSE(PathPresent(dir / "deep\\esc.txt"));
}

TEST(ArchiveDamage, DamagedArchivesFailWithoutTouchingTheDestination) {
    ScratchFolder dir;
    std::string path = dir / "d.qx";
    ASSERT_EQ(0, WriteArchive(path, {{"first", Noise(2000, 5)}, {"second", "second content"}}));
    const std::string good = ReadBytes(path);
    const std::uint32_t firstOffset = U32(good, 20 + 2 + 6);
    const std::uint32_t firstStored = U32(good, 20 + 2 + 6 + 4);
    std::string target = dir / "target.bin";

    auto expectOpenFails = [&](std::string bytes, const char* what) {
        WriteBytes(path, bytes);
        HeldArchive archive;
        EXPECT_EQ(1, archive->Open(path.c_str())) << what;
        EXPECT_EQ(1, archive->IsClosed());
    };
    std::string badMagic = good;
    badMagic[0] = 'Z';
    expectOpenFails(badMagic, "magic");
    std::string badTag = good;
    badTag[8] = 'P';
    expectOpenFails(badTag, "directory tag");
    expectOpenFails("", "empty file");

    auto expectFirstFails = [&](std::string bytes, const char* what) {
        WriteBytes(path, bytes);
        WriteBytes(target, "keep me");
        HeldArchive archive;
        ASSERT_EQ(0, archive->Open(path.c_str())) << what;
        EXPECT_EQ(1, archive->ExtractEntry(target.c_str(), "first")) << what;
        EXPECT_EQ("keep me", ReadBytes(target)) << what;
        EXPECT_EQ(1, archive->ExtractAll((dir / "all\\").c_str(), nullptr)) << what;
        EXPECT_FALSE(PathPresent(dir / "all\\first")) << what;
    };
    expectFirstFails(good.substr(0, 30), "directory cut short");
    expectFirstFails(good.substr(0, firstOffset + firstStored - 5), "block cut short");
    std::string corrupt = good;
    corrupt[firstOffset + 200] ^= 0x5A;
    expectFirstFails(corrupt, "corrupt zlib data");
    std::string wrongSize = good;
    wrongSize[firstOffset + 4] = 0x10;  // 2000 = 0x07D0 -> 0x07 0x10 = 1808, too small
    expectFirstFails(wrongSize, "content larger than declared");
    std::string bomb = good;
    bomb[firstOffset + 7] = 0x7F;  // two gigabytes from under two kilobytes of payload
    expectFirstFails(bomb, "impossible content size");

    // The second entry of the archive with a damaged first entry still reads.
    WriteBytes(path, corrupt);
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    EXPECT_EQ("second content", ReadEntry(archive.a, "second"));
}

TEST(ArchiveDamage, UnknownBlockTagReadsAsEmpty) {
    ScratchFolder dir;
    std::string path = dir / "t.qx";
    ASSERT_EQ(0, WriteArchive(path, {{"x", "hello"}}));
    std::string bytes = ReadBytes(path);
    bytes[U32(bytes, 20 + 2 + 2)] = 'Z';
    WriteBytes(path, bytes);
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    EXPECT_EQ("", ReadEntry(archive.a, "x"));
}

TEST(ArchiveFiles, AddFileRoundTripAndMissingSource) {
    ScratchFolder dir;
    WriteBytes(dir / "src.bin", Noise(5000, 9));
    std::string path = dir / "f.qx";
    {
        HeldArchive archive;
        archive->SetMode(0);
        ASSERT_EQ(0, archive->Open(path.c_str()));
        EXPECT_EQ(0, archive->AddFile((dir / "src.bin").c_str(), "data\\src.bin"));
        EXPECT_EQ(1, archive->AddFile((dir / "absent.bin").c_str(), "absent"));
        EXPECT_FALSE(PathPresent(dir / "absent.bin")) << "a missing source is not created";
        EXPECT_EQ(0, archive->Close());
    }
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    EXPECT_EQ(1, archive->FindEntry("absent"));
    EXPECT_EQ(0, archive->ExtractEntry((dir / "back.bin").c_str(), "DATA\\SRC.BIN"));
    EXPECT_EQ(Noise(5000, 9), ReadBytes(dir / "back.bin"));
}

TEST(ArchiveFullDisk, EveryWriteFailureIsReported) {
    ScratchFolder dir;
    WriteBytes(dir / "src.bin", Noise(20000, 4));
    // Fail at a range of points: inside the entry blocks, the header, the move and the cut.
    for (std::uint64_t limit : {0ull, 7ull, 100ull, 10000ull, 20040ull, 20060ull, 20100ull}) {
        std::string path = dir / ("full" + std::to_string(limit) + ".qx");
        Platform::FileTestHook::FailWritesAfter(limit);
        std::int32_t added;
        std::int32_t closed;
        {
            HeldArchive archive;
            archive->SetMode(0);
            ASSERT_EQ(0, archive->Open(path.c_str()));
            added = archive->AddFile((dir / "src.bin").c_str(), "src");
            closed = archive->Close();
        }
        Platform::FileTestHook::Reset();
        EXPECT_TRUE(added != 0 || closed != 0) << "limit " << limit;
    }
    std::string path = dir / "ok.qx";
    ASSERT_EQ(0, WriteArchive(path, {{"x", Noise(8000, 1)}}));
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    for (std::uint64_t limit : {0ull, 1000ull, 7999ull}) {
        Platform::FileTestHook::FailWritesAfter(limit);
        std::int32_t result = archive->ExtractEntry((dir / "x.out").c_str(), "x");
        Platform::FileTestHook::Reset();
        EXPECT_EQ(1, result) << limit;
    }
    EXPECT_EQ(0, archive->ExtractEntry((dir / "x.out").c_str(), "x"));
    EXPECT_EQ(Noise(8000, 1), ReadBytes(dir / "x.out"));
}

TEST(ArchiveMemory, AllocationFailuresNeitherLeakNorCorrupt) {
    ScratchFolder dir;
    std::string path = dir / "w.qx";
    int steps = QRV2Test::WalkAllocationFailures([&](int failedAt) {
        std::int64_t before = AllocatorHook::LiveBlocks();
        if (WriteArchive(path, {{"one", "first"}, {"two", Noise(5000, 2)}}) == 0) {
            AllocatorHook::Disarm();
            HeldArchive archive;
            ASSERT_EQ(0, archive->Open(path.c_str()));
            EXPECT_EQ("first", ReadEntry(archive.a, "one")) << "allocation " << failedAt;
        }
        Platform::FileDelete(path.c_str());
        EXPECT_EQ(before, AllocatorHook::LiveBlocks());
    });
    EXPECT_GT(steps, 10);
}

TEST(ArchiveFiles, AddFolderPacksTheVisibleTreeWithRelativeNames) {
    ScratchFolder dir;
    std::string src = dir / "src\\";
    HeldArchive maker;
    // Folders are created through the extraction of a helper archive, keeping this test to
    // the archive's own operations. Names beginning with "." count as hidden on POSIX and
    // under Wine, which marks such files hidden.
    std::string seed = dir / "seed.qx";
    ASSERT_EQ(0, WriteArchive(seed, {{"a.txt", "top"},
                                     {"sub\\b.txt", "below"},
                                     {".hidden\\c.txt", "secret"},
                                     {"sub\\.d.txt", "secret"}}));
    ASSERT_EQ(0, maker->Open(seed.c_str()));
    ASSERT_EQ(0, maker->ExtractAll(src.c_str(), nullptr));

    std::string path = dir / "folder.qx";
    {
        HeldArchive archive;
        archive->SetMode(0);
        ASSERT_EQ(0, archive->Open(path.c_str()));
        EXPECT_EQ(0, archive->AddFolder(src.c_str()));
        EXPECT_EQ(0, archive->Close());
    }
    HeldArchive archive;
    ASSERT_EQ(0, archive->Open(path.c_str()));
    EXPECT_EQ("top", ReadEntry(archive.a, "a.txt"));
    EXPECT_EQ("below", ReadEntry(archive.a, "sub\\b.txt"));
    EXPECT_EQ(1, archive->FindEntry(".hidden\\c.txt"));
    EXPECT_EQ(1, archive->FindEntry("sub\\.d.txt"));
}
