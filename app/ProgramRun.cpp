// Around both programs' runs: the command line's answers, the run's log, telling the user.
#include "app/ProgramRun.h"

#include <cstdio>
#include <cstring>

#include "app/Installer.h"
#include "app/Product.h"
#include "app/ProductSteps.h"
#include "app/Sequencer.h"
#include "app/Uninstaller.h"
#include "framework/core/Allocator.h"
#include "framework/system/SystemApp.h"
#include "platform/Clock.h"
#include "platform/Shell.h"

namespace QRV2 {

namespace {

// Room for a usage text or a message with a path in it.
constexpr std::size_t kMessageRoom = 2048;

const char* CaptionOf(ProgramKind program) {
    return program == ProgramKind::Installer ? kInstallerTexts.title : kUninstallerTexts.title;
}

// The running program's file name without its folder, as the user started it.
void ProgramFileName(char* buffer, std::uint32_t size) {
    std::uint32_t length = 0;
    if (Platform::GetExecutableFileName(nullptr, buffer, size, &length) != Platform::Error::None) {
        std::snprintf(buffer, size, "%s", "orvane2011");
        return;
    }
    const char* name = buffer;
    for (const char* c = buffer; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/') name = c + 1;
    }
    std::memmove(buffer, name, std::strlen(name) + 1);
}

// The usage, or a usage error with what is wrong, in the options' form; the exit code.
std::int32_t AnswerCommandLine(const ProgramOptions& options, ProgramKind program) {
    const bool takesDocument = program == ProgramKind::Installer;
    char name[260];
    ProgramFileName(name, sizeof name);
    const bool help = options.verdict == CommandLineVerdict::Help;
    const bool windows = options.form == CommandLineForm::Windows;
    char usage[kMessageRoom];
    // A terminal user gets one line saying what is wrong; a message box has room for it all.
    FormatUsage(options, name, takesDocument, !help && !windows, usage, sizeof usage);
    char text[kMessageRoom + 300];
    const int offendingLength =
        static_cast<int>(options.offendingLength > 200 ? 200 : options.offendingLength);
    const char* offending = options.offending != nullptr ? options.offending : "";
    const char* problem = options.problem != nullptr ? options.problem : "usage error";
    if (help) {
        std::snprintf(text, sizeof text, "%s", usage);
    } else if (windows) {
        std::snprintf(text, sizeof text, "%s: %.*s\n\n%s", problem, offendingLength, offending,
                      usage);
    } else {
        std::snprintf(text, sizeof text, "%s '%.*s'; %s", problem, offendingLength, offending,
                      usage);
    }
    // A terminal names the program as it was started; a message box has the window's caption.
    TellUser(options, windows ? CaptionOf(program) : name,
             help ? MessageKind::Help : MessageKind::Problem, text);
    if (help) return 0;
    return windows ? kInvalidCommandLine : kPosixUsageError;
}

std::int32_t Start(ProgramKind program, const ProgramOptions& options,
                   Platform::ModuleHandle instance, std::int32_t show) {
    if (options.verdict != CommandLineVerdict::Run) return AnswerCommandLine(options, program);
    return program == ProgramKind::Installer ? InstallerMain(instance, options, show)
                                             : UninstallerMain(instance, options, show);
}

}  // namespace

void TellUser(const ProgramOptions& options, const char* caption, MessageKind kind,
              const char* text) {
    if (options.form == CommandLineForm::Posix) {
        if (kind == MessageKind::Help) {
            std::fputs(text, stdout);
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "%s: %s\n", caption, text);
            std::fflush(stderr);
        }
        return;
    }
    if (options.mode == RunMode::Quiet) return;
    if (kind == MessageKind::Notice && options.mode == RunMode::Passive) return;
    Platform::ShowMessageBox(
        text, caption,
        kind == MessageKind::Problem ? Platform::MessageBoxIconError : Platform::MessageBoxOk);
}

