// Tests of qxarc: its rules for names, paths and options, and whole-program runs of create,
// list, test and extract on folder trees and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#endif

#include "framework/archive/Archive.h"
#include "framework/archive/ArchiveEntry.h"
#include "framework/containers/ElementContainer.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/Stream.h"
#include "framework/core/Core.h"
#include "framework/system/FileFunc.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Noise.h"
#include "tests/support/ScratchFolder.h"
#include "tools/qxarc/Command.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Extract.h"

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

#ifndef _WIN32
// Runs qxarc through the shell (for redirections); *output gets what it wrote to stderr.
int QxarcShell(const std::string& arguments, std::string* output = nullptr) {
    std::string command =
        QRV2Test::HelperProgram("../tools/qxarc/qxarc") + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[512];
    std::string text;
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    int status = pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

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

// The names of an archive's entries in directory order; empty when it does not open.
std::vector<std::string> EntryNames(const std::string& path) {
    std::vector<std::string> names;
    QRV2::Archive* a = QRV2::CreateElementAs<QRV2::Archive>(QRV2::TypeArchive);
    if (a == nullptr || a->Open(path.c_str()) != 0) {
        QRV2::ReleaseElement(a);
        return names;
    }
    QRV2::Iterator* it = a->GetIterator(QRV2::ElementContainer::IteratorRead);
    for (it->First(); it->IsAtEnd() == 0; it->Next())
        names.push_back(static_cast<QRV2::ArchiveEntry*>(it->GetCurrent())->GetName());
    a->ReturnIterator(&it);
    QRV2::ReleaseElement(a);
    return names;
}

std::size_t FilesIn(const std::string& folder) {
    std::error_code error;
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(NativePath(folder), error);
         !error && it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

std::uint32_t U32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

void SetU32(std::string* b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>(v >> (8 * i));
}

const std::vector<std::pair<std::string, std::string>> kTree = {
    {"a.txt", "alpha"},
    {"empty.bin", ""},
    {"sub\\b.bin", Noise(20000, 1)},
    {"sub\\deeper\\c.txt", std::string(70000, 'c')},
    {"other\\d.dat", Noise(300, 2)},
    {"subway.txt", "shares the start of \"sub\" but lies beside it"},
};

// Dot names are hidden on POSIX and under Wine (which gives such files the hidden attribute).
void MakeTree(const std::string& root) {
    for (const auto& [name, content] : kTree) Put(root + name, content);
    Put(root + ".hidden\\secret.txt", "not packed");
    Put(root + ".dotfile", "not packed");
}

}  // namespace

TEST(QxarcRules, PrefixesMatchWholeComponentsInAnyLetterCase) {
    std::string rest;
    EXPECT_TRUE(QxarcTool::BelowPrefix("SUB\\deeper\\c.txt", "sub", &rest));
    EXPECT_EQ("deeper\\c.txt", rest);
    EXPECT_TRUE(QxarcTool::BelowPrefix("sub\\\\b.bin", "sub\\", &rest));
    EXPECT_EQ("b.bin", rest) << "separators after the prefix are not part of the path";
    EXPECT_FALSE(QxarcTool::BelowPrefix("subway.txt", "sub", &rest));
    EXPECT_FALSE(QxarcTool::BelowPrefix("su", "sub", &rest));
    EXPECT_TRUE(QxarcTool::BelowPrefix("a.txt", "", &rest));
    EXPECT_EQ("a.txt", rest);
}

TEST(QxarcRules, PlaceKeysFoldWhatTheFileSystemMayFold) {
    std::vector<std::string> folders;
    EXPECT_EQ("sub\\deep\\a.txt", QxarcTool::PlaceKey("Sub.\\\\DEEP \\A.TXT.", &folders));
    EXPECT_EQ((std::vector<std::string>{"sub", "sub\\deep"}), folders);
    // The file's own name stays as given where the system tells names apart exactly.
    EXPECT_EQ("sub\\A.TXT.", QxarcTool::PlaceKey("SUB/A.TXT.", nullptr, false));
}

TEST(QxarcRules, JobsPathsAndShownNames) {
    std::vector<std::string> operands = {"-j", "4", "--", "-jx", "b"};
    unsigned jobs = 0;
    std::string problem;
    EXPECT_TRUE(QxarcTool::TakeJobs(&operands, &jobs, &problem));
    EXPECT_EQ(4u, jobs);
    EXPECT_EQ((std::vector<std::string>{"-jx", "b"}), operands) << "\"--\" ends the options";
    operands = {"-j256", "a"};
    EXPECT_TRUE(QxarcTool::TakeJobs(&operands, &jobs, &problem));
    EXPECT_EQ(256u, jobs);
    for (const auto& bad :
         std::vector<std::vector<std::string>>{{"-j"}, {"-j0"}, {"-j", "257"}, {"-j+1"}}) {
        operands = bad;
        problem.clear();
        EXPECT_FALSE(QxarcTool::TakeJobs(&operands, &jobs, &problem)) << bad.back();
        EXPECT_FALSE(problem.empty());
    }
    EXPECT_EQ("Z:\\a\\c", QxarcTool::Normalized("Z:\\a\\.\\b\\..\\\\c\\"));
    EXPECT_EQ("Z:\\a\\c", QxarcTool::Normalized("Z:/a/b/../c"));
    EXPECT_EQ("a\\x1B[2J\\x0A\\x7F\xE9", QxarcTool::Shown("a\x1B[2J\n\x7F\xE9"));
}

TEST(Qxarc, FolderTreeRoundTripsByteForByte) {
    ScratchFolder dir;
    MakeTree(dir / "src\\");
    std::string archive = NativePath(dir / "tree.qx");
    ASSERT_EQ(kOk, Qxarc({"create", archive, NativePath(dir / "src")}));
    EXPECT_EQ(kOk, Qxarc({"test", archive}));
    EXPECT_EQ(kOk, Qxarc({"list", archive}));
    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "out")}));
    for (const auto& [name, content] : kTree)
        EXPECT_EQ(content, ReadBytes(dir / ("out\\" + name))) << name;
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
    EXPECT_FALSE(PathPresent(dir / "part\\way.txt")) << "a prefix ends at a folder boundary";

    // A folder already there under another letter case takes the entries meant for it.
    Put(dir / "cased\\SUB\\b.bin", "old");
    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "cased")}));
    EXPECT_EQ(kTree[2].second, ReadBytes(dir / "cased\\SUB\\b.bin"));

    // Entries come in name order, whatever order the system lists the folder in.
    std::vector<std::string> names = EntryNames(dir / "tree.qx");
    EXPECT_EQ(kTree.size(), names.size());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));

    // An archive written into the folder it packs does not take in its own older copy.
    std::string inside = NativePath(dir / "src\\self.qx");
    ASSERT_EQ(kOk, Qxarc({"create", inside, NativePath(dir / "src")}));
    ASSERT_EQ(kOk, Qxarc({"create", inside, NativePath(dir / "src")}));
    EXPECT_EQ(kTree.size(), EntryNames(dir / "src\\self.qx").size());
}

