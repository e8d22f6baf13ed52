// Shell services: opening documents and addresses, message boxes, waiting for messages.
#pragma once

#include <cstdint>

#include "platform/Error.h"

namespace Platform {

// Opens a document or address with the user's preferred program, the way double-clicking it
// would (default verb, no parameters, no working folder, shown normally). The program is
// started and not waited for. None; FileNotFound (no such file or no opener program);
// AccessDenied; InvalidParameter (null or empty target); other system errors.
Error OpenWithShell(const char* target);

// Message box styles and results (the system's numbers).
constexpr std::uint32_t MessageBoxOk = 0x00;
constexpr std::uint32_t MessageBoxIconError = 0x10;
constexpr std::int32_t MessageBoxResultOk = 1;

// Shows text under caption without an owner window and returns the button pressed
// (MessageBoxResultOk), or 0 when the box could not be shown. Without a desktop (POSIX) the
// message goes to standard error as "caption: text" and the result is MessageBoxResultOk.
std::int32_t ShowMessageBox(const char* text, const char* caption, std::uint32_t style);

// Results of WaitForMessages (the system's numbers).
constexpr std::uint32_t WaitMessageArrived = 0;
constexpr std::uint32_t WaitTimedOut = 258;
constexpr std::uint32_t WaitFailed = 0xFFFFFFFFu;

// Waits until input or a window message arrives for the calling thread, or ms milliseconds
// pass. Where there is no message queue (POSIX) it just waits and reports WaitTimedOut.
std::uint32_t WaitForMessages(std::uint32_t ms);

}  // namespace Platform
