// ListEntryImp: a list node with neighbour links and one payload.
#pragma once

#include "framework/containers/ListEntry.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class ListEntryImp : public ElementImpBase<ListEntry, TypeListEntry> {
public:
    explicit ListEntryImp(Core*) {}

    // Deletes the entry only: neither payload nor neighbours are touched (the list clears the
    // payload before it unlinks an entry).
    std::int32_t Dispose() override;

    ListEntry* GetNext() override { return m_next; }
    void SetNext(ListEntry* next) override { m_next = next; }
    ListEntry* GetPrevious() override { return m_previous; }
    void SetPrevious(ListEntry* previous) override { m_previous = previous; }
    void* GetPayload() override { return m_payload; }
    void SetPayload(void* payload, std::int32_t mode) override;

private:
    ListEntry* m_next = nullptr;
    ListEntry* m_previous = nullptr;
    void* m_payload = nullptr;
};

}  // namespace QRV2