TEST(Qxarc, AnyNumberOfWorkersMakesTheFrameworkWritersBytes) {
    ScratchFolder dir;
    // Sizes from empty to large, so workers finish out of entry order.
    std::vector<std::pair<std::string, std::string>> tree;
    for (int i = 0; i < 24; ++i) {
        const std::string name = "f" + std::to_string(i % 3) + "\\n" + std::to_string(i);
        std::size_t size = i % 4 == 0 ? 0 : static_cast<std::size_t>(1) << (3 + (i * 7) % 19);
        std::string content = Noise(size, static_cast<unsigned>(i));
        if (i % 2 == 1) content = std::string(size / 2, 'z') + content.substr(size / 2);
        tree.emplace_back(name, content);
    }
    for (const auto& [name, content] : tree) Put(dir / ("src\\" + name), content);
    const std::string one = NativePath(dir / "one.qx");
    const std::string four = NativePath(dir / "four.qx");
    ASSERT_EQ(kOk, Qxarc({"create", "-j", "1", one, NativePath(dir / "src")}));
    ASSERT_EQ(kOk, Qxarc({"create", "-j4", four, NativePath(dir / "src")}));
    const std::string bytes = ReadBytes(dir / "one.qx");
    EXPECT_TRUE(bytes == ReadBytes(dir / "four.qx")) << "-j 4 differs from -j 1";

    // The framework's writer, given the same files in the same (name) order.
    std::sort(tree.begin(), tree.end());
    QRV2::Archive* a = QRV2::CreateElementAs<QRV2::Archive>(QRV2::TypeArchive);
    ASSERT_NE(nullptr, a);
    a->SetMode(0);
    ASSERT_EQ(0, a->Open((dir / "framework.qx").c_str()));
    for (const auto& entry : tree)
        ASSERT_EQ(0, a->AddFile((dir / ("src\\" + entry.first)).c_str(), entry.first.c_str()));
    ASSERT_EQ(0, a->Close());
    QRV2::ReleaseElement(a);
    EXPECT_TRUE(bytes == ReadBytes(dir / "framework.qx")) << "differs from the framework's writer";

    ASSERT_EQ(kOk, Qxarc({"extract", "-j", "4", four, NativePath(dir / "out")}));
    for (const auto& [name, content] : tree)
        EXPECT_TRUE(content == ReadBytes(dir / ("out\\" + name))) << name;
    EXPECT_EQ(kUsage, Qxarc({"create", "-j", "0", one, NativePath(dir / "src")}));
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

    // Records: "one.txt" then "two.txt", 18 bytes each from offset 20; offset field at 10.
    const std::uint32_t oneBlock = U32(good, 30);
    const std::uint32_t twoBlock = U32(good, 48);
    ASSERT_EQ(56u, oneBlock);

    // Content shorter than its block declares: neither test nor extract accept it, and the
    // file it would replace stays as it was, with no temporary file left beside it.
    std::string shorter = good;
    SetU32(&shorter, oneBlock + 4, 5001);
    WriteBytes(dir / "d.qx", shorter);
    EXPECT_EQ(kFailed, Qxarc({"test", archive}));
    Put(dir / "s\\one.txt", "old");
    EXPECT_EQ(kFailed, Qxarc({"extract", archive, NativePath(dir / "s")}));
    EXPECT_EQ("old", ReadBytes(dir / "s\\one.txt"));
    EXPECT_EQ("second", ReadBytes(dir / "s\\two.txt"));
    EXPECT_EQ(2u, FilesIn(dir / "s"));

    std::string unknownTag = good;
    unknownTag[twoBlock] = 'X';
    WriteBytes(dir / "d.qx", unknownTag);
    EXPECT_EQ(kFailed, Qxarc({"test", archive})) << "unknown block tag";

    // Offset 8 makes the directory itself read as a well-formed "RAW" block.
    std::string intoDirectory = good;
    SetU32(&intoDirectory, 30, 8);
    WriteBytes(dir / "d.qx", intoDirectory);
    EXPECT_EQ(kFailed, Qxarc({"test", archive})) << "block offset inside the directory";
}

