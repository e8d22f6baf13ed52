// The phase sequencer against a recording environment: texts, progress, retries, skips, cancel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Installer.h"
#include "app/ProgressBar.h"
#include "app/RunJournal.h"
#include "app/Sequencer.h"
#include "framework/containers/String.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"
#include "framework/core/testing/AllocatorHook.h"
#include "platform/File.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/ScratchFolder.h"

using namespace QRV2;

namespace {

// Everything the sequencer does to the window and the world, in order, as one event list.
struct Recorder {
    std::vector<std::string> texts;  // Create's status text and every SetText
    std::vector<float> progress;     // every SetProgress value, in order
    std::vector<std::uint32_t> sleeps;
    int actions[3] = {0, 0, 0};
    int made = 0, created = 0, closed = 0, deleted = 0;
};

class RecordingBar final : public ProgressBar {
public:
    explicit RecordingBar(Recorder* r) : m_r(r) {}
    std::int32_t Create(const char* title, const char* text) override {
        EXPECT_STREQ(title, "Orvane2011 Installer");
        m_r->created++;
        m_r->texts.push_back(text);
        return 1;
    }
    std::int32_t Close() override {
        m_r->closed++;
        return 0;
    }
    std::int32_t SetProgress(float f) override {
        m_r->progress.push_back(f);
        return 0;
    }
    std::int32_t SetText(const char* text) override {
        m_r->texts.push_back(text);
        return 0;
    }

private:
    Recorder* m_r;
};

class FakeEnvironment : public InstallerEnvironment {
public:
    Recorder rec;
    // Per phase: how many times its action fails before it succeeds, and how.
    int failures[3] = {0, 0, 0};
    ActionResult failureKind[3] = {ActionResult::Failed, ActionResult::Failed,
                                   ActionResult::Failed};
    bool noBar = false;
    int cancelAfterActions = -1;          // -1: never
    const RunRefusal* refusal = nullptr;  // what PrepareRun answers
    std::string noted;                    // a file each action notes and writes, when set

    const RunRefusal* PrepareRun(InstallState*) override { return refusal; }

    ProgressBar* NewProgressBar() override {
        if (noBar) return nullptr;
        rec.made++;
        return new RecordingBar(&rec);
    }
    void DeleteProgressBar(ProgressBar* bar) override {
        rec.deleted++;
        delete static_cast<RecordingBar*>(bar);
    }
    ActionResult RunPhaseAction(int phase, InstallState* state) override {
        EXPECT_EQ(state->currentPhase, phase);
        if (!noted.empty() && state->journal != nullptr &&
            state->journal->NoteWritten(noted.c_str())) {
            QRV2Test::WriteBytes(noted, "written by the run");
        }
        int n = rec.actions[phase]++;
        return n < failures[phase] ? failureKind[phase] : ActionResult::Succeeded;
    }
    void Sleep(std::uint32_t ms) override { rec.sleeps.push_back(ms); }
    bool CancelRequested() override {
        int total = rec.actions[0] + rec.actions[1] + rec.actions[2];
        return cancelAfterActions >= 0 && total >= cancelAfterActions;
    }
    void ReportStopped(const char* text) override { stopped.push_back(text); }
    void OpenDocument(const char* commandLine) override {
        // Opened only once the window is gone.
        EXPECT_EQ(rec.closed, rec.created);
        opened.push_back(commandLine);
    }
    std::vector<std::string> opened;
    std::vector<std::string> stopped;
};

// Stands in for the application singleton: the sequencer only needs one to be registered.
class AppStandIn : public ElementImpBase<Element, TypeSystemApp> {
public:
    std::int32_t Dispose() override { return 0; }
};

class SequencerTest : public ::testing::Test {
protected:
    void SetUp() override { GetCore()->SetSingleton(TypeSystemApp, &m_app); }
    void TearDown() override { GetCore()->SetSingleton(TypeSystemApp, nullptr); }

    std::int32_t Run(FakeEnvironment& env, InstallState& state) {
        return RunInstaller(&state, env);
    }

