// Directory enumeration: names, folder and hidden flags, Windows patterns, failures, on real
// folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/Directory.h"
#include "platform/File.h"
#include "tests/support/FolderTree.h"
#include "tests/support/ScratchFolder.h"

namespace fs = std::filesystem;
using namespace Platform;

namespace {

struct Found {
    std::string name;
    bool folder;
    bool hidden;
};

// Every entry a search delivers, in delivery order; error receives the first call's error.
std::vector<Found> List(const std::string& pattern, Error* error = nullptr) {
    std::vector<Found> found;
    DirectoryEntry entry;
    Error e = Error::Unknown;
    DirectoryHandle search = DirectoryFindFirst(pattern.c_str(), &entry, &e);
    if (error != nullptr) *error = e;
    if (search == nullptr) return found;
    do {
        found.push_back({entry.name, entry.isFolder, entry.isHidden});
    } while (DirectoryFindNext(search, &entry, &e));
    EXPECT_EQ(e, Error::NoMoreFiles);
    DirectoryFindClose(search);
    return found;
}

std::set<std::string> Names(const std::vector<Found>& found) {
    std::set<std::string> names;
    for (const Found& f : found) names.insert(f.name);
    return names;
}

TEST(DirectoryEnumeration, DeliversEachEntryOnceWithItsFlagsAndNoDotEntries) {
    QRV2Test::ScratchFolder tree;
    MakeFile(tree, "a.txt");
    MakeFile(tree, "noext");
    MakeFolder(tree, "sub");
    MakeFile(tree, "sub\\inner.txt");
    std::string hiddenFile = MakeHidden(tree, "secret", false);
    std::string hiddenFolder = MakeHidden(tree, "cache", true);

    Error error;
    std::vector<Found> found = List(tree.Path() + "*.*", &error);
    EXPECT_EQ(error, Error::None);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(Names(found),
              (std::set<std::string>{"a.txt", "noext", "sub", hiddenFile, hiddenFolder}));
    for (const Found& f : found) {
        EXPECT_EQ(f.folder, f.name == "sub" || f.name == hiddenFolder) << f.name;
        EXPECT_EQ(f.hidden, f.name == hiddenFile || f.name == hiddenFolder) << f.name;
    }
    // "*" and "*.*" agree, and '/' separates like '\'.
    std::string slashed = tree.Path();
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    EXPECT_EQ(Names(List(tree.Path() + "*")), Names(found));
    EXPECT_EQ(Names(List(slashed + "*.*")), Names(found));
}

TEST(DirectoryEnumeration, PatternsFollowWindowsRules) {
    QRV2Test::ScratchFolder tree;
    for (const char* name : {"a.txt", "B.TXT", "ab.txt", "abc.txt", "a", "a.b", "c.dat", "txt"}) {
        MakeFile(tree, name);
    }
    EXPECT_EQ(Names(List(tree.Path() + "*.txt")),
              (std::set<std::string>{"a.txt", "B.TXT", "ab.txt", "abc.txt"}));
    // '?' takes exactly one character.
    EXPECT_EQ(Names(List(tree.Path() + "a?.txt")), (std::set<std::string>{"ab.txt"}));
    EXPECT_EQ(Names(List(tree.Path() + "?b?.txt")), (std::set<std::string>{"abc.txt"}));
    EXPECT_EQ(Names(List(tree.Path() + "A.*")), (std::set<std::string>{"a", "a.b", "a.txt"}));
    EXPECT_EQ(Names(List(tree.Path() + "c.dat")), (std::set<std::string>{"c.dat"}));
    EXPECT_EQ(Names(List(tree.Path() + "*b*")),
              (std::set<std::string>{"ab.txt", "abc.txt", "a.b", "B.TXT"}));
    // A folder text without its separator is just a name prefix in the holding folder.
    MakeFolder(tree, "dir");
    MakeFile(tree, "dirty.txt");
    std::vector<Found> prefixed = List(tree.Path() + "dir*.*");
    EXPECT_EQ(Names(prefixed), (std::set<std::string>{"dir", "dirty.txt"}));
}

TEST(DirectoryEnumeration, ReportsWhyNothingWasDelivered) {
    QRV2Test::ScratchFolder tree;
    Error error = Error::None;
    EXPECT_TRUE(List(tree.Path() + "*.*", &error).empty());  // empty folder
    EXPECT_EQ(error, Error::FileNotFound);
    MakeFile(tree, "a.txt");
    EXPECT_TRUE(List(tree.Path() + "*.dat", &error).empty());
    EXPECT_EQ(error, Error::FileNotFound);
    EXPECT_TRUE(List(tree.Path() + "missing\\*.*", &error).empty());
    EXPECT_EQ(error, Error::PathNotFound);
    DirectoryEntry entry;
    EXPECT_EQ(DirectoryFindFirst(nullptr, &entry, &error), nullptr);
    EXPECT_EQ(error, Error::InvalidParameter);
    EXPECT_FALSE(DirectoryFindNext(nullptr, &entry, &error));
    DirectoryFindClose(nullptr);
}

#ifndef _WIN32
TEST(DirectoryEnumerationPosix, LinksAreNeverFoldersAndOnlyDriveZExists) {
    QRV2Test::ScratchFolder tree;
    MakeFolder(tree, "real");
    fs::create_directory_symlink(QRV2Test::NativePath(tree.Path()),
                                 QRV2Test::NativePath(tree / "loop"));
    std::vector<Found> found = List(tree.Path() + "*.*");
    ASSERT_EQ(found.size(), 2u);
    for (const Found& f : found) EXPECT_EQ(f.folder, f.name == "real") << f.name;
    Error error = Error::None;
    EXPECT_TRUE(List("C:\\*.*", &error).empty());
    EXPECT_EQ(error, Error::PathNotFound);
}

// A POSIX name may hold "\": a path made from what the search delivered still names that entry,
// so deleting everything a walk found never reaches outside the walked folder.
TEST(DirectoryEnumerationPosix, ABackslashInANameIsNoSeparatorForWhatTheSearchDelivered) {
    QRV2Test::ScratchFolder tree;
    MakeFolder(tree, "walked");
    QRV2Test::WriteBytes(tree / "victim", "kept");
    const std::string odd = QRV2Test::NativePath(tree / "walked") + "/..\\victim";
    QRV2Test::WriteBytes(QRV2Test::NativePath(tree / "walked") + "/plain", "p");
    {
        std::FILE* f = std::fopen(odd.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    std::vector<Found> found = List(tree / "walked\\*.*");
    ASSERT_EQ(found.size(), 2u);
    for (const Found& f : found) {
        EXPECT_EQ(FileDelete((tree / "walked\\" + f.name).c_str()), Error::None) << f.name;
    }
    EXPECT_EQ(QRV2Test::ReadBytes(tree / "victim"), "kept");
    EXPECT_FALSE(fs::exists(odd));
    EXPECT_EQ(FolderRemove((tree / "walked").c_str()), Error::None);
}
#endif

}  // namespace
