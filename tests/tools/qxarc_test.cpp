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
#include <fstream>
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
#include "tools/qxarc/Selection.h"

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
const std::string& QxarcPath() {
    static const std::string path = QRV2Test::HelperProgram("../tools/qxarc/qxarc");
    return path;
}

// Runs a shell command; *output gets what it wrote to standard output. Its exit status.
int Shell(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[512];
    std::string text;
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    int status = pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs qxarc through the shell (for redirections), after prefix (a command that runs it);
// *output gets what it wrote to stderr.
int QxarcShell(const std::string& arguments, std::string* output = nullptr,
               const std::string& prefix = "") {
    return Shell(prefix + QxarcPath() + " " + arguments + " 2>&1", output);
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

    EXPECT_TRUE(QxarcTool::PatternMatches("S*/*.TXT", "sub\\a.txt"));
    EXPECT_FALSE(QxarcTool::PatternMatches("*.txt", "sub\\a.txt")) << "'*' stops at a separator";
    EXPECT_FALSE(QxarcTool::PatternMatches("sub?a.txt", "sub\\a.txt"));
    EXPECT_TRUE(QxarcTool::PatternMatches("[a-c]?[!x]*", "B1y"));
    EXPECT_FALSE(QxarcTool::PatternMatches("[a-c]?[!x]", "b1x"));
    EXPECT_TRUE(QxarcTool::PatternMatches("a[b", "a[b")) << "a set without its end stands as is";
    QxarcTool::Selection selection;
    for (const char* name : {"./sub/", "x*", "zz"}) selection.Add(name);
    selection.Exclude("*b*");
    selection.Exclude("sub/deep");
    EXPECT_TRUE(selection.Takes("SUB\\a.txt"));
    EXPECT_FALSE(selection.Takes("sub\\b.txt")) << "excluded by its own name";
    EXPECT_FALSE(selection.Takes("sub\\deep\\c.txt")) << "excluded by its folder";
    EXPECT_TRUE(selection.Takes("xy\\z")) << "a pattern may name a folder";
    EXPECT_FALSE(selection.Takes("subway"));
    EXPECT_EQ(std::vector<std::string>{"zz"}, selection.Unmatched());
}

TEST(QxarcRules, PlaceKeysFoldWhatTheFileSystemMayFold) {
    std::vector<std::string> folders;
    EXPECT_EQ("sub\\deep\\a.txt", QxarcTool::PlaceKey("Sub.\\\\DEEP \\A.TXT.", &folders, true));
    EXPECT_EQ((std::vector<std::string>{"sub", "sub\\deep"}), folders);
    // Every name stays as given where the system tells names apart exactly.
    EXPECT_EQ("SUB\\A.TXT.", QxarcTool::PlaceKey("SUB/./A.TXT.", nullptr, false));
}

TEST(QxarcRules, JobsPathsAndShownNames) {
    QxarcTool::CommandLine line;
    std::string problem;
    EXPECT_TRUE(QxarcTool::ParseCommandLine(
        {"extract", "a.qx", "-j", "4", "out", "-kv", "--exclude", "*b*", "--", "-jx", "-"}, &line,
        &problem));
    EXPECT_EQ(4u, line.jobs);
    EXPECT_TRUE(line.keep && line.verbose && !line.toOutput);
    EXPECT_EQ((std::vector<std::string>{"*b*"}), line.excluded);
    EXPECT_EQ((std::vector<std::string>{"a.qx", "out", "-jx", "-"}), line.operands)
        << "options anywhere, \"--\" ends them";
    EXPECT_TRUE(QxarcTool::ParseCommandLine({"create", "a", "-j256", "b"}, &line, &problem));
    EXPECT_EQ(256u, line.jobs);
    for (const auto& bad : std::vector<std::vector<std::string>>{{"create", "-j"},
                                                                 {"create", "-j0"},
                                                                 {"extract", "-j", "257"},
                                                                 {"create", "-j+1"},
                                                                 {"list", "-k", "a"},
                                                                 {"create", "--exclude", "x"},
                                                                 {"test", "--exclude"}}) {
        problem.clear();
        EXPECT_FALSE(QxarcTool::ParseCommandLine(bad, &line, &problem)) << bad.back();
        EXPECT_FALSE(problem.empty());
    }
    EXPECT_EQ((std::vector<std::string>{"a", "b ", "c."}),
              QxarcTool::PathComponents("a\\.\\\\b /c.\\"));
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
        EXPECT_TRUE(content == ReadBytes(dir / ("out\\" + name))) << name;
    // Hidden files are packed like any other.
    EXPECT_EQ("not packed", ReadBytes(dir / "out\\.dotfile"));
    EXPECT_EQ("not packed", ReadBytes(dir / "out\\.hidden\\secret.txt"));

    // Entry names are relative paths with "\" between components, whatever the host uses.
    QRV2::Archive* a = QRV2::CreateElementAs<QRV2::Archive>(QRV2::TypeArchive);
    ASSERT_NE(nullptr, a);
    ASSERT_EQ(0, a->Open((dir / "tree.qx").c_str()));
    EXPECT_EQ(0, a->FindEntry("sub\\deeper\\c.txt"));
    EXPECT_EQ(0, a->FindEntry(".dotfile"));
    QRV2::ReleaseElement(a);

    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "part"), "SUB"}));
    EXPECT_TRUE(kTree[2].second == ReadBytes(dir / "part\\sub\\b.bin"));
    EXPECT_TRUE(kTree[3].second == ReadBytes(dir / "part\\sub\\deeper\\c.txt"));
    EXPECT_FALSE(PathPresent(dir / "part\\a.txt"));
    EXPECT_FALSE(PathPresent(dir / "part\\subway.txt")) << "a folder ends at a separator";
    // Shell patterns select too, and exclusions leave out by the entry's own name.
    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "pat"), "s*/*.bin", "*.txt",
                          "--exclude", "[!a]*.txt"}));
    EXPECT_TRUE(kTree[2].second == ReadBytes(dir / "pat\\sub\\b.bin"));
    EXPECT_EQ("alpha", ReadBytes(dir / "pat\\a.txt"));
    EXPECT_EQ(2u, FilesIn(dir / "pat")) << "only sub\\b.bin and a.txt";
    EXPECT_EQ(1u, FilesIn(dir / "pat\\sub"));
    EXPECT_EQ(kFailed, Qxarc({"extract", archive, NativePath(dir / "none"), "nothing*"}))
        << "a name that selects nothing is named";

    // A folder already there under another letter case takes the entries meant for it where
    // the file system ignores letter case; elsewhere it is another folder and stays as it was.
    Put(dir / "cased\\SUB\\b.bin", "old");
    ASSERT_EQ(kOk, Qxarc({"extract", archive, NativePath(dir / "cased")}));
