// Command: the usage texts, option parsing and the dispatch to create, list, test and extract.
#include "tools/qxarc/Command.h"

#include <cstdio>
#include <thread>

#include "framework/FrameworkSession.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Create.h"
#include "tools/qxarc/Extract.h"
#include "tools/qxarc/ListTest.h"
#include "tools/qxarc/Selection.h"

namespace QxarcTool {

namespace {

struct Verb {
    const char* name;
    const char* options;  // the one-letter options it takes ('j' takes a value)
    bool exclude;         // takes --exclude
    bool excludeHidden;   // takes --exclude-hidden
    const char* usage;
    const char* help;
};

const Verb kVerbs[] = {
    {"create", "jv", false, true, "qxarc create [-j N] [-v] [--exclude-hidden] ARCHIVE FOLDER",
     "Packs every file below FOLDER, hidden ones too, into ARCHIVE, entries in name order.\n"
     "ARCHIVE \"-\" (or a FIFO or device) gets the archive as a stream; a file is made beside\n"
     "its final name and replaces it only when complete, keeping the old one's permissions.\n"
     "  -j N              N worker threads (default: one per processor); the archive is the\n"
     "                    same for any N\n"
     "  -v                name each file packed (on standard error when ARCHIVE is \"-\")\n"
     "  --exclude-hidden  leave hidden files and folders out, naming none of them\n"},
    {"list", "v", true, false, "qxarc list [-v] ARCHIVE [NAME...] [--exclude PATTERN]",
     "Names the entries of ARCHIVE (\"-\": standard input), or those NAME selects.\n"
     "  -v                each entry's size, stored size and the share saved, and the totals\n"},
    {"test", "v", true, false, "qxarc test [-v] ARCHIVE [NAME...] [--exclude PATTERN]",
     "Reads every entry (or those NAME selects) and names each damaged one.\n"
     "  -v                name each good entry too\n"},
    {"extract", "jkvO", true, false,
     "qxarc extract [-j N] [-k] [-v] ARCHIVE [DEST [NAME...]] [--exclude PATTERN]\n"
     "       qxarc extract -O ARCHIVE [NAME...] [--exclude PATTERN]",
     "Extracts the entries (or those NAME selects) into DEST (default: the current folder),\n"
     "each at the path its name gives below DEST; nothing is made outside DEST. The archive\n"
     "keeps no permissions: a file gets those of any new file, a program (#!, ELF, Mach-O)\n"
     "the execute permission too, and a file replaced keeps its own.\n"
     "  -j N              N worker threads (default: one per processor)\n"
     "  -k                keep files that exist: such an entry is named and not extracted\n"
     "  -v                name each file made\n"
     "  -O                write the entries' content to standard output instead\n"},
};

const char kCommon[] =
    "NAME is an entry's name, a folder of entries or a shell pattern ('*', '?', '[...]', none\n"
    "of them matching a separator), letter case ignored; --exclude PATTERN (repeatable) leaves\n"
    "out what it matches: with a \"/\" the entry's whole name or a folder of it, without one the\n"
    "entry's own last name. Options may follow the operands; \"--\" ends them.\n"
    "Exit status: 0 success, 1 something failed or was left out (each named on standard error),\n"
    "2 bad usage, 130 and 143 stopped by SIGINT (Ctrl-C) and SIGTERM.\n";

const Verb* FindVerb(const std::string& name) {
    for (const Verb& verb : kVerbs) {
        if (name == verb.name) return &verb;
    }
    return nullptr;
}

void PrintHelp(const Verb* only) {
    std::printf("usage: ");
    bool first = true;
    for (const Verb& verb : kVerbs) {
        if (only != nullptr && only != &verb) continue;
        std::printf("%s%s\n", first ? "" : "       ", verb.usage);
        first = false;
    }
    if (only == nullptr) std::printf("       qxarc COMMAND --help | qxarc --help | --version\n");
    for (const Verb& verb : kVerbs) {
        if (only == nullptr || only == &verb) std::printf("\n%s: %s", verb.name, verb.help);
    }
    std::printf("\n%s", kCommon);
}

// Output that could not be written is a failure: a listing cut short must not pass as whole.
int Finish(int result) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "qxarc: standard output: write failed\n");
        return result == kOk ? kFailed : result;
    }
    return result;
}

bool TakeJobs(const std::string& value, unsigned* jobs, std::string* problem) {
    bool digits = !value.empty() && value.size() <= 4;
    for (char c : value) digits = digits && c >= '0' && c <= '9';
    const unsigned long n = digits ? std::stoul(value) : 0;
    if (n == 0 || n > 256) {
        *problem = "-j takes a number of workers from 1 to 256, not \"" + value + "\"";
        return false;
    }
    *jobs = static_cast<unsigned>(n);
    return true;
}

