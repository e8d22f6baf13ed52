// The plug-in steps against real archives, folders and a private registry: install, replace,
// held libraries, the Mozilla registration values, self-registration and storage failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/InstallState.h"
#include "app/Installer.h"
#include "app/PluginSteps.h"
#include "app/RemovalSteps.h"
#include "app/RunJournal.h"
#include "app/RunLog.h"
#include "framework/archive/Archive.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/system/SystemAppImp.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/Registry.h"
#include "platform/testing/FileTestHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestRegistry.h"

using namespace QRV2;
using QRV2Test::ReadBytes;
using QRV2Test::WriteBytes;

namespace {

const std::string kPluginKey = "Software\\MozillaPlugins\\@orvane.com/Orvane2011";

// The value's exact bytes (terminating zero included) when it is REG_SZ, or "<missing>".
std::string RegistryBytes(const std::string& key, const char* name) {
    std::uint32_t type = Platform::RegNone;
    std::string bytes = QRV2Test::GetValue(Platform::RegRoot::CurrentUser, key, name, &type);
    return type == Platform::RegSz ? bytes : "<missing>";
}

std::string Z(const char* text) {
    return std::string(text, std::char_traits<char>::length(text) + 1);
}

class PluginStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_registry.Ok());
        m_product = m_dir / "Local\\Orvane2011\\";
        m_app = new SystemAppImp(GetCore(), nullptr, nullptr, 0);
        ASSERT_NE(m_app, nullptr);
        m_app->SetLocalProductFolder(m_product.c_str());
        GetCore()->SetSingleton(TypeSystemApp, m_app);
    }
    void TearDown() override {
        CloseArchive();
        GetCore()->SetSingleton(TypeSystemApp, nullptr);
        m_app->Dispose();
        delete m_app;
    }

    // Packs the given contents under the entry names the steps extract (the uninstaller's is
    // always a few bytes), and opens the archive for reading into the state.
    void OpenPayload(const std::string& mozilla, const std::string& activeX,
                     bool withActiveX = true) {
        WriteBytes(m_dir / "moz.bin", mozilla);
        WriteBytes(m_dir / "ax.bin", activeX);
        Archive* writer = CreateElementAs<Archive>(TypeArchive);
        ASSERT_NE(writer, nullptr);
        ASSERT_EQ(writer->SetMode(0), 0);
        ASSERT_EQ(writer->Open((m_dir / "payload.dat").c_str()), 0);
        ASSERT_EQ(writer->AddFile((m_dir / "moz.bin").c_str(), "XPCOM\\npqx2011.dll"), 0);
        if (withActiveX) {
            ASSERT_EQ(writer->AddFile((m_dir / "ax.bin").c_str(), "ActiveX\\QX2011.dll"), 0);
        }
        ASSERT_EQ(writer->AddFile((m_dir / "moz.bin").c_str(),
                                  ProductFileOf(ProductFileKind::Uninstaller).payloadEntry),
                  0);
        ASSERT_EQ(writer->Close(), 0);
        ReleaseElement(writer);
        m_state.archive = CreateElementAs<Archive>(TypeArchive);
        ASSERT_NE(m_state.archive, nullptr);
        ASSERT_EQ(m_state.archive->SetMode(1), 0);
        ASSERT_EQ(m_state.archive->Open((m_dir / "payload.dat").c_str()), 0);
    }
    void CloseArchive() {
        if (m_state.archive == nullptr) return;
        m_state.archive->Close();
        ReleaseElement(m_state.archive);
    }

    QRV2Test::ScopedTestRegistry m_registry;
    QRV2Test::ScratchFolder m_dir;
    std::string m_product;
    SystemAppImp* m_app = nullptr;
    InstallState m_state;
};

