// ProgressBarImp: the progress window made from dialog template 103 of the executable.
#pragma once

#include <cstddef>

#include "app/ProgressBar.h"
#include "platform/ProgressWindow.h"

namespace QRV2 {

// Resource ids of the progress dialog; the Windows resource script uses the same numbers.
constexpr int kProgressDialogTemplate = 103;
constexpr int kProgressTextControl = 1001;
constexpr int kProgressBarControl = 1002;
// The bar's scale: a fraction f is shown at f * kProgressBarMaximum, truncated toward zero.
constexpr int kProgressBarMaximum = 65535;

class ProgressBarImp final : public ProgressBar {
public:
    // Registers the common-control classes; no window yet, progress 0.
    ProgressBarImp();
    ~ProgressBarImp();

    std::int32_t Create(const char* title, const char* text) override;
    std::int32_t Close() override;
    std::int32_t SetProgress(float fraction) override;
    std::int32_t SetText(const char* text) override;

    // The window, null while there is none; the last fraction stored. For inspection.
    Platform::WindowHandle GetWindow() const { return m_window; }
    float GetProgress() const { return m_progress; }

    // From the framework allocator: null when storage cannot be obtained, never throws.
    static void* operator new(std::size_t size) noexcept;
    static void operator delete(void* block) noexcept;

private:
    Platform::WindowHandle m_window;
    float m_progress;
};

}  // namespace QRV2
