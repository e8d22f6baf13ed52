// Test seam of the stop request (Cancel.h). Included by tests and by the implementations that
// honour it.
#pragma once

namespace Platform {

// Clears the process's stop request, so one test's Ctrl-C or closed window does not stop the
// next. A run never takes its stop request back.
void ResetCancel();

}  // namespace Platform