namespace {

// Writes an archive of the given (name, content) entries in that order.
void WriteArchive(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& entries) {
    QRV2::Archive* a = QRV2::CreateElementAs<QRV2::Archive>(QRV2::TypeArchive);
    ASSERT_NE(nullptr, a);
    a->SetMode(0);
    ASSERT_EQ(0, a->Open(path.c_str()));
    for (const auto& [name, content] : entries) {
        QRV2::Stream* s = a->BeginEntry(name.c_str());
        ASSERT_NE(nullptr, s);
        s->Write(content.data(), static_cast<std::uint32_t>(content.size()));
        ASSERT_EQ(0, a->EndEntry());
    }
    ASSERT_EQ(0, a->Close());
    QRV2::ReleaseElement(a);
}

}  // namespace

TEST(Qxarc, ExtractRefusesNamesThatLeaveTheDestination) {
    ScratchFolder dir;
    std::string path = dir / "evil.qx";
    WriteArchive(path, {{"..\\escaped.txt", "x"}, {"good.txt", "x"}});
    EXPECT_EQ(kFailed, Qxarc({"extract", NativePath(path), NativePath(dir / "out")}));
    EXPECT_FALSE(PathPresent(dir / "escaped.txt"));
    EXPECT_EQ("x", ReadBytes(dir / "out\\good.txt")) << "safe entries are still extracted";

    // Two entries whose names differ only in letter case are one file where the file system
    // ignores case: the later is kept and the earlier is named as lost. Elsewhere they are two
    // files (their folders are one in both cases).
    std::string cased = dir / "cased.qx";
    WriteArchive(cased, {{"c\\a.txt", "lower"}, {"C\\A.TXT", "upper"}});
#ifdef _WIN32
    EXPECT_EQ(kFailed, Qxarc({"extract", NativePath(cased), NativePath(dir / "c")}));
    EXPECT_EQ("upper", ReadBytes(dir / "c\\c\\a.txt"));
#else
    EXPECT_EQ(kOk, Qxarc({"extract", NativePath(cased), NativePath(dir / "c")}));
    EXPECT_EQ("lower", ReadBytes(dir / "c\\c\\a.txt"));
    EXPECT_EQ("upper", ReadBytes(dir / "c\\c\\A.TXT"));

    // Here the same name (in folders of any letter case) is one file: each entry lost to a
    // later one is named with the entry that took its place, whatever the number of workers.
    std::string twice = dir / "twice.qx";
    WriteArchive(twice, {{"d\\x.txt", "first"}, {"D\\x.txt", "second"}, {"d\\x.txt", "third"}});
    const std::string label = "qxarc: " + NativePath(twice) + ": entry ";
    const std::string expected =
        label +
        "\"d\\x.txt\": replaced by entry \"D\\x.txt\" after it, which names the same file\n" +
        label +
        "\"D\\x.txt\": replaced by entry \"d\\x.txt\" after it, which names the same file\n";
    for (const std::string jobs : {"1", "3"}) {
        const std::string out = dir / ("t" + jobs);
        std::string errors;
        EXPECT_EQ(kFailed,
                  QxarcShell("extract -j " + jobs + " " + NativePath(twice) + " " + NativePath(out),
                             &errors));
        EXPECT_EQ(expected, errors) << "-j " << jobs;
        EXPECT_EQ("third", ReadBytes(out + "\\d\\x.txt"));
    }
#endif
}

