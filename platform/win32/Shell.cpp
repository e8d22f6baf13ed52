// Windows shell services: ShellExecuteA, MessageBoxA and the message wait.
#include "platform/Shell.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/testing/ShellSeams.h"
#include "platform/win32/NativeError.h"

namespace Platform {

namespace {
MessageBoxHook g_messageBoxHook = nullptr;
}  // namespace

Error OpenWithShell(const char* target) {
    if (target == nullptr || target[0] == '\0') return Error::InvalidParameter;
    HINSTANCE r = ShellExecuteA(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL);
    auto code = reinterpret_cast<INT_PTR>(r);
    if (code > 32) return Error::None;
    switch (code) {
        case 0:
        case SE_ERR_OOM: return Error::NotEnoughMemory;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case SE_ERR_NOASSOC:
        case SE_ERR_ASSOCINCOMPLETE: return Error::FileNotFound;
        case SE_ERR_ACCESSDENIED: return Error::AccessDenied;
        case SE_ERR_SHARE: return Error::SharingViolation;
        default: return Error::Unknown;
    }
}

std::int32_t ShowMessageBox(const char* text, const char* caption, std::uint32_t style) {
    if (g_messageBoxHook != nullptr) return g_messageBoxHook(text, caption, style);
    return MessageBoxA(nullptr, text, caption, style);
}

void SetMessageBoxHookForTesting(MessageBoxHook hook) { g_messageBoxHook = hook; }

std::uint32_t WaitForMessages(std::uint32_t ms) {
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLEVENTS);
}

}  // namespace Platform
