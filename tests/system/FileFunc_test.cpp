// FileFunc: folder chains, existence, removal and rename refusals, whole-file copy/read/write.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/io/BinaryStream.h"
#include "framework/system/FileFunc.h"
#include "platform/File.h"
#include "platform/testing/FileTestHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/ScratchFolder.h"

using namespace QRV2;
using QRV2Test::IsDirectory;
using QRV2Test::PathPresent;
using QRV2Test::ReadBytes;
using QRV2Test::ScratchFolder;
using QRV2Test::WriteBytes;

namespace {

class FileFuncTest : public ::testing::Test {
protected:
    void SetUp() override {
        files = CreateElementAs<FileFunc>(TypeFileFunc);
        ASSERT_NE(files, nullptr);
    }
    void TearDown() override { ReleaseElement(files); }
    FileFunc* files = nullptr;
    ScratchFolder dir;
};

}  // namespace

TEST_F(FileFuncTest, CreateFoldersMakesOnlyTheMissingOnesAndIsIdempotent) {
    std::string x = dir / "x";
    ASSERT_EQ(Platform::FolderCreate(x.c_str()), Platform::Error::None);
    WriteBytes(x + "\\marker", "m");  // proves x is kept, not re-made
    EXPECT_EQ(files->CreateFolders((x + "\\y\\z.bin").c_str()), 0);
    EXPECT_TRUE(IsDirectory(x + "\\y"));
    EXPECT_FALSE(PathPresent(x + "\\y\\z.bin"));
    EXPECT_EQ(ReadBytes(x + "\\marker"), "m");
    EXPECT_EQ(files->CreateFolders((x + "\\y\\z.bin").c_str()), 0);

    // A trailing separator: the whole path is folders. Forward slashes work the same.
    EXPECT_EQ(files->CreateFolders((dir / "p\\q\\r\\").c_str()), 0);
    EXPECT_TRUE(IsDirectory(dir / "p\\q\\r"));
    EXPECT_EQ(files->CreateFolders((dir / "s/t/u.txt").c_str()), 0);
    EXPECT_TRUE(IsDirectory(dir / "s/t"));

    // A relative path has no folder part: nothing is created.
    EXPECT_EQ(files->CreateFolders("rel\\dir\\z.bin"), 0);
    EXPECT_FALSE(PathPresent("rel"));

    // A file in the way: the folder cannot exist afterwards.
    WriteBytes(dir / "plain", "f");
    EXPECT_EQ(files->CreateFolders((dir / "plain\\sub\\a.txt").c_str()), 1);
}

TEST_F(FileFuncTest, ExistenceTests) {
    WriteBytes(dir / "a.txt", "a");
    std::string folder = dir / "sub";
    ASSERT_EQ(files->CreateFolders((folder + "\\").c_str()), 0);
    EXPECT_EQ(files->Exists(folder.c_str()), 0);
    EXPECT_EQ(files->Exists((folder + "\\").c_str()), 1);
    EXPECT_EQ(files->Exists((dir / "?.txt").c_str()), 0);

    EXPECT_EQ(files->FolderExists((folder + "\\file.bin").c_str()), 0);
    EXPECT_EQ(files->FolderExists((folder + "\\").c_str()), 0);
    EXPECT_EQ(files->FolderExists((dir / "none\\file.bin").c_str()), 1);
    EXPECT_EQ(files->FolderExists("a.txt"), 0);  // no folder part: nothing to test
}

TEST_F(FileFuncTest, RemoveFolderRefusesAFolderThatHoldsFiles) {
    std::string folder = dir / "busy";
    ASSERT_EQ(files->CreateFolders((folder + "\\f.txt").c_str()), 0);
    WriteBytes(folder + "\\f.txt", "f");
    EXPECT_EQ(files->RemoveFolder(folder.c_str()), 1);
    EXPECT_EQ(ReadBytes(folder + "\\f.txt"), "f");
    EXPECT_EQ(files->Delete((folder + "\\f.txt").c_str()), 0);
    EXPECT_EQ(files->Delete((folder + "\\f.txt").c_str()), 1);
    EXPECT_EQ(files->RemoveFolder(folder.c_str()), 0);
    EXPECT_FALSE(PathPresent(folder));
    EXPECT_EQ(files->RemoveFolder(folder.c_str()), 1);
}

TEST_F(FileFuncTest, RenameNeverReplacesAndDeleteRefusesAnOpenFile) {
    std::string a = dir / "a.bin", b = dir / "b.bin", c = dir / "c.bin";
    WriteBytes(a, "AAA");
    WriteBytes(b, "B");
    EXPECT_EQ(files->Rename(a.c_str(), b.c_str()), 1);
    EXPECT_EQ(ReadBytes(a), "AAA");
    EXPECT_EQ(ReadBytes(b), "B");
    EXPECT_EQ(files->Rename(a.c_str(), c.c_str()), 0);
    EXPECT_FALSE(PathPresent(a));
    EXPECT_EQ(ReadBytes(c), "AAA");

    BinaryStream* open = CreateElementAs<BinaryStream>(TypeBinaryStream);
    ASSERT_NE(open, nullptr);
    open->SetPathName(c.c_str());
    Stream* stream = InterfaceOf<Stream>(open, InterfaceStream);
    stream->SetAccessMode(Stream::AccessRead);
    ASSERT_EQ(stream->Open(), 0);
    EXPECT_EQ(files->Delete(c.c_str()), 1);
    EXPECT_EQ(files->Truncate(c.c_str()), 1);  // cannot be emptied while held
    EXPECT_EQ(ReadBytes(c), "AAA");
    ReleaseElement(open);
    EXPECT_EQ(files->Delete(c.c_str()), 0);
}

