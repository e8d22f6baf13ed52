// FileSystemIterator: depth-first walks over real folder trees, filters, collecting, stopping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framework/containers/ElementContainer.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/String.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/system/FileSystemIterator.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/FolderTree.h"
#include "tests/support/ScratchFolder.h"

using namespace QRV2;

namespace {

using Paths = std::vector<std::string>;

// What the callbacks saw, in order.
Paths g_calls;
std::int32_t g_userValue = 0;
std::string g_stopAt;

std::int32_t Record(const char* path, std::int32_t user) {
    g_calls.push_back(path);
    g_userValue = user;
    return g_stopAt == path ? 1 : 0;
}

class FileSystemIteratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_live = AllocatorHook::LiveBlocks();
        g_calls.clear();
        g_stopAt.clear();
        // root: a.txt B.DLL noext sub\\{b.txt deep\\{c.txt}}, a hidden file, a hidden folder
        MakeFile(tree, "a.txt");
        MakeFile(tree, "B.DLL");
        MakeFile(tree, "noext");
        MakeFolder(tree, "sub\\deep");
        MakeFile(tree, "sub\\b.txt");
        MakeFile(tree, "sub\\deep\\c.txt");
        hiddenFile = MakeHidden(tree, "secret.txt", false);
        hiddenFolder = MakeHidden(tree, "cache", true);
        MakeFile(tree, hiddenFolder + "\\inside.txt");
        walker = CreateElementAs<FileSystemIterator>(TypeFileSystemIterator);
        ASSERT_NE(walker, nullptr);
        ASSERT_EQ(walker->SetRootFolder(tree.Path().c_str()), 0);
        walker->SetCollect(1);
    }
    void TearDown() override {
        ReleaseElement(walker);
        EXPECT_EQ(AllocatorHook::LiveBlocks(), m_live);
    }
    // The collected relative paths of the last walk, in order.
    Paths Results(Element* filter = nullptr) {
        Paths paths;
        Iterator* it = walker->GetResults(filter);
        if (it == nullptr) return paths;
        for (it->First(); it->IsAtEnd() == 0; it->Next()) {
            paths.push_back(static_cast<String*>(it->GetCurrent())->GetString());
        }
        walker->ReleaseResults(&it);
        EXPECT_EQ(it, nullptr);
        return paths;
    }
    Paths WalkAndCollect() {
        EXPECT_EQ(walker->Walk(0), 0);
        return Results();
    }
    static std::set<std::string> Set(const Paths& p) { return {p.begin(), p.end()}; }
    static std::size_t Position(const Paths& p, const std::string& s) {
        return static_cast<std::size_t>(std::find(p.begin(), p.end(), s) - p.begin());
    }

    QRV2Test::ScratchFolder tree;
    std::string hiddenFile, hiddenFolder;
    FileSystemIterator* walker = nullptr;
    std::int64_t m_live = 0;
};

TEST_F(FileSystemIteratorTest, DefaultsWalkEveryVisibleLevelContentsBeforeTheirFolder) {
    EXPECT_EQ(walker->GetTypeId(), 15);
    EXPECT_EQ(walker->GetMaxDepth(), 0x7FFFFFFF);
    EXPECT_EQ(walker->GetLevelFilter(), -1);
    EXPECT_EQ(walker->GetHiddenSelector(), 0);
    EXPECT_EQ(walker->GetReportFolders(), 1);
    EXPECT_EQ(walker->GetReportFiles(), 1);
    EXPECT_STREQ(walker->GetRootFolder(), tree.Path().c_str());
    Paths all = WalkAndCollect();
    EXPECT_EQ(Set(all), (std::set<std::string>{"a.txt", "B.DLL", "noext", "sub\\", "sub\\b.txt",
                                               "sub\\deep\\", "sub\\deep\\c.txt"}));
    EXPECT_EQ(all.size(), 7u);
    EXPECT_LT(Position(all, "sub\\deep\\c.txt"), Position(all, "sub\\deep\\"));
    EXPECT_LT(Position(all, "sub\\deep\\"), Position(all, "sub\\"));

    walker->SetMaxDepth(0);
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"a.txt", "B.DLL", "noext", "sub\\"}));
    walker->SetMaxDepth(1);
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"a.txt", "B.DLL", "noext", "sub\\",
                                                            "sub\\b.txt", "sub\\deep\\"}));
}

TEST_F(FileSystemIteratorTest, HiddenSelectorChoosesHiddenOrVisibleEntriesOnly) {
    Paths visible = WalkAndCollect();
    for (const std::string& p : visible) {
        EXPECT_EQ(p.find(hiddenFile), std::string::npos) << p;
        EXPECT_EQ(p.find(hiddenFolder), std::string::npos) << p;
    }
    walker->SetHiddenSelector(1);
    // Only hidden entries: the hidden folder is entered, but its visible file is skipped.
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{hiddenFile, hiddenFolder + "\\"}));
}

TEST_F(FileSystemIteratorTest, ReportFlagsSuffixAndLevelFiltersSelectWhatIsReported) {
    walker->SetReportFolders(0);
    EXPECT_EQ(Set(WalkAndCollect()),
              (std::set<std::string>{"a.txt", "B.DLL", "noext", "sub\\b.txt", "sub\\deep\\c.txt"}));
    walker->SetReportFolders(1);
    walker->SetReportFiles(0);
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"sub\\", "sub\\deep\\"}));
    walker->SetReportFiles(1);

    // The suffix applies to files only, case ignored on both sides.
    ASSERT_EQ(walker->SetSuffixFilter(".dll"), 0);
    EXPECT_STREQ(walker->GetSuffixFilter(), ".dll");
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"B.DLL", "sub\\", "sub\\deep\\"}));
    walker->SetSuffixFilter("");  // accepts no file
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"sub\\", "sub\\deep\\"}));
    walker->SetSuffixFilter("longer-than-any.txt");
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"sub\\", "sub\\deep\\"}));
    walker->SetSuffixFilter(nullptr);
    EXPECT_EQ(walker->GetSuffixFilter(), nullptr);

    // The level filter counts remaining depth: the maximum itself is the root's level.
    walker->SetReportFiles(0);
    walker->SetMaxDepth(2);
    walker->SetLevelFilter(2);
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"sub\\"}));
    walker->SetLevelFilter(1);
    EXPECT_EQ(Set(WalkAndCollect()), (std::set<std::string>{"sub\\deep\\"}));
}

