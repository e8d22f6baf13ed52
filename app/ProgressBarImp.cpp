// ProgressBarImp: the progress window made from dialog template 103 of the executable.
#include "app/ProgressBarImp.h"

#include "framework/core/Allocator.h"

namespace QRV2 {

ProgressBarImp::ProgressBarImp() : m_window(nullptr), m_progress(0.0f) {
    Platform::InitProgressControls();
}

// A window still open when the object goes is closed rather than left orphaned on screen.
ProgressBarImp::~ProgressBarImp() { Close(); }

void* ProgressBarImp::operator new(std::size_t size) noexcept { return Allocate(size); }

void ProgressBarImp::operator delete(void* block) noexcept { Free(block); }

std::int32_t ProgressBarImp::Create(const char* title, const char* text) {
    // A second Create would orphan the first window; the new one replaces it.
    Close();
    m_window = Platform::CreateDialogFromTemplate(
        {kProgressDialogTemplate, kProgressTextControl, kProgressBarControl});
    if (m_window == nullptr) return 0;
    bool hasBar = Platform::SetProgressRange(m_window, kProgressBarControl, 0, kProgressBarMaximum);
    if (hasBar) Platform::SetProgressPosition(m_window, kProgressBarControl, 0);
    Platform::SetControlText(m_window, kProgressTextControl, text);
    Platform::SetDialogTitle(m_window, title);
    Platform::ShowDialog(m_window);
    return hasBar ? 1 : 0;
}

std::int32_t ProgressBarImp::Close() {
    if (m_window != nullptr) {
        Platform::DestroyDialog(m_window);
        m_window = nullptr;
    }
    return 0;
}

std::int32_t ProgressBarImp::SetProgress(float fraction) {
    // The negated test also turns a NaN into 0 instead of letting it reach the conversion below.
    if (!(fraction >= 0.0f)) fraction = 0.0f;
    if (fraction > 1.0f) fraction = 1.0f;
    m_progress = fraction;
    if (m_window == nullptr) return 0;
    // Truncation toward zero: 29/30 in single precision lands on 63350, 0.5 on 32767.
    auto position =
        static_cast<std::uint16_t>(static_cast<std::uint32_t>(m_progress * 65535.0) & 0xFFFFu);
    Platform::SetProgressPosition(m_window, kProgressBarControl, position);
    switch (Platform::PumpMessages(m_window)) {
        case Platform::PumpResult::Empty: return 0;
        case Platform::PumpResult::Quit: return -1;
        case Platform::PumpResult::Closed:
            // Already destroyed by the system: forget the handle, do not destroy it again.
            m_window = nullptr;
            return -1;
    }
    return 0;
}

std::int32_t ProgressBarImp::SetText(const char* text) {
    if (m_window != nullptr) Platform::SetControlText(m_window, kProgressTextControl, text);
    return 0;
}

}  // namespace QRV2
