// Scenario tool: loads a library by its bare name, as system code does, optionally after the
// installer's library search restriction, and reports where the library came from.
//
// load_by_name [--restricted] <library name>
// Prints the full path of the module loaded (nothing when the load failed). Exit code: 0 loaded,
// 1 not loaded, 2 bad arguments, 3 the restriction could not be applied.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/Hardening.h"

int main(int argc, char** argv) {
    bool restricted = argc == 3 && std::strcmp(argv[1], "--restricted") == 0;
    if (argc != (restricted ? 3 : 2)) return 2;
    if (restricted && !Platform::RestrictLibrarySearch()) return 3;
    HMODULE module = LoadLibraryA(argv[argc - 1]);
    if (module == nullptr) return 1;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    std::printf("%s\n", path);
    return 0;
}
