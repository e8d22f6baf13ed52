// Test seams of the shell services (Shell.h). Included by tests and by the implementations
// that honour them.
#pragma once

#include <cstdint>

namespace Platform {

// While a hook is set, ShowMessageBox calls it instead of showing anything and returns its
// result; null removes it.
using MessageBoxHook = std::int32_t (*)(const char* text, const char* caption, std::uint32_t style);
void SetMessageBoxHookForTesting(MessageBoxHook hook);

}  // namespace Platform
