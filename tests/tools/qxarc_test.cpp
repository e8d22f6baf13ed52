// Whole-program tests of qxarc: create, list, test and extract on folder trees and damaged files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/Core.h"
#include "framework/io/Archive.h"
#include "framework/io/Stream.h"
#include "framework/system/FileFunc.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Noise.h"
#include "tests/support/ScratchFolder.h"

using QRV2Test::NativePath;
using QRV2Test::Noise;
using QRV2Test::PathPresent;
using QRV2Test::ReadBytes;
using QRV2Test::ScratchFolder;
using QRV2Test::WriteBytes;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// Runs qxarc (built in its own folder beside the tests' folder) and gives its exit status.
int Qxarc(const std::vector<std::string>& arguments) {
    QRV2Test::ChildProcess child;
    if (!child.Start(QRV2Test::HelperProgram("../tools/qxarc/qxarc"), arguments)) return -1;
    int code = -1;
    if (!child.Wait(120000, &code)) return -2;
    return code;
}

void Put(const std::string& path, const std::string& content) {
    QRV2::FileFunc* files = QRV2::CreateElementAs<QRV2::FileFunc>(QRV2::TypeFileFunc);
    ASSERT_NE(nullptr, files);
    EXPECT_EQ(0, files->CreateFolders(path.c_str()));
    QRV2::ReleaseElement(files);
    WriteBytes(path, content);
}

const std::vector<std::pair<std::string, std::string>> kTree = {
    {"a.txt", "alpha"},
    {"empty.bin", ""},
    {"sub\\b.bin", Noise(20000, 1)},
    {"sub\\deeper\\c.txt", std::string(70000, 'c')},
    {"other\\d.dat", Noise(300, 2)},
};

// Dot names are hidden on POSIX and under Wine (which gives such files the hidden attribute).
void MakeTree(const std::string& root) {
    for (const auto& [name, content] : kTree) Put(root + name, content);
    Put(root + ".hidden\\secret.txt", "not packed");
    Put(root + ".dotfile", "not packed");
}

}  // namespace

TEST(Qxarc, FolderTreeRoundTripsByteForByte) {
    ScratchFolder dir;
    MakeTree(dir / "src\\");
    std::string archive = NativePath(dir / "tree.qx");
    ASSERT_EQ(kOk, Qxarc({"create", archive, NativePath(dir / "src")}));
    EXPECT_EQ(kOk, Qxarc({"test", archive}));
    EXPECT_EQ(kOk, Qxarc({"list", archive}));
    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "out")}));
    for (const auto& [name, content] : kTree) EXPECT_EQ(content, ReadBytes(dir / ("out\\" + name))) << name;
    EXPECT_FALSE(PathPresent(dir / "out\\.dotfile"));
    EXPECT_FALSE(PathPresent(dir / "out\\.hidden"));

    // Entry names are relative paths with "\" between components, whatever the host uses.
    QRV2::Archive* a = QRV2::CreateElementAs<QRV2::Archive>(QRV2::TypeArchive);
    ASSERT_NE(nullptr, a);
    ASSERT_EQ(0, a->Open((dir / "tree.qx").c_str()));
    EXPECT_EQ(0, a->FindEntry("sub\\deeper\\c.txt"));
    EXPECT_EQ(1, a->FindEntry(".dotfile"));
    QRV2::ReleaseElement(a);

    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "part"), "sub"}));
    EXPECT_EQ(kTree[2].second, ReadBytes(dir / "part\\b.bin"));
    EXPECT_EQ(kTree[3].second, ReadBytes(dir / "part\\deeper\\c.txt"));
    EXPECT_FALSE(PathPresent(dir / "part\\a.txt"));
}

TEST(Qxarc, EmptyFolderMakesAValidEmptyArchive) {
    ScratchFolder dir;
    Put(dir / "void\\.only-hidden", "x");
    std::string archive = NativePath(dir / "void.qx");
    ASSERT_EQ(kOk, Qxarc({"create", archive, NativePath(dir / "void")}));
    EXPECT_EQ(20u, ReadBytes(dir / "void.qx").size());
    EXPECT_EQ(kOk, Qxarc({"test", archive}));
    EXPECT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "out")}));
}

