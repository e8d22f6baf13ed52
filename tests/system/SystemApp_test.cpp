// SystemApp: start-up facts and folders, the temporary folder's life, install folders, boxes.
#include "framework/system/SystemAppImp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/system/FileFunc.h"
#include "platform/Directory.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/testing/ProcessSeams.h"
#include "platform/testing/ShellSeams.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/TestRegistry.h"

using namespace QRV2;
using Platform::RegRoot;

namespace {

std::string TempPath() {
    char buffer[300];
    std::uint32_t length = 0;
    EXPECT_EQ(Platform::Error::None, Platform::GetTempFolderPath(buffer, sizeof buffer, &length));
    return buffer;
}

std::string LocalAppData() {
    char buffer[300];
    std::uint32_t length = 0;
    EXPECT_EQ(Platform::Error::None,
              Platform::GetSpecialFolder(Platform::SpecialFolder::LocalAppData, buffer,
                                         sizeof buffer, &length));
    return buffer;
}

using QRV2Test::GetText;
using QRV2Test::PutText;

// Owns one SystemAppImp the way the program does: build, start, tear down, then delete.
class AppHolder {
public:
    explicit AppHolder(const char* commandLine = nullptr, std::int32_t show = 1)
        : m_app(new SystemAppImp(GetCore(), nullptr, commandLine, show)) {}
    ~AppHolder() { End(); }
    SystemAppImp* operator->() { return m_app; }
    SystemAppImp* get() { return m_app; }
    void End() {
        if (m_app == nullptr) return;
        m_app->Dispose();
        delete m_app;
        m_app = nullptr;
    }

private:
    SystemAppImp* m_app;
};

class SystemAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_registry.Ok());
        m_files = CreateElementAs<FileFunc>(TypeFileFunc);
        ASSERT_NE(nullptr, m_files);
    }
    void TearDown() override {
        Platform::SetOsVersionForTesting(false, 0, 0);
        Platform::SetMessageBoxHookForTesting(nullptr);
        ReleaseElement(m_files);
    }
    QRV2Test::ScopedTestRegistry m_registry;
    FileFunc* m_files = nullptr;
};

TEST_F(SystemAppTest, CommandLineIsKeptOnlyForAPositiveShowValue) {
    AppHolder hidden("doc.qrv", 0);
    EXPECT_EQ(nullptr, hidden->GetCommandLineText());
    AppHolder shown("\"C:\\My Docs\\a.qrv\"", 1);
    EXPECT_STREQ("\"C:\\My Docs\\a.qrv\"", shown->GetCommandLineText());
    EXPECT_EQ(0, shown->SetCommandLineText(nullptr));
    EXPECT_EQ(nullptr, shown->GetCommandLineText());
}

TEST_F(SystemAppTest, OsNameFollowsTheMajorVersion) {
    EXPECT_STREQ("Before Windows 2000", SystemAppImp::OsNameFor(3));
    EXPECT_STREQ("Windows XP", SystemAppImp::OsNameFor(5));
    EXPECT_STREQ("Windows 7", SystemAppImp::OsNameFor(6));
    EXPECT_EQ(nullptr, SystemAppImp::OsNameFor(7));
    EXPECT_STREQ("After Windows 7", SystemAppImp::OsNameFor(10));

    Platform::SetOsVersionForTesting(true, 7, 1);
    AppHolder seven;
    seven->Initialize();
    EXPECT_EQ(7, seven->GetOsMajorVersion());
    EXPECT_EQ(1, seven->GetOsMinorVersion());
    EXPECT_EQ(nullptr, seven->GetOsName());

    Platform::SetOsVersionForTesting(true, 5, 1);
    AppHolder xp;
    xp->Initialize();
    EXPECT_STREQ("Windows XP", xp->GetOsName());
}

