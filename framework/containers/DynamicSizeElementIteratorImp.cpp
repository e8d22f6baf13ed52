// DynamicSizeElementIteratorImp: position model and changes over a linked list.
#include "framework/containers/DynamicSizeElementIteratorImp.h"

#include "framework/containers/List.h"
#include "framework/containers/ListEntry.h"

namespace QRV2 {

std::int32_t DynamicSizeElementIteratorImp::Dispose() {
    SetList(nullptr);
    delete this;
    return 0;
}

void* DynamicSizeElementIteratorImp::GetInterface(std::int32_t interfaceId) {
    return interfaceId == InterfaceIterator ? static_cast<Iterator*>(this) : nullptr;
}

Element* DynamicSizeElementIteratorImp::GetElement() {
    return static_cast<DynamicSizeElementIterator*>(this);
}

std::int32_t DynamicSizeElementIteratorImp::SetList(List* list) {
    if (list != nullptr) list->AddReference();
    List* old = m_list;
    m_list = list;
    ReleaseElement(old);
    m_count = 0;
    StandOn(nullptr);
    m_currentPayload = nullptr;
    m_index = 0;
    m_beyond = true;
    if (list != nullptr) {
        for (ListEntry* e = list->GetFirst(); e != nullptr; e = e->GetNext()) ++m_count;
        First();
    }
    m_modified = 0;
    return 0;
}

std::int32_t DynamicSizeElementIteratorImp::SetPayloadMode(std::int32_t mode) {
    m_payloadMode = mode;
    return 0;
}

// The iterator holds its own reference to the entry it stands on: another iterator may remove
// that entry from the list, and this one must still be able to step off it safely.
void DynamicSizeElementIteratorImp::StandOn(ListEntry* entry) {
    if (entry != nullptr) entry->AddReference();
    ListEntry* old = m_current;
    m_current = entry;
    ReleaseElement(old);
}

void DynamicSizeElementIteratorImp::ReadPayload() {
    m_currentPayload =
        (m_count == 0 || m_beyond || m_current == nullptr) ? nullptr : m_current->GetPayload();
}

void DynamicSizeElementIteratorImp::First() {
    m_index = 0;
    m_beyond = m_count == 0;
    StandOn(m_list != nullptr ? m_list->GetFirst() : nullptr);
    ReadPayload();
}

void DynamicSizeElementIteratorImp::Last() {
    m_index = m_count == 0 ? 0 : m_count - 1;
    m_beyond = m_count == 0;
    StandOn(m_list != nullptr ? m_list->GetLast() : nullptr);
    ReadPayload();
}

void DynamicSizeElementIteratorImp::Next() { Step(true); }

void DynamicSizeElementIteratorImp::Previous() { Step(false); }

// Moves to the neighbour. Without one the iterator is marked beyond the entry it stays on;
// while so marked, a step that has a neighbour only clears the mark.
void DynamicSizeElementIteratorImp::Step(bool forward) {
    ListEntry* neighbour = nullptr;
    if (m_current != nullptr) neighbour = forward ? m_current->GetNext() : m_current->GetPrevious();
    if (neighbour == nullptr) {
        m_beyond = true;
        m_currentPayload = nullptr;
        return;
    }
    if (m_beyond) {
        m_beyond = false;
    } else {
        m_index = forward ? m_index + 1 : m_index - 1;
        StandOn(neighbour);
    }
    ReadPayload();
}

std::int32_t DynamicSizeElementIteratorImp::IsAtEnd() {
    if (m_current == nullptr) return 1;
    if (m_current->GetNext() != nullptr) return 0;
    return m_beyond ? 1 : 0;
}

std::int32_t DynamicSizeElementIteratorImp::IsBeforeFirst() {
    return (m_index == 0 && m_beyond) ? 1 : 0;
}

Element* DynamicSizeElementIteratorImp::GetCurrent() {
    ReadPayload();  // an entry another iterator removed has given up its payload
    return static_cast<Element*>(m_currentPayload);
}

ListEntry* DynamicSizeElementIteratorImp::MakeEntry(Element* element) {
    ListEntry* entry = CreateElementAs<ListEntry>(TypeListEntry);
    if (entry == nullptr) return nullptr;
    entry->SetPayload(element, m_payloadMode);
    // A byte copy that could not be made would leave an entry without its data.
    if (element != nullptr && entry->GetPayload() == nullptr) {
        ReleaseElement(entry);
        return nullptr;
    }
    return entry;
}

std::int32_t DynamicSizeElementIteratorImp::Append(Element* element) {
    if (m_list == nullptr) return 1;
    ListEntry* entry = MakeEntry(element);
    if (entry == nullptr) return 1;
    if (m_list->Append(entry) != 0) {
        entry->SetPayload(nullptr, m_payloadMode);
        ReleaseElement(entry);
        return 1;
    }
    ++m_count;
    Last();
    m_modified = 1;
    return 0;
}

std::int32_t DynamicSizeElementIteratorImp::Insert(Element* element) {
    if (IsAtEnd() != 0) return Append(element);
    ListEntry* entry = MakeEntry(element);
    if (entry == nullptr) return 1;
    if (m_list->InsertBefore(m_current, entry) != 0) {
        entry->SetPayload(nullptr, m_payloadMode);
        ReleaseElement(entry);
        return 1;
    }
    ++m_count;
    // The new element takes the current index; the one it was put in front of moves up.
    StandOn(entry);
    m_beyond = false;
    ReadPayload();
    m_modified = 1;
    return 0;
}

std::int32_t DynamicSizeElementIteratorImp::RemoveCurrent() {
    if (m_current == nullptr || m_list == nullptr) return 1;
    ListEntry* entry = m_current;
    ListEntry* next = entry->GetNext();
    // An entry another iterator removed already is no longer in the list to be removed.
    if (m_list->Remove(&entry) != 0) return 1;
    m_current->SetPayload(nullptr, m_payloadMode);  // still alive: this iterator's reference
    if (m_count > 0) --m_count;
    m_modified = 1;
    if (next != nullptr) {
        // The following element takes the index. The beyond flag stays: removing the first
        // element while standing before it leaves the iterator before the new first one.
        StandOn(next);
    } else {
        // The last element went: stand beyond the new last one, whose index is one lower.
        StandOn(m_list->GetLast());
        m_beyond = true;
        m_index = m_count == 0 ? 0 : m_count - 1;
    }
    ReadPayload();
    return 0;
}

std::int32_t DynamicSizeElementIteratorImp::RemoveAll() {
    if (m_list != nullptr) {
        ListEntry* entry = m_list->GetFirst();
        while (entry != nullptr) {
            ListEntry* next = entry->GetNext();
            entry->SetPayload(nullptr, m_payloadMode);
            m_list->Remove(&entry);
            entry = next;
        }
    }
    m_count = 0;
    m_index = 0;
    StandOn(nullptr);
    m_beyond = true;
    m_currentPayload = nullptr;
    m_modified = 1;
    return 0;
}

std::int32_t DynamicSizeElementIteratorImp::MoveTo(std::uint32_t index) {
    First();
    std::uint32_t steps = 0;
    while (steps < index && IsAtEnd() == 0) {
        Next();
        ++steps;
    }
    return steps == index ? 0 : 1;
}

std::int32_t DynamicSizeElementIteratorImp::GetContents(Element***, std::uint32_t*) { return 1; }

std::int32_t DynamicSizeElementIteratorImp::SetContents(Element**, std::uint32_t) { return 1; }

}  // namespace QRV2
