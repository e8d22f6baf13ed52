// Framework start and stop around the installer: the Core anchored, the application singleton
// with its temporary folder, and everything gone again afterwards, also when storage runs out.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "app/CommandLineOptions.h"
#include "app/Installer.h"
#include "app/LeftoverRunFolders.h"
#include "app/Product.h"
#include "app/ProgramRun.h"
#include "app/RunLog.h"
#include "app/Uninstaller.h"
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
#include "platform/Process.h"
#include "platform/Tls.h"
#include "platform/testing/FileTestHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/ChildProcess.h"
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
// Without a temporary folder the run is refused with its own reason.
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
    // Nor does the run go that far: it stops before it changes anything, naming its reason.
    RealInstallerEnvironment environment;
    const RunRefusal* refusal = environment.PrepareRun(&state);
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->exitCode, kInstallFailed);
    EXPECT_STREQ(refusal->text, "Installation Stopped - Unable to use the temporary folder.");
    ASSERT_EQ(app->SetTempFolder(temp.c_str()), 0);
    ReleaseElement(state.archivePath);
    framework.Stop();
    EXPECT_FALSE(QRV2Test::PathPresent(temp));
}

// What killed runs left beside this run's temporary folder: a "QRV<n>" folder holding nothing
// but the named files goes (all of them, some, or none: a run killed before it wrote anything);
// this run's own folder, a folder holding
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
    folderWith("QRV8", {});
    folderWith("QRV4", {"pluginwin32.dat", "notes.txt"});
    folderWith("QRV5", {"pluginwin32.dat"});
    folderWith("QRV5\\Setup.exe", {});        // a folder, even of a name the files have
    folderWith("QRV6", {"pluginwin32.dat"});  // this run's own
    folderWith("Other", {"pluginwin32.dat"});
    QRV2Test::WriteBytes(temp / "QRV7", "not a folder");

    Held<FileFunc> files(TypeFileFunc);
    ASSERT_TRUE(files);
    const char* const names[] = {"pluginwin32.dat", "Setup.exe", "Setup.exe.started"};
    RunLog log;  // none asked for
    RemoveLeftoverRunFolders((temp / "QRV6\\").c_str(), names, 3, files.Get(), log);

    for (const char* gone : {"QRV1", "QRV2", "QRV3", "QRV8"}) {
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

// The uninstaller's run from a temporary copy passes on only what a copy that ran to its end
// reported, when its exit code agrees: a copy that ends without saying so (a killed one, which
// some systems report as 0), crashes or reports what a removal never ends with makes it 1603.
TEST_F(InstallerFrameworkTest, RemovalFromACopyEndsAsTheCopyReportsOrAsFailed) {
    QRV2Test::ScratchFolder dir;
    FrameworkSession framework;
    Core* core = framework.StartProgram(nullptr, "", 1);
    ASSERT_NE(core, nullptr);
    auto* app = static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
    const std::string own = app->GetTempFolder();
    const std::string module = dir / "Module\\";
    const std::string temp = dir / "QRV1\\";
    ASSERT_EQ(Platform::FolderCreate(module.c_str()), Platform::Error::None);
    ASSERT_EQ(Platform::FolderCreate(temp.c_str()), Platform::Error::None);
    QRV2Test::WriteBytes(module + ProductFileOf(ProductFileKind::Uninstaller).installedName,
                         QRV2Test::ReadBytes(QRV2Test::HelperProgram("uninstaller_stand_in")));
    app->SetModuleFolder(module.c_str());
    app->SetTempFolder(temp.c_str());
    const ProgramOptions options = ParseArgumentVector(0, nullptr, false);
    ProgramRunLog log(options, "test");
    const std::pair<const char*, std::int32_t> runs[] = {
        {"finish 1602", 1602}, {"finish 0", 0},     {"exit 0", 1603},
        {"abort", 1603},       {"exit 1602", 1603}, {"finish 1638", 1603},
    };
    for (const auto& run : runs) {
        QRV2Test::WriteBytes(temp + "stand-in.txt", run.first);
        EXPECT_EQ(RunFromTemporaryCopy(options, log), run.second) << run.first;
    }
    app->SetTempFolder(own.c_str());
    framework.Stop();
}

// A log path in a folder that does not exist ends the run with 1622 before anything is
// changed: no framework, so no clean-up of what earlier runs left and no temporary folder.
TEST_F(InstallerFrameworkTest, LogThatCannotBeCreatedEndsTheRunBeforeAnythingChanges) {
    char temp[1024];
    std::uint32_t length = 0;
    ASSERT_EQ(Platform::GetTempFolderPath(temp, sizeof temp, &length), Platform::Error::None);
    const std::string leftover = std::string(temp) + "QRV-1622\\";
    ASSERT_EQ(Platform::FolderCreate(leftover.c_str()), Platform::Error::None);
    QRV2Test::WriteBytes(leftover + "pluginwin32.dat", "a killed run's payload");
    QRV2Test::ScratchFolder dir;
    const std::string log = dir / "missing\\setup.log";
    const char* const arguments[] = {"--quiet", "--log", log.c_str()};
    const ProgramOptions options = ParseArgumentVector(3, arguments, true);
    EXPECT_EQ(InstallerMain(nullptr, options, 1), kLogNotCreated);
    EXPECT_EQ(QRV2Test::ReadBytes(leftover + "pluginwin32.dat"), "a killed run's payload");
    EXPECT_FALSE(QRV2Test::PathPresent(dir / "missing"));
    Platform::FileDelete((leftover + "pluginwin32.dat").c_str());
    Platform::FolderRemove(leftover.substr(0, leftover.size() - 1).c_str());
}

// The options come off the front of the command line only, in each system's form; what follows
// is the document, handed on exactly as it stands.
TEST(ProgramOptions, TakesOptionsOffTheFrontInEachSystemsForm) {
    auto log = [](const ProgramOptions& o) { return std::string(o.logPath, o.logPathLength); };
    auto text = [](const char* t, bool takesDocument = true) {
        return ParseCommandLineText(t, takesDocument);
    };
    using V = CommandLineVerdict;

    ProgramOptions o = text("");
    EXPECT_EQ(o.verdict, V::Run);
    EXPECT_EQ(o.mode, RunMode::Normal);
    EXPECT_EQ(o.heldWaitLimitMs, -1);  // a person is there: waited for as long as it takes
    EXPECT_EQ(o.logPath, nullptr);
    EXPECT_STREQ(o.document, "");
    // Not beginning with an option: the whole text, as today.
    const char* plain = "  \"C:\\My Files\\plan.qrv\" /quiet";
    o = text(plain);
    EXPECT_EQ(o.document, plain);
    EXPECT_EQ(o.mode, RunMode::Normal);
    o = text("/QUIET /Log \"C:\\a b\\setup.log\" -wait 3 \"C:\\My Files\\plan.qrv\"");
    EXPECT_EQ(o.verdict, V::Run);
    EXPECT_EQ(o.mode, RunMode::Quiet);
    EXPECT_EQ(log(o), "C:\\a b\\setup.log");
    EXPECT_FALSE(o.appendLog);
    EXPECT_EQ(o.heldWaitLimitMs, 3000);
    EXPECT_STREQ(o.document, "\"C:\\My Files\\plan.qrv\"");
    EXPECT_EQ(text("/q").heldWaitLimitMs, kQuietHeldWaitSeconds * 1000);  // nobody to close it
    EXPECT_EQ(text("/passive").mode, RunMode::Passive);
    EXPECT_EQ(text("/passive").heldWaitLimitMs, -1);
    EXPECT_EQ(text("/passive /quiet").mode, RunMode::Quiet);
    EXPECT_STREQ(text("/quiet -- /odd name.qrv").document, "/odd name.qrv");
    EXPECT_STREQ(text("/quiet http://example.invalid/a.qrv").document,
                 "http://example.invalid/a.qrv");
    EXPECT_EQ(text("/?").verdict, V::Help);
    EXPECT_EQ(text("/quiet -Help").verdict, V::Help);
    o = text("/appendlog C:\\x.log /quiet");
    EXPECT_EQ(log(o), "C:\\x.log");
    EXPECT_TRUE(o.appendLog);
    for (const char* wrong : {"/bogus plan.qrv", "/quiet /log", "/log \"\"", "/wait soon",
                              "/wait 99999999", "/log \"a\"b"}) {
        EXPECT_EQ(text(wrong).verdict, V::UsageError) << wrong;
    }
    o = text("/quiet /bogus");
    EXPECT_EQ(std::string(o.offending, o.offendingLength), "/bogus");
    EXPECT_EQ(text("/quiet", false).verdict, V::Run);  // the uninstaller
    EXPECT_EQ(text("/quiet plan.qrv", false).verdict, V::UsageError);

    auto vector = [](std::initializer_list<const char*> arguments, bool takesDocument = true) {
        return ParseArgumentVector(static_cast<int>(arguments.size()), arguments.begin(),
                                   takesDocument);
    };
    o = vector({"--quiet", "--log", "/tmp/a b.log", "--wait", "0", "my doc.qrv"});
    EXPECT_EQ(o.verdict, V::Run);
    EXPECT_EQ(o.mode, RunMode::Quiet);
    EXPECT_EQ(log(o), "/tmp/a b.log");
    EXPECT_EQ(o.heldWaitLimitMs, 0);
    EXPECT_STREQ(o.document, "my doc.qrv");
    EXPECT_EQ(vector({"-q"}).heldWaitLimitMs, kQuietHeldWaitSeconds * 1000);
    EXPECT_STREQ(vector({"--", "--odd.qrv"}).document, "--odd.qrv");
    EXPECT_EQ(vector({"--help"}).verdict, V::Help);
    o = vector({"my doc.qrv", "x"});
    EXPECT_EQ(o.verdict, V::UsageError);
    EXPECT_STREQ(o.offending, "x");
    for (auto wrong : {vector({"--bogus"}), vector({"--QUIET"}), vector({"--log"}),
                       vector({"--", "a", "b"}), vector({"--passive", "x"}, false)}) {
        EXPECT_EQ(wrong.verdict, V::UsageError);
    }

    // What the uninstaller passes on to the copy it runs: the same run, its log added to, and
    // where the copy leaves its outcome, which the copy reads back.
    o = text("/quiet /log C:\\x.log");
    char waitText[16];
    const char* passed[kPassedOnArgumentRoom];
    const std::size_t count = PassOnOptions(o, "C:\\x.log", "C:\\t\\u.outcome", waitText, passed);
    EXPECT_EQ(std::vector<std::string>(passed, passed + count),
              (std::vector<std::string>{"/quiet", "/wait", "120", "/appendlog", "C:\\x.log",
                                        "/outcome", "C:\\t\\u.outcome"}));
    o = text("/quiet /outcome \"C:\\my temp\\u.outcome\"");
    EXPECT_EQ(std::string(o.outcomePath, o.outcomePathLength), "C:\\my temp\\u.outcome");
}

// Each line is in the file as soon as it is written (a killed run leaves what it did), in the
// documented form; values with spaces, quotes or control characters are quoted and escaped so a
// script can read them back. A line that cannot be written whole ends the writing, leaves the
// file ending in a whole line, and is remembered.
TEST(RunLog, WritesEachLineAsItHappensInAParsableForm) {
    QRV2Test::ScratchFolder dir;
    const std::string path = dir / "run.log";
    RunLog log;
    EXPECT_FALSE(log.Open((dir / "missing\\run.log").c_str(), false));
    EXPECT_FALSE(log.Open(dir.Path().substr(0, dir.Path().size() - 1).c_str(), false));
    ASSERT_TRUE(log.Open(path.c_str(), false));
    log.Info("file-written", {{"path", "C:\\My Files\\a.dll"},
                              {"size", 1234},
                              {"plain", "C:\\x\\y.dll"},
                              {"text", "say \"hi\"\\ now"},
                              {"empty", ""},
                              {"lines", "a\nb\t\x01"}});
    const std::string first = QRV2Test::ReadBytes(path);
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(
        first, parts,
        std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (\d+) INFO ([^\n]*)\n)")))
        << first;
    EXPECT_EQ(parts[1].str(), std::to_string(Platform::CurrentProcessId()));
    EXPECT_EQ(parts[2].str(),
              R"(file-written path="C:\\My Files\\a.dll" size=1234 )"
              R"(plain=C:\x\y.dll text="say \"hi\"\\ now" empty="" lines="a\nb\t\x01")");

    const char* const arguments[] = {"--log", "my.log"};
    log.Error("control", {LogField::Hex("hresult", 0x80004005u),
                          LogField::Joined("command-line", arguments, 2)});
    log.Close();
    ASSERT_TRUE(log.Open(path.c_str(), true));
    log.Warn("end", {{"exit-code", 1602}});
    std::string all = QRV2Test::ReadBytes(path);
    ASSERT_EQ(all.compare(0, first.size(), first), 0);
    EXPECT_NE(all.find(" ERROR control hresult=0x80004005 command-line=\"--log my.log\"\n"),
              std::string::npos);
    const std::string end = " WARN end exit-code=1602\n";
    EXPECT_EQ(all.substr(all.size() - end.size()), end);
    EXPECT_FALSE(log.Incomplete());

    Platform::FileTestHook::FailWritesAfter(20);
    log.Info("payload", {{"result", "ok"}});
    Platform::FileTestHook::Reset();
    log.Info("after", {});
    log.Close();
    EXPECT_TRUE(log.Incomplete());
    EXPECT_EQ(QRV2Test::ReadBytes(path), all);

    ASSERT_TRUE(log.Open(path.c_str(), false));  // replaced
    log.Close();
    EXPECT_EQ(QRV2Test::ReadBytes(path), "");
}

}  // namespace
