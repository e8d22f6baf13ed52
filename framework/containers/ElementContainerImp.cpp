// ElementContainerImp: lending iterators, converting between list and array, the id stream form.
#include "framework/containers/ElementContainerImp.h"

#include <cstring>

#include "framework/containers/DynamicSizeElementIterator.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/List.h"
#include "framework/containers/ListEntry.h"
#include "framework/containers/StaticElementArray.h"
#include "framework/containers/StaticSizeElementIterator.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"

namespace QRV2 {

namespace {

Iterator* IteratorOf(Element* element) { return InterfaceOf<Iterator>(element, InterfaceIterator); }

// Plain values (payload mode non-zero) travel in the pointer itself.
Element* FromPlainValue(std::int32_t value) {
    return reinterpret_cast<Element*>(static_cast<std::intptr_t>(value));
}
std::int32_t ToPlainValue(Element* slot) {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(slot));
}

// The id an item stands for in the stream form and in comparisons. Negative modes hold plain
// values (the ids themselves); positive modes hold private byte copies, whose addresses mean
// nothing outside this process: those slots stand for no element.
std::int32_t ItemId(Element* item, std::int32_t payloadMode) {
    if (payloadMode < 0) return ToPlainValue(item);
    if (payloadMode > 0) return -1;
    Crunch* crunch = InterfaceOf<Crunch>(item, InterfaceCrunch);
    return crunch != nullptr ? crunch->GetCrunchId() : -1;
}

Element** AllocateSlots(std::size_t count) {
    Element** block = static_cast<Element**>(Allocate(count * sizeof(Element*)));
    if (block != nullptr) std::memset(block, 0, count * sizeof(Element*));
    return block;
}

}  // namespace

std::int32_t ElementContainerImp::Initialize() {
    m_listIterator = CreateElementAs<DynamicSizeElementIterator>(TypeDynamicSizeElementIterator);
    if (m_listIterator != nullptr) m_listIterator->AddReference();
    m_arrayIterator = CreateElementAs<StaticSizeElementIterator>(TypeStaticSizeElementIterator);
    if (m_arrayIterator != nullptr) m_arrayIterator->AddReference();
    return (m_listIterator != nullptr && m_arrayIterator != nullptr) ? 0 : 1;
}

std::int32_t ElementContainerImp::Dispose() {
    ReleaseElement(m_listIterator);
    ReleaseElement(m_arrayIterator);
    ReleaseElement(m_array);
    ReleaseElement(m_list);
    delete this;
    return 0;
}

std::int32_t ElementContainerImp::SetParam(std::int32_t param) {
    m_shortIds = param;
    return 0;
}

void* ElementContainerImp::GetInterface(std::int32_t interfaceId) {
    if (interfaceId == InterfaceCrunch) return static_cast<Crunch*>(this);
    if (interfaceId == InterfaceIO) return static_cast<IO*>(this);
    return nullptr;
}

Iterator* ElementContainerImp::GetIterator(std::int32_t kind, Element* argument) {
    switch (kind) {
        case IteratorRead:
            return argument == nullptr ? GetReadIterator() : GetFilteredIterator(argument);
        case IteratorChange: return GetListIterator();
        case IteratorWrite: return GetWriteIterator();
        case IteratorClear: Clear(); return nullptr;
        default: return nullptr;
    }
}

Iterator* ElementContainerImp::GetListIterator() {
    if (m_list == nullptr) {
        List* list = CreateElementAs<List>(TypeList);
        if (list == nullptr) return nullptr;
        list->AddReference();
        list->SetPayloadMode(m_payloadMode);
        Element** block = nullptr;
        std::uint32_t count = 0;
        if (m_array != nullptr && m_array->GetElements(&block, &count) == 0 && block != nullptr) {
            for (std::uint32_t i = 0; i < count; ++i) {
                ListEntry* entry = CreateElementAs<ListEntry>(TypeListEntry);
                if (entry != nullptr) entry->SetPayload(block[i], m_payloadMode);
                // A list missing some of the array's items would lose them for good once a
                // change through it drops the array: no list at all rather than a partial one.
                if (entry == nullptr || (block[i] != nullptr && entry->GetPayload() == nullptr) ||
                    list->Append(entry) != 0) {
                    if (entry != nullptr) ReleaseElement(entry);
                    ReleaseElement(list);
                    return nullptr;
                }
            }
        }
        m_list = list;
    }
    if (m_listIterator->GetReferenceCount() == 1) {
        Iterator* shared = IteratorOf(m_listIterator);
        // Another list iterator may have changed the list since the shared one last saw it:
        // re-attach so that its count (which the container adopts after changes) is true.
        if (m_listIterator->GetList() != m_list || shared->GetCount() != m_list->GetCount()) {
            m_listIterator->SetList(m_list);
        }
        m_listIterator->AddReference();
        shared->First();
        return shared;
    }
    DynamicSizeElementIterator* fresh =
        CreateElementAs<DynamicSizeElementIterator>(TypeDynamicSizeElementIterator);
    if (fresh == nullptr) return nullptr;
    fresh->AddReference();
    fresh->SetPayloadMode(m_payloadMode);
    fresh->SetList(m_list);
    return IteratorOf(fresh);
}