    AppStandIn m_app;
};

TEST_F(SequencerTest, RunsThreePhasesWithTextsProgressAndOneActionEach) {
    FakeEnvironment env;
    InstallState state;
    EXPECT_EQ(Run(env, state), 0);
    EXPECT_EQ(env.rec.texts, (std::vector<std::string>{"Installing Orvane2011....",
                                                       "Installing Orvane2011 - Opening Archive.",
                                                       "Installing Orvane2011 - XPCOM Plugin",
                                                       "Installing Orvane2011 - ActiveX Plugin."}));
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(env.rec.actions[p], 1) << p;
    }
    ASSERT_EQ(env.rec.progress.size(), 90u);
    for (int i = 0; i < 90; ++i) EXPECT_FLOAT_EQ(env.rec.progress[i], (i % 30) / 30.0f) << i;
    ASSERT_EQ(env.rec.sleeps.size(), 90u);
    for (std::size_t i = 0; i < 90; ++i)
        EXPECT_EQ(env.rec.sleeps[i], i % 30 == 0 ? 250u : 20u) << i;
    EXPECT_EQ(env.rec.created, 1);
    EXPECT_EQ(env.rec.closed, 1);
    EXPECT_EQ(env.rec.deleted, 1);
    EXPECT_EQ(state.archivePath, nullptr);
    EXPECT_EQ(state.currentPhase, 3);
}

TEST_F(SequencerTest, FailingMozillaStepRetriesAndItsMessageStaysUntilNextPhase) {
    FakeEnvironment env;
    env.failures[1] = 2;
    env.failureKind[1] = ActionResult::Held;
    InstallState state;
    EXPECT_EQ(Run(env, state), 0);
    EXPECT_EQ(env.rec.actions[0], 1);
    EXPECT_EQ(env.rec.actions[1], 3);
    EXPECT_EQ(env.rec.actions[2], 1);
    EXPECT_EQ(env.rec.texts,
              (std::vector<std::string>{"Installing Orvane2011....",
                                        "Installing Orvane2011 - Opening Archive.",
                                        "Installing Orvane2011 - XPCOM Plugin",
                                        "Please close Mozilla Firefox to update the Orvane2011.",
                                        "Please close Mozilla Firefox to update the Orvane2011.",
                                        "Installing Orvane2011 - ActiveX Plugin."}));
    // Each failure goes back to the phase's first tick: 250 ms after the failure, 250 ms on
    // the restarted first tick, then the action again: two extra ticks per failure.
    ASSERT_EQ(env.rec.sleeps.size(), 94u);
    const std::vector<std::uint32_t> phase1Start(env.rec.sleeps.begin() + 30,
                                                 env.rec.sleeps.begin() + 36);
    EXPECT_EQ(phase1Start, (std::vector<std::uint32_t>{250, 250, 250, 250, 250, 20}));
    for (float f : env.rec.progress) EXPECT_LT(f, 1.0f);
}

TEST_F(SequencerTest, PayloadThatCannotBeWrittenKeepsThePhaseText) {
    FakeEnvironment env;
    env.failures[0] = 3;
    env.failureKind[0] = ActionResult::FailedQuietly;
    InstallState state;
    EXPECT_EQ(Run(env, state), 0);
    EXPECT_EQ(env.rec.actions[0], 4);
    EXPECT_EQ(env.rec.texts.size(), 4u);
    EXPECT_EQ(env.rec.texts[1], "Installing Orvane2011 - Opening Archive.");
    EXPECT_EQ(env.rec.texts[2], "Installing Orvane2011 - XPCOM Plugin");
}

TEST_F(SequencerTest, CancelEndsAStepThatNeverSucceedsAndCleansUp) {
    FakeEnvironment env;
    env.failures[2] = 1000000;
    env.failureKind[2] = ActionResult::Held;
    env.cancelAfterActions = 1 + 1 + 5;
    InstallState state;
    EXPECT_EQ(Run(env, state), kInstallCancelled);
    EXPECT_EQ(env.rec.actions[2], 5);
    EXPECT_EQ(env.rec.closed, 1);
    EXPECT_EQ(env.rec.deleted, 1);
    EXPECT_EQ(state.archivePath, nullptr);
}

TEST_F(SequencerTest, HeldLibraryIsRetriedBeyondTheAttemptsOtherFailuresGet) {
    FakeEnvironment env;
    env.failures[2] = 10 * kFailureAttempts;
    env.failureKind[2] = ActionResult::Held;
    InstallState state;
    EXPECT_EQ(Run(env, state), 0);
    EXPECT_EQ(env.rec.actions[2], 10 * kFailureAttempts + 1);
    EXPECT_EQ(env.rec.texts.back(), "Please close Internet Explorer to update the Orvane2011.");
    EXPECT_TRUE(env.stopped.empty());
}

