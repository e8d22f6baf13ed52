// Command: qxarc's command line: the usage texts, the options and the choice of mode.
#pragma once

#include <string>
#include <vector>

namespace QxarcTool {

// Runs the command line (the program's arguments without its name) and gives the exit status:
// kOk, kFailed (something failed or was left out, each named on standard error), kUsage, or
// the stop codes.
int Run(const std::vector<std::string>& arguments);

// A command line taken apart. Options may stand anywhere among the operands, up to a "--"
// after which everything is an operand; "-" alone is an operand (standard input or output).
struct CommandLine {
    std::string command;
    std::vector<std::string> operands;
    unsigned jobs = 0;                  // -j N; 0: not given
    bool verbose = false;               // -v
    bool keep = false;                  // -k: existing files stay
    bool toOutput = false;              // -O: entries to standard output
    bool excludeHidden = false;         // --exclude-hidden
    bool help = false;                  // -h, --help
    std::vector<std::string> excluded;  // --exclude PATTERN, --exclude=PATTERN
};

// Takes arguments (the command first) apart, accepting only the options the command has. false
// with the reason when an option is unknown or lacks its value, or -j is not a count of 1 to
// 256.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line,
                      std::string* problem);

// How many workers to use when -j is not given: one per processor.
unsigned DefaultJobs();

}  // namespace QxarcTool