TEST_F(PluginStepsTest, InstallsMozillaPluginAndWritesItsEightValuesThenReplacesALongerCopy) {
    OpenPayload("new plug-in", "control");
    const std::string target = m_product + "npqx2011.dll";
    EXPECT_EQ(InstallMozillaPlugin(&m_state), StepResult::Done);
    EXPECT_EQ(ReadBytes(target), "new plug-in");

    EXPECT_EQ(RegistryBytes(kPluginKey, "Description"), Z("Orvane2011 - 1.0.1.8"));
    EXPECT_EQ(RegistryBytes(kPluginKey, "Path"), Z(target.c_str()));
    EXPECT_EQ(RegistryBytes(kPluginKey, "ProductName"), Z("Orvane2011"));
    EXPECT_EQ(RegistryBytes(kPluginKey, "Vendor"), Z("Orvane"));
    EXPECT_EQ(RegistryBytes(kPluginKey, "Version"), Z("1.0.1.8"));
    const std::string mime = kPluginKey + "\\MimeTypes\\application/x-qx2011";
    EXPECT_EQ(RegistryBytes(mime, "Description"), Z("Orvane Content File"));
    EXPECT_EQ(RegistryBytes(mime, "Suffixes"), Z("qrv"));
    EXPECT_EQ(RegistryBytes(kPluginKey + "\\Suffixes", "qrv"), std::string(1, '\0'));

    // A second run over an older, longer library replaces it and cuts it to the new length.
    WriteBytes(target, "an older and much longer plug-in library file");
    EXPECT_EQ(InstallMozillaPlugin(&m_state), StepResult::Done);
    EXPECT_EQ(ReadBytes(target), "new plug-in");
}

TEST_F(PluginStepsTest, HeldLibraryIsReportedAndLeftAloneWithoutRegistryValues) {
    OpenPayload("new plug-in", "control");
    const std::string target = m_product + "npqx2011.dll";
    Platform::FolderCreate((m_dir / "Local").c_str());
    Platform::FolderCreate(m_product.c_str());
    WriteBytes(target, "old library");
    Platform::FileHandle holder = Platform::NullFile;
    // The way a browser holds a loaded library: open, sharing reading only, so no deletion.
    ASSERT_EQ(Platform::FileOpen(target.c_str(), Platform::FileAccess::Read,
                                 Platform::FileShare::Read, Platform::FileDisposition::OpenExisting,
                                 Platform::FileHint::Normal, &holder),
              Platform::Error::None);
    EXPECT_NE(InstallMozillaPlugin(&m_state), StepResult::Done);
    EXPECT_NE(InstallMozillaPlugin(&m_state), StepResult::Done);
    EXPECT_EQ(RegistryBytes(kPluginKey, "Path"), "<missing>");
    Platform::FileClose(holder);
    EXPECT_EQ(ReadBytes(target), "old library");

    EXPECT_EQ(InstallMozillaPlugin(&m_state), StepResult::Done);
    EXPECT_EQ(ReadBytes(target), "new plug-in");
}

// A control that cannot register itself is not installed: a library without the export or one
// whose registration fails fails the step as a failed registration, bytes that are no library
// as a failed load. Neither is a held library, which alone would be retried without limit.
TEST_F(PluginStepsTest, ActiveXStepFailsUnlessTheLibraryLoadsAndRegistersItself) {
#ifdef QRV2_TEST_PLUGIN_LIBRARY
    // The Mozilla sample library is a real library without a self-registration export.
    const std::string library = ReadBytes(QRV2_TEST_PLUGIN_LIBRARY);
    ASSERT_NE(library, "<missing>");
    OpenPayload("plug-in", library);
    EXPECT_EQ(InstallActiveXPlugin(&m_state), StepResult::RegistrationFailed);
    EXPECT_EQ(ReadBytes(m_product + "QX2011.dll"), library);
    CloseArchive();
#endif
    // A control that loads but answers its registration with a failure code.
    OpenPayload("plug-in", ReadBytes(QRV2_TEST_REFUSING_CONTROL));
    EXPECT_EQ(InstallActiveXPlugin(&m_state), StepResult::RegistrationFailed);
    CloseArchive();
    OpenPayload("plug-in", "not a library at all");
    EXPECT_EQ(InstallActiveXPlugin(&m_state), StepResult::NotLoaded);
    EXPECT_FALSE(IsHeldLibrary(StepResult::NotLoaded) ||
                 IsHeldLibrary(StepResult::RegistrationFailed));
}

