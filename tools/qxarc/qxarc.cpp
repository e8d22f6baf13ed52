// qxarc: creates, lists, tests and extracts archives from the command line.
#include <string>
#include <vector>

#include "tools/qxarc/Command.h"

int main(int argc, char** argv) {
    return QxarcTool::Run(std::vector<std::string>(argv + 1, argv + argc));
}
