// Core: the element factory, singleton registry and type-name table, reached through GetCore.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Number of singleton table entries: type ids 0 to 182.
constexpr std::int32_t kSingletonTableSize = 183;

class Core : public Element {
public:
    // A new element of the type id with the creation parameter, its count at the sentinel and
    // owned by the caller; null for an id without a class, no storage, or a failed Initialize.
    virtual Element* CreateElement(std::int32_t typeId, std::int32_t param) = 0;
    // Releases the element in *variable (when not null) and clears the variable.
    virtual void ReleaseElement(Element** variable) = 0;
    // The element registered under the type id, or null (also for ids outside 0..182).
    virtual Element* GetSingleton(std::int32_t typeId) = 0;
    // Registers element (null clears) under the type id; no reference changes; ids outside
    // 0..182 are rejected and change nothing.
    virtual void SetSingleton(std::int32_t typeId, Element* element) = 0;
    // Stores a copy of the text as the Core's name; the copy, or null when storage fails
    // (the name is then null).
    virtual const char* SetName(const char* name) = 0;
    virtual const char* GetName() = 0;
    // The constant name of the type id, or null.
    virtual const char* GetTypeName(std::uint32_t typeId) = 0;
    virtual bool IsSingletonType(std::uint32_t typeId) = 0;
};

// The calling thread's Core: the value of the framework's thread-local slot, or null.
Core* GetCore();

// Typed creation through the calling thread's Core: null when there is no Core or creation fails.
template <class T>
T* CreateElementAs(std::int32_t typeId, std::int32_t param = 0) {
    Core* core = GetCore();
    return core == nullptr ? nullptr : static_cast<T*>(core->CreateElement(typeId, param));
}

// Releases the element held in a typed variable through the Core and clears the variable.
template <class T>
void ReleaseElement(T*& variable) {
    if (variable == nullptr) return;
    Element* element = variable;
    variable = nullptr;
    if (Core* core = GetCore()) {
        core->ReleaseElement(&element);
    } else {
        element->ReleaseReference();
    }
}

}  // namespace QRV2
