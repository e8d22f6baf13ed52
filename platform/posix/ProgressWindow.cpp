// Progress window on POSIX: the progress dialog drawn as one status line on a terminal.
#include "platform/ProgressWindow.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <string>

#include "platform/posix/SystemCall.h"

namespace Platform {

// A progress dialog: a status text and a progress bar, under the control ids its creator gave.
// Nothing reads from the terminal, so there is no queue.
struct ProgressWindowTag {
    int textControl = 0;
    int barControl = 0;
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
constexpr int kBarWidth = 30;
constexpr int kNarrowestBar = 10;

// A terminal that went away ends the drawing: it is best effort.
void WriteAll(const std::string& data) { WriteWhole(STDERR_FILENO, data.data(), data.size()); }

// The terminal's width in columns, or 0 when it does not say.
std::size_t TerminalColumns() {
    struct winsize size = {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

// Redraws the whole line in place: carriage return, the line, erase to its end. A line as wide
// as the terminal would wrap and every redraw would add a line. The status text says what is
// going on (and what the user is asked to do), so on a narrow terminal everything else gives way
// first: the bar gets shorter, then the title is shortened and dropped, then the bar and the
// percentage go; only then is the text itself cut.
void Draw(ProgressWindowTag* window) {
    if (!window->visible || !window->terminal) return;
    unsigned span = static_cast<unsigned>(window->high) - window->low;
    unsigned long long done = 0;  // progress in parts per span
    if (span > 0 && window->position > window->low) {
        unsigned pos = window->position > window->high ? window->high : window->position;
        done = pos - window->low;
    }
    unsigned percent = span == 0 ? 0 : static_cast<unsigned>((done * 100u + span / 2) / span);
    const std::string& title = window->title;
    std::string prefix = title.empty() ? std::string() : title + ": ";
    std::string text = window->text;
    const std::string tail = "] " + std::to_string(percent) + "%";
    std::size_t bar = kBarWidth;
    bool barShown = true;
    const std::size_t columns = TerminalColumns();
    if (columns > 0) {
        const std::size_t room = columns - 1;  // the last column makes some terminals wrap
        auto width = [&] {
            return prefix.size() + text.size() + (barShown ? 2 + bar + tail.size() : 0);
        };
        while (width() > room && bar > kNarrowestBar) --bar;
        if (width() > room) {
            const std::size_t fixed = text.size() + 2 + bar + tail.size();
            const std::size_t left = room > fixed ? room - fixed : 0;  // for "title...: "
            prefix = left >= 8 ? title.substr(0, left - 5) + "...: " : std::string();
        }
        if (width() > room) barShown = false;
        if (width() > room) {
            const std::size_t left = room > prefix.size() ? room - prefix.size() : 0;
            text = left > 3 ? text.substr(0, left - 3) + "..." : std::string();
        }
    }
    std::string line = "\r" + prefix + text;
    if (barShown) {
        unsigned filled = span == 0 ? 0 : static_cast<unsigned>(done * bar / span);
        line += " [";
        line.append(filled, '#');
        line.append(bar - filled, '-');
        line += tail;
    }
    line += "\x1b[K";
    WriteAll(line);
    window->drawn = true;
}

bool IsControl(WindowHandle window, int controlId) {
    return controlId == window->textControl || controlId == window->barControl;
}
}  // namespace

void InitProgressControls() {}

WindowHandle CreateDialogFromTemplate(const ProgressDialogIds& dialog) {
    ProgressWindowTag* window = new (std::nothrow) ProgressWindowTag;
    if (window == nullptr) return nullptr;
    window->textControl = dialog.textControlId;
    window->barControl = dialog.barControlId;
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

bool HasControl(WindowHandle window, int controlId) {
    return window != nullptr && IsControl(window, controlId);
}

bool SetControlText(WindowHandle window, int controlId, const char* text) {
    if (!HasControl(window, controlId)) return false;
    // Only the status line carries text on a terminal; the bar's caption is never shown.
    if (controlId == window->textControl) {
        window->text = text ? text : "";
        Draw(window);
    }
    return true;
}

bool GetControlText(WindowHandle window, int controlId, char* buffer, int size) {
    if (!HasControl(window, controlId) || buffer == nullptr || size <= 0) return false;
    const std::string& text =
        controlId == window->textControl ? window->text : std::string("Progress1");
    std::size_t n = text.size() < static_cast<std::size_t>(size - 1)
                        ? text.size()
                        : static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return true;
}

bool SetProgressRange(WindowHandle window, int controlId, std::uint16_t low, std::uint16_t high) {
    if (window == nullptr || controlId != window->barControl) return false;
    window->low = low;
    window->high = high;
    Draw(window);
    return true;
}

bool SetProgressPosition(WindowHandle window, int controlId, std::uint16_t position) {
    if (window == nullptr || controlId != window->barControl) return false;
    // A progress bar keeps its position inside its range.
    if (position < window->low) position = window->low;
    if (position > window->high) position = window->high;
    window->position = position;
    Draw(window);
    return true;
}

int GetProgressPosition(WindowHandle window, int controlId) {
    if (window == nullptr || controlId != window->barControl) return -1;
    return window->position;
}

void ReportStopped(const char* text) {
    // After the run the status line is gone; this line stays in the terminal or the log.
    std::string line = ::isatty(STDERR_FILENO) == 1 ? "\r\x1b[K" : "";
    line += text != nullptr ? text : "";
    line += "\n";
    WriteAll(line);
}

PumpResult PumpMessages(WindowHandle) { return PumpResult::Empty; }

}  // namespace Platform