TEST_F(PluginStepsTest, MissingEntryOrApplicationFailsWithoutLeavingAFile) {
    OpenPayload("plug-in", "", /*withActiveX=*/false);
    EXPECT_EQ(InstallActiveXPlugin(&m_state), StepResult::NotWritten);
    EXPECT_FALSE(QRV2Test::PathPresent(m_product + "QX2011.dll"));

    GetCore()->SetSingleton(TypeSystemApp, nullptr);
    EXPECT_EQ(InstallMozillaPlugin(&m_state), StepResult::NoElement);
    GetCore()->SetSingleton(TypeSystemApp, m_app);

    // Without a product folder (the user's folder could not be named) there is nowhere to
    // install to or remove from: the bare file name would be one in the current folder.
    m_app->SetLocalProductFolder(nullptr);
    EXPECT_EQ(InstallMozillaPlugin(&m_state), StepResult::NoElement);
    EXPECT_EQ(RegistryBytes(kPluginKey, "Path"), "<missing>");
    EXPECT_EQ(RemoveMozillaPlugin(&m_state), StepResult::NoElement);
}

// A library whose writing fails half-way (the disk is full) leaves nothing behind: neither a
// truncated library under its name, where a browser would load it, nor the partial file.
TEST_F(PluginStepsTest, WriteFailingHalfWayLeavesNoPartLibrary) {
    OpenPayload("plug-in", std::string(5000, 'c'));
    const std::string target = m_product + "QX2011.dll";
    Platform::FileTestHook::FailWritesAfter(2000);
    const StepResult result = InstallActiveXPlugin(&m_state);
    Platform::FileTestHook::Reset();
    EXPECT_EQ(result, StepResult::NotWritten);
    EXPECT_FALSE(QRV2Test::PathPresent(target));
    EXPECT_FALSE(QRV2Test::PathPresent(target + kPartialSuffix));
}

#ifdef QRV2_TEST_NEIGHBOUR_CONTROL
// A control that ships a helper library loads with the copy beside it in the product folder
// (the test program's own folders do not hold it), and registers itself.
TEST_F(PluginStepsTest, ControlLoadsTheHelperLibraryBesideIt) {
    const std::string control = ReadBytes(QRV2_TEST_NEIGHBOUR_CONTROL);
    const std::string helper = ReadBytes(QRV2_TEST_NEIGHBOUR_HELPER);
    ASSERT_NE(control, "<missing>");
    ASSERT_NE(helper, "<missing>");
    OpenPayload("plug-in", control);
    EXPECT_EQ(InstallActiveXPlugin(&m_state), StepResult::NotLoaded);  // the helper is nowhere yet
    // Wine keeps a library whose load failed mapped for a while: a fresh folder for the rest.
    const std::string other = m_dir / "Other\\";
    Platform::FolderCreate(other.c_str());
    m_app->SetLocalProductFolder(other.c_str());
    WriteBytes(other + "neighbour_helper.dll", helper);
    EXPECT_EQ(InstallActiveXPlugin(&m_state), StepResult::Done);
}
#endif

bool KeyPresent(const std::string& key) {
    Platform::RegKey handle = nullptr;
    if (Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser), key.c_str(),
                                  Platform::KeyRead, &handle) != Platform::Error::None) {
        return false;
    }
    Platform::RegistryCloseKey(handle);
    return true;
}

