// Test helper: stands in for the uninstaller's temporary copy. It does what the file
// "stand-in.txt" in its working folder says: "finish <code>" leaves the code in the outcome file
// the --outcome or /outcome argument names and exits with it, as a copy that ran to its end
// does; "exit <code>" exits with the code and leaves nothing (a killed copy, as some systems
// report it); "abort" crashes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/File.h"

int main(int argc, char** argv) {
    char word[16] = "";
    long code = 0;
    std::FILE* instruction = std::fopen("stand-in.txt", "r");
    if (instruction == nullptr) return 2;
    const int read = std::fscanf(instruction, "%15s %ld", word, &code);
    std::fclose(instruction);
    if (read >= 1 && std::strcmp(word, "abort") == 0) std::abort();
    if (read != 2) return 2;
    if (std::strcmp(word, "finish") == 0) {
        const char* outcome = nullptr;
        for (int i = 1; i + 1 < argc; ++i) {
            if (std::strcmp(argv[i], "--outcome") == 0 || std::strcmp(argv[i], "/outcome") == 0) {
                outcome = argv[i + 1];
            }
        }
        Platform::FileHandle file = Platform::NullFile;
        if (outcome == nullptr ||
            Platform::FileOpen(outcome, Platform::FileAccess::Write, Platform::FileShare::None,
                               Platform::FileDisposition::CreateAlways, Platform::FileHint::Normal,
                               &file) != Platform::Error::None) {
            return 3;
        }
        const std::string text = std::to_string(code) + "\n";
        std::uint32_t written = 0;
        Platform::FileWrite(file, text.data(), static_cast<std::uint32_t>(text.size()), &written);
        Platform::FileClose(file);
    }
    return static_cast<int>(code);
}