// A failure that waiting does not mend (no folder, no room, a broken control) gets its few
// attempts with the phase text left alone, then the stop text stays up about 3 s and the run
// ends as failed: nothing further installed, nothing opened, everything cleaned up.
// A quiet run makes no window object at all and reports nothing where a user would see it;
// it skips the animation's pauses but keeps the half second between attempts, so its time for
// held libraries is waited in earnest: spent, the run stops as failed.
TEST_F(SequencerTest, QuietRunMakesNoWindowAndGivesUpOnAHeldLibraryInTime) {
    FakeEnvironment env;
    env.failures[2] = 100;
    env.failureKind[2] = ActionResult::Held;
    InstallState state;
    state.settings.mode = RunMode::Quiet;
    state.settings.heldWaitLimitMs = 3000;
    EXPECT_EQ(Run(env, state), kInstallFailed);
    EXPECT_EQ(env.rec.made, 0);
    EXPECT_TRUE(env.stopped.empty());
    EXPECT_EQ(env.rec.actions[2], 3000 / 500 + 1);
    EXPECT_EQ(env.rec.sleeps, std::vector<std::uint32_t>(2 * 3000 / 500, 250u));
    EXPECT_EQ(state.archivePath, nullptr);

    FakeEnvironment other;  // any other failure: its attempts as ever, half a second apart
    other.failures[1] = 1000000;
    InstallState quiet;
    quiet.settings.mode = RunMode::Quiet;
    EXPECT_EQ(Run(other, quiet), kInstallFailed);
    EXPECT_EQ(other.rec.actions[1], kFailureAttempts);
    EXPECT_EQ(other.rec.sleeps, std::vector<std::uint32_t>(2 * (kFailureAttempts - 1), 250u));
    EXPECT_EQ(other.rec.made, 0);
}

TEST_F(SequencerTest, OtherFailureStopsAfterItsAttemptsAsFailed) {
    FakeEnvironment env;
    env.failures[1] = 1000000;
    env.failureKind[1] = ActionResult::FailedQuietly;
    EXPECT_EQ(RunInstallerProgram("plan.qrv", env), kInstallFailed);
    EXPECT_EQ(env.rec.actions[1], kFailureAttempts);
    EXPECT_EQ(env.rec.actions[2], 0);
    EXPECT_EQ(env.rec.texts,
              (std::vector<std::string>{
                  "Installing Orvane2011....", "Installing Orvane2011 - Opening Archive.",
                  "Installing Orvane2011 - XPCOM Plugin",
                  "Installation Stopped - Unable to install the XPCOM Plugin."}));
    EXPECT_EQ(
        env.stopped,
        (std::vector<std::string>{"Installation Stopped - Unable to install the XPCOM Plugin."}));
    std::uint32_t slept = 0;  // after the first tick of phase 1
    for (std::size_t i = 30; i < env.rec.sleeps.size(); ++i) slept += env.rec.sleeps[i];
    EXPECT_GE(slept, 2 * 250u * (kFailureAttempts - 1) + kStoppedNoticeMs);
    EXPECT_TRUE(env.opened.empty());
    EXPECT_EQ(env.rec.closed, 1);
    EXPECT_EQ(env.rec.deleted, 1);

    FakeEnvironment loud;  // the archive's own message stays until the stop text replaces it
    loud.failures[0] = 1000000;
    InstallState state;
    EXPECT_EQ(Run(loud, state), kInstallFailed);
    EXPECT_EQ(loud.rec.actions[0], kFailureAttempts);
    EXPECT_EQ(loud.rec.texts.size(), 2u + kFailureAttempts);
    EXPECT_EQ(loud.rec.texts.back(), "Installation Stopped - Unable to open Archive.");
    EXPECT_EQ(state.archivePath, nullptr);
}

// A stop request after every action succeeded cuts the animation short; the installation is
// complete, so it is reported as such and the document is opened.
TEST_F(SequencerTest, StopAfterEveryActionSucceededEndsAsDone) {
    FakeEnvironment env;
    env.cancelAfterActions = 3;
    EXPECT_EQ(RunInstallerProgram("plan.qrv", env), 0);
    EXPECT_LT(env.rec.progress.size(), 90u);
    EXPECT_EQ(env.opened, (std::vector<std::string>{"plan.qrv"}));
}

// A run the program refuses before its first phase (a newer version installed) runs no action,
// shows why as a stop text for a while and ends with the refusal's code, opening nothing.
TEST_F(SequencerTest, RefusedRunRunsNoActionAndShowsWhy) {
    FakeEnvironment env;
    const RunRefusal refusal = {kNewerVersionInstalled, "newer-version-installed",
                                kNewerVersionInstalledText};
    env.refusal = &refusal;
    EXPECT_EQ(RunInstallerProgram("plan.qrv", env), kNewerVersionInstalled);
    EXPECT_EQ(env.rec.actions[0] + env.rec.actions[1] + env.rec.actions[2], 0);
    EXPECT_EQ(env.rec.texts.back(), kNewerVersionInstalledText);
    EXPECT_EQ(env.stopped, (std::vector<std::string>{kNewerVersionInstalledText}));
    std::uint32_t slept = 0;
    for (std::uint32_t ms : env.rec.sleeps) slept += ms;
    EXPECT_GE(slept, kStoppedNoticeMs);
    EXPECT_TRUE(env.opened.empty());
    EXPECT_EQ(env.rec.closed, 1);
}

