// Scenario tool: stands in for the program a document is opened with; records what it was given.
//
// open_probe [arguments...]
// Appends one line per argument to the file named by the environment variable
// QRV2_OPEN_PROBE_OUTPUT (nothing happens without it) and exits 0. The installer hands its command
// line to the shell, the shell starts this probe, and the scenario reads the file.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* output = std::getenv("QRV2_OPEN_PROBE_OUTPUT");
    if (output == nullptr || output[0] == '\0') return 2;
    std::FILE* file = std::fopen(output, "ab");
    if (file == nullptr) return 3;
    for (int i = 1; i < argc; ++i) std::fprintf(file, "%s\n", argv[i]);
    if (argc < 2) std::fprintf(file, "(no argument)\n");
    return std::fclose(file) == 0 ? 0 : 4;
}