// Installed, then removed step by step: the uninstall entry names the quoted uninstaller; a held
// plug-in library is a held library that keeps its keys; afterwards nothing the installer wrote
// is left but a file of the user's, which keeps the folder and is said so; without it the folder
// goes too.
TEST_F(PluginStepsTest, RemovalUndoesTheInstallationButKeepsTheUsersFile) {
    OpenPayload("plug-in", "control");
    // Beside the product folder, where deleting that folder by hand leaves it.
    const std::string uninstaller =
        m_dir /
        ("Local\\" + std::string(ProductFileOf(ProductFileKind::Uninstaller).installedName));
    ASSERT_EQ(InstallMozillaPlugin(&m_state), StepResult::Done);
    ASSERT_EQ(InstallUninstaller(&m_state), StepResult::Done);
    EXPECT_EQ(RegistryBytes(kUninstallKey, "UninstallString"),
              Z(("\"" + uninstaller + "\"").c_str()));
    EXPECT_EQ(RegistryBytes(kUninstallKey, "DisplayVersion"), Z("1.0.1.8"));
    EXPECT_EQ(RegistryBytes(kUninstallKey, "InstallLocation"), Z(m_product.c_str()));
    // What deployment tools and the list of programs read: the quiet removal, the icon, the
    // day, and the room the files take (two of a few bytes each: 1 KiB, rounded up).
    EXPECT_EQ(RegistryBytes(kUninstallKey, "QuietUninstallString"),
              Z(("\"" + uninstaller + "\" " + kQuietSwitch).c_str()));
    EXPECT_EQ(RegistryBytes(kUninstallKey, "DisplayIcon"), Z((uninstaller + ",0").c_str()));
    Platform::UtcTime today{};
    Platform::GetLocalCalendarTime(&today);
    char date[16];
    std::snprintf(date, sizeof date, "%04u%02u%02u", unsigned{today.year}, unsigned{today.month},
                  unsigned{today.day});
    EXPECT_EQ(RegistryBytes(kUninstallKey, "InstallDate"), Z(date));
    std::uint32_t type = Platform::RegNone;
    const std::string size =
        QRV2Test::GetValue(Platform::RegRoot::CurrentUser, kUninstallKey, "EstimatedSize", &type);
    EXPECT_EQ(type, Platform::RegDword);
    EXPECT_EQ(size, std::string("\x01\0\0\0", 4));
    WriteBytes(m_product + "my notes.txt", "mine");
    CloseArchive();

    const std::string library = m_product + "npqx2011.dll";
    Platform::FileHandle holder = Platform::NullFile;
    ASSERT_EQ(Platform::FileOpen(library.c_str(), Platform::FileAccess::Read,
                                 Platform::FileShare::Read, Platform::FileDisposition::OpenExisting,
                                 Platform::FileHint::Normal, &holder),
              Platform::Error::None);
    EXPECT_TRUE(IsHeldLibrary(RemoveMozillaPlugin(&m_state)));
    EXPECT_TRUE(KeyPresent(kPluginKey));
    Platform::FileClose(holder);

    // The control: while a browser holds its library nothing of it is undone, so it keeps
    // working. Once free, a library that cannot unregister itself (this one lacks the entry) or
    // cannot be loaded at all (damaged) has exactly the control's keys removed for it, and is
    // deleted; a content type another viewer took over is kept. (The real control's own
    // unregistration is the end-to-end scenarios' to check: it writes the user's own registry.)
    const std::string control = m_product + "QX2011.dll";
    const auto user = Platform::RegRoot::CurrentUser;
    auto registerControl = [&](const char* contentClass) {
        QRV2Test::PutText(user, kControlClassKey, nullptr, "Orvane2011 Control");
        QRV2Test::PutText(user, kControlServerKey, nullptr, control.c_str());
        QRV2Test::PutText(user, kControlServerKey, "ThreadingModel", "Apartment");
        QRV2Test::PutText(user, kControlContentTypeKey, "CLSID", contentClass);
        QRV2Test::PutText(user, kControlContentTypeKey, "Extension", ".qrv");
    };
#ifdef QRV2_TEST_PLUGIN_LIBRARY
    WriteBytes(control, ReadBytes(QRV2_TEST_PLUGIN_LIBRARY));
    registerControl("{2888b771-2bcc-43e1-a54b-f5f4e1726636}");
    ASSERT_EQ(Platform::FileOpen(control.c_str(), Platform::FileAccess::Read,
                                 Platform::FileShare::Read, Platform::FileDisposition::OpenExisting,
                                 Platform::FileHint::Normal, &holder),
              Platform::Error::None);
    EXPECT_EQ(RemoveActiveXControl(&m_state), StepResult::Held);
    EXPECT_EQ(RegistryBytes(kControlServerKey, nullptr), Z(control.c_str()));
    EXPECT_EQ(RegistryBytes(kControlContentTypeKey, "Extension"), Z(".qrv"));
    Platform::FileClose(holder);
    EXPECT_EQ(RemoveActiveXControl(&m_state), StepResult::Done);
    for (const char* key : {kControlClassKey, kControlContentTypeKey, "Software\\Classes\\MIME"}) {
        EXPECT_FALSE(KeyPresent(key)) << key;
    }
    EXPECT_FALSE(QRV2Test::PathPresent(control));
#endif
    WriteBytes(control, "not a library at all");
    registerControl("{00000000-0000-0000-0000-00000000000A}");
    EXPECT_EQ(RemoveActiveXControl(&m_state), StepResult::Done);
    EXPECT_FALSE(KeyPresent(kControlClassKey));
    EXPECT_EQ(RegistryBytes(kControlContentTypeKey, "CLSID"),
              Z("{00000000-0000-0000-0000-00000000000A}"));
    EXPECT_FALSE(QRV2Test::PathPresent(control));
    // What a killed installation left moved aside goes with the rest.
    WriteBytes(library + kPreviousSuffix, "an older plug-in");
    EXPECT_EQ(RemoveActiveXControl(&m_state), StepResult::Done);
    EXPECT_EQ(RemoveMozillaPlugin(&m_state), StepResult::Done);
    EXPECT_EQ(RemoveLeftovers(&m_state), StepResult::Done);
    // Emptied parents go; one holding someone else's key stays.
    for (const std::string& key :
         {kPluginKey, std::string(kUninstallKey), std::string("Software\\MozillaPlugins"),
          std::string("Software\\Classes\\CLSID")}) {
        EXPECT_FALSE(KeyPresent(key)) << key;
    }
    EXPECT_TRUE(KeyPresent(kControlContentTypeKey));
    for (const char* file : {"npqx2011.dll", "npqx2011.dll.previous", "QX2011.dll"}) {
        EXPECT_FALSE(QRV2Test::PathPresent(m_product + file)) << file;
    }
    EXPECT_FALSE(QRV2Test::PathPresent(uninstaller));
    EXPECT_EQ(ReadBytes(m_product + "my notes.txt"), "mine");
    EXPECT_STREQ(m_state.notice, kFolderKeptNotice);

    Platform::FileDelete((m_product + "my notes.txt").c_str());
    m_state.notice = nullptr;
    EXPECT_EQ(RemoveLeftovers(&m_state), StepResult::Done);
    EXPECT_FALSE(QRV2Test::PathPresent(m_product));
    EXPECT_EQ(m_state.notice, nullptr);
}