#ifdef _WIN32
    EXPECT_TRUE(kTree[2].second == ReadBytes(dir / "cased\\SUB\\b.bin"));
#else
    EXPECT_EQ("old", ReadBytes(dir / "cased\\SUB\\b.bin"));
    EXPECT_TRUE(kTree[2].second == ReadBytes(dir / "cased\\sub\\b.bin"));
#endif

    // Entries come in name order, whatever order the system lists the folder in.
    std::vector<std::string> names = EntryNames(dir / "tree.qx");
    EXPECT_EQ(kTree.size() + 2, names.size());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));

    // An archive written into the folder it packs does not take in its own older copy.
    std::string inside = NativePath(dir / "src\\self.qx");
    ASSERT_EQ(kOk, Qxarc({"create", inside, NativePath(dir / "src")}));
    ASSERT_EQ(kOk, Qxarc({"create", inside, NativePath(dir / "src")}));
    EXPECT_EQ(kTree.size() + 2, EntryNames(dir / "src\\self.qx").size());
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
    ASSERT_EQ(kOk, Qxarc({"create", "--exclude-hidden", archive, NativePath(dir / "void")}));
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
    EXPECT_EQ(kUsage, Qxarc({"extract", "a", "b", "-z"}));
    EXPECT_EQ(kOk, Qxarc({"extract", "a", "--help"})) << "each command has its own help";
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
    // Cut to 16 bytes, the header declaring a directory the file no longer holds; a directory
    // size that disagrees with the records.
    WriteBytes(dir / "d.qx", good.substr(0, 16));
    EXPECT_EQ(kFailed, Qxarc({"test", archive})) << "cut inside the directory";
    std::string wrongSize = good;
    SetU32(&wrongSize, 12, U32(good, 12) - 1);
    WriteBytes(dir / "d.qx", wrongSize);
    EXPECT_EQ(kFailed, Qxarc({"test", archive})) << "directory size wrong";
    EXPECT_EQ(kFailed, Qxarc({"list", archive})) << "directory size wrong";

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
    // files in two folders.
    std::string cased = dir / "cased.qx";
    WriteArchive(cased, {{"c\\a.txt", "lower"}, {"C\\A.TXT", "upper"}});