Iterator* ElementContainerImp::GetReadIterator() {
    if (m_array == nullptr) {
        StaticElementArray* array = CreateElementAs<StaticElementArray>(TypeStaticElementArray);
        if (array == nullptr) return nullptr;
        array->SetBorrowed(m_payloadMode);
        array->AddReference();
        if (m_list != nullptr && m_count > 0) {
            Element** block = AllocateSlots(m_count);
            if (block == nullptr) {
                // An empty array would read as an empty container.
                ReleaseElement(array);
                return nullptr;
            }
            std::uint32_t i = 0;
            for (ListEntry* e = m_list->GetFirst(); e != nullptr && i < m_count; e = e->GetNext()) {
                block[i++] = static_cast<Element*>(e->GetPayload());
            }
            array->Adopt(block, m_count);
        }
        m_array = array;
    }
    if (m_arrayIterator->GetReferenceCount() == 1) {
        m_arrayIterator->AddReference();
        m_arrayIterator->SetSource(m_array);
        m_arrayIterator->SetReadOnly(1);
        return IteratorOf(m_arrayIterator);
    }
    StaticSizeElementIterator* fresh =
        CreateElementAs<StaticSizeElementIterator>(TypeStaticSizeElementIterator);
    if (fresh == nullptr) return nullptr;
    fresh->AddReference();
    fresh->SetPayloadMode(m_payloadMode);
    fresh->SetReadOnly(1);
    fresh->SetSource(m_array);
    return IteratorOf(fresh);
}

Iterator* ElementContainerImp::GetFilteredIterator(Element* filterElement) {
    ElementFilter* filter = static_cast<ElementFilter*>(filterElement);
    StaticElementArray* array = CreateElementAs<StaticElementArray>(TypeStaticElementArray);
    if (array == nullptr) {
        ReleaseElement(filter);
        return nullptr;
    }
    array->SetBorrowed(m_payloadMode);
    // The items come from the list only: without one the new array stays empty, even when the
    // container holds an array. Only elements are handed to the filter: in any payload mode
    // but 0 the items are plain values or byte copies, which a filter would take for objects.
    const std::uint32_t available =
        (m_list != nullptr && m_payloadMode == 0) ? m_list->GetCount() : 0;
    if (available > 0) {
        Element** block = AllocateSlots(available);
        if (block == nullptr) {
            ReleaseElement(array);
            ReleaseElement(filter);
            return nullptr;
        }
        std::uint32_t accepted = 0;
        for (ListEntry* e = m_list->GetFirst(); e != nullptr && accepted < available;
             e = e->GetNext()) {
            Element* item = static_cast<Element*>(e->GetPayload());
            if (item != nullptr && filter->Accept(item) == 0) block[accepted++] = item;
        }
        if (accepted > 0) {
            array->Adopt(block, accepted);
        } else {
            Free(block);
        }
    }
    ReleaseElement(filter);
    StaticSizeElementIterator* fresh =
        CreateElementAs<StaticSizeElementIterator>(TypeStaticSizeElementIterator);
    if (fresh == nullptr) {
        ReleaseElement(array);
        return nullptr;
    }
    fresh->AddReference();
    fresh->SetPayloadMode(m_payloadMode);
    fresh->SetSource(array);  // the iterator now holds the private array's only reference
    return IteratorOf(fresh);
}