// What a run noted is undone when it fails or is stopped, and kept when it completes.
TEST_F(SequencerTest, RunThatDoesNotCompleteUndoesWhatItNoted) {
    QRV2Test::ScratchFolder dir;
    for (int ending = 0; ending < 3; ++ending) {
        FakeEnvironment env;
        env.noted = dir / "written.bin";
        if (ending == 1) env.failures[2] = 1000000;  // fails until it stops
        if (ending == 2) {                           // stopped while a library is held
            env.failures[2] = 1000000;
            env.failureKind[2] = ActionResult::Held;
            env.cancelAfterActions = 4;
        }
        const std::int32_t expected[] = {0, kInstallFailed, kInstallCancelled};
        EXPECT_EQ(RunInstallerProgram(nullptr, env), expected[ending]);
        EXPECT_EQ(QRV2Test::PathPresent(env.noted), ending == 0) << ending;
        Platform::FileDelete(env.noted.c_str());
    }
}

TEST_F(SequencerTest, SkipsTheSequenceWithoutApplicationOrWindow) {
    {
        GetCore()->SetSingleton(TypeSystemApp, nullptr);
        FakeEnvironment env;
        InstallState state;
        EXPECT_EQ(Run(env, state), kInstallFailed);  // nothing was installed
        EXPECT_EQ(env.rec.created, 0);
        EXPECT_EQ(state.archivePath, nullptr);
        GetCore()->SetSingleton(TypeSystemApp, &m_app);
    }
    {
        FakeEnvironment env;
        env.noBar = true;
        InstallState state;
        EXPECT_EQ(Run(env, state), kInstallFailed);  // nothing was installed
        EXPECT_EQ(env.rec.actions[0], 0);
        EXPECT_EQ(state.archivePath, nullptr);
    }
}

TEST_F(SequencerTest, StorageFailuresSkipTheSequenceWithoutLeaks) {
    const std::int64_t before = AllocatorHook::LiveBlocks();
    int walked = QRV2Test::WalkAllocationFailures([&](int) {
        FakeEnvironment env;
        InstallState state;
        // A run that could not take place installed nothing: a failure, never a success.
        const std::int32_t result = Run(env, state);
        EXPECT_EQ(result, AllocatorHook::Fired() ? kInstallFailed : 0);
        EXPECT_EQ(state.archivePath, nullptr);
        EXPECT_EQ(env.rec.made, env.rec.deleted);
    });
    EXPECT_GE(walked, 2);  // the path string and the done flags
    EXPECT_EQ(AllocatorHook::LiveBlocks(), before);
}

TEST_F(SequencerTest, CommandLineIsOpenedAfterTheSequenceUnlessEmptyOrCancelled) {
    {
        FakeEnvironment env;
        EXPECT_EQ(RunInstallerProgram("\"C:\\My Files\\plan.qrv\"", env), 0);
        EXPECT_EQ(env.opened, (std::vector<std::string>{"\"C:\\My Files\\plan.qrv\""}));
        EXPECT_EQ(env.rec.actions[2], 1);
    }
    for (const char* nothing : {static_cast<const char*>(nullptr), ""}) {
        FakeEnvironment env;
        EXPECT_EQ(RunInstallerProgram(nothing, env), 0);
        EXPECT_TRUE(env.opened.empty());
    }
    {
        FakeEnvironment env;  // sequence skipped for want of a window: a failure, nothing opened
        env.noBar = true;
        EXPECT_EQ(RunInstallerProgram("http://example.invalid/a.qrv", env), kInstallFailed);
        EXPECT_TRUE(env.opened.empty());
    }
    {
        FakeEnvironment env;
        env.failures[1] = 1000000;
        env.failureKind[1] = ActionResult::Held;
        env.cancelAfterActions = 4;
        EXPECT_EQ(RunInstallerProgram("plan.qrv", env), kInstallCancelled);
        EXPECT_TRUE(env.opened.empty());
    }
}

TEST_F(SequencerTest, NoStorageForTheStateRecordEndsAsFailedWithoutASequence) {
    FakeEnvironment env;
    AllocatorHook::FailNth(1);
    EXPECT_EQ(RunInstallerProgram("plan.qrv", env), kInstallFailed);
    AllocatorHook::Disarm();
    EXPECT_EQ(env.rec.made, 0);
    EXPECT_TRUE(env.opened.empty());
}

}  // namespace