TEST(Qxarc, UsageErrorsAndInformation) {
    EXPECT_EQ(kOk, Qxarc({"--help"}));
    EXPECT_EQ(kOk, Qxarc({"--version"}));
    EXPECT_EQ(kUsage, Qxarc({}));
    EXPECT_EQ(kUsage, Qxarc({"pack", "x"}));
    EXPECT_EQ(kUsage, Qxarc({"create", "only-one"}));
    EXPECT_EQ(kUsage, Qxarc({"list"}));
    EXPECT_EQ(kUsage, Qxarc({"extract", "a", "b", "c", "d"}));
}

TEST(Qxarc, DamagedOrMissingArchivesFail) {
    ScratchFolder dir;
    Put(dir / "src\\one.txt", Noise(5000, 3));
    Put(dir / "src\\two.txt", "second");
    std::string archive = NativePath(dir / "d.qx");
    ASSERT_EQ(kOk, Qxarc({"create", archive, NativePath(dir / "src")}));
    std::string good = ReadBytes(dir / "d.qx");

    EXPECT_EQ(kFailed, Qxarc({"test", NativePath(dir / "absent.qx")}));
    EXPECT_EQ(kFailed, Qxarc({"list", NativePath(dir / "absent.qx")}));
    EXPECT_EQ(kFailed, Qxarc({"create", archive, NativePath(dir / "no-such-folder")}));
    EXPECT_EQ(good, ReadBytes(dir / "d.qx")) << "a failed create leaves the old archive";

    std::string badMagic = good;
    badMagic[1] = 'Y';
    WriteBytes(dir / "d.qx", badMagic);
    EXPECT_EQ(kFailed, Qxarc({"test", archive}));
    EXPECT_EQ(kFailed, Qxarc({"extract", archive, NativePath(dir / "m")}));

    // The first block ("one.txt" sorts first) damaged: test and extract fail, the damaged
    // entry leaves no file behind, the intact one still comes out.
    std::string corrupt = good;
    corrupt[good.size() - 200] ^= 0x33;
    corrupt[good.size() - 1000] ^= 0x44;
    WriteBytes(dir / "d.qx", corrupt);
    EXPECT_EQ(kFailed, Qxarc({"test", archive}));
    EXPECT_EQ(kFailed, Qxarc({"extract", archive, NativePath(dir / "c")}));
    EXPECT_FALSE(PathPresent(dir / "c\\one.txt"));
    EXPECT_EQ("second", ReadBytes(dir / "c\\two.txt"));

    WriteBytes(dir / "d.qx", good.substr(0, good.size() - 3));
    EXPECT_EQ(kFailed, Qxarc({"test", archive})) << "last block cut short";
}

TEST(Qxarc, ExtractRefusesNamesThatLeaveTheDestination) {
    ScratchFolder dir;
    std::string path = dir / "evil.qx";
    {
        QRV2::Archive* a = QRV2::CreateElementAs<QRV2::Archive>(QRV2::TypeArchive);
        ASSERT_NE(nullptr, a);
        a->SetMode(0);
        ASSERT_EQ(0, a->Open(path.c_str()));
        for (const char* name : {"..\\escaped.txt", "good.txt"}) {
            QRV2::Stream* s = a->BeginEntry(name);
            ASSERT_NE(nullptr, s);
            s->Write("x", 1);
            ASSERT_EQ(0, a->EndEntry());
        }
        ASSERT_EQ(0, a->Close());
        QRV2::ReleaseElement(a);
    }
    EXPECT_EQ(kFailed, Qxarc({"extract", NativePath(path), NativePath(dir / "out")}));
    EXPECT_FALSE(PathPresent(dir / "escaped.txt"));
    EXPECT_EQ("x", ReadBytes(dir / "out\\good.txt")) << "safe entries are still extracted";
}