TEST_F(FileSystemIteratorTest, CallbacksGetFullPathsAndAStopEndsOnlyItsOwnFolder) {
    walker->SetFileCallback(Record);
    walker->SetFolderCallback(Record);
    EXPECT_EQ(walker->GetFileCallback(), &Record);
    MakeFolder(tree, "sub\\stop");
    MakeFile(tree, "sub\\stop\\in.txt");
    MakeFile(tree, "sub\\z1.txt");
    MakeFile(tree, "sub\\z2.txt");
    MakeFile(tree, "zz.txt");
    EXPECT_EQ(walker->Walk(42), 0);
    EXPECT_EQ(g_userValue, 42);
    Paths full = g_calls;
    const std::string root = tree.Path();
    for (const std::string& p : full) EXPECT_EQ(p.compare(0, root.size(), root), 0) << p;
    EXPECT_NE(std::find(full.begin(), full.end(), root + "sub\\stop\\"), full.end());

    // Stopping at sub\stop\ drops whatever sub's listing would have delivered after it, but
    // sub\ itself and the root's remaining entries are still reported, and the walk succeeds.
    Paths expected;
    bool skipping = false;
    for (const std::string& p : full) {
        if (p == root + "sub\\") skipping = false;
        if (!skipping) expected.push_back(p);
        if (p == root + "sub\\stop\\") skipping = true;
    }
    ASSERT_LT(expected.size(), full.size() + 1);
    g_calls.clear();
    g_stopAt = root + "sub\\stop\\";
    EXPECT_EQ(walker->Walk(0), 0);
    EXPECT_EQ(g_calls, expected);
}

TEST_F(FileSystemIteratorTest, RootProblemsAndResultsLifetime) {
    EXPECT_EQ(walker->GetResults(nullptr), nullptr);  // nothing walked yet
    // A missing root walks nothing and succeeds; no root at all fails.
    walker->SetRootFolder((tree.Path() + "missing\\").c_str());
    EXPECT_EQ(walker->Walk(0), 0);
    EXPECT_TRUE(Results().empty());
    walker->SetRootFolder(nullptr);
    EXPECT_EQ(walker->GetRootFolder(), nullptr);
    EXPECT_EQ(walker->Walk(0), 1);

    // Without a trailing separator the holding folder is searched for names beginning with
    // the text; the paths reported name the real entries.
    std::string subNoSeparator = tree.Path() + "su";
    walker->SetRootFolder(subNoSeparator.c_str());
    walker->SetFileCallback(Record);
    EXPECT_EQ(walker->Walk(0), 0);
    EXPECT_EQ(Set(g_calls), (std::set<std::string>{tree.Path() + "sub\\b.txt",
                                                   tree.Path() + "sub\\deep\\c.txt"}));
    EXPECT_EQ(Set(Results()),
              (std::set<std::string>{"sub\\", "sub\\b.txt", "sub\\deep\\", "sub\\deep\\c.txt"}));

    // Results stay until the next walk; without collecting there are none.
    walker->SetRootFolder(tree.Path().c_str());
    walker->SetFileCallback(nullptr);
    walker->SetMaxDepth(0);
    EXPECT_EQ(WalkAndCollect().size(), 4u);
    EXPECT_EQ(Results().size(), 4u);
    walker->SetCollect(0);
    EXPECT_EQ(walker->Walk(0), 0);
    EXPECT_EQ(walker->GetResults(nullptr), nullptr);
}

// Accepts collected paths that end in ".txt".
class TextFiles : public ElementImpBase<ElementFilter, 93> {
public:
    std::int32_t Dispose() override {
        delete this;
        return 0;
    }
    std::int32_t Accept(Element* e) override {
        const char* t = static_cast<String*>(e)->GetString();
        std::size_t n = std::strlen(t);
        return (n >= 4 && std::strcmp(t + n - 4, ".txt") == 0) ? 0 : 1;
    }
};

TEST_F(FileSystemIteratorTest, FilteredResultsHoldOnlyAcceptedPaths) {
    walker->Walk(0);
    EXPECT_EQ(Set(Results(new TextFiles)),
              (std::set<std::string>{"a.txt", "sub\\b.txt", "sub\\deep\\c.txt"}));
    EXPECT_EQ(Results().size(), 7u);
}

TEST_F(FileSystemIteratorTest, WalkReportsFailureWhenStorageRunsOut) {
    walker->SetFileCallback(Record);
    int reached = QRV2Test::WalkAllocationFailures([&](int) {
        std::int32_t result = walker->Walk(0);
        bool fired = AllocatorHook::Fired();
        AllocatorHook::Disarm();
        EXPECT_EQ(result, fired ? 1 : 0);
        if (!fired) {
            EXPECT_EQ(Results().size(), 7u);
        }
    });
    EXPECT_GE(reached, 20);
    // Creating the walker needs its string utility.
    QRV2Test::WalkAllocationFailures([&](int) {
        Element* made = GetCore()->CreateElement(TypeFileSystemIterator, 0);
        AllocatorHook::Disarm();
        ReleaseElement(made);
    });
}

}  // namespace