TEST_F(SystemAppTest, UserDataFolderDependsOnTheVersion) {
    Platform::SetOsVersionForTesting(true, 5, 1);
    AppHolder old;
    old->Initialize();
    EXPECT_EQ(LocalAppData() + "Orvane\\", old->GetUserDataFolder());

    Platform::SetOsVersionForTesting(true, 6, 1);
    AppHolder current;
    current->Initialize();
    EXPECT_EQ(TempPath(), current->GetUserDataFolder());
}

TEST_F(SystemAppTest, StartUpGathersFactsAndFolders) {
    AppHolder app;
    EXPECT_EQ(0, app->Initialize());
    std::string module = app->GetModuleFolder() ? app->GetModuleFolder() : "";
    char exe[300];
    std::uint32_t length = 0;
    ASSERT_EQ(Platform::Error::None,
              Platform::GetExecutableFileName(nullptr, exe, sizeof exe, &length));
    ASSERT_FALSE(module.empty());
    EXPECT_EQ('\\', module.back());
    EXPECT_EQ(0u, std::string(exe).find(module));
    EXPECT_EQ(std::string::npos, std::string(exe).substr(module.size()).find('\\'));

    // The name as the platform reports it right now. (Windows looks its own name up in the
    // machine registry, which the test redirection replaces, so there it may be absent.)
    char name[16];
    if (Platform::GetMachineName(name, sizeof name, &length) == Platform::Error::None) {
        ASSERT_NE(nullptr, app->GetComputerNameText());
        EXPECT_STREQ(name, app->GetComputerNameText());
    } else {
        EXPECT_EQ(nullptr, app->GetComputerNameText());
    }
    ASSERT_NE(nullptr, app->GetDesktopFolder());
    EXPECT_EQ('\\', app->GetDesktopFolder()[std::strlen(app->GetDesktopFolder()) - 1]);
    EXPECT_EQ(LocalAppData() + "Orvane2011\\", app->GetLocalProductFolder());
}

TEST_F(SystemAppTest, TempFolderLivesFromStartUpToTeardown) {
    AppHolder app;
    app->Initialize();
    ASSERT_NE(nullptr, app->GetTempFolder());
    std::string temp = app->GetTempFolder();
    std::string base = TempPath();
    ASSERT_EQ(0u, temp.find(base + "QRV")) << temp;
    ASSERT_EQ('\\', temp.back());
    std::string number = temp.substr(base.size() + 3, temp.size() - base.size() - 4);
    ASSERT_FALSE(number.empty());
    char* end = nullptr;
    std::strtol(number.c_str(), &end, 10);
    EXPECT_EQ('\0', *end) << number;
    EXPECT_EQ(0, m_files->FolderExists(temp.c_str()));

    std::string file = temp + "pluginwin32.dat";
    ASSERT_EQ(0, m_files->WriteAll(file.c_str(), "data", 4));
    app.End();
    EXPECT_EQ(1, m_files->Exists(file.c_str()));
    EXPECT_EQ(1, m_files->FolderExists(temp.c_str()));
}