#ifdef _WIN32
    EXPECT_EQ(kFailed, Qxarc({"extract", NativePath(cased), NativePath(dir / "c")}));
    EXPECT_EQ("upper", ReadBytes(dir / "c\\c\\a.txt"));
#else
    EXPECT_EQ(kOk, Qxarc({"extract", NativePath(cased), NativePath(dir / "c")}));
    EXPECT_EQ("lower", ReadBytes(dir / "c\\c\\a.txt"));
    EXPECT_EQ("upper", ReadBytes(dir / "c\\C\\A.TXT"));

    // Here names spelt with other separators or empty components are one file: each entry lost
    // to a later one is named with the entry that took its place, whatever the number of
    // workers.
    std::string twice = dir / "twice.qx";
    WriteArchive(twice, {{"d\\x.txt", "first"}, {"d/x.txt", "second"}, {"d\\\\x.txt", "third"}});
    const std::string label = "qxarc: " + NativePath(twice) + ": entry ";
    const std::string expected =
        label +
        "\"d\\x.txt\": replaced by entry \"d/x.txt\" after it, which names the same file\n" +
        label +
        "\"d/x.txt\": replaced by entry \"d\\\\x.txt\" after it, which names the same file\n";
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
    // A name the archive cannot carry, empty folders (named once, at the highest), a folder
    // that cannot be searched, hidden files (packed).
    const std::string backslashes(90, '\\');
    { std::ofstream(src + backslashes) << "x"; }
    std::filesystem::create_directories(src + "hollow/er/est");
    std::filesystem::create_directories(src + "sub/void");
    std::filesystem::create_directories(src + "closed");
    WriteBytes(dir / "src\\closed\\in.txt", "shut");
    WriteBytes(dir / "src\\.seen", "hidden");
    ASSERT_EQ(0, chmod((src + "closed").c_str(), 0644));
    // Permission checks bind root only without its capabilities.
    const std::string user = geteuid() == 0 ? "setpriv --bounding-set=-all --inh-caps=-all " : "";

    std::string errors;
    const std::string archive = NativePath(dir / "t.qx");
    EXPECT_EQ(kFailed, QxarcShell("create " + archive + " " + src, &errors, user));
    chmod((src + "closed").c_str(), 0755);
    for (const std::string& name :
         std::vector<std::string>{"pipe", "dangling", "folderlink", "huge.bin", "hollow",
                                  "sub/void", "closed/in.txt", backslashes})
        EXPECT_NE(std::string::npos, errors.find(src + name + ": ")) << name << "\n" << errors;
    EXPECT_EQ(std::string::npos, errors.find("hollow/er")) << errors;
    EXPECT_NE(std::string::npos, errors.find("empty folder not stored")) << errors;
    EXPECT_EQ((std::vector<std::string>{".seen", "a.txt", "filelink", "sub\\b.txt"}),
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
    EXPECT_TRUE(std::filesystem::is_symlink(dest + "victim.txt"))
        << "a link at a file's place is left as it is";

    // Links planted under every spelling of the names the entries take, with one worker and
    // with four: a link with the very name is refused and named, one spelt otherwise is
    // another name on this file system and stays as it is; nothing lands outside.
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 40; ++i) entries.emplace_back("sub\\deep\\f" + std::to_string(i), "inner");
    entries.emplace_back("sub\\x.txt", "inner");
    entries.emplace_back("victim.txt", "inner");
    WriteArchive(dir / "p.qx", entries);
    const std::string outside = NativePath(dir / "outside");
    for (const std::string jobs : {"1", "4"}) {
        for (const std::string spelling : {"sub", "SUB", "Sub"}) {
            const std::string target = "j" + jobs + spelling;
            const std::string d = NativePath(dir / target) + "/";
            const std::string file = spelling == "sub" ? "victim.txt" : spelling + ".txt";
            std::filesystem::create_directories(d);
            ASSERT_EQ(0, symlink(outside.c_str(), (d + spelling).c_str()));
            ASSERT_EQ(0, symlink((outside + "/victim.txt").c_str(), (d + file).c_str()));
            std::string errors;
            const int code = QxarcShell(
                "extract -j " + jobs + " " + NativePath(dir / "p.qx") + " " + d, &errors);
            EXPECT_EQ(1u, FilesIn(dir / "outside")) << target << "\n" << errors;
            EXPECT_EQ("untouched", ReadBytes(dir / "outside\\victim.txt"));
            EXPECT_TRUE(std::filesystem::is_symlink(d + file));
            if (spelling == "sub") {
                EXPECT_EQ(kFailed, code) << target;
                EXPECT_NE(std::string::npos, errors.find(d + "sub is a link")) << errors;
                EXPECT_NE(std::string::npos, errors.find(d + "victim.txt: is a link")) << errors;
            } else {
                EXPECT_EQ(kOk, code) << target << "\n" << errors;
                EXPECT_EQ("inner", ReadBytes(dir / (target + "\\sub\\deep\\f7")));
                EXPECT_EQ("inner", ReadBytes(dir / (target + "\\victim.txt")));
            }
        }
    }
    // A link planted deeper.
    const std::string deep = NativePath(dir / "deep") + "/";
    std::filesystem::create_directories(deep + "sub");
    ASSERT_EQ(0, symlink(outside.c_str(), (deep + "sub/deep").c_str()));
    EXPECT_EQ(kFailed, QxarcShell("extract -j 4 " + NativePath(dir / "p.qx") + " " + deep));
    EXPECT_EQ(1u, FilesIn(dir / "outside"));
    EXPECT_EQ("inner", ReadBytes(dir / "deep\\sub\\x.txt"));
}

