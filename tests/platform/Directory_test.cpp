// Directory enumeration: names, folder and hidden flags, Windows patterns, failures, on real folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/Directory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/posix/PathMap.h"
#endif

namespace fs = std::filesystem;
using namespace Platform;

namespace {

// A private folder under the system's temporary folder, removed with everything in it.
class TempTree {
public:
    TempTree() {
        std::random_device random;
        auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        root_ = fs::temp_directory_path() /
                ("qrv2-dir-" + std::to_string(tick) + "-" + std::to_string(random()));
        fs::create_directories(root_);
    }
    ~TempTree() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    void File(const std::string& relative) { std::ofstream(root_ / relative) << "x"; }
    void Folder(const std::string& relative) { fs::create_directories(root_ / relative); }
    // A hidden entry: a dot name on POSIX, the hidden attribute on Windows. Returns its name.
    std::string Hidden(const std::string& name, bool folder) {
#ifdef _WIN32
        std::string actual = name;
#else
        std::string actual = "." + name;
#endif
        if (folder) {
            Folder(actual);
        } else {
            File(actual);
        }
#ifdef _WIN32
        ::SetFileAttributesA((root_ / actual).string().c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
        return actual;
    }
    // The folder as the framework names it, with a trailing separator.
    std::string Path() const {
#ifdef _WIN32
        return root_.string() + "\\";
#else
        return ToWindowsPath(root_.string()) + "\\";
#endif
    }
    const fs::path& Root() const { return root_; }

private:
    fs::path root_;
};

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
    TempTree tree;
    tree.File("a.txt");
    tree.File("noext");
    tree.Folder("sub");
    tree.File("sub/inner.txt");
    std::string hiddenFile = tree.Hidden("secret", false);
    std::string hiddenFolder = tree.Hidden("cache", true);

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
    TempTree tree;
    for (const char* name : {"a.txt", "B.TXT", "ab.txt", "abc.txt", "a", "a.b", "c.dat", "txt"}) {
        tree.File(name);
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
    // A folder text without its separator searches the parent for names that begin with it.
    std::string parent = tree.Path();
    parent.pop_back();
    std::string leaf = tree.Root().filename().string();
    std::vector<Found> viaParent = List(parent + "*.*");
    ASSERT_EQ(viaParent.size(), 1u);
    EXPECT_EQ(viaParent[0].name, leaf);
    EXPECT_TRUE(viaParent[0].folder);
}

TEST(DirectoryEnumeration, ReportsWhyNothingWasDelivered) {
    TempTree tree;
    Error error = Error::None;
    EXPECT_TRUE(List(tree.Path() + "*.*", &error).empty());  // empty folder
    EXPECT_EQ(error, Error::FileNotFound);
    tree.File("a.txt");
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
    TempTree tree;
    tree.Folder("real");
    fs::create_directory_symlink(tree.Root(), tree.Root() / "loop");
    std::vector<Found> found = List(tree.Path() + "*.*");
    ASSERT_EQ(found.size(), 2u);
    for (const Found& f : found) EXPECT_EQ(f.folder, f.name == "real") << f.name;
    Error error = Error::None;
    EXPECT_TRUE(List("C:\\*.*", &error).empty());
    EXPECT_EQ(error, Error::PathNotFound);
}
#endif

}  // namespace