Iterator* ElementContainerImp::GetWriteIterator() {
    if (m_arrayIterator->GetReferenceCount() != 1) return nullptr;
    bool created = false;
    if (m_array == nullptr) {
        m_array = CreateElementAs<StaticElementArray>(TypeStaticElementArray);
        if (m_array == nullptr) return nullptr;
        m_array->SetBorrowed(m_payloadMode);
        m_array->AddReference();
        created = true;
    }
    StaticSizeElementIterator* fresh =
        CreateElementAs<StaticSizeElementIterator>(TypeStaticSizeElementIterator);
    if (fresh == nullptr) {
        if (created) ReleaseElement(m_array);
        return nullptr;
    }
    fresh->AddReference();
    fresh->SetPayloadMode(m_payloadMode);
    fresh->SetReadOnly(0);
    fresh->SetSource(m_array);
    return IteratorOf(fresh);
}

void ElementContainerImp::Clear() {
    m_count = 0;
    m_listIterator->SetList(nullptr);
    m_arrayIterator->SetSource(nullptr);
    ReleaseElement(m_array);
    ReleaseElement(m_list);
    m_arrayStale = 0;
}

std::int32_t ElementContainerImp::ReturnIterator(Iterator** variable) {
    if (variable == nullptr) return 0;
    Iterator* iterator = *variable;
    *variable = nullptr;
    if (iterator == nullptr) return 0;
    Element* element = iterator->GetElement();
    if (element == nullptr) return 0;

    if (element->GetTypeId() == TypeDynamicSizeElementIterator) {
        auto* listIterator = static_cast<DynamicSizeElementIterator*>(element);
        if (listIterator->GetModified() != 0) {
            // The list's own count: another list iterator may have changed it too.
            m_count = (m_list != nullptr && listIterator->GetList() == m_list)
                          ? m_list->GetCount()
                          : iterator->GetCount();
            listIterator->SetModified(0);
            if (m_array != nullptr && m_array->GetReferenceCount() > 0) {
                if (m_arrayIterator->GetReferenceCount() == 1) {
                    m_arrayIterator->SetSource(nullptr);
                } else {
                    m_arrayStale = 1;
                }
                ReleaseElement(m_array);
            }
        }
        ReleaseElement(listIterator);
    } else if (element->GetTypeId() == TypeStaticSizeElementIterator) {
        auto* arrayIterator = static_cast<StaticSizeElementIterator*>(element);
        if (arrayIterator->GetReadOnly() == 0) {
            if (arrayIterator->GetModified() != 0 && m_array != nullptr &&
                arrayIterator->GetSource() == m_array) {
                // The array was rewritten: a list built from the old array would serve stale
                // items to the next change, so it goes and will be rebuilt from the array.
                Element** block = nullptr;
                std::uint32_t count = 0;
                m_array->GetElements(&block, &count);
                m_count = count;
                if (m_listIterator->GetReferenceCount() == 1) m_listIterator->SetList(nullptr);
                ReleaseElement(m_list);
            }
            arrayIterator->SetModified(0);
            arrayIterator->SetSource(nullptr);
            if (m_listIterator->GetReferenceCount() == 1) m_listIterator->SetList(nullptr);
        }
        ReleaseElement(arrayIterator);
        if (m_arrayStale != 0 && m_arrayIterator->GetReferenceCount() == 1) {
            m_arrayStale = 0;
            m_arrayIterator->SetSource(nullptr);
            ReleaseElement(m_array);
        }
    }
    return 0;
}

std::int32_t ElementContainerImp::SetPayloadMode(std::int32_t mode) {
    m_payloadMode = mode;
    m_listIterator->SetPayloadMode(mode);
    m_arrayIterator->SetPayloadMode(mode);
    if (m_list != nullptr) m_list->SetPayloadMode(mode);
    return 0;
}

std::int32_t ElementContainerImp::QueryCrunch(void*, std::int32_t) { return 0; }

std::int32_t ElementContainerImp::ApplyCrunch(void*, std::int32_t) { return 0; }

std::int32_t ElementContainerImp::CompareContent(Element* other) {
    if (other == nullptr || other->GetTypeId() != TypeElementContainer) return -1;
    auto* that = static_cast<ElementContainer*>(other);
    Iterator* mine = GetIterator(IteratorRead, nullptr);
    Iterator* theirs = that->GetIterator(IteratorRead, nullptr);
    std::int32_t result = -1;
    Element** a = nullptr;
    Element** b = nullptr;
    std::uint32_t na = 0;
    std::uint32_t nb = 0;
    if (mine != nullptr && theirs != nullptr && mine->GetContents(&a, &na) == 0 &&
        theirs->GetContents(&b, &nb) == 0 && na == nb) {
        // A longer container is not equal to its prefix: the counts must match.
        result = 0;
        std::int32_t theirMode = that->GetPayloadMode();
        for (std::uint32_t i = 0; i < nb && result == 0; ++i) {
            Element* x = a != nullptr ? a[i] : nullptr;
            Element* y = b != nullptr ? b[i] : nullptr;
            if (ItemId(x, m_payloadMode) != ItemId(y, theirMode)) result = -1;
        }
    }
    ReturnIterator(&mine);
    that->ReturnIterator(&theirs);
    return result;
}

