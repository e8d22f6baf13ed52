// ProgressBar: the installer's window with a status line and a progress bar (a plain interface).
#pragma once

#include <cstdint>

namespace QRV2 {

// Not an element: not reference-counted, not created through the Core. The owner deletes the
// implementation object directly after Close, so the interface has no virtual destructor.
class ProgressBar {
public:
    // Shows the window with the title (naming it to the system) and the status text.
    // 1 when the window is shown and its bar set up; 0 otherwise: no window at all (later calls
    // do nothing), or a window without a bar (later calls still work on the rest).
    virtual std::int32_t Create(const char* title, const char* text) = 0;
    // Closes the window if there is one. Always 0; a second call does nothing.
    virtual std::int32_t Close() = 0;
    // Stores the fraction clamped to [0, 1], moves the bar and services the thread's messages.
    // 0 normally (also without a window, when nothing is pumped); -1 when a quit message was
    // taken from the queue (the messages behind it stay queued) or the window was closed by the
    // user or the system (it is gone; later calls do nothing but store the fraction).
    virtual std::int32_t SetProgress(float fraction) = 0;
    // Replaces the status text when there is a window with a status line. Always 0.
    virtual std::int32_t SetText(const char* text) = 0;

protected:
    ~ProgressBar() = default;
};

}  // namespace QRV2
