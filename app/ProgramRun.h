// What both programs do around a run as their command line asks for it: the answer to a command
// line they do not run with, the log opened before anything changes and ended with the exit
// code, and telling the user the way each system's programs do.
#pragma once

#include <cstdint>

#include "app/CommandLineOptions.h"
#include "app/RunLog.h"
#include "app/RunSettings.h"
#include "platform/Process.h"

namespace QRV2 {

enum class ProgramKind { Installer, Uninstaller };

// What the program has to tell: the usage that was asked for, a problem that ends the run, or
// a notice at the end of a run that has done its work.
enum class MessageKind { Help, Problem, Notice };

// Windows form: a message box under caption, none in a quiet run (and for a notice none in a
// passive one either: nobody may be there to close it). POSIX form, in every mode: help on
// standard output, the rest as one line "caption: text" on standard error.
void TellUser(const ProgramOptions& options, const char* caption, MessageKind kind,
              const char* text);

// The settings a run's sequence takes from the options, with the run's log (null: none).
RunSettings SettingsFor(const ProgramOptions& options, RunLog* log);

// The log of one program run, as the options ask for it (none: every line goes nowhere).
class ProgramRunLog {
public:
    ProgramRunLog(const ProgramOptions& options, const char* caption)
        : m_options(options), m_caption(caption) {}
    ~ProgramRunLog();
    ProgramRunLog(const ProgramRunLog&) = delete;
    ProgramRunLog& operator=(const ProgramRunLog&) = delete;

    // Opens the log and writes the start line (program, version, executable, command line).
    // True when no log was asked for or it is open; false when it cannot be created: the user
    // has been told, and the run must end with kLogNotCreated before it changes anything.
    bool Begin(const char* program);
    RunLog& Log() { return m_log; }
    // On a started framework: the private temporary folder and the product folder.
    void LogFolders();
    // The log for the run's settings: null when there is none.
    RunLog* Open() { return m_log.IsOpen() ? &m_log : nullptr; }
    // The log file's path as given, or null.
    const char* Path() const { return m_path; }
    // Closes the file so that another process can add to it, and opens it again to append.
    void Suspend() { m_log.Close(); }
    void Resume();
    // Writes the end line (the exit code and the run's duration) and, when a line could not be
    // written, tells the user once (a good run stays good). Returns exitCode.
    std::int32_t End(std::int32_t exitCode);

private:
    const ProgramOptions& m_options;
    const char* m_caption;
    char* m_path = nullptr;  // framework storage
    bool m_lost = false;     // a line went missing: written before a Suspend, or not reopened
    std::uint32_t m_started = 0;
    RunLog m_log;
};

// The programs' starts from the command line as each system hands it over: the options taken
// off its front, then the usage (exit 0), a usage error (kInvalidCommandLine in Windows form,
// kPosixUsageError in POSIX form) or the program's run with them.
std::int32_t StartFromCommandLineText(ProgramKind program, Platform::ModuleHandle instance,
                                      const char* text, std::int32_t show);
std::int32_t StartFromArguments(ProgramKind program, int count, const char* const* arguments);

}  // namespace QRV2