TEST_F(FileFuncTest, TruncateCreatesOrEmptiesAndReportsFailure) {
    std::string t = dir / "t.bin";
    EXPECT_EQ(files->Truncate(t.c_str()), 0);
    EXPECT_EQ(ReadBytes(t), "");
    WriteBytes(t, "content");
    EXPECT_EQ(files->Truncate(t.c_str()), 0);
    EXPECT_EQ(ReadBytes(t), "");
    EXPECT_EQ(files->Truncate((dir / "missing\\t.bin").c_str()), 1);
}

TEST_F(FileFuncTest, CopyReadAllWriteAllRoundTripIncludingEmptyFiles) {
    std::string big(10000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + 7);
    std::string src = dir / "src.bin", dst = dir / "dst.bin";
    ASSERT_EQ(files->WriteAll(src.c_str(), big.data(), static_cast<std::int32_t>(big.size())), 0);
    EXPECT_EQ(ReadBytes(src), big);
    EXPECT_EQ(files->Copy(src.c_str(), dst.c_str()), 0);
    EXPECT_EQ(ReadBytes(dst), big);

    void* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(files->ReadAll(dst.c_str(), &data, &size, 1), 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 10000u);
    EXPECT_EQ(std::memcmp(data, big.data(), big.size()), 0);
    Free(data);

    // A shorter write and an empty copy both cut the older, longer file.
    ASSERT_EQ(files->WriteAll(src.c_str(), "0123456789", 10), 0);
    ASSERT_EQ(files->ReadAll(src.c_str(), &data, &size, 1), 0);
    EXPECT_EQ(size, 10u);
    static_cast<char*>(data)[10] = '\0';
    EXPECT_STREQ(static_cast<char*>(data), "0123456789");
    Free(data);
    std::string empty = dir / "empty.bin";
    ASSERT_EQ(files->WriteAll(empty.c_str(), nullptr, 0), 0);
    EXPECT_EQ(ReadBytes(empty), "");
    EXPECT_EQ(files->Copy(empty.c_str(), dst.c_str()), 0);
    EXPECT_EQ(ReadBytes(dst), "");
    EXPECT_EQ(files->Copy(empty.c_str(), (dir / "fresh.bin").c_str()), 0);
    EXPECT_EQ(ReadBytes(dir / "fresh.bin"), "");
    ASSERT_EQ(files->ReadAll(empty.c_str(), &data, &size, 0), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_NE(data, nullptr);
    Free(data);

    // Failures: missing source, missing target folder, bad arguments.
    EXPECT_EQ(files->ReadAll((dir / "none.bin").c_str(), &data, &size, 0), 1);
    EXPECT_EQ(data, nullptr);
    EXPECT_FALSE(PathPresent(dir / "none.bin"));
    EXPECT_EQ(files->Copy((dir / "none.bin").c_str(), dst.c_str()), 1);
    EXPECT_EQ(files->Copy(src.c_str(), (dir / "no\\dst.bin").c_str()), 1);
    EXPECT_EQ(files->Copy(src.c_str(), src.c_str()), 1);  // onto itself: held, refused
    EXPECT_EQ(ReadBytes(src), "0123456789");
    EXPECT_EQ(files->WriteAll(src.c_str(), "x", -1), 1);
    EXPECT_EQ(files->ReadAll(src.c_str(), &data, &size, -1), 1);
}

TEST_F(FileFuncTest, FullDiskMakesWriteAllAndCopyFail) {
    std::string src = dir / "src.bin";
    std::string payload(9000, 'p');
    ASSERT_EQ(files->WriteAll(src.c_str(), payload.data(), 9000), 0);
    Platform::FileTestHook::FailWritesAfter(5000);
    EXPECT_EQ(files->Copy(src.c_str(), (dir / "copy.bin").c_str()), 1);
    Platform::FileTestHook::FailWritesAfter(100);
    EXPECT_EQ(files->WriteAll((dir / "w.bin").c_str(), payload.data(), 9000), 1);
    Platform::FileTestHook::Reset();
    EXPECT_EQ(ReadBytes(dir / "w.bin").size(), 100u);
}

TEST_F(FileFuncTest, OperationsUnderEveryAllocationFailureFailCleanly) {
    std::string src = dir / "s.bin";
    WriteBytes(src, "source bytes");
    std::int64_t before = AllocatorHook::LiveBlocks();
    int walked = QRV2Test::WalkAllocationFailures([&](int) {
        std::string target = dir / "t.bin";
        std::int32_t copied = files->Copy(src.c_str(), target.c_str());
        if (copied == 0) {
            EXPECT_EQ(ReadBytes(target), "source bytes");
        }
        void* data = nullptr;
        std::uint32_t size = 0;
        if (files->ReadAll(src.c_str(), &data, &size, 1) == 0) {
            EXPECT_EQ(size, 12u);
            Free(data);
        } else {
            EXPECT_EQ(data, nullptr);
        }
        std::int32_t made = files->CreateFolders((dir / "deep\\er\\f.txt").c_str());
        if (made == 0) {
            EXPECT_TRUE(IsDirectory(dir / "deep\\er"));
        }
    });
    EXPECT_GT(walked, 5);
    EXPECT_EQ(AllocatorHook::LiveBlocks(), before);
}
