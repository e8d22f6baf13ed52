// Command: qxarc's command line: the usage text, the options and the choice of mode.
#pragma once

#include <string>
#include <vector>

namespace QxarcTool {

// Runs the command line (the program's arguments without its name) and gives the exit status:
// kOk, kFailed (something failed or was left out, each named on standard error), kUsage.
int Run(const std::vector<std::string>& arguments);

// Takes "-j N" (or "-jN") from the front of the operands: the number of worker threads, at
// least 1; "--" ends the options, so a name may begin with "-j". false with the reason when
// the number is missing or not a positive count.
bool TakeJobs(std::vector<std::string>* operands, unsigned* jobs, std::string* problem);

// How many workers to use when -j is not given: one per processor.
unsigned DefaultJobs();

}  // namespace QxarcTool
