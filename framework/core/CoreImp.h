// CoreImp: the one implementation of Core.
#pragma once

#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class CoreImp : public ElementImpBase<Core, TypeCore> {
public:
    explicit CoreImp(Core* core);

    std::int32_t Dispose() override;
    std::int32_t GetParam() override;
    std::int32_t SetParam(std::int32_t slot) override;

    Element* CreateElement(std::int32_t typeId, std::int32_t param) override;
    void ReleaseElement(Element** variable) override;
    Element* GetSingleton(std::int32_t typeId) override;
    void SetSingleton(std::int32_t typeId, Element* element) override;
    const char* SetName(const char* name) override;
    const char* GetName() override;
    const char* GetTypeName(std::uint32_t typeId) override;
    bool IsSingletonType(std::uint32_t typeId) override;

private:
    char* m_name = nullptr;
    Element* m_singletons[kSingletonTableSize] = {};
};

// Builds the implementation object for a type id (constructed only, not initialised), or null
// for ids without a class or when storage cannot be obtained. The table that knows every class
// sits above all layers (framework/ElementFactory.h); the framework session installs it before
// it makes a Core. Until one is installed, CreateElement answers null.
using ElementConstructor = Element* (*)(Core* core, std::int32_t typeId);
void SetElementConstructor(ElementConstructor constructor);

// The process-wide thread-local slot index the Core lives in (InvalidTlsSlot until set).
std::uint32_t GetCoreSlot();

}  // namespace QRV2
