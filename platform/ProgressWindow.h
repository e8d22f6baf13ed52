// Progress window service: a modeless dialog with a status line and a progress bar, and the pump.
#pragma once

#include <cstdint>

namespace Platform {

// Opaque handle of a dialog window; null means no window. On Windows it is the window handle.
struct ProgressWindowTag;
using WindowHandle = ProgressWindowTag*;

// What one pass over the calling thread's message queue found.
enum class PumpResult {
    Empty,   // every queued message was dispatched; the queue is empty
    Quit,    // a quit message was taken from the queue; the messages behind it stay queued
    Closed,  // the window was closed by the user or the system while pumping; it no longer exists
};

// Registers the common-control window classes the dialog's progress bar needs. Harmless when
// repeated; there is nothing to register on a platform without them.
void InitProgressControls();

// What a progress dialog is made of: its dialog template and, inside it, the status-text and
// progress-bar controls. The program that owns the template knows these ids, not the platform.
struct ProgressDialogIds {
    int templateId;
    int textControlId;
    int barControlId;
};

// Creates the dialog modeless from the dialog template dialog.templateId of the running
// executable, without owner and hidden until ShowDialog. Null when the template is missing or
// the window cannot be created. Windows takes the controls from the template. POSIX has no
// templates: the dialog is its two controls, drawn as a status line on standard error when that
// is a terminal and nowhere otherwise; the line is kept narrower than the terminal (the bar and
// then the status text are shortened).
WindowHandle CreateDialogFromTemplate(const ProgressDialogIds& dialog);

// Destroys the dialog; null is ignored. The handle must not be used afterwards.
void DestroyDialog(WindowHandle window);

// Shows the dialog in its normal state.
void ShowDialog(WindowHandle window);

// Sets the dialog's own text (its title: the template has no caption, so it only names the
// window to the system). Null text is taken as empty.
void SetDialogTitle(WindowHandle window, const char* title);

// True when the dialog has a child control with the id.
bool HasControl(WindowHandle window, int controlId);

// Sets the text of control controlId; false when there is no such control. Null text is empty.
bool SetControlText(WindowHandle window, int controlId, const char* text);

// The text of control controlId copied into buffer (always NUL-terminated when size > 0);
// false when there is no such control. For inspection by tests.
bool GetControlText(WindowHandle window, int controlId, char* buffer, int size);

// Sets the range of the progress-bar control controlId; false when there is no such control.
bool SetProgressRange(WindowHandle window, int controlId, std::uint16_t low, std::uint16_t high);

// Moves the progress-bar control controlId to position; false when there is no such control.
bool SetProgressPosition(WindowHandle window, int controlId, std::uint16_t position);

// The position of the progress-bar control controlId, or -1 when there is no such control.
// For inspection by tests.
int GetProgressPosition(WindowHandle window, int controlId);

// Writes the text of a run that stopped on a failure where the user still finds it once the
// window is gone. POSIX: one line on standard error, also when that is not a terminal (a drawn
// status line is cleared first). Windows: nothing; the window itself shows the text.
void ReportStopped(const char* text);

// Services the calling thread's message queue: takes every pending message and dispatches it,
// until the queue is empty (Empty) or a quit message is taken (Quit, the quit message consumed
// and the rest left queued). Closed when window (may be null) no longer exists afterwards,
// because the user or the system closed it; the caller must then forget the handle without
// destroying it. A closed window, or Escape pressed in it, also raises the process's stop
// request (Cancel.h).
PumpResult PumpMessages(WindowHandle window);

}  // namespace Platform
