// The phase sequencer: a tick clock over three phases, each action retried until it succeeds.
#include "app/Sequencer.h"

#include "app/ProgressBar.h"
#include "framework/containers/String.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/archive/Archive.h"
#include "framework/system/SystemApp.h"

namespace QRV2 {

const char* const kWindowTitle = "Orvane2011 Installer";
const char* const kInitialStatusText = "Installing Orvane2011....";
const char* const kPhaseTexts[3] = {
    "Installing Orvane2011 - Opening Archive.",
    "Installing Orvane2011 - XPCOM Plugin",
    "Installing Orvane2011 - ActiveX Plugin.",
};
const char* const kPhaseFailureTexts[3] = {
    "Installation Stopped - Unable to open Archive.",
    "Please close Mozilla Firefox to update the Orvane2011.",
    "Please close Internet Explorer to update the Orvane2011.",
};
const char* const kStoppedTexts[3] = {
    "Installation Stopped - Unable to open Archive.",
    "Installation Stopped - Unable to install the XPCOM Plugin.",
    "Installation Stopped - Unable to install the ActiveX Plugin.",
};

namespace {

void ReleaseArchiveAndPath(InstallState* state) {
    if (state->archive != nullptr) {
        state->archive->Close();
        ReleaseElement(state->archive);
    }
    ReleaseElement(state->archivePath);
}

// Leaves the stop text on screen for a while, the window kept serviced; a stop request only
// cuts the wait short.
void ShowStopped(ProgressBar* bar, InstallerEnvironment& environment, int phase, float fraction) {
    bar->SetText(kStoppedTexts[phase]);
    environment.ReportStopped(kStoppedTexts[phase]);
    for (std::uint32_t waited = 0; waited < kStoppedNoticeMs && !environment.CancelRequested();
         waited += kPhaseStartPauseMs) {
        bar->SetProgress(fraction);
        environment.Sleep(kPhaseStartPauseMs);
    }
}

}  // namespace

std::int32_t RunInstaller(InstallState* state, InstallerEnvironment& environment) {
    Core* core = GetCore();
    if (state == nullptr || core == nullptr) return 0;
    state->archivePath = CreateElementAs<String>(TypeString);
    if (state->archivePath == nullptr) return 0;
    if (core->GetSingleton(TypeSystemApp) == nullptr) {
        ReleaseElement(state->archivePath);
        return 0;
    }
    ProgressBar* bar = environment.NewProgressBar();
    if (bar == nullptr) {
        ReleaseArchiveAndPath(state);
        return 0;
    }
    auto* done = static_cast<std::int32_t*>(Allocate(3 * sizeof(std::int32_t)));
    if (done == nullptr) {
        bar->Close();
        environment.DeleteProgressBar(bar);
        ReleaseArchiveAndPath(state);
        return 0;
    }
    done[0] = done[1] = done[2] = 0;

    bar->Create(kWindowTitle, kInitialStatusText);
    std::int32_t result = 0;
    std::uint32_t tick = 0;
    int failures = 0;  // failures of the current phase that are not a held library
    for (;;) {
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
            if (phase < 3) bar->SetText(kPhaseTexts[phase]);
        }
        if (phase >= 3) break;
        const float fraction = static_cast<float>(sub) / 30.0f;
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
                    ShowStopped(bar, environment, phase, fraction);
                    result = kInstallFailed;
                    break;
                }
                if (outcome != ActionResult::FailedQuietly) bar->SetText(kPhaseFailureTexts[phase]);
                tick = static_cast<std::uint32_t>(phase) * kTicksPerPhase;
                retry = true;
            }
        }
        environment.Sleep(tick % kTicksPerPhase == 0 ? kPhaseStartPauseMs : kTickPauseMs);
        if (!retry) ++tick;
    }

    Free(done);
    bar->Close();
    environment.DeleteProgressBar(bar);
    ReleaseArchiveAndPath(state);
    return result;
}

}  // namespace QRV2