TEST(Qxarc, NamesTheFileSystemTellsApartStayApart) {
    // Legal here, though Windows would take each pair for one name.
    ScratchFolder dir;
    const std::string src = NativePath(dir / "src") + "/";
    const std::vector<std::string> folders = {"x", "x.", "y ", "y", "Z", "z"};
    for (std::size_t i = 0; i < folders.size(); ++i) {
        std::filesystem::create_directories(src + folders[i]);
        WriteBytes(dir / ("src\\" + folders[i] + "\\f"), Noise(100 + i, static_cast<unsigned>(i)));
    }
    const std::string archive = NativePath(dir / "n.qx");
    ASSERT_EQ(kOk, Qxarc({"create", archive, src}));
    EXPECT_EQ(folders.size(), EntryNames(dir / "n.qx").size());
    // Folders of the same names already there, in other letter cases, are left alone.
    std::filesystem::create_directories(NativePath(dir / "out\\X"));
    for (const std::string jobs : {"1", "4"}) {
        ASSERT_EQ(kOk, Qxarc({"extract", "-j", jobs, archive, NativePath(dir / "out")}));
        for (std::size_t i = 0; i < folders.size(); ++i)
            EXPECT_TRUE(Noise(100 + i, static_cast<unsigned>(i)) ==
                        ReadBytes(dir / ("out\\" + folders[i] + "\\f")))
                << "\"" << folders[i] << "\" -j " << jobs;
        EXPECT_EQ(folders.size() + 1, FilesIn(dir / "out"));
        EXPECT_EQ(0u, FilesIn(dir / "out\\X"));
    }
}

