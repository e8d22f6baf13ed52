// ListImp: the doubly linked list of ListEntry nodes, one reference held per linked entry.
#pragma once

#include "framework/containers/List.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class ListImp : public ElementImpBase<List, TypeList> {
public:
    explicit ListImp(Core*) {}

    // Clears every entry's payload under the payload mode, unlinks every entry, deletes the list.
    std::int32_t Dispose() override;

    ListEntry* GetFirst() override { return m_first; }
    ListEntry* GetLast() override { return m_last; }
    std::uint32_t GetCount() override { return m_count; }
    std::int32_t Append(ListEntry* entry) override;
    std::int32_t Remove(ListEntry** variable) override;
    std::int32_t InsertBefore(ListEntry* position, ListEntry* entry) override;
    std::int32_t SetPayloadMode(std::int32_t mode) override;
    std::int32_t GetPayloadMode() override { return m_payloadMode; }

private:
    bool IsLinked(ListEntry* entry);

    ListEntry* m_first = nullptr;
    ListEntry* m_last = nullptr;
    std::uint32_t m_count = 0;
    std::int32_t m_payloadMode = 0;
};

}  // namespace QRV2
