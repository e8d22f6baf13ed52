// Scenario tool: looks for the top-level windows of programs, to show that a run makes none.
//
// window_poll <record-file> <stop-marker> <program-file-name>...
// Every 20 ms lists the running processes whose file name is one of the names (letter case
// ignored) and every top-level window (EnumWindows, hidden ones included) that belongs to one of
// them, until <stop-marker> exists (after one more look) or 120 s have passed. Writes to
// <record-file> a line per window the first time it is seen ("window <pid> <visible 0|1>
// <class> <title>"), then "looks <n>", "looks-with-program <n>" (the looks that found one of the
// programs running) and "windows <n>". Exit code: 0 done, 2 bad arguments, 4 the record could
// not be written.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Look {
    std::vector<DWORD> processes;  // of the programs asked about
    std::vector<HWND> windows;     // of those processes
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto* look = reinterpret_cast<Look*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    for (DWORD wanted : look->processes) {
        if (wanted == process) look->windows.push_back(window);
    }
    return TRUE;
}

bool IsOneOf(const char* path, int count, char** names) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/') name = c + 1;
    }
    for (int i = 0; i < count; ++i) {
        if (lstrcmpiA(name, names[i]) == 0) return true;
    }
    return false;
}

Look LookOnce(int count, char** names) {
    Look look;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more;
             more = Process32Next(snapshot, &entry)) {
            if (IsOneOf(entry.szExeFile, count, names))
                look.processes.push_back(entry.th32ProcessID);
        }
        CloseHandle(snapshot);
    }
    if (!look.processes.empty()) EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&look));
    return look;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    std::FILE* record = std::fopen(argv[1], "wb");
    if (record == nullptr) return 4;
    std::vector<HWND> seen;
    unsigned looks = 0, looksWithProgram = 0;
    const DWORD start = GetTickCount();
    for (bool last = false; !last;) {
        last = GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES ||
               GetTickCount() - start > 120000;
        const Look look = LookOnce(argc - 3, argv + 3);
        ++looks;
        if (!look.processes.empty()) ++looksWithProgram;
        for (HWND window : look.windows) {
            bool known = false;
            for (HWND old : seen) known = known || old == window;
            if (known) continue;
            seen.push_back(window);
            char className[128] = "", title[256] = "";
            GetClassNameA(window, className, sizeof className);
            GetWindowTextA(window, title, sizeof title);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            std::fprintf(record, "window %lu %d %s %s\n", static_cast<unsigned long>(process),
                         IsWindowVisible(window) ? 1 : 0, className, title);
        }
        if (!last) Sleep(20);
    }
    std::fprintf(record, "looks %u\nlooks-with-program %u\nwindows %u\n", looks, looksWithProgram,
                 static_cast<unsigned>(seen.size()));
    return std::fclose(record) == 0 ? 0 : 4;
}