TEST(Qxarc, StopsCleanlyAndNamesFilesThatChangeWhileRead) {
    ScratchFolder dir;
    const std::string src = NativePath(dir / "src") + "/";
    std::filesystem::create_directories(src);
    { std::ofstream(src + "big.bin") << ""; }
    // Zeros compress fast, yet a gigabyte of them keeps a run busy long enough to meet it
    // while it reads the file.
    ASSERT_EQ(0, truncate((src + "big.bin").c_str(), std::int64_t{1} << 30));
    const std::string archive = NativePath(dir / "s.qx");
    // Starts a create, waits until it reads big.bin, then does action; the create's status.
    auto during = [&](const std::string& action, std::string* errors) {
        return Shell("{ " + QxarcPath() + " create -j 2 " + archive + " " + src +
                         " & p=$!; i=0; while [ $i -lt 2000 ] && ! ls -l /proc/$p/fd 2>/dev/null "
                         "| grep -q big.bin; do sleep 0.01; i=$((i+1)); done; " +
                         action + "; wait $p; } 2>&1",
                     errors);
    };
    std::string errors;
    EXPECT_EQ(130, during("kill -INT $p", &errors)) << errors;
    EXPECT_EQ(143, during("kill -TERM $p", &errors)) << errors;
    EXPECT_EQ(1u, FilesIn(dir.Path())) << "neither the archive nor a temporary file is left";

    EXPECT_EQ(kFailed, during("printf more >> " + src + "big.bin", &errors));
    EXPECT_NE(std::string::npos, errors.find(src + "big.bin: changed while being read")) << errors;
    EXPECT_EQ(std::vector<std::string>{"big.bin"}, EntryNames(dir / "s.qx"));
}

