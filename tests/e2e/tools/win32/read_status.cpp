// Scenario tool: watches the installer's progress window from another process and acts on it.
//
// read_status [--title <title>] [--until <text>] [--gone] [--close] [--escape] [--record <file>]
//             [--timeout <ms>]
// Polls the top-level window titled "Orvane2011 Installer" (or <title>) every 20 ms and reads its
// status text (control 1001) and bar position (control 1002).
//   --until <text>  wait until the status text is exactly <text>
//   --gone          wait until the window has been seen and is gone again
//   --close         once the window is there (and --until matched), post WM_CLOSE to it
//   --escape        the same with an Escape key press queued to the window's focus
//   --record <file> append every status text the window shows, one line per change, and at the
//                   end the window's always-on-top state when first seen ("topmost 0|1") and
//                   the highest bar position seen ("max-position <n>")
// Prints the last status text seen. Exit code: 0 the wait ended as asked, 1 timeout (default
// 20000 ms), 2 bad arguments, 3 the window could not be acted on.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kInstallerTitle[] = "Orvane2011 Installer";
constexpr int kTextControl = 1001;
constexpr int kBarControl = 1002;

bool ReadText(HWND window, std::string* text) {
    char buffer[512];
    buffer[0] = '\0';
    // GetDlgItemTextA reads another process's static control through WM_GETTEXT.
    if (GetDlgItem(window, kTextControl) == nullptr) return false;
    GetDlgItemTextA(window, kTextControl, buffer, sizeof buffer);
    *text = buffer;
    return true;
}

int ReadPosition(HWND window) {
    HWND bar = GetDlgItem(window, kBarControl);
    if (bar == nullptr) return -1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 500, &result)) return -1;
    return static_cast<int>(result);
}

// Delivers an Escape key press to the window of the dialog's thread that has the keyboard focus
// (the dialog itself when none of its controls has), as the keyboard driver would queue it.
bool PressEscape(HWND window) {
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr) target = info.hwndFocus;
    const LPARAM down = 1 | (static_cast<LPARAM>(MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC)) << 16);
    const LPARAM up = down | (static_cast<LPARAM>(3) << 30);
    return PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, down) != 0 &&
           PostMessageA(target, WM_KEYUP, VK_ESCAPE, up) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* until = nullptr;
    const char* record = nullptr;
    const char* title = kInstallerTitle;
    bool gone = false, close = false, escape = false;
    DWORD timeout = 20000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--until") == 0 && i + 1 < argc) {
            until = argv[++i];
        } else if (std::strcmp(argv[i], "--title") == 0 && i + 1 < argc) {
            title = argv[++i];
        } else if (std::strcmp(argv[i], "--record") == 0 && i + 1 < argc) {
            record = argv[++i];
        } else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeout = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--gone") == 0) {
            gone = true;
        } else if (std::strcmp(argv[i], "--close") == 0) {
            close = true;
        } else if (std::strcmp(argv[i], "--escape") == 0) {
            escape = true;
        } else {
            std::fprintf(stderr, "read_status: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    std::FILE* log = record != nullptr ? std::fopen(record, "ab") : nullptr;
    if (record != nullptr && log == nullptr) return 2;

    std::string last;
    bool seenText = false;
    bool seenWindow = false;
    int maxPosition = -1;
    int topmost = -1;
    bool matched = until == nullptr;
    bool acted = !(close || escape);
    int result = 1;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
        HWND window = FindWindowA(nullptr, title);
        std::string text;
        if (window != nullptr) {
            seenWindow = true;
            if (topmost < 0)
                topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 ? 1 : 0;
        }
        if (window != nullptr && ReadText(window, &text)) {
            if (!seenText || text != last) {
                if (log != nullptr) std::fprintf(log, "%s\n", text.c_str());
                last = text;
                seenText = true;
            }
            int position = ReadPosition(window);
            if (position > maxPosition) maxPosition = position;
            if (!matched && text == until) matched = true;
            if (matched && !acted) {
                bool ok = close ? PostMessageA(window, WM_CLOSE, 0, 0) != 0 : PressEscape(window);
                if (!ok) {
                    result = 3;
                    break;
                }
                acted = true;
            }
        }
        if (matched && acted && (!gone || (seenWindow && window == nullptr))) {
            result = 0;
            break;
        }
        Sleep(5);  // bar positions last 20 ms each: look more often than they change
    }
    if (log != nullptr) {
        std::fprintf(log, "topmost %d\n", topmost);
        std::fprintf(log, "max-position %d\n", maxPosition);
        std::fclose(log);
    }
    std::printf("%s\n", last.c_str());
    return result;
}
