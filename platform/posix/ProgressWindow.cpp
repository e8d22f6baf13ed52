// Progress window on POSIX: the progress dialog drawn as one status line on a terminal.
#include "platform/ProgressWindow.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace Platform {

// The one dialog there is: the installer's progress window, with a status text (control 1001)
// and a progress bar (control 1002). Nothing reads from the terminal, so there is no queue.
struct ProgressWindowTag {
    std::string title;
    std::string text = "Text goes here";
    std::uint16_t low = 0;
    std::uint16_t high = 100;
    std::uint16_t position = 0;
    bool visible = false;
    bool terminal = false;  // standard error is a terminal: draw, else stay silent
    bool drawn = false;     // something is on the line and must be cleared at the end
};

namespace {
constexpr int kProgressTemplate = 103;
constexpr int kTextControl = 1001;
constexpr int kBarControl = 1002;
constexpr int kBarWidth = 30;

void WriteAll(const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a terminal that went away: drawing is best effort
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// Redraws the whole line in place: carriage return, the line, erase to its end.
void Draw(ProgressWindowTag* window) {
    if (!window->visible || !window->terminal) return;
    unsigned span = static_cast<unsigned>(window->high) - window->low;
    unsigned long long done = 0;  // progress in parts per span
    if (span > 0 && window->position > window->low) {
        unsigned pos = window->position > window->high ? window->high : window->position;
        done = pos - window->low;
    }
    unsigned filled = span == 0 ? 0 : static_cast<unsigned>(done * kBarWidth / span);
    unsigned percent = span == 0 ? 0 : static_cast<unsigned>((done * 100u + span / 2) / span);
    std::string line = "\r";
    if (!window->title.empty()) line += window->title + ": ";
    line += window->text;
    line += " [";
    line.append(filled, '#');
    line.append(kBarWidth - filled, '-');
    line += "] " + std::to_string(percent) + "%\x1b[K";
    WriteAll(line);
    window->drawn = true;
}

bool IsControl(int controlId) { return controlId == kTextControl || controlId == kBarControl; }
}  // namespace

void InitProgressControls() {}

WindowHandle CreateDialogFromTemplate(int templateId) {
    if (templateId != kProgressTemplate) return nullptr;
    ProgressWindowTag* window = new (std::nothrow) ProgressWindowTag;
    if (window == nullptr) return nullptr;
    window->terminal = ::isatty(STDERR_FILENO) == 1;
    return window;
}

void DestroyDialog(WindowHandle window) {
    if (window == nullptr) return;
    if (window->drawn && window->terminal) WriteAll("\r\x1b[K");
    delete window;
}

void ShowDialog(WindowHandle window) {
    if (window == nullptr) return;
    window->visible = true;
    Draw(window);
}

void SetDialogTitle(WindowHandle window, const char* title) {
    if (window == nullptr) return;
    window->title = title ? title : "";
    Draw(window);
}

bool HasControl(WindowHandle window, int controlId) { return window != nullptr && IsControl(controlId); }

bool SetControlText(WindowHandle window, int controlId, const char* text) {
    if (!HasControl(window, controlId)) return false;
    // Only the status line carries text on a terminal; the bar's caption is never shown.
    if (controlId == kTextControl) {
        window->text = text ? text : "";
        Draw(window);
    }
    return true;
}

bool GetControlText(WindowHandle window, int controlId, char* buffer, int size) {
    if (!HasControl(window, controlId) || buffer == nullptr || size <= 0) return false;
    const std::string& text = controlId == kTextControl ? window->text : std::string("Progress1");
    std::size_t n = text.size() < static_cast<std::size_t>(size - 1) ? text.size() : static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return true;
}

bool SetProgressRange(WindowHandle window, int controlId, std::uint16_t low, std::uint16_t high) {
    if (window == nullptr || controlId != kBarControl) return false;
    window->low = low;
    window->high = high;
    Draw(window);
    return true;
}

bool SetProgressPosition(WindowHandle window, int controlId, std::uint16_t position) {
    if (window == nullptr || controlId != kBarControl) return false;
    // A progress bar keeps its position inside its range.
    if (position < window->low) position = window->low;
    if (position > window->high) position = window->high;
    window->position = position;
    Draw(window);
    return true;
}

int GetProgressPosition(WindowHandle window, int controlId) {
    if (window == nullptr || controlId != kBarControl) return -1;
    return window->position;
}

PumpResult PumpMessages(WindowHandle) { return PumpResult::Empty; }

}  // namespace Platform
