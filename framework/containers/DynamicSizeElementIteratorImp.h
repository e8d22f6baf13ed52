// DynamicSizeElementIteratorImp: the cursor over a List that can append, insert and remove.
#pragma once

#include "framework/containers/DynamicSizeElementIterator.h"
#include "framework/containers/Iterator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class List;
class ListEntry;

class DynamicSizeElementIteratorImp
    : public ElementImpBase<DynamicSizeElementIterator, TypeDynamicSizeElementIterator>,
      public Iterator {
public:
    explicit DynamicSizeElementIteratorImp(Core*) {}

    // Detaches (releasing the walked list), then deletes the iterator.
    std::int32_t Dispose() override;
    void* GetInterface(std::int32_t interfaceId) override;

    List* GetList() override { return m_list; }
    std::int32_t SetList(List* list) override;
    std::int32_t GetModified() override { return m_modified; }
    void SetModified(std::int32_t modified) override { m_modified = modified; }
    std::int32_t SetPayloadMode(std::int32_t mode) override;
    std::int32_t GetPayloadMode() override { return m_payloadMode; }

    void First() override;
    void Next() override;
    std::int32_t IsAtEnd() override;
    void Last() override;
    void Previous() override;
    std::int32_t IsBeforeFirst() override;
    Element* GetCurrent() override;
    std::int32_t Append(Element* element) override;
    std::int32_t Insert(Element* element) override;
    // Removing the last entry leaves the iterator beyond the new last one, and (deliberately)
    // with that entry's index, so the index always names the entry the iterator stands on.
    std::int32_t RemoveCurrent() override;
    // Deliberately also resets the index to 0: an empty list has no other position, and First
    // on an empty list gives the same state.
    std::int32_t RemoveAll() override;
    std::uint32_t GetCount() override { return m_count; }
    std::uint32_t GetIndex() override { return m_index; }
    std::int32_t MoveTo(std::uint32_t index) override;
    std::int32_t GetContents(Element*** block, std::uint32_t* count) override;
    std::int32_t SetContents(Element** block, std::uint32_t count) override;
    Element* GetElement() override;

private:
    void ReadPayload();
    void StandOn(ListEntry* entry);
    void Step(bool forward);
    // A new entry carrying element under the payload mode, or null when storage fails.
    ListEntry* MakeEntry(Element* element);

    List* m_list = nullptr;
    ListEntry* m_current = nullptr;
    void* m_currentPayload = nullptr;
    std::uint32_t m_index = 0;
    std::uint32_t m_count = 0;
    bool m_beyond = false;
    std::int32_t m_modified = 0;
    std::int32_t m_payloadMode = 0;
};

}  // namespace QRV2
