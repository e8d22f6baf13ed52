// ListImp: linking, unlinking and teardown of the entry chain.
#include "framework/containers/ListImp.h"

namespace QRV2 {

std::int32_t ListImp::Dispose() {
    ListEntry* entry = m_first;
    while (entry != nullptr) {
        ListEntry* next = entry->GetNext();
        entry->SetPayload(nullptr, m_payloadMode);
        Remove(&entry);
        entry = next;
    }
    delete this;
    return 0;
}

// An entry that has neighbours, or is this list's only entry, is in some list already; linking
// it a second time would corrupt both chains. (The only entry of another list goes unseen.)
bool ListImp::IsLinked(ListEntry* entry) {
    return entry->GetNext() != nullptr || entry->GetPrevious() != nullptr || entry == m_first;
}

std::int32_t ListImp::Append(ListEntry* entry) {
    if (entry == nullptr || IsLinked(entry)) return 1;
    ++m_count;
    entry->AddReference();
    if (m_last == nullptr) {
        m_first = entry;
        m_last = entry;
    } else {
        m_last->SetNext(entry);
        entry->SetPrevious(m_last);
        m_last = entry;
    }
    return 0;
}

std::int32_t ListImp::InsertBefore(ListEntry* position, ListEntry* entry) {
    if (entry == nullptr || IsLinked(entry)) return 1;
    // Without a position the entry would be counted and referenced yet linked to nothing, so
    // unreachable for ever: it goes to the end instead.
    if (position == nullptr) return Append(entry);
    // A position without a predecessor must be our first entry (an empty list has none).
    if (position->GetPrevious() == nullptr && position != m_first) return 1;
    ListEntry* before = position->GetPrevious();
    if (before != nullptr) before->SetNext(entry);
    position->SetPrevious(entry);
    entry->SetPrevious(before);
    entry->SetNext(position);
    entry->AddReference();
    if (position == m_first) m_first = entry;
    ++m_count;
    return 0;
}

std::int32_t ListImp::Remove(ListEntry** variable) {
    if (variable == nullptr || *variable == nullptr) return 1;
    ListEntry* entry = *variable;
    ListEntry* before = entry->GetPrevious();
    ListEntry* after = entry->GetNext();
    // An entry without a predecessor must be our first, one without a successor our last;
    // otherwise it belongs elsewhere and unlinking it here would break this list's ends.
    if ((before == nullptr && entry != m_first) || (after == nullptr && entry != m_last)) return 1;
    if (before != nullptr) before->SetNext(after);
    if (after != nullptr) after->SetPrevious(before);
    entry->SetNext(nullptr);
    entry->SetPrevious(nullptr);
    if (entry == m_first) m_first = after != nullptr ? after : before;
    if (entry == m_last) m_last = before != nullptr ? before : after;
    *variable = nullptr;
    --m_count;
    ReleaseElement(entry);
    return 0;
}

std::int32_t ListImp::SetPayloadMode(std::int32_t mode) {
    m_payloadMode = mode;
    return 0;
}

}  // namespace QRV2