std::int32_t ElementContainerImp::WriteTo(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    Iterator* reader = GetIterator(IteratorRead, nullptr);
    if (reader == nullptr) return 1;  // nothing written is no success
    Element** block = nullptr;
    std::uint32_t count = 0;
    reader->GetContents(&block, &count);
    if (block == nullptr) count = 0;

    const std::uint32_t idSize = m_shortIds != 0 ? 2 : 4;
    bool shortWrite = false;
    unsigned char buffer[1024];
    for (int k = 0; k < 4; ++k) buffer[k] = static_cast<unsigned char>(count >> (8 * k));
    if (stream->Write(buffer, 4) != 4) shortWrite = true;
    std::uint32_t used = 0;
    for (std::uint32_t i = 0; i < count && !shortWrite; ++i) {
        std::uint32_t id = static_cast<std::uint32_t>(ItemId(block[i], m_payloadMode));
        for (std::uint32_t k = 0; k < idSize; ++k) {
            buffer[used++] = static_cast<unsigned char>(id >> (8 * k));
        }
        if (used + idSize > sizeof buffer || i + 1 == count) {
            if (stream->Write(buffer, used) != used) shortWrite = true;
            used = 0;
        }
    }
    ReturnIterator(&reader);
    std::int32_t error = stream->HasError();
    return error != 0 ? error : (shortWrite ? 1 : 0);
}

std::int32_t ElementContainerImp::ReadFrom(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    // The array can only be rewritten while no reader holds the shared iterator.
    if (m_arrayIterator->GetReferenceCount() != 1) return 1;
    // Reading replaces the content. Held elements are let go under the mode they were added
    // with; reading ids into an array that counts references would treat ids as elements.
    Clear();
    SetPayloadMode(-4);

    unsigned char buffer[1024];
    if (stream->Read(buffer, 4) != 4) return 1;
    std::uint32_t count = 0;
    for (int k = 0; k < 4; ++k) count |= static_cast<std::uint32_t>(buffer[k]) << (8 * k);
    if (count == 0) return 0;

    Iterator* writer = GetIterator(IteratorWrite, nullptr);
    if (writer == nullptr) return 1;
    // The count comes from the stream: grow the block as ids actually arrive instead of
    // trusting it with one large allocation.
    std::uint32_t capacity = count < 1024 ? count : 1024;
    Element** block = AllocateSlots(capacity);
    const std::uint32_t idSize = m_shortIds != 0 ? 2 : 4;
    std::uint32_t filled = 0;
    bool failed = block == nullptr;
    while (!failed && filled < count) {
        if (filled == capacity) {
            std::uint32_t grown = count - capacity < capacity ? count : capacity * 2;
            Element** larger = AllocateSlots(grown);
            if (larger == nullptr) {
                failed = true;
                break;
            }
            std::memcpy(larger, block, filled * sizeof(Element*));
            Free(block);
            block = larger;
            capacity = grown;
        }
        std::uint32_t batch = capacity - filled;
        if (batch > sizeof buffer / idSize) batch = sizeof buffer / idSize;
        if (stream->Read(buffer, batch * idSize) != batch * idSize) {
            failed = true;
            break;
        }
        for (std::uint32_t i = 0; i < batch; ++i) {
            const unsigned char* p = buffer + i * idSize;
            std::int32_t value;
            if (idSize == 2) {
                std::uint32_t v =
                    static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
                value = v == 0xFFFFu ? -1 : static_cast<std::int32_t>(v);
            } else {
                std::uint32_t v = static_cast<std::uint32_t>(p[0]) |
                                  (static_cast<std::uint32_t>(p[1]) << 8) |
                                  (static_cast<std::uint32_t>(p[2]) << 16) |
                                  (static_cast<std::uint32_t>(p[3]) << 24);
                value = static_cast<std::int32_t>(v);
            }
            block[filled++] = FromPlainValue(value);
        }
    }
    if (!failed && writer->SetContents(block, count) != 0) failed = true;
    if (failed) Free(block);
    ReturnIterator(&writer);
    return failed ? 1 : 0;
}

}  // namespace QRV2
