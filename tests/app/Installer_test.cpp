// Framework start and stop around the installer: the Core anchored, the application singleton
// with its temporary folder, and everything gone again afterwards, also when storage runs out.
#include <gtest/gtest.h>

#include <string>

#include "app/Installer.h"
#include "framework/core/Allocator.h"
#include "framework/core/CoreImp.h"
#include "framework/system/SystemApp.h"
#include "platform/Tls.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/ScratchFolder.h"

using namespace QRV2;

namespace {

// StartFramework anchors its own Core in the slot the test program's Core lives in; this puts
// the test program's Core back afterwards.
class InstallerFrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { m_saved = GetCore(); }
    void TearDown() override { Platform::TlsSet(GetCoreSlot(), m_saved); }
    Core* m_saved = nullptr;
};

TEST_F(InstallerFrameworkTest, StartAnchorsCoreAndApplicationAndStopRemovesTheTemporaryFolder) {
    Core* core = StartFramework(nullptr, "plan.qrv", 1);
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

    StopFramework(core);
    EXPECT_EQ(Platform::TlsGet(GetCoreSlot()), nullptr);
    EXPECT_FALSE(QRV2Test::PathPresent(temp));
}

TEST_F(InstallerFrameworkTest, StorageFailuresDuringStartLeaveNothingBehind) {
    const std::int64_t before = AllocatorHook::LiveBlocks();
    int walked = QRV2Test::WalkAllocationFailures([&](int) {
        Core* core = StartFramework(nullptr, "", 1);
        AllocatorHook::Disarm();
        if (core != nullptr) {
            EXPECT_EQ(GetCore(), core);
            StopFramework(core);
        }
        // Never a Core that is gone: the slot is cleared, or untouched when no Core was made.
        void* anchored = Platform::TlsGet(GetCoreSlot());
        EXPECT_TRUE(anchored == nullptr || anchored == m_saved);
    });
    EXPECT_GE(walked, 2);  // the Core and the application at least
    EXPECT_EQ(AllocatorHook::LiveBlocks(), before);
}

}  // namespace