// Only a library in use is waited for: a folder standing at a library's name is something the
// user's closing a browser never mends, for installing and removing alike.
TEST_F(PluginStepsTest, OnlyALibraryInUseCountsAsHeld) {
    OpenPayload("new plug-in", "control");
    const std::string target = m_product + "npqx2011.dll";
    EXPECT_EQ(HeldCheck(target.c_str()), StepResult::Done);  // nothing there
    Platform::FolderCreate((m_dir / "Local").c_str());
    Platform::FolderCreate(m_product.c_str());
    WriteBytes(target, "old library");
    EXPECT_EQ(HeldCheck(target.c_str()), StepResult::Done);
    Platform::FileHandle holder = Platform::NullFile;
    ASSERT_EQ(Platform::FileOpen(target.c_str(), Platform::FileAccess::Read,
                                 Platform::FileShare::Read, Platform::FileDisposition::OpenExisting,
                                 Platform::FileHint::Normal, &holder),
              Platform::Error::None);
    EXPECT_EQ(HeldCheck(target.c_str()), StepResult::Held);
    EXPECT_EQ(InstallMozillaPlugin(&m_state), StepResult::Held);
    Platform::FileClose(holder);
    Platform::FileDelete(target.c_str());

    ASSERT_EQ(Platform::FolderCreate(target.c_str()), Platform::Error::None);
    EXPECT_EQ(HeldCheck(target.c_str()), StepResult::NotReplaceable);
    EXPECT_EQ(InstallMozillaPlugin(&m_state), StepResult::NotReplaceable);
    EXPECT_EQ(RemoveMozillaPlugin(&m_state), StepResult::NotReplaceable);
    EXPECT_FALSE(IsHeldLibrary(StepResult::NotReplaceable));
    EXPECT_TRUE(QRV2Test::IsDirectory(target));
    EXPECT_EQ(RegistryBytes(kPluginKey, "Path"), "<missing>");
}

