// The uninstaller's main line.
#include "app/Uninstaller.h"

#include <cstdio>
#include <cstring>

#include "app/LeftoverRunFolders.h"
#include "app/ProductSteps.h"
#include "app/RemovalSteps.h"
#include "app/RunLog.h"
#include "framework/FrameworkSession.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/system/FileFunc.h"
#include "framework/system/SystemApp.h"
#include "platform/Cancel.h"
#include "platform/File.h"
#include "platform/ProgramFile.h"
#include "platform/SingleInstance.h"

namespace QRV2 {

const SequenceTexts kUninstallerTexts = {
    "Orvane2011 Uninstaller",
    "Removing Orvane2011....",
    {
        "Removing Orvane2011 - ActiveX Plugin.",
        "Removing Orvane2011 - XPCOM Plugin.",
        "Removing Orvane2011 - Program Folder.",
    },
    {
        "Please close Internet Explorer to remove the Orvane2011.",
        "Please close Mozilla Firefox to remove the Orvane2011.",
        "Removal Stopped - Unable to remove the program folder.",
    },
    {
        "Removal Stopped - Unable to remove the ActiveX Plugin.",
        "Removal Stopped - Unable to remove the XPCOM Plugin.",
        "Removal Stopped - Unable to remove the program folder.",
    },
    "Removal Stopped - Unable to reach the user's folder.",
};

ActionResult RealUninstallerEnvironment::RunPhaseAction(int phase, InstallState* state) {
    switch (phase) {
        case 0:
            return RecordOutcome(state, ProductFileKind::ActiveXControl,
                                 RemoveActiveXControl(state));
        case 1:
            return RecordOutcome(state, ProductFileKind::MozillaPlugin, RemoveMozillaPlugin(state));
        case 2: {
            // Nothing of it is held by a browser: every failure gets its few attempts only.
            const StepResult result = RemoveLeftovers(state);
            RecordOutcome(state, ProductFileKind::Uninstaller, result);
            return result == StepResult::Done ? ActionResult::Succeeded
                                              : ActionResult::FailedQuietly;
        }
        default: return ActionResult::Failed;
    }
}

bool RunsAsInstalledUninstaller() {
    SystemApp* app = Application();
    Held<String> folder(TypeString);
    if (app == nullptr || !folder) return false;
    for (FilePlace place : {FilePlace::Installed, FilePlace::ProductFolder}) {
        if (FolderOf(ProductFileKind::Uninstaller, place, folder.Get()) &&
            SameFolderText(app->GetModuleFolder(), folder->GetString())) {
            return true;
        }
    }
    return false;
}

namespace {

// The outcome file's text: the exit code in decimal and a line feed, so that one cut short
// reads as none.
bool ReadCopyOutcome(const char* path, std::uint32_t* code) {
    Platform::FileHandle file = Platform::NullFile;
    if (Platform::FileOpen(path, Platform::FileAccess::Read, Platform::FileShare::Read,
                           Platform::FileDisposition::OpenExisting, Platform::FileHint::Normal,
                           &file) != Platform::Error::None) {
        return false;
    }
    char text[16];
    std::uint32_t length = 0;
    const bool read = Platform::FileRead(file, text, sizeof text, &length) == Platform::Error::None;
    Platform::FileClose(file);
    if (!read || length < 2 || length > 11 || text[length - 1] != '\n') return false;
    std::uint64_t value = 0;
    for (std::uint32_t i = 0; i + 1 < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (value > 0xFFFFFFFFu) return false;
    *code = static_cast<std::uint32_t>(value);
    return true;
}

// Where the options name an outcome file (this run is a temporary copy), the exit code goes
// there as the run's very last act.
void WriteCopyOutcome(const ProgramOptions& options, std::int32_t exitCode) {
    char path[4096];
    if (options.outcomePath == nullptr || options.outcomePathLength >= sizeof path) return;
    std::memcpy(path, options.outcomePath, options.outcomePathLength);
    path[options.outcomePathLength] = '\0';
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(exitCode));
    Platform::FileHandle file = Platform::NullFile;
    if (length <= 0 ||
        Platform::FileOpen(path, Platform::FileAccess::Write, Platform::FileShare::None,
                           Platform::FileDisposition::CreateAlways, Platform::FileHint::Normal,
                           &file) != Platform::Error::None) {
        return;
    }
    std::uint32_t written = 0;
    Platform::FileWrite(file, text, static_cast<std::uint32_t>(length), &written);
    Platform::FileClose(file);
}

}  // namespace

std::int32_t CopyOutcome(bool reported, std::uint32_t reportedCode, std::uint32_t exitCode) {
    if (!reported) return kInstallFailed;
    switch (reportedCode) {
        case 0:
        case kInstallCancelled:
        case kInstallFailed:
        case kInstallAlreadyRunning:
            // The system may keep only the low 8 bits of an exit code (POSIX).
            if (exitCode == reportedCode || exitCode == (reportedCode & 0xFFu)) {
                return static_cast<std::int32_t>(reportedCode);
            }
            return kInstallFailed;
        default: return kInstallFailed;
    }
}

std::int32_t RunFromTemporaryCopy(const ProgramOptions& options, ProgramRunLog& log) {
    SystemApp* app = Application();
    const char* folder = app == nullptr ? nullptr : app->GetTempFolder();
    if (folder == nullptr || folder[0] == '\0') return kInstallFailed;
    const char* fileName = ProductFileOf(ProductFileKind::Uninstaller).installedName;
    Held<String> source(TypeString);
    Held<String> copy(TypeString);
    Held<String> outcome(TypeString);
    Held<FileFunc> files(TypeFileFunc);
    // Until the copy starts this run is the one at work: under the one-run claim it clears what
    // earlier runs left (the folders of killed runs, the copies earlier removals ran from) and
    // writes the copy -- into its folder made again, should another run have taken it for a
    // leftover while it was still empty. The copy makes the claim itself.
    Platform::InstanceClaim claim = nullptr;
    if (Platform::ClaimInstance(kInstanceName, &claim) == Platform::ClaimResult::Taken) {
        return kInstallAlreadyRunning;
    }
    RemoveProductRunLeftovers(log.Log());
    const bool written =
        source && copy && outcome && files && source->SetString(app->GetModuleFolder()) == 0 &&
        source->AppendString(fileName) == 0 && copy->SetString(folder) == 0 &&
        copy->AppendString(fileName) == 0 && outcome->SetString(copy->GetString()) == 0 &&
        outcome->AppendString(kCopyOutcomeSuffix) == 0 &&
        files->CreateFolders(copy->GetString()) == 0 &&
        files->Copy(source->GetString(), copy->GetString()) == 0 &&
        Platform::MarkProgramRunnable(copy->GetString()) == Platform::Error::None;
    Platform::ReleaseInstance(claim);
    if (!written) {
        log.Log().Error("copy",
                        {{"path", copy ? copy->GetString() : nullptr}, {"result", "not-written"}});
        return kInstallFailed;
    }
    // The copy does the whole removal, this run's own file included (it moves it beside
    // itself); its folder is the private temporary folder, which this run then empties of
    // what it can. Its outcome is this run's outcome. The copy adds its lines to this run's
    // log, between this run's start and end.
    char waitText[16];
    const char* arguments[kPassedOnArgumentRoom];
    const std::size_t count =
        PassOnOptions(options, log.Path(), outcome->GetString(), waitText, arguments);
    log.Log().Info("copy", {{"path", copy->GetString()},
                            {"result", "ok"},
                            LogField::Joined("arguments", arguments, count)});
    log.Suspend();
    std::uint32_t code = 0;
    const Platform::Error started =
        Platform::RunProgramAndWait(copy->GetString(), arguments, count, folder, &code);
    log.Resume();
    if (started != Platform::Error::None) {
        log.Log().Error("copy-ended",
                        {{"result", "not-started"}, {"error", Platform::ToInt(started)}});
        return kInstallFailed;
    }
    // A copy killed or crashed half-way may end with any code (some systems report 0 for a
    // killed process): only the outcome it wrote at its end, agreeing with its exit code, counts.
    std::uint32_t reported = 0;
    const bool finished = ReadCopyOutcome(outcome->GetString(), &reported);
    files->Delete(outcome->GetString());
    const std::int32_t result = CopyOutcome(finished, reported, code);
    log.Log().Write(finished && result == static_cast<std::int32_t>(reported) ? LogLevel::Info
                                                                              : LogLevel::Error,
                    "copy-ended",
                    {{"exit-code", std::int64_t{code}},
                     {"outcome", finished ? std::int64_t{reported} : std::int64_t{-1}},
                     {"result", std::int64_t{result}}});
    return result;
}

std::int32_t UninstallerMain(Platform::ModuleHandle instance, const ProgramOptions& options,
                             std::int32_t show) {
    Platform::InstallCancelHandlers();
    FrameworkSession framework;
    if (framework.StartProgram(instance, "", show) == nullptr) return kInstallFailed;
    ProgramRunLog log(options, kUninstallerTexts.title);
    std::int32_t exitCode = kLogNotCreated;
    if (!Platform::RunningProgramCanRemoveItself() && RunsAsInstalledUninstaller()) {
        // No claim held while the copy runs: the copy makes it, and would otherwise find this
        // run's.
        if (log.Begin("uninstaller")) {
            log.LogFolders();
            exitCode = RunFromTemporaryCopy(options, log);
        }
    } else {
        // Never alongside an installer of the product: one would remove what the other writes
        // (and its log would be the one the other writes).
        Platform::InstanceClaim claim = nullptr;
        if (Platform::ClaimInstance(kInstanceName, &claim) == Platform::ClaimResult::Taken) {
            exitCode = kInstallAlreadyRunning;
        } else if (log.Begin("uninstaller")) {
            log.LogFolders();
            RemoveProductRunLeftovers(log.Log());
            RealUninstallerEnvironment environment;
            exitCode = RunSequenceWithState(environment, kUninstallerTexts,
                                            SettingsFor(options, log.Open()));
        }
        Platform::ReleaseInstance(claim);
    }
    framework.Stop();
    exitCode = log.End(exitCode);
    WriteCopyOutcome(options, exitCode);
    return exitCode;
}

}  // namespace QRV2