// The mode with its operands, once the framework runs.
int RunMode(const Verb& verb, const CommandLine& line) {
    const std::vector<std::string>& operands = line.operands;
    const std::size_t count = operands.size();
    const unsigned jobs = line.jobs != 0 ? line.jobs : DefaultJobs();
    Selection selection;
    for (const std::string& pattern : line.excluded) selection.Exclude(pattern);
    const std::string name = verb.name;
    if (name == "create") {
        if (count != 2) return UsageError("create takes ARCHIVE FOLDER");
        CreateOptions options;
        options.jobs = jobs;
        options.excludeHidden = line.excludeHidden;
        options.verbose = line.verbose;
        return Finish(Create(operands[0].c_str(), operands[1].c_str(), options));
    }
    if (count == 0) return UsageError(name + " takes ARCHIVE");
    if (name == "list" || name == "test") {
        for (std::size_t i = 1; i < count; ++i) selection.Add(operands[i]);
        return Finish(name == "list" ? List(operands[0], &selection, line.verbose)
                                     : Test(operands[0], &selection, line.verbose));
    }
    ExtractOptions options;
    options.jobs = jobs;
    options.keepExisting = line.keep;
    options.verbose = line.verbose;
    options.toOutput = line.toOutput;
    // With -O there is no DEST: every operand after ARCHIVE selects.
    const std::size_t first = line.toOutput ? 1 : 2;
    for (std::size_t i = first; i < count; ++i) selection.Add(operands[i]);
    const std::string destination = line.toOutput || count < 2 ? "." : operands[1];
    return Finish(Extract(operands[0], destination, &selection, options));
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line,
                      std::string* problem) {
    *line = CommandLine{};
    if (args.empty()) return true;
    line->command = args[0];
    const Verb* verb = FindVerb(args[0]);
    const std::string letters = verb != nullptr ? verb->options : "";
    bool options = true;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options || arg == "-" || arg.empty() || arg[0] != '-') {
            line->operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options = false;
        } else if (arg == "--help") {
            line->help = true;
        } else if (arg == "--exclude-hidden" && verb != nullptr && verb->excludeHidden) {
            line->excludeHidden = true;
        } else if (arg.compare(0, 9, "--exclude") == 0 && verb != nullptr && verb->exclude &&
                   (arg.size() == 9 || arg[9] == '=')) {
            if (arg.size() == 9 && i + 1 == args.size()) {
                *problem = "--exclude needs a pattern";
                return false;
            }
            line->excluded.push_back(arg.size() == 9 ? args[++i] : arg.substr(10));
        } else if (arg[1] == '-') {
            *problem = "unknown option \"" + arg + "\"";
            return false;
        } else {
            // One or more one-letter options; -j takes the rest of the word or the next one.
            for (std::size_t k = 1; k < arg.size(); ++k) {
                const char c = arg[k];
                if (c == 'h') {
                    line->help = true;
                } else if (letters.find(c) == std::string::npos) {
                    *problem = "unknown option \"-" + std::string(1, c) + "\"";
                    return false;
                } else if (c == 'j') {
                    std::string value = arg.substr(k + 1);
                    if (value.empty()) {
                        if (i + 1 == args.size()) {
                            *problem = "-j needs a number of workers";
                            return false;
                        }
                        value = args[++i];
                    }
                    if (!TakeJobs(value, &line->jobs, problem)) return false;
                    break;
                } else if (c == 'v') {
                    line->verbose = true;
                } else if (c == 'k') {
                    line->keep = true;
                } else if (c == 'O') {
                    line->toOutput = true;
                }
            }
        }
    }
    return true;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        PrintHelp(nullptr);
        return Finish(kOk);
    }
    if (args[0] == "--version") {
        std::printf("qxarc 1.1.0\n");
        return Finish(kOk);
    }
    const Verb* verb = FindVerb(args[0]);
    if (verb == nullptr) return UsageError("unknown command \"" + args[0] + "\"");
    CommandLine line;
    std::string problem;
    if (!ParseCommandLine(args, &line, &problem)) return UsageError(problem);
    if (line.help) {
        PrintHelp(verb);
        return Finish(kOk);
    }
    QRV2::FrameworkSession framework;
    if (framework.Start() == nullptr) {
        std::fprintf(stderr, "qxarc: cannot start (out of memory)\n");
        return kFailed;
    }
    return RunMode(*verb, line);
}

unsigned DefaultJobs() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

}  // namespace QxarcTool
