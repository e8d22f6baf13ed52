// The phase sequencer: a tick clock over three phases, each action retried until it succeeds.
#include "app/Sequencer.h"

#include <new>

#include "app/ProgressBar.h"
#include "app/RunJournal.h"
#include "app/RunLog.h"
#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/system/SystemApp.h"

namespace QRV2 {

const SequenceTexts kInstallerTexts = {
    "Orvane2011 Installer",
    "Installing Orvane2011....",
    {
        "Installing Orvane2011 - Opening Archive.",
        "Installing Orvane2011 - XPCOM Plugin",
        "Installing Orvane2011 - ActiveX Plugin.",
    },
    {
        "Installation Stopped - Unable to open Archive.",
        "Please close Mozilla Firefox to update the Orvane2011.",
        "Please close Internet Explorer to update the Orvane2011.",
    },
    {
        "Installation Stopped - Unable to open Archive.",
        "Installation Stopped - Unable to install the XPCOM Plugin.",
        "Installation Stopped - Unable to install the ActiveX Plugin.",
    },
    "Installation Stopped - Unable to reach the user's folder.",
};

namespace {

void ReleaseArchiveAndPath(InstallState* state) {
    if (state->archive != nullptr) {
        state->archive->Close();
        ReleaseElement(state->archive);
    }
    ReleaseElement(state->archivePath);
}

// The window of a quiet run: nothing is made, shown or drawn.
class SilentProgressBar final : public ProgressBar {
public:
    std::int32_t Create(const char*, const char*) override { return 0; }
    std::int32_t Close() override { return 0; }
    std::int32_t SetProgress(float) override { return 0; }
    std::int32_t SetText(const char*) override { return 0; }
};

// Leaves a stop text (or a completed run's notice) on screen for a while, the window kept
// serviced; a stop request only cuts the wait short. A quiet run has no screen: the text is
// the log's alone. A journal given is undone once the text is up.
void ShowFinalText(ProgressBar* bar, SequenceEnvironment& environment, const RunSettings& settings,
                   const char* text, float fraction, RunJournal* undo = nullptr) {
    const bool quiet = settings.mode == RunMode::Quiet;
    if (!quiet) {
        bar->SetText(text);
        environment.ReportStopped(text);
    }
    if (undo != nullptr) undo->Undo(LogOf(settings));
    if (quiet) return;
    for (std::uint32_t waited = 0; waited < kStoppedNoticeMs && !environment.CancelRequested();
         waited += kPhaseStartPauseMs) {
        bar->SetProgress(fraction);
        environment.Sleep(kPhaseStartPauseMs);
    }
}

const char* ReasonOf(const InstallState* state, ActionResult outcome) {
    if (state->failureReason != nullptr) return state->failureReason;
    return outcome == ActionResult::Held ? "held" : "failed";
}

}  // namespace

std::int32_t RunInstaller(InstallState* state, SequenceEnvironment& environment) {
    return RunSequence(state, environment, kInstallerTexts);
}

std::int32_t RunSequenceWithState(SequenceEnvironment& environment, const SequenceTexts& texts,
                                  const RunSettings& settings, RunJournal* journal) {
    void* block = Allocate(sizeof(InstallState));
    if (block == nullptr) return kInstallFailed;
    auto* state = new (block) InstallState();
    state->settings = settings;
    state->journal = journal;
    const std::int32_t result = RunSequence(state, environment, texts);
    state->~InstallState();
    Free(block);
    return result;
}

std::int32_t RunSequence(InstallState* state, SequenceEnvironment& environment,
                         const SequenceTexts& texts) {
    Core* core = GetCore();
    if (state == nullptr || core == nullptr) return kInstallFailed;
    const RunSettings& settings = state->settings;
    const bool quiet = settings.mode == RunMode::Quiet;
    RunLog& log = LogOf(settings);
    state->archivePath = CreateElementAs<String>(TypeString);
    if (state->archivePath == nullptr) return kInstallFailed;
    if (core->GetSingleton(TypeSystemApp) == nullptr) {
        ReleaseElement(state->archivePath);
        return kInstallFailed;
    }
    // A quiet run never makes a window object, so nothing can reach the screen.
    SilentProgressBar silent;
    ProgressBar* bar = quiet ? &silent : environment.NewProgressBar();
    auto endBar = [&] {
        bar->Close();
        if (bar != &silent) environment.DeleteProgressBar(bar);
    };
    if (bar == nullptr) {
        ReleaseArchiveAndPath(state);
        return kInstallFailed;
    }
    auto* done = static_cast<std::int32_t*>(Allocate(3 * sizeof(std::int32_t)));
    if (done == nullptr) {
        endBar();
        ReleaseArchiveAndPath(state);
        return kInstallFailed;
    }
    done[0] = done[1] = done[2] = 0;

    bar->Create(texts.title, texts.initialStatus);
    std::int32_t result = 0;
    if (!environment.UserFoldersReachable()) {
        log.Error("stop",
                  {{"reason", "user-folder-unreachable"}, {"text", texts.userFolderUnreachable}});
        ShowFinalText(bar, environment, settings, texts.userFolderUnreachable, 0.0f);
        result = kInstallFailed;
    } else if (const RunRefusal* refusal = environment.PrepareRun(state)) {
        log.Warn("stop", {{"reason", refusal->reason}, {"text", refusal->text}});
        ShowFinalText(bar, environment, settings, refusal->text, 0.0f);
        result = refusal->exitCode;
    }
    std::uint32_t tick = 0;
    int failures = 0;     // failures of the current phase that are not a held library
    int attempts = 0;     // the current phase's attempts, for the log
    bool failed = false;  // the current phase's action has failed at least once
    bool held = false;    // the last attempt found a library held: the pauses count as waiting
    std::int64_t heldWaitedMs = 0;  // pauses spent waiting for held libraries, the run through
    while (result == 0) {
        // A sequence that keeps failing (a browser never closed) would otherwise retry for
        // ever; the user's stop ends it cleanly. Once every action has succeeded a stop only
        // cuts the animation short: the installation is complete.
        if (environment.CancelRequested()) {
            if (done[0] == 0 || done[1] == 0 || done[2] == 0) {
                result = kInstallCancelled;
                log.Warn("stop", {{"phase", state->currentPhase}, {"reason", "cancelled"}});
            }
            break;
        }
        const std::int32_t phase = static_cast<std::int32_t>(tick / kTicksPerPhase);
        const std::uint32_t sub = tick % kTicksPerPhase;
        if (phase != state->currentPhase) {
            state->currentPhase = phase;
            failures = attempts = 0;
            failed = held = false;
            if (phase < 3) {
                bar->SetText(texts.phases[phase]);
                log.Info("phase", {{"phase", phase}, {"text", texts.phases[phase]}});
            }
        }
        if (phase >= 3) break;
        const float fraction = static_cast<float>(sub) / static_cast<float>(kTicksPerPhase);
        bar->SetProgress(fraction);
        bool retry = false;
        if (sub == 1 && done[phase] == 0) {
            state->failureReason = state->failureFile = nullptr;
            ++attempts;
            ActionResult outcome = environment.RunPhaseAction(phase, state);
            held = outcome == ActionResult::Held;
            if (outcome == ActionResult::Succeeded) {
                done[phase] = 1;
            } else {
                failed = true;
                const char* reason = ReasonOf(state, outcome);
                const char* file = state->failureFile != nullptr ? state->failureFile : "";
                // A held library is waited for while the user may close the browser; any other
                // failure gets its few attempts. Either way the run then stops as failed.
                const bool givenUp =
                    held ? settings.heldWaitLimitMs >= 0 && heldWaitedMs >= settings.heldWaitLimitMs
                         : ++failures >= kFailureAttempts;
                if (held && !givenUp) failures = 0;
                if (givenUp) {
                    log.Error("stop", {{"phase", phase},
                                       {"reason", reason},
                                       {"file", file},
                                       {"attempts", attempts},
                                       {"held-waited-ms", heldWaitedMs},
                                       {"text", texts.stopped[phase]}});
                    ShowFinalText(bar, environment, settings, texts.stopped[phase], fraction,
                                  state->journal);
                    result = kInstallFailed;
                    break;
                }
                log.Warn(
                    "retry",
                    {{"phase", phase}, {"attempt", attempts}, {"reason", reason}, {"file", file}});
                if (outcome != ActionResult::FailedQuietly) bar->SetText(texts.failures[phase]);
                tick = static_cast<std::uint32_t>(phase) * kTicksPerPhase;
                retry = true;
            }
        }
        // A quiet run has no animation to pace: only the pauses before an attempt that follows
        // a failure stay, so the attempts keep their spacing and the budgets counted in them
        // mean what they say.
        const bool phaseStart = tick % kTicksPerPhase == 0;
        const std::uint32_t pause = phaseStart ? kPhaseStartPauseMs : kTickPauseMs;
        if (!quiet || (phaseStart && failed)) {
            environment.Sleep(pause);
            if (held) heldWaitedMs += pause;
        }
        if (!retry) ++tick;
    }

    // A run stopped by the user is undone before its window closes; a completed one keeps
    // nothing it moved aside.
    if (state->journal != nullptr) {
        if (result == 0) {
            state->journal->Complete(log);
        } else {
            state->journal->Undo(log);
        }
    }
    // What a completed run wants the user to know (something deliberately left in place).
    if (result == 0 && state->notice != nullptr) {
        log.Info("notice", {{"text", state->notice}});
        ShowFinalText(bar, environment, settings, state->notice, 1.0f);
    }
    Free(done);
    endBar();
    ReleaseArchiveAndPath(state);
    return result;
}

}  // namespace QRV2
