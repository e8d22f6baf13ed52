// ElementImpBase: the reference counting and default element operations shared by Imp classes.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Implementation classes derive from this (and so from their interface first). It holds the
// reference count and gives the default behaviour of the element operations; a class overrides
// what differs. Dispose stays with each class: only it knows what it owns.
template <class Interface, std::int32_t kTypeId>
class ElementImpBase : public Interface {
public:
    std::int32_t Initialize() override { return 0; }
    std::int32_t GetReferenceCount() override {
        return m_referenceCount == kReferenceSentinel ? 0 : m_referenceCount;
    }
    std::int32_t AddReference() override {
        if (m_referenceCount == kReferenceSentinel) {
            m_referenceCount = 1;
            return 1;
        }
        return ++m_referenceCount;
    }
    std::int32_t ReleaseReference() override {
        if (m_referenceCount == 1 || m_referenceCount == kReferenceSentinel) {
            m_referenceCount = 0;
            return this->Dispose();
        }
        return --m_referenceCount;
    }
    std::int32_t GetTypeId() override { return kTypeId; }
    std::int32_t GetParam() override { return 0; }
    std::int32_t SetParam(std::int32_t) override { return 1; }
    void* GetInterface(std::int32_t) override { return nullptr; }

protected:
    std::int32_t m_referenceCount = kReferenceSentinel;
};

}  // namespace QRV2
