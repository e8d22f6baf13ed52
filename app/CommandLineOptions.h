// The options the installer and the uninstaller take from the front of their command line, in
// each system's form, and the answers about it (usage, usage errors).
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/RunSettings.h"

namespace QRV2 {

// Exit code of a run whose log file cannot be created: nothing was changed (the Windows
// Installer's code for a log that cannot be opened).
constexpr std::int32_t kLogNotCreated = 1622;
// Exit code of a command line the program does not understand, in Windows form (the Windows
// Installer's "invalid command line") and in POSIX form (the usage-error code of every tool).
constexpr std::int32_t kInvalidCommandLine = 1639;
constexpr std::int32_t kPosixUsageError = 2;
// Held libraries are waited for this long in a quiet run unless the command line says
// otherwise: nobody is there to close the browser.
constexpr std::int32_t kQuietHeldWaitSeconds = 120;

// How a system hands a program its command line.
enum class CommandLineForm {
    // One text after the program's name; options "/name" or "-name", letter case ignored;
    // answers in message boxes.
    Windows,
    // An argument vector; options "--name" (and "-q", "-h"); answers on the standard streams.
    Posix,
};

enum class CommandLineVerdict {
    Run,         // the options are understood: run with them
    Help,        // the usage was asked for
    UsageError,  // an option the program does not know, a missing or bad value, a stray argument
};

// What the command line asked for. Texts point into the command line itself.
struct ProgramOptions {
    CommandLineForm form = CommandLineForm::Posix;
    CommandLineVerdict verdict = CommandLineVerdict::Run;
    RunMode mode = RunMode::Normal;
    // How long held libraries are waited for: the /wait seconds, kQuietHeldWaitSeconds in a
    // quiet run without it, else negative (as long as it takes).
    std::int32_t heldWaitLimitMs = -1;
    // The log file: logPathLength characters from logPath (null: no log). Appending is how the
    // uninstaller hands its log on to the copy it runs.
    const char* logPath = nullptr;
    std::size_t logPathLength = 0;
    bool appendLog = false;
    // Where a temporary copy of the uninstaller leaves its exit code once it has run to its end:
    // outcomePathLength characters from outcomePath (null: nowhere).
    const char* outcomePath = nullptr;
    std::size_t outcomePathLength = 0;
    // What is handed to the shell after a completed run, exactly as it stands on the command
    // line (Windows: the rest of the text, quotes included); empty when nothing. Never null.
    const char* document = "";
    // For a usage error: what is wrong ("unknown option", ...) and the part of the command
    // line it is about.
    const char* problem = nullptr;
    const char* offending = nullptr;
    std::size_t offendingLength = 0;
    // The command line as the run logs it: the text (Windows) or the arguments (POSIX).
    const char* commandLineText = nullptr;
    const char* const* arguments = nullptr;
    std::size_t argumentCount = 0;
};

// Windows form: text is the command line after the program's name. Tokens are taken off its
// front while they are options ("/" or "-" and at least one more character): /quiet (/q),
// /passive, /log FILE, /wait SECONDS, /? and /help, and "--", after which the rest of the text is
// the document. A value may stand in double quotes (it then runs to the next double quote).
// The first token that is no option begins the document: the rest of the text, unchanged (and
// when the text does not begin with an option, the whole text, exactly as it was given).
// takesDocument false (the uninstaller): a document is a usage error.
ProgramOptions ParseCommandLineText(const char* text, bool takesDocument);

// POSIX form: the arguments after the program's name: --quiet (-q), --passive, --log FILE,
// --wait SECONDS, --help (-h) and "--", then at most one document argument (a second one is a
// usage error; so is any argument for a program that takes no document). Names are exact.
ProgramOptions ParseArgumentVector(int count, const char* const* arguments, bool takesDocument);

// The options as the arguments of another run of the same program in the same form (the
// uninstaller's temporary copy): the mode, the time for held libraries, the log at logPath
// (null: none) to be added to, and the file at outcomePath (null: none) the run leaves its exit
// code in. Fills arguments, with waitText as the storage of the seconds, and returns how many
// there are.
constexpr std::size_t kPassedOnArgumentRoom = 7;
std::size_t PassOnOptions(const ProgramOptions& options, const char* logPath,
                          const char* outcomePath, char (&waitText)[16],
                          const char* (&arguments)[kPassedOnArgumentRoom]);

// The usage in the options' form for a program of that name (with a document argument when it
// takes one), written into buffer (cut to size, always terminated): the synopsis line alone, or
// with a line per option.
void FormatUsage(const ProgramOptions& options, const char* programName, bool takesDocument,
                 bool synopsisOnly, char* buffer, std::size_t size);

}  // namespace QRV2
