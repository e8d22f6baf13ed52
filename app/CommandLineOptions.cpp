// The options at the front of the programs' command lines, in Windows and in POSIX form.
#include "app/CommandLineOptions.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace QRV2 {

namespace {

enum class Option { Quiet, Passive, Log, AppendLog, Outcome, Wait, Help };

struct OptionName {
    Option option;
    const char* windowsName;  // after "/" or "-", letter case ignored
    const char* posixName;    // after "--", exactly; null: none
    char posixLetter;         // after "-", exactly; 0: none
};

// The uninstaller hands its log on to the temporary copy it runs with "appendlog", and names
// the file the copy leaves its outcome in with "outcome"; no user needs to type them, so the
// usage does not list them.
const OptionName kOptions[] = {
    {Option::Quiet, "quiet", "quiet", 'q'},
    {Option::Quiet, "q", nullptr, 0},
    {Option::Passive, "passive", "passive", 0},
    {Option::Log, "log", "log", 0},
    {Option::AppendLog, "appendlog", "append-log", 0},
    {Option::Outcome, "outcome", "outcome", 0},
    {Option::Wait, "wait", "wait", 0},
    {Option::Help, "help", "help", 'h'},
    {Option::Help, "?", nullptr, 0},
};

bool TakesValue(Option option) {
    return option == Option::Log || option == Option::AppendLog || option == Option::Outcome ||
           option == Option::Wait;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

const char* SkipSpaces(const char* text) {
    while (IsSpace(*text)) ++text;
    return text;
}

char Folded(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when the length characters at text are name, letter case ignored.
bool SameNameIgnoringCase(const char* text, std::size_t length, const char* name) {
    if (std::strlen(name) != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (Folded(text[i]) != Folded(name[i])) return false;
    }
    return true;
}

// Collects the options in the order they come and settles them at the end.
class OptionsBuilder {
public:
    explicit OptionsBuilder(CommandLineForm form) { m_options.form = form; }

    void Refuse(const char* problem, const char* part, std::size_t length) {
        if (m_options.verdict == CommandLineVerdict::UsageError) return;  // the first one counts
        m_options.verdict = CommandLineVerdict::UsageError;
        m_options.problem = problem;
        m_options.offending = part;
        m_options.offendingLength = length;
    }
    // True once the rest of the command line no longer matters: help was asked for, or an error
    // found.
    bool Settled() const { return m_options.verdict != CommandLineVerdict::Run; }

    // An option with its value (null for one without); name is the option as written, for the
    // messages.
    void Apply(Option option, const char* name, std::size_t nameLength, const char* value,
               std::size_t valueLength) {
        switch (option) {
            case Option::Quiet: m_quiet = true; return;
            case Option::Passive: m_passive = true; return;
            case Option::Help: m_options.verdict = CommandLineVerdict::Help; return;
            case Option::Log:
            case Option::AppendLog:
                if (valueLength == 0) return Refuse("missing value for", name, nameLength);
                m_options.logPath = value;
                m_options.logPathLength = valueLength;
                m_options.appendLog = option == Option::AppendLog;
                return;
            case Option::Outcome:
                if (valueLength == 0) return Refuse("missing value for", name, nameLength);
                m_options.outcomePath = value;
                m_options.outcomePathLength = valueLength;
                return;
            case Option::Wait: {
                // Whole seconds; at most what still counts in milliseconds.
                std::int64_t seconds = 0;
                bool digits = valueLength > 0 && valueLength <= 7;
                for (std::size_t i = 0; digits && i < valueLength; ++i) {
                    digits = value[i] >= '0' && value[i] <= '9';
                    seconds = seconds * 10 + (value[i] - '0');
                }
                if (!digits || seconds * 1000 > INT32_MAX) {
                    return Refuse("bad number of seconds for", name, nameLength);
                }
                m_waitMs = static_cast<std::int32_t>(seconds * 1000);
                return;
            }
        }
    }

    void SetDocument(const char* document) { m_options.document = document; }

    ProgramOptions Finish(bool takesDocument) {
        if (!takesDocument && m_options.document[0] != '\0') {
            Refuse("unexpected argument", m_options.document, std::strlen(m_options.document));
        }
        // Quiet wins: a run asked for no window never shows one.
        m_options.mode = m_quiet ? RunMode::Quiet : m_passive ? RunMode::Passive : RunMode::Normal;
        m_options.heldWaitLimitMs =
            m_waitMs >= 0 ? m_waitMs : (m_quiet ? kQuietHeldWaitSeconds * 1000 : -1);
        return m_options;
    }

private:
    ProgramOptions m_options;
    bool m_quiet = false;
    bool m_passive = false;
    std::int32_t m_waitMs = -1;
};

}  // namespace

ProgramOptions ParseCommandLineText(const char* text, bool takesDocument) {
    OptionsBuilder built(CommandLineForm::Windows);
    if (text == nullptr) text = "";
    const char* p = SkipSpaces(text);
    bool optionSeen = false;
    while (*p != '\0' && !built.Settled()) {
        // "/", "-" or "--" and at least one more character make an option; anything else (a
        // path, an address, a quoted name) begins the document.
        if ((*p != '/' && *p != '-') || p[1] == '\0' || IsSpace(p[1])) break;
        const char* end = p;
        while (*end != '\0' && !IsSpace(*end)) ++end;
        optionSeen = true;
        if (end - p == 2 && p[0] == '-' && p[1] == '-') {
            p = SkipSpaces(end);
            built.SetDocument(p);
            return built.Finish(takesDocument);
        }
        const char* name = p + ((p[0] == '-' && p[1] == '-') ? 2 : 1);
        const OptionName* found = nullptr;
        for (const OptionName& known : kOptions) {
            if (SameNameIgnoringCase(name, static_cast<std::size_t>(end - name), known.windowsName))
                found = &known;
        }
        if (found == nullptr) {
            built.Refuse("unknown option", p, static_cast<std::size_t>(end - p));
            break;
        }
        const char* token = p;
        const auto tokenLength = static_cast<std::size_t>(end - p);
        p = SkipSpaces(end);
        const char* value = nullptr;
        std::size_t valueLength = 0;
        if (TakesValue(found->option)) {
            if (*p == '\0') {
                built.Refuse("missing value for", token, tokenLength);
                break;
            }
            value = p;
            if (*p == '"') {
                value = p + 1;
                const char* close = std::strchr(value, '"');
                if (close == nullptr) close = value + std::strlen(value);
                valueLength = static_cast<std::size_t>(close - value);
                p = *close == '"' ? close + 1 : close;
                if (*p != '\0' && !IsSpace(*p)) {
                    built.Refuse("bad value for", token, tokenLength);
                    break;
                }
            } else {
                while (*p != '\0' && !IsSpace(*p)) ++p;
                valueLength = static_cast<std::size_t>(p - value);
            }
            p = SkipSpaces(p);
        }
        built.Apply(found->option, token, tokenLength, value, valueLength);
    }
    if (!built.Settled() && *p != '\0') built.SetDocument(optionSeen ? p : text);
    ProgramOptions options = built.Finish(takesDocument);
    options.commandLineText = text;
    return options;
}

ProgramOptions ParseArgumentVector(int count, const char* const* arguments, bool takesDocument) {
    OptionsBuilder built(CommandLineForm::Posix);
    const std::size_t total =
        count > 0 && arguments != nullptr ? static_cast<std::size_t>(count) : 0;
    for (std::size_t i = 0; i < total && !built.Settled(); ++i) {
        const char* argument = arguments[i];
        const bool separator = std::strcmp(argument, "--") == 0;
        if (separator || argument[0] != '-' || argument[1] == '\0') {
            // The document: one argument, after "--" or the first that is no option.
            const std::size_t first = separator ? i + 1 : i;
            if (first < total) built.SetDocument(arguments[first]);
            if (first + 1 < total) {
                built.Refuse("unexpected argument", arguments[first + 1],
                             std::strlen(arguments[first + 1]));
            }
            break;
        }
        const OptionName* found = nullptr;
        for (const OptionName& known : kOptions) {
            const bool named = argument[1] == '-' && known.posixName != nullptr &&
                               std::strcmp(argument + 2, known.posixName) == 0;
            const bool lettered = argument[1] != '-' && argument[2] == '\0' &&
                                  known.posixLetter != 0 && argument[1] == known.posixLetter;
            if (named || lettered) found = &known;
        }
        if (found == nullptr) {
            built.Refuse("unknown option", argument, std::strlen(argument));
            break;
        }
        const char* value = nullptr;
        if (TakesValue(found->option)) {
            if (i + 1 >= total) {
                built.Refuse("missing value for", argument, std::strlen(argument));
                break;
            }
            value = arguments[++i];
        }
        built.Apply(found->option, argument, std::strlen(argument), value,
                    value != nullptr ? std::strlen(value) : 0);
    }
    ProgramOptions options = built.Finish(takesDocument);
    options.arguments = arguments;
    options.argumentCount = total;
    return options;
}

std::size_t PassOnOptions(const ProgramOptions& options, const char* logPath,
                          const char* outcomePath, char (&waitText)[16],
                          const char* (&arguments)[kPassedOnArgumentRoom]) {
    const bool windows = options.form == CommandLineForm::Windows;
    std::size_t count = 0;
    if (options.mode == RunMode::Quiet) arguments[count++] = windows ? "/quiet" : "--quiet";
    if (options.mode == RunMode::Passive) arguments[count++] = windows ? "/passive" : "--passive";
    if (options.heldWaitLimitMs >= 0) {
        std::snprintf(waitText, sizeof waitText, "%ld",
                      static_cast<long>(options.heldWaitLimitMs / 1000));
        arguments[count++] = windows ? "/wait" : "--wait";
        arguments[count++] = waitText;
    }
    if (logPath != nullptr) {
        arguments[count++] = windows ? "/appendlog" : "--append-log";
        arguments[count++] = logPath;
    }
    if (outcomePath != nullptr) {
        arguments[count++] = windows ? "/outcome" : "--outcome";
        arguments[count++] = outcomePath;
    }
    return count;
}

void FormatUsage(const ProgramOptions& options, const char* programName, bool takesDocument,
                 bool synopsisOnly, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return;
    const bool windows = options.form == CommandLineForm::Windows;
    const char* dash = windows ? "/" : "--";
    std::size_t used = 0;
    buffer[0] = '\0';
    auto add = [&](const char* text) {
        for (; *text != '\0' && used + 1 < size; ++text) buffer[used++] = *text;
        buffer[used] = '\0';
    };
    // One line per option: its name (given without its prefix, or spelt out), then its meaning.
    auto option = [&](const char* name, const char* meaning) {
        const char* prefix = name[0] == '\0' || name[0] == '/' || name[0] == '-' ? "" : dash;
        add("  ");
        add(prefix);
        add(name);
        for (std::size_t width = std::strlen(prefix) + std::strlen(name); width < 16; ++width) {
            add(" ");
        }
        add(meaning);
        add("\n");
    };
    add(windows ? "Usage: " : "usage: ");
    add(programName != nullptr ? programName : "");
    for (const char* part : {" [", "quiet | ", "passive] [", "log FILE] [", "wait SECONDS]"}) {
        if (part[0] != ' ') add(dash);
        add(part);
    }
    if (takesDocument) add(" [--] [document or address]");
    if (synopsisOnly) return;
    add("\n\n");
    option("quiet", "no window, no message, nothing on a terminal: only the log tells");
    option("passive", "the progress window alone; nothing is ever asked");
    option("log FILE", "writes the run's log to FILE, created or replaced (its folder must exist)");
    option("wait SECONDS", "waits at most this long for browsers to let go of the plug-ins");
    char quietWait[64];
    std::snprintf(quietWait, sizeof quietWait, "(a quiet run waits %d s unless told otherwise)",
                  kQuietHeldWaitSeconds);
    option("", quietWait);
    option(windows ? "/?, /help" : "--help", "shows this text");
}

}  // namespace QRV2