// What the run's steps may change, as text: the product's files and every value (type and
// bytes) of the keys they write and of those keys' parents, and which of the keys exist.
std::string ProductState(const std::string& product) {
    std::string state;
    for (const char* file : {"npqx2011.dll", "QX2011.dll",
                             ProductFileOf(ProductFileKind::Uninstaller).installedName}) {
        for (const char* suffix : {"", ".previous", ".partial"}) {
            const std::string path = product + file + suffix;
            state += path + "=" + ReadBytes(path) + "\n";
        }
    }
    state += QRV2Test::IsDirectory(product) ? "folder\n" : "no folder\n";
    const std::string keys[] = {"Software",
                                "Software\\MozillaPlugins",
                                kPluginKey,
                                kPluginKey + "\\MimeTypes",
                                kPluginKey + "\\MimeTypes\\application/x-qx2011",
                                kPluginKey + "\\Suffixes",
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                kUninstallKey};
    for (const std::string& path : keys) {
        Platform::RegKey key = nullptr;
        if (Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser),
                                      path.c_str(), Platform::KeyRead,
                                      &key) != Platform::Error::None) {
            state += "[" + path + "] missing\n";
            continue;
        }
        state += "[" + path + "]\n";
        for (std::uint32_t i = 0;; ++i) {
            char name[256];
            unsigned char data[1024];
            std::uint32_t nameSize = sizeof name, dataSize = sizeof data, type = 0;
            if (Platform::RegistryEnumValue(key, i, name, &nameSize, &type, data, &dataSize) !=
                Platform::Error::None) {
                break;
            }
            state += std::string(name) + ":" + std::to_string(type) + "=" +
                     std::string(reinterpret_cast<char*>(data), dataSize) + "\n";
        }
        Platform::RegistryCloseKey(key);
    }
    return state;
}

// Over an older installation (values of other types and bytes, values the new one adds missing,
// a value of someone else's), an undone run puts back every file, value and key as it was, also
// when storage ran out at any point of the run: a change is never made that was not noted. A
// completed run keeps nothing it moved aside.
TEST_F(PluginStepsTest, UndoingARunPutsBackEveryFileKeyAndValueItChanged) {
    const std::int64_t blocks = AllocatorHook::LiveBlocks();
    OpenPayload("new plug-in", "control");
    const std::string uninstaller =
        m_product + ProductFileOf(ProductFileKind::Uninstaller).installedName;
    Platform::FolderCreate((m_dir / "Local").c_str());
    Platform::FolderCreate(m_product.c_str());
    WriteBytes(m_product + "npqx2011.dll", "old plug-in, longer than the new one");
    WriteBytes(uninstaller, "old uninstaller");
    const Platform::RegRoot user = Platform::RegRoot::CurrentUser;
    QRV2Test::PutText(user, kPluginKey, "Description", "Orvane2011 - 1.0.1.7");
    QRV2Test::PutValue(user, kPluginKey, "Version", Platform::RegBinary, "\x01\0\x07", 3);
    QRV2Test::PutText(user, kPluginKey, "Theirs", "kept");
    QRV2Test::PutText(user, kUninstallKey, "DisplayVersion", "1.0.1.7");
    const std::uint32_t size = 7;
    QRV2Test::PutValue(user, kUninstallKey, "EstimatedSize", Platform::RegDword, &size, 4);
    const std::string before = ProductState(m_product);
    RunLog log;
    int walked = QRV2Test::WalkAllocationFailures([&](int) {
        RunJournal journal;
        m_state.journal = &journal;
        const bool done = InstallMozillaPlugin(&m_state) == StepResult::Done &&
                          InstallUninstaller(&m_state) == StepResult::Done;
        AllocatorHook::Disarm();
        if (done) {
            EXPECT_EQ(ReadBytes(m_product + "npqx2011.dll"), "new plug-in");
            EXPECT_EQ(RegistryBytes(kUninstallKey, "DisplayVersion"), Z("1.0.1.8"));
        }
        EXPECT_TRUE(journal.Undo(log));
        EXPECT_EQ(journal.Count(), 0);
        m_state.journal = nullptr;
        EXPECT_EQ(ProductState(m_product), before);
    });
    EXPECT_GE(walked, 10);

    // A fresh machine: the keys and the folder the run made go too.
    Platform::FileDelete((m_product + "npqx2011.dll").c_str());
    Platform::FileDelete(uninstaller.c_str());
    Platform::FolderRemove((m_dir / "Local\\Orvane2011").c_str());
    for (const char* key :
         {kUninstallKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
          "Software\\Microsoft\\Windows\\CurrentVersion", "Software\\Microsoft\\Windows",
          "Software\\Microsoft"}) {
        Platform::RegistryDeleteKey(Platform::RootKey(user), key);
    }
    Platform::RegistryDeleteKey(Platform::RootKey(user), kPluginKey.c_str());
    const std::string fresh = ProductState(m_product);
    {
        RunJournal journal;
        m_state.journal = &journal;
        ASSERT_EQ(InstallMozillaPlugin(&m_state), StepResult::Done);
        ASSERT_EQ(InstallUninstaller(&m_state), StepResult::Done);
        EXPECT_TRUE(journal.Undo(log));
        EXPECT_EQ(ProductState(m_product), fresh);
        EXPECT_FALSE(QRV2Test::PathPresent(m_product));

        // Completed over an earlier installation: the moved-aside copies are deleted.
        ASSERT_EQ(InstallMozillaPlugin(&m_state), StepResult::Done);
        journal.Complete(log);
        ASSERT_EQ(InstallMozillaPlugin(&m_state), StepResult::Done);
        EXPECT_TRUE(QRV2Test::PathPresent(m_product + "npqx2011.dll.previous"));
        journal.Complete(log);
        EXPECT_FALSE(QRV2Test::PathPresent(m_product + "npqx2011.dll.previous"));
        EXPECT_EQ(ReadBytes(m_product + "npqx2011.dll"), "new plug-in");
        m_state.journal = nullptr;
    }
    CloseArchive();
    EXPECT_EQ(AllocatorHook::LiveBlocks(), blocks);
}

