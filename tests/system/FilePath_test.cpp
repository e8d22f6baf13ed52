// FilePath: splitting, rebuilding from parts, and running out of storage part way.
#include <gtest/gtest.h>

#include <string>

#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/system/FilePath.h"
#include "tests/support/AllocationWalk.h"

using namespace QRV2;

namespace {

std::string Text(const char* text) { return text == nullptr ? "<null>" : std::string(text); }

// All six values in one line, so a failure shows the whole state.
std::string Parts(FilePath* p) {
    return Text(p->GetPath()) + "|" + Text(p->GetDrive()) + "|" + Text(p->GetFolder()) + "|" +
           Text(p->GetFileName()) + "|" + Text(p->GetBaseName()) + "|" + Text(p->GetExtension());
}

// drive + folder + file name, absent parts empty: what the path must equal after a part change.
std::string Joined(FilePath* p) {
    auto part = [](const char* t) { return t == nullptr ? std::string() : std::string(t); };
    return part(p->GetDrive()) + part(p->GetFolder()) + part(p->GetFileName());
}

class FilePathTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = CreateElementAs<FilePath>(TypeFilePath);
        ASSERT_NE(path, nullptr);
    }
    void TearDown() override { ReleaseElement(path); }
    FilePath* path = nullptr;
};

}  // namespace

TEST_F(FilePathTest, SplitsPathsWithAndWithoutDrive) {
    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
        {"D:\\dir\\sub\\file.tar.gz",
         "D:\\dir\\sub\\file.tar.gz|D:|\\dir\\sub\\|file.tar.gz|file.tar|.gz"},
        {"D:\\dir\\", "D:\\dir\\|D:|\\dir\\||<null>|<null>"},
        {"D:file.txt", "D:file.txt|<null>|<null>|D:file.txt|D:file|.txt"},
        {"D:/a/b.txt", "D:/a/b.txt|D:|/a/|b.txt|b|.txt"},
        {"dir\\b.txt", "dir\\b.txt|<null>|<null>|b.txt|b|.txt"},
        {"\\\\server\\share\\a.txt", "\\\\server\\share\\a.txt|<null>|<null>|a.txt|a|.txt"},
        {"/x/a", "/x/a|<null>|<null>|a|a|<null>"},
        {"C:\\d:x\\y", "C:\\d:x\\y|C:\\d:|x\\|y|y|<null>"},
        {"C:\\.profile", "C:\\.profile|C:|\\|.profile||.profile"},
        {"C:\\file.", "C:\\file.|C:|\\|file.|file|."},
        {"", "|<null>|<null>|<null>|<null>|<null>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(path->SetPath(c.input), 0);
        EXPECT_EQ(Parts(path), c.expected) << c.input;
    }
    EXPECT_EQ(path->SetPath(nullptr), 0);
    EXPECT_EQ(Parts(path), "|<null>|<null>|<null>|<null>|<null>");
}

TEST_F(FilePathTest, NeverSetPathIsNullAndAppendOnItActsAsSet) {
    EXPECT_EQ(path->GetPath(), nullptr);
    EXPECT_EQ(path->AppendPath("D:\\a\\"), 0);
    EXPECT_EQ(Parts(path), "D:\\a\\|D:|\\a\\||<null>|<null>");
    EXPECT_EQ(path->AppendPath("b.txt"), 0);
    EXPECT_EQ(Parts(path), "D:\\a\\b.txt|D:|\\a\\|b.txt|b|.txt");
    EXPECT_EQ(path->AppendPath(nullptr), 0);
    EXPECT_EQ(Text(path->GetPath()), "D:\\a\\b.txt");
}

