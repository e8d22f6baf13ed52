// StaticSizeElementIteratorImp: the indexed cursor over a StaticElementArray.
#pragma once

#include "framework/containers/Iterator.h"
#include "framework/containers/StaticSizeElementIterator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

// Deliberately unlike a plain copy of the array's block: the block and count are read from
// the array at every use (see View). And attaching (SetSource) goes to the first position with
// First, not MoveTo 0: on an empty array MoveTo 0 refuses and would keep the position of the
// array walked before; First leaves a freshly attached empty array at both ends, as a fresh
// iterator is.
class StaticSizeElementIteratorImp
    : public ElementImpBase<StaticSizeElementIterator, TypeStaticSizeElementIterator>,
      public Iterator {
public:
    explicit StaticSizeElementIteratorImp(Core*) {}

    // Detaches (releasing the walked array), then deletes the iterator.
    std::int32_t Dispose() override;
    void* GetInterface(std::int32_t interfaceId) override;

    StaticElementArray* GetSource() override { return m_source; }
    std::int32_t SetSource(StaticElementArray* source) override;
    std::int32_t SetPayloadMode(std::int32_t mode) override;
    std::int32_t GetPayloadMode() override { return m_payloadMode; }
    std::int32_t GetModified() override { return m_modified; }
    void SetModified(std::int32_t modified) override { m_modified = modified; }
    std::int32_t GetReadOnly() override { return m_readOnly; }
    void SetReadOnly(std::int32_t readOnly) override { m_readOnly = readOnly; }

    void First() override;
    void Next() override;
    std::int32_t IsAtEnd() override;
    void Last() override;
    void Previous() override;
    std::int32_t IsBeforeFirst() override;
    Element* GetCurrent() override;
    std::int32_t Append(Element* element) override;
    std::int32_t Insert(Element* element) override;
    std::int32_t RemoveCurrent() override;
    std::int32_t RemoveAll() override;
    std::uint32_t GetCount() override { return View().count; }
    std::uint32_t GetIndex() override { return m_index; }
    std::int32_t MoveTo(std::uint32_t index) override;
    std::int32_t GetContents(Element*** block, std::uint32_t* count) override;
    std::int32_t SetContents(Element** block, std::uint32_t count) override;
    Element* GetElement() override;

private:
    struct Contents {
        Element** block = nullptr;
        std::uint32_t count = 0;
    };
    // The walked block and count, asked of the array at every use rather than copied when
    // attached: a writable iterator on the same array replaces (and frees) its block, and a
    // copy would leave this one reading freed storage. So every iterator on an array sees
    // its current content; a lone iterator behaves exactly as one holding a copy would.
    Contents View();

    StaticElementArray* m_source = nullptr;
    std::uint32_t m_index = 0;
    bool m_beyond = false;
    std::int32_t m_modified = 0;
    std::int32_t m_payloadMode = 0;
    std::int32_t m_readOnly = 0;
};

}  // namespace QRV2
