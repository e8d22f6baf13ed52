// Command: the usage text, option parsing and the dispatch to create, list, test and extract.
#include "tools/qxarc/Command.h"

#include <cstdio>
#include <thread>

#include "framework/FrameworkSession.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Create.h"
#include "tools/qxarc/Extract.h"
#include "tools/qxarc/ListTest.h"

namespace QxarcTool {

namespace {

const char kUsageText[] =
    "usage: qxarc create [-j N] ARCHIVE FOLDER\n"
    "                                        pack every file below FOLDER (hidden ones left out)\n"
    "       qxarc list ARCHIVE               show each entry's content size, stored size, offset\n"
    "       qxarc test ARCHIVE               read every entry and report each damaged one\n"
    "       qxarc extract [-j N] ARCHIVE DEST [PREFIX]\n"
    "                                        extract all entries (or those below PREFIX) into "
    "DEST\n"
    "       qxarc --help | --version\n"
    "-j N: N worker threads (default: one per processor); the archive is the same for any N.\n"
    "Exit status: 0 success, 1 something failed or was left out (each named on standard error),\n"
    "2 bad usage.\n";

// Output that could not be written is a failure: a listing cut short must not pass as whole.
int Finish(int result) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "qxarc: standard output: write failed\n");
        return result == kOk ? kFailed : result;
    }
    return result;
}

// The mode with its operands, once the framework runs.
int RunMode(const std::string& command, const std::vector<std::string>& operands, unsigned jobs) {
    const std::size_t count = operands.size();
    if (command == "create") {
        if (count != 2) return UsageError("create takes [-j N] ARCHIVE FOLDER");
        return Finish(Create(operands[0].c_str(), operands[1].c_str(), jobs));
    }
    if (command == "list") {
        if (count != 1) return UsageError("list takes ARCHIVE");
        return Finish(List(operands[0].c_str()));
    }
    if (command == "test") {
        if (count != 1) return UsageError("test takes ARCHIVE");
        return Finish(Test(operands[0].c_str()));
    }
    if (command == "extract") {
        if (count != 2 && count != 3)
            return UsageError("extract takes [-j N] ARCHIVE DEST [PREFIX]");
        return Finish(Extract(operands[0].c_str(), operands[1].c_str(),
                              count == 3 ? operands[2].c_str() : nullptr, jobs));
    }
    return UsageError("unknown command \"" + command + "\"");
}

}  // namespace

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsageText, stdout);
        return Finish(kOk);
    }
    if (args[0] == "--version") {
        std::printf("qxarc 1.0.0\n");
        return Finish(kOk);
    }
    const std::string command = args[0];
    std::vector<std::string> operands(args.begin() + 1, args.end());
    unsigned jobs = DefaultJobs();
    if (command == "create" || command == "extract") {
        std::string problem;
        if (!TakeJobs(&operands, &jobs, &problem)) return UsageError(problem);
    }
    QRV2::FrameworkSession framework;
    if (framework.Start() == nullptr) {
        std::fprintf(stderr, "qxarc: cannot start (out of memory)\n");
        return kFailed;
    }
    return RunMode(command, operands, jobs);
}

bool TakeJobs(std::vector<std::string>* operands, unsigned* jobs, std::string* problem) {
    if (operands->empty()) return true;
    const std::string first = operands->front();
    if (first == "--") {
        operands->erase(operands->begin());
        return true;
    }
    if (first.compare(0, 2, "-j") != 0) return true;
    std::string value = first.substr(2);
    std::size_t used = 1;
    if (value.empty()) {
        if (operands->size() < 2) {
            *problem = "-j needs a number of workers";
            return false;
        }
        value = (*operands)[1];
        used = 2;
    }
    unsigned long n = 0;
    bool digits = !value.empty() && value.size() <= 4;
    for (char c : value) digits = digits && c >= '0' && c <= '9';
    if (digits) n = std::stoul(value);
    if (!digits || n == 0 || n > 256) {
        *problem = "-j takes a number of workers from 1 to 256, not \"" + value + "\"";
        return false;
    }
    *jobs = static_cast<unsigned>(n);
    operands->erase(operands->begin(), operands->begin() + static_cast<long>(used));
    if (!operands->empty() && operands->front() == "--") operands->erase(operands->begin());
    return true;
}

unsigned DefaultJobs() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

}  // namespace QxarcTool
