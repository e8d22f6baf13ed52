// CoreImp: factory, singleton table, name and the thread-local anchor.
#include "framework/core/CoreImp.h"

#include "framework/core/Allocator.h"
#include "framework/core/TypeNames.h"
#include "platform/Tls.h"

namespace QRV2 {

namespace {
// Set once by the program's start-up through Core::SetParam; never freed.
std::uint32_t g_coreSlot = Platform::InvalidTlsSlot;

bool InTable(std::int32_t typeId) { return typeId >= 0 && typeId < kSingletonTableSize; }
}  // namespace

std::uint32_t GetCoreSlot() { return g_coreSlot; }

Core* GetCore() { return static_cast<Core*>(Platform::TlsGet(g_coreSlot)); }

CoreImp::CoreImp(Core*) {}

std::int32_t CoreImp::Dispose() {
    // The application singleton is owned by the run, not by a reference: the Core ends it
    // while the thread-local anchor still points here, so its teardown can use the factory.
    // Its entry stays set meanwhile: code its teardown reaches may still look it up.
    if (Element* app = m_singletons[TypeSystemApp]) app->Dispose();
    Free(m_name);
    m_name = nullptr;
    delete this;
    return 0;
}

std::int32_t CoreImp::GetParam() { return static_cast<std::int32_t>(g_coreSlot); }

std::int32_t CoreImp::SetParam(std::int32_t slot) {
    g_coreSlot = static_cast<std::uint32_t>(slot);
    return 0;
}

Element* CoreImp::CreateElement(std::int32_t typeId, std::int32_t param) {
    Element* element = ConstructElement(this, typeId);
    if (element == nullptr) return nullptr;
    element->SetParam(param);
    if (element->Initialize() != 0) {
        element->Dispose();
        return nullptr;
    }
    return element;
}

void CoreImp::ReleaseElement(Element** variable) {
    if (variable == nullptr || *variable == nullptr) return;
    Element* element = *variable;
    *variable = nullptr;
    element->ReleaseReference();
}

Element* CoreImp::GetSingleton(std::int32_t typeId) {
    return InTable(typeId) ? m_singletons[typeId] : nullptr;
}

void CoreImp::SetSingleton(std::int32_t typeId, Element* element) {
    if (InTable(typeId)) m_singletons[typeId] = element;
}

const char* CoreImp::SetName(const char* name) {
    Free(m_name);
    m_name = DuplicateText(name);
    return m_name;
}

const char* CoreImp::GetName() { return m_name; }

const char* CoreImp::GetTypeName(std::uint32_t typeId) { return TypeNameOf(typeId); }

bool CoreImp::IsSingletonType(std::uint32_t typeId) { return IsSingletonTypeId(typeId); }

}  // namespace QRV2
