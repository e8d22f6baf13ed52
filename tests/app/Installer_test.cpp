// Framework start and stop around the installer: the Core anchored, the application singleton
// with its temporary folder, and everything gone again afterwards, also when storage runs out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/Installer.h"
#include "app/LeftoverRunFolders.h"
#include "app/Product.h"
#include "framework/FrameworkSession.h"
#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Allocator.h"
#include "framework/core/CoreImp.h"
#include "framework/core/Held.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/system/FileFunc.h"
#include "framework/system/SystemApp.h"
#include "framework/system/SystemAppImp.h"
#include "platform/File.h"
#include "platform/Tls.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/ScratchFolder.h"

using namespace QRV2;

namespace {

// A program's framework session anchors its own Core in the slot the test program's Core lives
// in; this puts the test program's Core back afterwards.
class InstallerFrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { m_saved = GetCore(); }
    void TearDown() override { Platform::TlsSet(GetCoreSlot(), m_saved); }
    Core* m_saved = nullptr;
};

TEST_F(InstallerFrameworkTest, StartAnchorsCoreAndApplicationAndStopRemovesTheTemporaryFolder) {
    FrameworkSession framework;
    Core* core = framework.StartProgram(nullptr, "plan.qrv", 1);
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(GetCore(), core);
    EXPECT_EQ(core->GetReferenceCount(), 1);
    auto* app = static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->GetReferenceCount(), 0);  // registered, never referenced
    EXPECT_STREQ(app->GetCommandLineText(), "plan.qrv");
    ASSERT_NE(app->GetTempFolder(), nullptr);
    const std::string temp = app->GetTempFolder();
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_NE(temp.find("QRV"), std::string::npos);
    EXPECT_TRUE(QRV2Test::IsDirectory(temp));
    QRV2Test::WriteBytes(temp + "pluginwin32.dat", "payload");

    framework.Stop();
    EXPECT_EQ(Platform::TlsGet(GetCoreSlot()), nullptr);
    EXPECT_FALSE(QRV2Test::PathPresent(temp));
}

TEST_F(InstallerFrameworkTest, StorageFailuresDuringStartLeaveNothingBehind) {
    const std::int64_t before = AllocatorHook::LiveBlocks();
    int walked = QRV2Test::WalkAllocationFailures([&](int) {
        FrameworkSession framework;
        Core* core = framework.StartProgram(nullptr, "", 1);
        AllocatorHook::Disarm();
        if (core != nullptr) {
            EXPECT_EQ(GetCore(), core);
            framework.Stop();
        }
        // Never a Core that is gone: the slot is cleared, or untouched when no Core was made.
        void* anchored = Platform::TlsGet(GetCoreSlot());
        EXPECT_TRUE(anchored == nullptr || anchored == m_saved);
    });
    EXPECT_GE(walked, 2);  // the Core and the application at least
    EXPECT_EQ(AllocatorHook::LiveBlocks(), before);
}