RunSettings SettingsFor(const ProgramOptions& options, RunLog* log) {
    RunSettings settings;
    settings.mode = options.mode;
    settings.heldWaitLimitMs = options.heldWaitLimitMs;
    settings.log = log;
    return settings;
}

ProgramRunLog::~ProgramRunLog() { Free(m_path); }

bool ProgramRunLog::Begin(const char* program) {
    m_started = Platform::TickMilliseconds();
    if (m_options.logPath == nullptr) return true;
    m_path = static_cast<char*>(Allocate(m_options.logPathLength + 1));
    if (m_path != nullptr) {
        std::memcpy(m_path, m_options.logPath, m_options.logPathLength);
        m_path[m_options.logPathLength] = '\0';
    }
    if (m_path == nullptr || !m_log.Open(m_path, m_options.appendLog)) {
        char text[kMessageRoom];
        std::snprintf(
            text, sizeof text, "The log file cannot be created: %.*s",
            static_cast<int>(m_options.logPathLength > 1000 ? 1000 : m_options.logPathLength),
            m_options.logPath);
        TellUser(m_options, m_caption, MessageKind::Problem, text);
        return false;
    }
    char executable[1024];
    std::uint32_t length = 0;
    if (Platform::GetExecutableFileName(nullptr, executable, sizeof executable, &length) !=
        Platform::Error::None) {
        executable[0] = '\0';
    }
    if (m_options.commandLineText != nullptr) {
        m_log.Info("start", {{"program", program},
                             {"version", kProductVersionText},
                             {"executable", executable},
                             {"command-line", m_options.commandLineText}});
    } else {
        m_log.Info("start", {{"program", program},
                             {"version", kProductVersionText},
                             {"executable", executable},
                             LogField::Joined("command-line", m_options.arguments,
                                              m_options.argumentCount)});
    }
    return true;
}

void ProgramRunLog::LogFolders() {
    SystemApp* app = Application();
    m_log.Info("folders", {{"temp", app != nullptr ? app->GetTempFolder() : nullptr},
                           {"product", app != nullptr ? app->GetLocalProductFolder() : nullptr}});
}

void ProgramRunLog::Resume() {
    if (m_path == nullptr) return;
    if (m_log.Incomplete()) m_lost = true;
    if (!m_log.Open(m_path, true)) m_lost = true;
}

std::int32_t ProgramRunLog::End(std::int32_t exitCode) {
    if (m_path == nullptr) return exitCode;
    const std::uint32_t duration = Platform::TickMilliseconds() - m_started;
    // A stop by the user, or a newer version left alone, is no failure.
    const LogLevel level = exitCode == 0 ? LogLevel::Info
                           : exitCode == kInstallCancelled || exitCode == kNewerVersionInstalled
                               ? LogLevel::Warn
                               : LogLevel::Error;
    m_log.Write(level, "end", {{"exit-code", exitCode}, {"duration-ms", std::int64_t{duration}}});
    if (m_lost || m_log.Incomplete()) {
        char text[kMessageRoom];
        std::snprintf(text, sizeof text, "The log file could not be written whole: %s", m_path);
        TellUser(m_options, m_caption, MessageKind::Notice, text);
    }
    m_log.Close();
    return exitCode;
}

std::int32_t StartFromCommandLineText(ProgramKind program, Platform::ModuleHandle instance,
                                      const char* text, std::int32_t show) {
    return Start(program, ParseCommandLineText(text, program == ProgramKind::Installer), instance,
                 show);
}

std::int32_t StartFromArguments(ProgramKind program, int count, const char* const* arguments) {
    // As a Windows program started normally gets SW_SHOWNORMAL.
    const std::int32_t kShowNormal = 1;
    return Start(program,
                 ParseArgumentVector(count - 1, count > 0 ? arguments + 1 : nullptr,
                                     program == ProgramKind::Installer),
                 nullptr, kShowNormal);
}

}  // namespace QRV2