TEST_F(FilePathTest, PartChangesRebuildThePathFromTheParts) {
    path->SetPath("D:\\dir\\file.txt");
    path->SetFileName(nullptr);
    EXPECT_EQ(Parts(path), "D:\\dir\\|D:|\\dir\\|<null>|<null>|<null>");
    path->SetFileName("npqx2011.dll");
    EXPECT_EQ(Parts(path), "D:\\dir\\npqx2011.dll|D:|\\dir\\|npqx2011.dll|npqx2011|.dll");

    path->SetPath("D:\\a\\n.txt");
    path->SetBaseName("x");
    EXPECT_EQ(Text(path->GetPath()), "D:\\a\\x.txt");
    path->SetExtension("dat");  // no dot added
    EXPECT_EQ(Parts(path), "D:\\a\\xdat|D:|\\a\\|xdat|x|dat");
    path->AppendExtension(".gz");
    path->AppendBaseName("y");
    EXPECT_EQ(Parts(path), "D:\\a\\xydat.gz|D:|\\a\\|xydat.gz|xy|dat.gz");

    path->SetPath("dir\\b.txt");
    path->SetExtension(".dat");  // the relative folder was never a part: it is lost
    EXPECT_EQ(Text(path->GetPath()), "b.dat");

    path->SetPath("D:\\x\\a.txt");
    path->SetFolder("\\dir");  // no separator is inserted
    EXPECT_EQ(Text(path->GetPath()), "D:\\dira.txt");
    path->AppendFolder("\\");
    path->SetDrive(nullptr);
    EXPECT_EQ(Parts(path), "\\dir\\a.txt|<null>|\\dir\\|a.txt|a|.txt");
    path->AppendDrive("E:");
    path->AppendFileName(".bak");
    EXPECT_EQ(Parts(path), "E:\\dir\\a.txt.bak|E:|\\dir\\|a.txt.bak|a.txt|.bak");
    path->SetBaseName(nullptr);
    path->SetExtension(nullptr);
    EXPECT_EQ(Parts(path), "E:\\dir\\|E:|\\dir\\||<null>|<null>");
    path->AppendDrive(nullptr);
    EXPECT_EQ(Text(path->GetDrive()), "E:");
}

TEST(FilePathStorage, SetAndAppendPathFailCleanlyWhenStorageRunsOut) {
    FilePath* path = CreateElementAs<FilePath>(TypeFilePath);
    ASSERT_NE(path, nullptr);
    path->SetPath("D:\\a\\b.txt");
    AllocatorHook::FailNth(1);
    EXPECT_EQ(path->SetPath("E:\\c\\d.txt"), 1);
    AllocatorHook::FailNth(1);
    EXPECT_EQ(path->AppendPath(".bak"), 1);
    AllocatorHook::Disarm();
    EXPECT_EQ(Parts(path), "D:\\a\\b.txt|D:|\\a\\|b.txt|b|.txt");
    ReleaseElement(path);
}

// Every part operation, with each of its allocations failing in turn: it reports 0 with the
// path exactly the parts joined, or 1 with no path at all (never a path naming another file);
// nothing leaks, and the object keeps working after the next SetPath.
TEST(FilePathStorage, PartOperationsKeepTheirInvariantUnderEveryAllocationFailure) {
    using Op = std::int32_t (FilePath::*)(const char*);
    const Op ops[] = {
        &FilePath::SetDrive,        &FilePath::AppendDrive,    &FilePath::SetFolder,
        &FilePath::AppendFolder,    &FilePath::SetFileName,    &FilePath::AppendFileName,
        &FilePath::SetBaseName,     &FilePath::AppendBaseName, &FilePath::SetExtension,
        &FilePath::AppendExtension, &FilePath::SetPath,        &FilePath::AppendPath};
    for (Op op : ops) {
        std::int64_t before = AllocatorHook::LiveBlocks();
        int walked = QRV2Test::WalkAllocationFailures([&](int failedAt) {
            AllocatorHook::Disarm();
            FilePath* path = CreateElementAs<FilePath>(TypeFilePath);
            ASSERT_NE(path, nullptr);
            path->SetPath("D:\\dir\\name.ext");
            AllocatorHook::FailNth(static_cast<std::uint64_t>(failedAt));
            std::int32_t result = (path->*op)("new.part");
            bool wholePath = op == &FilePath::SetPath || op == &FilePath::AppendPath;
            if (!wholePath) {
                if (result == 0) {
                    ASSERT_NE(path->GetPath(), nullptr);
                    EXPECT_EQ(Text(path->GetPath()), Joined(path));
                } else {
                    EXPECT_EQ(result, 1);
                    EXPECT_EQ(path->GetPath(), nullptr);
                }
            } else {
                EXPECT_TRUE(result == 0 || result == 1);
                if (result == 1 && Text(path->GetPath()) != "D:\\dir\\name.ext") {
                    // The text was taken but a part was lost: the next part change gives no
                    // path instead of one rebuilt without that part.
                    AllocatorHook::Disarm();
                    EXPECT_EQ(path->SetExtension(".q"), 1);
                    EXPECT_EQ(path->GetPath(), nullptr);
                }
            }
            AllocatorHook::Disarm();
            path->SetPath("E:\\x\\y.z");
            EXPECT_EQ(Parts(path), "E:\\x\\y.z|E:|\\x\\|y.z|y|.z");
            ReleaseElement(path);
        });
        EXPECT_GT(walked, 0);
        EXPECT_EQ(AllocatorHook::LiveBlocks(), before);
    }
}
