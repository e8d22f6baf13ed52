// The phase sequencer: a tick clock over three phases, each action retried until it succeeds.
#include "app/Sequencer.h"

#include <new>

#include "app/ProgressBar.h"
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

// Leaves a stop text (or a completed run's notice) on screen for a while, the window kept
// serviced; a stop request only cuts the wait short.
void ShowFinalText(ProgressBar* bar, SequenceEnvironment& environment, const char* text,
                   float fraction) {
    bar->SetText(text);
    environment.ReportStopped(text);
    for (std::uint32_t waited = 0; waited < kStoppedNoticeMs && !environment.CancelRequested();
         waited += kPhaseStartPauseMs) {
        bar->SetProgress(fraction);
        environment.Sleep(kPhaseStartPauseMs);
    }
}

}  // namespace

std::int32_t RunInstaller(InstallState* state, SequenceEnvironment& environment) {
    return RunSequence(state, environment, kInstallerTexts);
}

std::int32_t RunSequenceWithState(SequenceEnvironment& environment, const SequenceTexts& texts) {
    void* block = Allocate(sizeof(InstallState));
    if (block == nullptr) return kInstallFailed;
    auto* state = new (block) InstallState();
    const std::int32_t result = RunSequence(state, environment, texts);
    state->~InstallState();
    Free(block);
    return result;
}

std::int32_t RunSequence(InstallState* state, SequenceEnvironment& environment,
                         const SequenceTexts& texts) {
    Core* core = GetCore();
    if (state == nullptr || core == nullptr) return kInstallFailed;
    state->archivePath = CreateElementAs<String>(TypeString);
    if (state->archivePath == nullptr) return kInstallFailed;
    if (core->GetSingleton(TypeSystemApp) == nullptr) {
        ReleaseElement(state->archivePath);
        return kInstallFailed;
    }
    ProgressBar* bar = environment.NewProgressBar();
    if (bar == nullptr) {
        ReleaseArchiveAndPath(state);
        return kInstallFailed;
    }
    auto* done = static_cast<std::int32_t*>(Allocate(3 * sizeof(std::int32_t)));
    if (done == nullptr) {
        bar->Close();
        environment.DeleteProgressBar(bar);
        ReleaseArchiveAndPath(state);
        return kInstallFailed;
    }
    done[0] = done[1] = done[2] = 0;

    bar->Create(texts.title, texts.initialStatus);
    std::int32_t result = 0;
    if (!environment.UserFoldersReachable()) {
        ShowFinalText(bar, environment, texts.userFolderUnreachable, 0.0f);
        result = kInstallFailed;
    }
    std::uint32_t tick = 0;
    int failures = 0;  // failures of the current phase that are not a held library
    while (result == 0) {
        // A sequence that keeps failing (a browser never closed) would otherwise retry for
        // ever; the user's stop ends it cleanly. Once every action has succeeded a stop only
        // cuts the animation short: the installation is complete.
        if (environment.CancelRequested()) {
            if (done[0] == 0 || done[1] == 0 || done[2] == 0) result = kInstallCancelled;
            break;
        }
        const std::int32_t phase = static_cast<std::int32_t>(tick / kTicksPerPhase);
        const std::uint32_t sub = tick % kTicksPerPhase;
        if (phase != state->currentPhase) {
            state->currentPhase = phase;
            failures = 0;
            if (phase < 3) bar->SetText(texts.phases[phase]);
        }
        if (phase >= 3) break;
        const float fraction = static_cast<float>(sub) / static_cast<float>(kTicksPerPhase);
        bar->SetProgress(fraction);
        bool retry = false;
        if (sub == 1 && done[phase] == 0) {
            ActionResult outcome = environment.RunPhaseAction(phase, state);
            if (outcome == ActionResult::Succeeded) {
                done[phase] = 1;
            } else {
                if (outcome == ActionResult::Held) {
                    failures = 0;
                } else if (++failures >= kFailureAttempts) {
                    ShowFinalText(bar, environment, texts.stopped[phase], fraction);
                    result = kInstallFailed;
                    break;
                }
                if (outcome != ActionResult::FailedQuietly) bar->SetText(texts.failures[phase]);
                tick = static_cast<std::uint32_t>(phase) * kTicksPerPhase;
                retry = true;
            }
        }
        environment.Sleep(tick % kTicksPerPhase == 0 ? kPhaseStartPauseMs : kTickPauseMs);
        if (!retry) ++tick;
    }

    // What a completed run wants the user to know (something deliberately left in place).
    if (result == 0 && state->notice != nullptr)
        ShowFinalText(bar, environment, state->notice, 1.0f);
    Free(done);
    bar->Close();
    environment.DeleteProgressBar(bar);
    ReleaseArchiveAndPath(state);
    return result;
}

}  // namespace QRV2