// Phase 0 tells its two kinds of failure apart: a payload that cannot be written keeps the
// phase text (quiet), an archive that cannot be opened or read whole shows the archive message
// (loud), and every entry is read through, so damage behind a sound header is caught here.
TEST_F(InstallerFrameworkTest, PayloadPhaseFailsQuietlyWithoutFileAndLoudlyOnADamagedEntry) {
    FrameworkSession framework;
    Core* core = framework.StartProgram(nullptr, "", 1);
    ASSERT_NE(core, nullptr);
    auto* app = static_cast<SystemAppImp*>(core->GetSingleton(TypeSystemApp));
    ASSERT_NE(app->GetTempFolder(), nullptr);
    const std::string temp = app->GetTempFolder();
    InstallState state;
    state.archivePath = CreateElementAs<String>(TypeString);
    ASSERT_NE(state.archivePath, nullptr);

    // The test program carries no payload resource: nothing can be written.
    EXPECT_EQ(OpenPayloadArchive(&state), ActionResult::FailedQuietly);

    // A payload whose header is sound but whose second entry's data is damaged.
    QRV2Test::ScratchFolder dir;
    QRV2Test::WriteBytes(dir / "a.bin", std::string(3000, 'a'));
    Archive* writer = CreateElementAs<Archive>(TypeArchive);
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(writer->SetMode(0), 0);
    const std::string payload = temp + "pluginwin32.dat";
    ASSERT_EQ(writer->Open(payload.c_str()), 0);
    ASSERT_EQ(writer->AddFile((dir / "a.bin").c_str(), "XPCOM\\npqx2011.dll"), 0);
    ASSERT_EQ(writer->AddFile((dir / "a.bin").c_str(), "ActiveX\\QX2011.dll"), 0);
    EXPECT_EQ(writer->Close(), 0);
    ReleaseElement(writer);
    ASSERT_EQ(state.archivePath->SetString(payload.c_str()), 0);
    // The uninstaller is part of the payload too: without it the payload is not whole.
    EXPECT_EQ(OpenWrittenPayload(&state), ActionResult::Failed);
    state.archive->Close();
    writer = CreateElementAs<Archive>(TypeArchive);
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(writer->SetMode(0), 0);
    ASSERT_EQ(writer->Open(payload.c_str()), 0);
    ASSERT_EQ(writer->AddFile((dir / "a.bin").c_str(), "XPCOM\\npqx2011.dll"), 0);
    ASSERT_EQ(writer->AddFile((dir / "a.bin").c_str(), "ActiveX\\QX2011.dll"), 0);
    ASSERT_EQ(writer->AddFile((dir / "a.bin").c_str(),
                              ProductFileOf(ProductFileKind::Uninstaller).payloadEntry),
              0);
    ASSERT_EQ(writer->Close(), 0);
    ReleaseElement(writer);
    ASSERT_EQ(state.archivePath->SetString(payload.c_str()), 0);
    EXPECT_EQ(OpenWrittenPayload(&state), ActionResult::Succeeded);
    std::string bytes = QRV2Test::ReadBytes(payload);
    bytes.back() = static_cast<char>(bytes.back() ^ 0x55);  // the last entry's zlib check sum
    state.archive->Close();
    QRV2Test::WriteBytes(payload, bytes);
    EXPECT_EQ(OpenWrittenPayload(&state), ActionResult::Failed);
    state.archive->Close();
    QRV2Test::WriteBytes(payload, "no archive at all");
    EXPECT_EQ(OpenWrittenPayload(&state), ActionResult::Failed);
    ReleaseElement(state.archive);

    // Without the private temporary folder nothing is written anywhere, the current folder
    // included (a bare file name would land there).
    ASSERT_EQ(app->SetTempFolder(nullptr), 0);
    EXPECT_EQ(OpenPayloadArchive(&state), ActionResult::FailedQuietly);
    EXPECT_STREQ(state.archivePath->GetString(), payload.c_str());
    if (QRV2Test::PathPresent("pluginwin32.dat")) {
        ADD_FAILURE() << "the payload was written into the current folder";
        std::remove("pluginwin32.dat");
    }
    ASSERT_EQ(app->SetTempFolder(temp.c_str()), 0);
    ReleaseElement(state.archivePath);
    framework.Stop();
    EXPECT_FALSE(QRV2Test::PathPresent(temp));
}

// What killed runs left beside this run's temporary folder: a "QRV<n>" folder holding nothing
// but the named files goes (all of them or some); this run's own folder, a folder holding
// anything else (another file, a sub-folder), a folder of another name and a file named like a
// run folder stay untouched.
TEST(LeftoverRunFolders, RemovesOnlyRunFoldersHoldingNothingButTheNamedFiles) {
    QRV2Test::ScratchFolder temp;
    auto folderWith = [&](const std::string& folder, std::initializer_list<const char*> files) {
        ASSERT_EQ(Platform::FolderCreate((temp / folder).c_str()), Platform::Error::None);
        for (const char* file : files) QRV2Test::WriteBytes(temp / folder + "\\" + file, file);
    };
    folderWith("QRV1", {"pluginwin32.dat"});
    folderWith("QRV2", {"pluginwin32.dat", "Setup.exe"});
    folderWith("QRV3", {"Setup.exe.started"});
    folderWith("QRV4", {"pluginwin32.dat", "notes.txt"});
    folderWith("QRV5", {"pluginwin32.dat"});
    folderWith("QRV5\\Setup.exe", {});        // a folder, even of a name the files have
    folderWith("QRV6", {"pluginwin32.dat"});  // this run's own
    folderWith("Other", {"pluginwin32.dat"});
    QRV2Test::WriteBytes(temp / "QRV7", "not a folder");

    Held<FileFunc> files(TypeFileFunc);
    ASSERT_TRUE(files);
    const char* const names[] = {"pluginwin32.dat", "Setup.exe", "Setup.exe.started"};
    RemoveLeftoverRunFolders((temp / "QRV6\\").c_str(), names, 3, files.Get());

    for (const char* gone : {"QRV1", "QRV2", "QRV3"}) {
        EXPECT_FALSE(QRV2Test::PathPresent(temp / gone)) << gone;
    }
    EXPECT_EQ(QRV2Test::ReadBytes(temp / "QRV4\\pluginwin32.dat"), "pluginwin32.dat");
    EXPECT_EQ(QRV2Test::ReadBytes(temp / "QRV4\\notes.txt"), "notes.txt");
    EXPECT_EQ(QRV2Test::ReadBytes(temp / "QRV5\\pluginwin32.dat"), "pluginwin32.dat");
    EXPECT_TRUE(QRV2Test::IsDirectory(temp / "QRV5\\Setup.exe"));
    EXPECT_EQ(QRV2Test::ReadBytes(temp / "QRV6\\pluginwin32.dat"), "pluginwin32.dat");
    EXPECT_EQ(QRV2Test::ReadBytes(temp / "Other\\pluginwin32.dat"), "pluginwin32.dat");
    EXPECT_EQ(QRV2Test::ReadBytes(temp / "QRV7"), "not a folder");
}

}  // namespace
