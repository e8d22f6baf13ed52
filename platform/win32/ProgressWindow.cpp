// Progress window on Windows: a thin wrapper over dialog templates, common controls and the pump.
#include "platform/ProgressWindow.h"

#include "platform/Cancel.h"

#include <windows.h>

#include <commctrl.h>

namespace Platform {

namespace {
HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

HWND Control(WindowHandle window, int controlId) {
    return window == nullptr ? nullptr : ::GetDlgItem(ToHwnd(window), controlId);
}
}  // namespace

void InitProgressControls() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    ::InitCommonControlsEx(&controls);
}

WindowHandle CreateDialogFromTemplate(const ProgressDialogIds& dialog) {
    // The default window procedure stands in for a dialog procedure: the window has nothing to
    // react to, and the dialog manager does the rest.
    HWND window =
        ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.templateId),
                             nullptr, reinterpret_cast<DLGPROC>(::DefWindowProcA), 0);
    return reinterpret_cast<WindowHandle>(window);
}

void DestroyDialog(WindowHandle window) {
    if (window != nullptr) ::DestroyWindow(ToHwnd(window));
}

void ShowDialog(WindowHandle window) {
    if (window != nullptr) ::ShowWindow(ToHwnd(window), SW_SHOWNORMAL);
}

void SetDialogTitle(WindowHandle window, const char* title) {
    if (window == nullptr) return;
    ::SendMessageA(ToHwnd(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title ? title : ""));
}

bool HasControl(WindowHandle window, int controlId) {
    return Control(window, controlId) != nullptr;
}

bool SetControlText(WindowHandle window, int controlId, const char* text) {
    HWND control = Control(window, controlId);
    if (control == nullptr) return false;
    ::SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
    return true;
}

bool GetControlText(WindowHandle window, int controlId, char* buffer, int size) {
    HWND control = Control(window, controlId);
    if (control == nullptr || buffer == nullptr || size <= 0) return false;
    buffer[0] = '\0';
    ::SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(size),
                   reinterpret_cast<LPARAM>(buffer));
    buffer[size - 1] = '\0';
    return true;
}

bool SetProgressRange(WindowHandle window, int controlId, std::uint16_t low, std::uint16_t high) {
    HWND control = Control(window, controlId);
    if (control == nullptr) return false;
    ::SendMessageA(control, PBM_SETRANGE, 0, MAKELPARAM(low, high));
    return true;
}

bool SetProgressPosition(WindowHandle window, int controlId, std::uint16_t position) {
    HWND control = Control(window, controlId);
    if (control == nullptr) return false;
    ::SendMessageA(control, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    return true;
}

int GetProgressPosition(WindowHandle window, int controlId) {
    HWND control = Control(window, controlId);
    if (control == nullptr) return -1;
    return static_cast<int>(::SendMessageA(control, PBM_GETPOS, 0, 0));
}

PumpResult PumpMessages(WindowHandle window) {
    MSG message;
    PumpResult result = PumpResult::Empty;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            result = PumpResult::Quit;
            break;
        }
        // Escape pressed in the window is the keyboard's way to ask the run to stop. The
        // dialog has no procedure of its own to turn it into a cancel command, so it is
        // taken here, before the default procedure would ignore it.
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE && window != nullptr &&
            (message.hwnd == ToHwnd(window) || ::IsChild(ToHwnd(window), message.hwnd))) {
            RequestCancel();
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    // The dialog has no procedure of its own, so a close request (Alt+F4, the task bar) ends in
    // the default window procedure, which destroys the window under its owner's feet.
    // Closing the only window is the user's way of asking the run to stop.
    if (window != nullptr && !::IsWindow(ToHwnd(window))) {
        RequestCancel();
        return PumpResult::Closed;
    }
    return result;
}

void ReportStopped(const char*) {}  // the window shows the text for as long as it is up

}  // namespace Platform