// The installed version, from the uninstall entry, else the Mozilla plug-in's key; a newer one
// than this program's only when it reads as such, number by number.
TEST_F(PluginStepsTest, NewerInstalledVersionIsReadFromTheEntryElseThePluginKey) {
    std::uint32_t numbers[4] = {9, 9, 9, 9};
    EXPECT_TRUE(ParseVersion("1.0.1.8", numbers));
    EXPECT_EQ(std::vector<std::uint32_t>(numbers, numbers + 4),
              (std::vector<std::uint32_t>{1, 0, 1, 8}));
    EXPECT_TRUE(ParseVersion("2.1", numbers));
    EXPECT_EQ(std::vector<std::uint32_t>(numbers, numbers + 4),
              (std::vector<std::uint32_t>{2, 1, 0, 0}));
    for (const char* bad : {"", "1..8", "1.0.1.8.0", "1.0.1.8 beta", "v1", "1.", "99999999999"}) {
        EXPECT_FALSE(ParseVersion(bad, numbers)) << bad;
    }
    RunLog log;
    const Platform::RegRoot user = Platform::RegRoot::CurrentUser;
    EXPECT_FALSE(NewerVersionInstalled(log));  // nothing installed
    QRV2Test::PutText(user, kPluginKey, "Version", "1.0.1.10");
    EXPECT_TRUE(NewerVersionInstalled(log));  // no entry: the plug-in's key tells
    for (const char* older : {"1.0.1.8", "1.0.1.7", "0.9.9.99", "1.0.1.8a", ""}) {
        QRV2Test::PutText(user, kUninstallKey, "DisplayVersion", older);
        EXPECT_FALSE(NewerVersionInstalled(log)) << older;
    }
    for (const char* newer : {"1.0.1.9", "1.0.2", "1.1.0.0", "2"}) {
        QRV2Test::PutText(user, kUninstallKey, "DisplayVersion", newer);
        EXPECT_TRUE(NewerVersionInstalled(log)) << newer;
    }
}

TEST_F(PluginStepsTest, StorageFailuresFailTheStepCleanlyUntilItSucceeds) {
    const std::int64_t before = AllocatorHook::LiveBlocks();
    OpenPayload("new plug-in", "control");
    int walked = QRV2Test::WalkAllocationFailures([&](int) {
        const auto result = static_cast<std::int32_t>(InstallMozillaPlugin(&m_state));
        EXPECT_TRUE(result >= 0 && result <= static_cast<std::int32_t>(StepResult::RegistryFailed))
            << result;
    });
    EXPECT_GE(walked, 3);
    CloseArchive();  // the archive keeps directory views between calls; they end with it
    EXPECT_EQ(AllocatorHook::LiveBlocks(), before);
    EXPECT_EQ(ReadBytes(m_product + "npqx2011.dll"), "new plug-in");
    EXPECT_EQ(RegistryBytes(kPluginKey, "Vendor"), Z("Orvane"));
}

}  // namespace
