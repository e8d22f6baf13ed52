// Tests of the progress window: bar scale and clamping, life cycle without a window, the pump.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "app/ProgressBarImp.h"
#include "framework/core/Allocator.h"
#include "framework/core/testing/AllocatorHook.h"
#include "platform/Cancel.h"
#include "platform/ProgressWindow.h"
#include "platform/testing/CancelSeams.h"

#if defined(_WIN32)
#include <windows.h>

#include <commctrl.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>
#endif

namespace {

using QRV2::ProgressBarImp;

int BarPosition(const ProgressBarImp& bar) {
    return Platform::GetProgressPosition(bar.GetWindow(), QRV2::kProgressBarControl);
}

std::string StatusText(const ProgressBarImp& bar) {
    char text[256];
    if (!Platform::GetControlText(bar.GetWindow(), QRV2::kProgressTextControl, text, sizeof text))
        return "<none>";
    return text;
}

TEST(ProgressBar, CreateShowsStatusAndBarAtZero) {
    ProgressBarImp bar;
    ASSERT_EQ(bar.Create("Orvane2011 Installer", "Installing Orvane2011...."), 1);
    ASSERT_NE(bar.GetWindow(), nullptr);
    EXPECT_EQ(StatusText(bar), "Installing Orvane2011....");
    EXPECT_EQ(BarPosition(bar), 0);
    EXPECT_EQ(bar.SetText("Installing Orvane2011 - XPCOM Plugin"), 0);
    EXPECT_EQ(StatusText(bar), "Installing Orvane2011 - XPCOM Plugin");
    EXPECT_EQ(bar.Close(), 0);
    EXPECT_EQ(bar.GetWindow(), nullptr);
}

// The bar's scale is 0..65535 and a fraction is truncated, never rounded; out-of-range and
// non-numbers land on the nearest end instead of wrapping in the 16-bit position.
TEST(ProgressBar, SetProgressClampsAndTruncatesToTheBarScale) {
    ProgressBarImp bar;
    ASSERT_EQ(bar.Create("title", "text"), 1);
    struct Case {
        float fraction;
        float stored;
        int position;
    };
    const Case cases[] = {
        {-0.5f, 0.0f, 0},    {1.5f, 1.0f, 65535},
        {0.5f, 0.5f, 32767}, {29.0f / 30.0f, 29.0f / 30.0f, 63350},
        {1.0f, 1.0f, 65535}, {1.0f / 30.0f, 1.0f / 30.0f, 2184},
        {0.0f, 0.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fraction);
        EXPECT_EQ(bar.SetProgress(c.fraction), 0);
        EXPECT_EQ(bar.GetProgress(), c.stored);
        EXPECT_EQ(BarPosition(bar), c.position);
    }
    bar.SetProgress(0.75f);
    EXPECT_EQ(bar.SetProgress(std::nanf("")), 0);
    EXPECT_EQ(bar.GetProgress(), 0.0f);
    EXPECT_EQ(BarPosition(bar), 0);
    bar.Close();
}

TEST(ProgressBar, WithoutWindowEveryCallIsANoOpThatStillStoresTheFraction) {
    ProgressBarImp bar;
    EXPECT_EQ(bar.GetWindow(), nullptr);
    EXPECT_EQ(bar.GetProgress(), 0.0f);
    EXPECT_EQ(bar.SetText("before create"), 0);
    EXPECT_EQ(bar.SetProgress(1.5f), 0);
    EXPECT_EQ(bar.GetProgress(), 1.0f);
    EXPECT_EQ(bar.Close(), 0);

    ASSERT_EQ(bar.Create("title", "first"), 1);
    EXPECT_EQ(bar.Close(), 0);
    EXPECT_EQ(bar.Close(), 0);  // the second close has nothing left to destroy
    EXPECT_EQ(bar.GetWindow(), nullptr);
    EXPECT_EQ(bar.SetText("after close"), 0);
    EXPECT_EQ(bar.SetProgress(0.25f), 0);
    EXPECT_EQ(bar.GetProgress(), 0.25f);
}

TEST(ProgressBar, HeapObjectComesFromTheFrameworkAllocator) {
    QRV2::AllocatorHook::FailNth(1);
    ProgressBarImp* failed = new ProgressBarImp;
    QRV2::AllocatorHook::Disarm();
    EXPECT_EQ(failed, nullptr);
    ProgressBarImp* bar = new ProgressBarImp;
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Create("title", "text"), 1);
    bar->Close();
    delete bar;
}

#if defined(_WIN32)

// The window is built from template 103 as shipped: topmost, no caption, centred popup, and the
// title reaches the window's own text although it is never drawn.
TEST(ProgressBar, WindowFollowsTheDialogTemplate) {
    ProgressBarImp bar;
    ASSERT_EQ(bar.Create("Orvane2011 Installer", "status"), 1);
    HWND window = reinterpret_cast<HWND>(bar.GetWindow());
    LONG style = ::GetWindowLongA(window, GWL_STYLE);
    LONG exStyle = ::GetWindowLongA(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_NE(style & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU);
    char title[64] = {0};
    ::GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Orvane2011 Installer");
    HWND progress = ::GetDlgItem(window, QRV2::kProgressBarControl);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(::SendMessageA(progress, PBM_GETRANGE, FALSE, 0), 65535);
    EXPECT_EQ(::SendMessageA(progress, PBM_GETRANGE, TRUE, 0), 0);
    char className[64] = {0};
    ::GetClassNameA(::GetDlgItem(window, QRV2::kProgressTextControl), className, sizeof className);
    EXPECT_STREQ(className, "Static");
    // A second Create replaces the window instead of leaving the first one orphaned on screen.
    ASSERT_EQ(bar.Create("again", "status"), 1);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(::IsWindow(reinterpret_cast<HWND>(bar.GetWindow())));
    bar.Close();
}

// Counts what DispatchMessage delivers, to see which queued messages the pump handled.
int g_dispatched = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP + 1 || message == WM_APP + 2) {
        ++g_dispatched;
        return 0;
    }
    return ::DefWindowProcA(window, message, w, l);
}

