// FrameworkSession: the one place that makes the Core and anchors it for the calling thread.
#include "framework/FrameworkSession.h"

#include "framework/ElementFactory.h"
#include "framework/core/CoreImp.h"
#include "framework/system/SystemAppImp.h"
#include "platform/Tls.h"

namespace QRV2 {

Core* FrameworkSession::Start() {
    Stop();
    SetElementConstructor(&ConstructElement);
    CoreImp* core = new CoreImp(nullptr);
    if (core == nullptr) return nullptr;
    core->AddReference();
    m_core = core;
    std::uint32_t slot = GetCoreSlot();
    if (slot == Platform::InvalidTlsSlot) {
        slot = Platform::TlsAllocate();
        core->SetParam(static_cast<std::int32_t>(slot));
    }
    if (slot == Platform::InvalidTlsSlot || !Platform::TlsSet(slot, core) ||
        core->Initialize() != 0) {
        Stop();
        return nullptr;
    }
    return core;
}

Core* FrameworkSession::StartProgram(Platform::ModuleHandle instance, const char* commandLine,
                                     std::int32_t show) {
    Core* core = Start();
    if (core == nullptr) return nullptr;
    SystemAppImp* app = new SystemAppImp(core, instance, commandLine, show);
    if (app == nullptr) {
        Stop();
        return nullptr;
    }
    app->Initialize();
    core->SetSingleton(TypeSystemApp, app);
    m_app = app;
    return core;
}

void FrameworkSession::Stop() {
    if (m_core == nullptr) return;
    const std::uint32_t slot = static_cast<std::uint32_t>(m_core->GetParam());
    // The Core ends the application singleton's run (temporary folder included) but leaves its
    // storage: that is freed here, once nothing can reach the object any more.
    Element* core = m_core;
    m_core = nullptr;
    core->ReleaseReference();
    delete m_app;
    m_app = nullptr;
    Platform::TlsSet(slot, nullptr);
}

}  // namespace QRV2