#ifndef _WIN32
TEST(Qxarc, CreateNamesEveryFileItLeavesOutAndPacksTheRest) {
    ScratchFolder dir;
    Put(dir / "src\\a.txt", "alpha");
    Put(dir / "src\\sub\\b.txt", "beta");
    Put(dir / "target.txt", "through the link");
    const std::string src = NativePath(dir / "src") + "/";
    ASSERT_EQ(0, mkfifo((src + "pipe").c_str(), 0600));
    ASSERT_EQ(0, symlink("/nonexistent-target", (src + "dangling").c_str()));
    ASSERT_EQ(0, symlink(NativePath(dir / "").c_str(), (src + "folderlink").c_str()));
    ASSERT_EQ(0, symlink(NativePath(dir / "target.txt").c_str(), (src + "filelink").c_str()));
    // Sparse: refused from its size, never read.
    Put(dir / "src\\huge.bin", "");
    ASSERT_EQ(0, truncate((src + "huge.bin").c_str(), (std::int64_t{1} << 32) + 5));

    std::string errors;
    const std::string archive = NativePath(dir / "t.qx");
    EXPECT_EQ(kFailed, QxarcShell("create " + archive + " " + src, &errors));
    for (const char* name : {"pipe", "dangling", "folderlink", "huge.bin"})
        EXPECT_NE(std::string::npos, errors.find(src + name)) << name << "\n" << errors;
    EXPECT_EQ((std::vector<std::string>{"a.txt", "filelink", "sub\\b.txt"}),
              EntryNames(dir / "t.qx"));
    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "out")}));
    EXPECT_EQ("through the link", ReadBytes(dir / "out\\filelink"));

    EXPECT_EQ(kFailed, Qxarc({"create", NativePath(dir / "f.qx"), src + "a.txt"}))
        << "FOLDER is a file";
    EXPECT_FALSE(PathPresent(dir / "f.qx"));
    EXPECT_EQ(kFailed, QxarcShell("list " + archive + " >/dev/full"));
}

TEST(Qxarc, ExtractNeverWritesThroughLinksInTheDestination) {
    ScratchFolder dir;
    Put(dir / "src\\victim.txt", "new");
    Put(dir / "src\\dirlink\\x.txt", "inner");
    Put(dir / "outside\\victim.txt", "untouched");
    const std::string archive = NativePath(dir / "e.qx");
    ASSERT_EQ(kOk, Qxarc({"create", archive, NativePath(dir / "src")}));
    Put(dir / "dest\\keep", "");
    const std::string dest = NativePath(dir / "dest") + "/";
    ASSERT_EQ(
        0, symlink(NativePath(dir / "outside\\victim.txt").c_str(), (dest + "victim.txt").c_str()));
    ASSERT_EQ(0, symlink(NativePath(dir / "outside").c_str(), (dest + "dirlink").c_str()));

    EXPECT_EQ(kFailed, Qxarc({"extract", archive, dest}))
        << "a link to a folder on the way is refused";
    EXPECT_EQ("untouched", ReadBytes(dir / "outside\\victim.txt"));
    EXPECT_FALSE(PathPresent(dir / "outside\\x.txt"));
    struct stat st {};
    ASSERT_EQ(0, lstat((dest + "victim.txt").c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link is replaced by the file";
    EXPECT_EQ("new", ReadBytes(dir / "dest\\victim.txt"));
}
#endif