TEST(ProgressBar, QuitBehindOtherMessagesStopsThePumpAndLeavesTheRestQueued) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ProgressBarTestCounter";
    ::RegisterClassA(&windowClass);
    HWND counter = ::CreateWindowA("ProgressBarTestCounter", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(counter, nullptr);

    ProgressBarImp bar;
    ASSERT_EQ(bar.Create("title", "text"), 1);
    ASSERT_EQ(bar.SetProgress(0.1f), 0);  // drains what creating the window queued
    g_dispatched = 0;
    Platform::ResetCancel();
    ::PostMessageA(counter, WM_APP + 1, 0, 0);
    ::PostMessageA(counter, WM_APP + 1, 0, 0);
    // Posted as an ordinary message, the quit sits in line behind the two above.
    ::PostThreadMessageA(::GetCurrentThreadId(), WM_QUIT, 0, 0);
    ::PostMessageA(counter, WM_APP + 2, 0, 0);

    EXPECT_EQ(bar.SetProgress(0.5f), -1);
    EXPECT_EQ(g_dispatched, 2);
    EXPECT_FALSE(Platform::CancelRequested());  // a quit alone does not stop the run
    EXPECT_NE(bar.GetWindow(), nullptr);        // a quit does not take the window away
    MSG message;
    ASSERT_TRUE(::PeekMessageA(&message, counter, WM_APP + 2, WM_APP + 2, PM_REMOVE));
    EXPECT_EQ(bar.SetProgress(0.6f), 0);  // the quit was consumed
    EXPECT_EQ(g_dispatched, 2);
    bar.Close();
    ::DestroyWindow(counter);
    ::UnregisterClassA("ProgressBarTestCounter", windowClass.hInstance);
}

// The dialog has no procedure of its own, so a close request destroys it behind the owner's
// back; the bar must notice instead of sending to (or destroying) a dead handle later.
TEST(ProgressBar, WindowClosedBySystemIsReportedAndForgotten) {
    ProgressBarImp bar;
    ASSERT_EQ(bar.Create("title", "text"), 1);
    HWND window = reinterpret_cast<HWND>(bar.GetWindow());
    Platform::ResetCancel();
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(bar.SetProgress(0.5f), -1);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(Platform::CancelRequested());
    Platform::ResetCancel();
    EXPECT_EQ(bar.GetWindow(), nullptr);
    EXPECT_EQ(bar.GetProgress(), 0.5f);
    EXPECT_EQ(bar.SetText("later"), 0);
    EXPECT_EQ(bar.SetProgress(0.7f), 0);
    EXPECT_EQ(bar.Close(), 0);
}

#else

// Runs body with standard error redirected to fd, then puts it back.
template <class Body>
void WithStandardError(int fd, Body body) {
    int saved = ::dup(STDERR_FILENO);
    ASSERT_GE(saved, 0);
    ::dup2(fd, STDERR_FILENO);
    body();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
}

std::string ReadAvailable(int fd) {
    std::string out;
    char buffer[512];
    pollfd p = {fd, POLLIN, 0};
    while (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

// What a window of that title and text draws at half way on a terminal of that many columns (0:
// as the terminal says).
std::string DrawnOnTerminal(unsigned short columns, const char* title, const char* text) {
    struct winsize size = {};
    size.ws_row = 24;
    size.ws_col = columns;
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, columns > 0 ? &size : nullptr) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return "";
    }
    std::string drawn;
    WithStandardError(slave, [&] {
        ProgressBarImp bar;
        EXPECT_EQ(bar.Create(title, text), 1);
        bar.SetProgress(0.5f);
        drawn = ReadAvailable(master);
        bar.Close();
    });
    ::close(slave);
    ::close(master);
    return drawn;
}

TEST(ProgressBar, TerminalShowsTitleStatusAndBarButAFileGetsNothing) {
    std::string drawn = DrawnOnTerminal(0, "Orvane2011 Installer", "Opening Archive.");
    EXPECT_NE(drawn.find("Orvane2011 Installer"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("Opening Archive."), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("50%"), std::string::npos) << drawn;

    // On a narrow terminal the title gives way before the status text, which stays whole.
    drawn = DrawnOnTerminal(40, "Orvane2011 Uninstaller", "Removing Orvane2011 - ActiveX Plugin.");
    EXPECT_NE(drawn.find("Removing Orvane2011 - ActiveX Plugin."), std::string::npos) << drawn;
    for (std::size_t end; (end = drawn.find("\x1b[K")) != std::string::npos;) {
        const std::size_t start = drawn.rfind('\r', end);
        EXPECT_LT(end - (start == std::string::npos ? 0 : start + 1), 40u) << drawn;
        drawn.erase(0, end + 3);
    }

    char path[] = "/tmp/progressbar-XXXXXX";
    int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    WithStandardError(file, [&] {
        ProgressBarImp bar;
        ASSERT_EQ(bar.Create("title", "status"), 1);
        bar.SetProgress(0.5f);
        bar.SetText("other");
        bar.Close();
    });
    EXPECT_EQ(::lseek(file, 0, SEEK_END), 0);
    ::close(file);
    ::unlink(path);
}

#endif

}  // namespace