TEST(Qxarc, ArchivesAreWrittenWhereTheyBelongAndPermissionsKept) {
    ScratchFolder dir;
    const std::string src = NativePath(dir / "src") + "/";
    std::filesystem::create_directories(src);
    { std::ofstream(src + "run.sh") << "#!/bin/sh\necho hi\n"; }
    { std::ofstream(src + "plain.txt") << "plain"; }
    const std::string d = NativePath(dir.Path());
    const std::string user = geteuid() == 0 ? "setpriv --bounding-set=-all --inh-caps=-all " : "";
    auto mode = [](const std::string& path) {
        struct stat st {};
        return lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
    };
    auto valid = [&](const std::string& path) {
        return Qxarc({"test", path}) == kOk && EntryNames(path).size() == 2;
    };

    // A link to a regular file: the file is replaced, the link stays. A link to nothing and a
    // folder are refused and nothing is made.
    WriteBytes(dir / "real.qx", "old");
    ASSERT_EQ(0, symlink((d + "real.qx").c_str(), (d + "link.qx").c_str()));
    ASSERT_EQ(kOk, Qxarc({"create", d + "link.qx", src}));
    EXPECT_TRUE(valid(d + "real.qx"));
    EXPECT_TRUE(std::filesystem::is_symlink(d + "link.qx"));
    ASSERT_EQ(0, symlink((d + "nowhere.qx").c_str(), (d + "dangling.qx").c_str()));
    EXPECT_EQ(kFailed, Qxarc({"create", d + "dangling.qx", src}));
    EXPECT_FALSE(PathPresent(dir / "nowhere.qx"));

    // A FIFO gets the archive as a stream and stays a FIFO.
    ASSERT_EQ(0, mkfifo((d + "pipe").c_str(), 0600));
    EXPECT_EQ(kOk, Shell("cat " + d + "pipe > " + d + "piped.qx & " + QxarcPath() + " create " + d +
                         "pipe " + src + " && wait"));
    EXPECT_TRUE(valid(d + "piped.qx"));
    EXPECT_EQ(-1, mode(d + "pipe.qx"));
    struct stat st {};
    ASSERT_EQ(0, lstat((d + "pipe").c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // An old archive's permissions stay, its other names see the new one, and one the user may
    // not write is not replaced.
    WriteBytes(dir / "kept.qx", "old");
    ASSERT_EQ(0, chmod((d + "kept.qx").c_str(), 0640));
    ASSERT_EQ(kOk, Qxarc({"create", d + "kept.qx", src}));
    EXPECT_EQ(0640, mode(d + "kept.qx"));
    ASSERT_EQ(0, link((d + "kept.qx").c_str(), (d + "other-name.qx").c_str()));
    WriteBytes(dir / "other-name.qx", "old");
    ASSERT_EQ(kOk, Qxarc({"create", d + "kept.qx", src}));
    EXPECT_TRUE(valid(d + "other-name.qx"));
    ASSERT_EQ(0, chmod((d + "kept.qx").c_str(), 0400));
    EXPECT_EQ(kFailed, QxarcShell("create " + d + "kept.qx " + src, nullptr, user));
    EXPECT_EQ(0400, mode(d + "kept.qx"));

    // The format keeps no permissions: programs come out runnable, other files as any new
    // file, and a file that is replaced keeps its own.
    Put(dir / "out\\plain.txt", "older");
    ASSERT_EQ(0, chmod((d + "out/plain.txt").c_str(), 0600));
    ASSERT_EQ(kOk, Shell("umask 022; " + QxarcPath() + " extract " + d + "real.qx " + d + "out"));
    EXPECT_EQ(0755, mode(d + "out/run.sh"));
    EXPECT_EQ(0600, mode(d + "out/plain.txt"));
    EXPECT_EQ("plain", ReadBytes(dir / "out\\plain.txt"));
    ASSERT_EQ(kOk, Shell("umask 027; " + QxarcPath() + " extract " + d + "real.qx " + d + "new"));
    EXPECT_EQ(0750, mode(d + "new/run.sh"));
    EXPECT_EQ(0640, mode(d + "new/plain.txt"));
}

TEST(Qxarc, ConventionsOfTheCommonArchivers) {
    ScratchFolder dir;
    Put(dir / "src\\sub\\a.txt", "a");
    Put(dir / "src\\sub\\b.txt", "b");
    Put(dir / "src\\sub\\c.dat", "c");
    Put(dir / "src\\sub\\deep\\d.txt", "d");
    Put(dir / "src\\top.txt", "top");
    const std::string d = NativePath(dir.Path());
    const std::string q = QxarcPath();
    ASSERT_EQ(kOk, Qxarc({"create", d + "a.qx", d + "src"}));

    // Standard input and output: an archive read from a pipe, one written into a pipe.
    std::string out;
    EXPECT_EQ(kOk, Shell("cat " + d + "a.qx | " + q + " list -", &out));
    EXPECT_EQ("sub\\a.txt\nsub\\b.txt\nsub\\c.dat\nsub\\deep\\d.txt\ntop.txt\n", out);
    EXPECT_EQ(kOk, Shell(q + " create - " + d + "src | " + q + " extract - " + d + "piped"));
    EXPECT_EQ("d", ReadBytes(dir / "piped\\sub\\deep\\d.txt"));
    EXPECT_EQ("top", ReadBytes(dir / "piped\\top.txt"));

    // Names and patterns select, options may follow them, exclusions leave out.
    EXPECT_EQ(kOk, Qxarc({"extract", d + "a.qx", d + "sel", "sub/*.txt", "--exclude", "*b*"}));
    EXPECT_EQ("a", ReadBytes(dir / "sel\\sub\\a.txt"));
    EXPECT_EQ(1u, FilesIn(dir / "sel")) << "only sub";
    EXPECT_EQ(1u, FilesIn(dir / "sel\\sub")) << "only sub/a.txt";

    // -O writes the content out; DEST is the current folder by default; -v names the files.
    EXPECT_EQ(kOk, Shell(q + " extract -O " + d + "a.qx top.txt sub/a.txt", &out));
    EXPECT_EQ("atop", out) << "in directory order";
    EXPECT_EQ(kOk,
              Shell("mkdir " + d + "here && cd " + d + "here && " + q + " extract " + d + "a.qx -v",
                    &out));
    EXPECT_EQ("top", ReadBytes(dir / "here\\top.txt"));
    EXPECT_NE(std::string::npos, out.find("./sub/deep/d.txt\n./top.txt\n")) << out;

    // -k keeps files that exist, naming each.
    Put(dir / "keep\\sub\\a.txt", "mine");
    EXPECT_EQ(kFailed, QxarcShell("extract -k " + d + "a.qx " + d + "keep", &out));
    EXPECT_EQ("mine", ReadBytes(dir / "keep\\sub\\a.txt"));
    EXPECT_EQ("b", ReadBytes(dir / "keep\\sub\\b.txt"));
    EXPECT_EQ("qxarc: " + d + "keep/sub/a.txt: exists and is kept (-k): entry not extracted\n",
              out);

    // list -v: sizes, stored sizes, the share saved and a line of totals.
    EXPECT_EQ(kOk, Shell(q + " list -v " + d + "a.qx", &out));
    EXPECT_NE(std::string::npos, out.find("saved  name")) << out;
    EXPECT_NE(std::string::npos, out.find("5 entries of 5")) << out;
}
#endif