TEST_F(SystemAppTest, ClearTempFolderLeavesSubFoldersAndHiddenFiles) {
    AppHolder app;
    app->Initialize();
    ASSERT_NE(nullptr, app->GetTempFolder());
    std::string temp = app->GetTempFolder();
    std::string visible = temp + "a.txt", other = temp + "b.bin", hidden = temp + ".hidden";
    std::string sub = temp + "sub\\", inner = sub + "c.txt";
    ASSERT_EQ(0, m_files->WriteAll(visible.c_str(), "a", 1));
    ASSERT_EQ(0, m_files->WriteAll(other.c_str(), "b", 1));
    ASSERT_EQ(0, m_files->WriteAll(hidden.c_str(), "h", 1));
    ASSERT_EQ(0, m_files->CreateFolders(inner.c_str()));
    ASSERT_EQ(0, m_files->WriteAll(inner.c_str(), "c", 1));
    // A name beginning with "." is hidden where the system has no hidden attribute; where it
    // has one, the file is given it.
    Platform::DirectoryEntry entry;
    Platform::Error error;
    Platform::DirectoryHandle search = Platform::DirectoryFindFirst(hidden.c_str(), &entry, &error);
    ASSERT_NE(nullptr, search);
    bool isHidden = entry.isHidden;
    Platform::DirectoryFindClose(search);
    if (!isHidden) {
        std::string command = "attrib +h \"" + hidden + "\"";
        ASSERT_EQ(0, std::system(command.c_str()));
    }

    EXPECT_EQ(0, app->ClearTempFolder());
    EXPECT_EQ(1, m_files->Exists(visible.c_str()));
    EXPECT_EQ(1, m_files->Exists(other.c_str()));
    EXPECT_EQ(0, m_files->Exists(hidden.c_str()));
    EXPECT_EQ(0, m_files->Exists(inner.c_str()));

    // Teardown cannot remove a folder that still holds something, and says nothing about it.
    app.End();
    EXPECT_EQ(0, m_files->FolderExists(temp.c_str()));
    if (!isHidden) {
        std::string command = "attrib -h \"" + hidden + "\"";
        std::system(command.c_str());
    }
    EXPECT_EQ(0, m_files->Delete(hidden.c_str()));
    EXPECT_EQ(0, m_files->Delete(inner.c_str()));
    EXPECT_EQ(0, m_files->RemoveFolder((temp + "sub").c_str()));
    EXPECT_EQ(0, m_files->RemoveFolder(temp.substr(0, temp.size() - 1).c_str()));
}

TEST_F(SystemAppTest, EachAttemptOfTheProcessGetsAnotherNumber) {
    // Same clock value, another attempt number: another folder.
    EXPECT_NE(SystemAppImp::TempFolderNumber(1, 5000), SystemAppImp::TempFolderNumber(2, 5000));

    AppHolder first;
    first->Initialize();
    AppHolder second;
    second->Initialize();
    ASSERT_NE(nullptr, first->GetTempFolder());
    ASSERT_NE(nullptr, second->GetTempFolder());
    EXPECT_STRNE(first->GetTempFolder(), second->GetTempFolder());
}

TEST_F(SystemAppTest, InstallFoldersComeFromTheRegistryAndDeriveTheProductFolders) {
    AppHolder app;
    // Nothing in the registry: kind 0 is the suffix alone, kinds 1 and 2 stay empty.
    EXPECT_STREQ("\\Orvane\\", app->GetInstallFolder(0));
    EXPECT_STREQ("", app->GetInstallFolder(1));
    EXPECT_EQ(nullptr, app->GetInstallFolder(3));

    PutText(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
            "ProgramFilesDir", "C:\\Program Files");
    PutText(RegRoot::LocalMachine, "Software\\Orvane", "QX11Main", "M:\\Machine\\");
    AppHolder fresh;
    EXPECT_STREQ("C:\\Program Files\\Orvane\\", fresh->GetInstallFolder(0));
    EXPECT_STREQ("M:\\Machine\\", fresh->GetInstallFolder(1));  // the user has none
    PutText(RegRoot::CurrentUser, "Software\\Orvane", "QX11Main", "U:\\User\\");
    EXPECT_STREQ("M:\\Machine\\", fresh->GetInstallFolder(1));  // found once, kept
    AppHolder later;
    EXPECT_STREQ("U:\\User\\", later->GetInstallFolder(2));  // the user's comes first

    EXPECT_EQ(0, later->SetInstallFolder("E:\\Apps\\", 0));
    EXPECT_STREQ("E:\\Apps\\OrvaneBox2011\\", later->GetBoxFolder());
    EXPECT_EQ("U:\\User\\", GetText(RegRoot::CurrentUser, "Software\\Orvane", "QX11Main"));
    EXPECT_EQ("M:\\Machine\\", GetText(RegRoot::LocalMachine, "Software\\Orvane", "QX11Main"));
    // Dropped, it is looked up again at once.
    EXPECT_EQ(0, later->SetInstallFolder(nullptr, 0));
    EXPECT_STREQ("C:\\Program Files\\Orvane\\OrvaneBox2011\\", later->GetBoxFolder());
    EXPECT_EQ(LocalAppData() + "Orvane2011\\", later->GetLocalProductFolder());
}

TEST_F(SystemAppTest, SettingTheMainFolderStoresItPerUserAndPerMachine) {
    AppHolder app;
    EXPECT_EQ(0, app->SetInstallFolder("D:\\Main\\", 1));
    EXPECT_STREQ("D:\\Main\\", app->GetInstallFolder(1));
    EXPECT_EQ("D:\\Main\\", GetText(RegRoot::CurrentUser, "Software\\Orvane", "QX11Main"));
    EXPECT_EQ("D:\\Main\\", GetText(RegRoot::LocalMachine, "Software\\Orvane", "QX11Main"));
    EXPECT_EQ(0, app->SetInstallFolder("D:\\Main64\\", 2));
    EXPECT_EQ("D:\\Main64\\", GetText(RegRoot::CurrentUser, "Software\\Orvane", "QX11Main"));
    // A dropped folder writes nothing.
    EXPECT_EQ(0, app->SetInstallFolder(nullptr, 1));
    EXPECT_EQ("D:\\Main64\\", GetText(RegRoot::CurrentUser, "Software\\Orvane", "QX11Main"));
}

TEST_F(SystemAppTest, StartUpAndTeardownSurviveEveryStorageFailureWithoutLeaks) {
    std::int64_t before = AllocatorHook::LiveBlocks();
    const std::string product = LocalAppData() + "Orvane2011\\";
    std::vector<std::string> folders, products;
    int reached = QRV2Test::WalkAllocationFailures([&](int) {
        auto* app = new SystemAppImp(GetCore(), nullptr, "cmd", 1);
        if (app == nullptr) return;
        app->Initialize();
        if (app->GetTempFolder() != nullptr) folders.push_back(app->GetTempFolder());
        if (app->GetLocalProductFolder() != nullptr)
            products.push_back(app->GetLocalProductFolder());
        app->GetInstallFolder(1);
        app->Dispose();
        delete app;
    });
    EXPECT_GT(reached, 10);
    EXPECT_EQ(before, AllocatorHook::LiveBlocks());
    // The folder the plug-ins are written into is whole or absent, never a part of it (the
    // user's own folder, or the suffix alone naming a folder below the current one).
    for (const std::string& folder : products) EXPECT_EQ(product, folder);
    // Whatever start-up managed to create, teardown removed.
    for (const std::string& temp : folders) {
        if (temp.find("QRV") != std::string::npos) {
            EXPECT_EQ(1, m_files->FolderExists(temp.c_str())) << temp;
        }
    }
}

struct ShownBox {
    std::string text, caption;
    std::uint32_t style = 0xFFFF;
};
ShownBox g_shown;

TEST_F(SystemAppTest, MessageBoxesHaveDefaultCaptionsAndTheirStyles) {
    Platform::SetMessageBoxHookForTesting(
        [](const char* text, const char* caption, std::uint32_t style) -> std::int32_t {
            g_shown.text = text;
            g_shown.caption = caption;
            g_shown.style = style;
            return 42;
        });
    AppHolder app;
    EXPECT_EQ(42, app->ShowError("It broke", nullptr));
    EXPECT_EQ("Error", g_shown.caption);
    EXPECT_EQ(Platform::MessageBoxIconError, g_shown.style);
    EXPECT_EQ(42, app->ShowInfo("Done", nullptr));
    EXPECT_EQ("Info", g_shown.caption);
    EXPECT_EQ(Platform::MessageBoxOk, g_shown.style);
    app->ShowInfo("Done", "Installer");
    EXPECT_EQ("Installer", g_shown.caption);
    EXPECT_EQ("Done", g_shown.text);
}

}  // namespace
