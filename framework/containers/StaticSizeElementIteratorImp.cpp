// StaticSizeElementIteratorImp: position model over a block and whole-block replacement.
#include "framework/containers/StaticSizeElementIteratorImp.h"

#include "framework/containers/StaticElementArray.h"

namespace QRV2 {

std::int32_t StaticSizeElementIteratorImp::Dispose() {
    SetSource(nullptr);
    delete this;
    return 0;
}

void* StaticSizeElementIteratorImp::GetInterface(std::int32_t interfaceId) {
    return interfaceId == InterfaceIterator ? static_cast<Iterator*>(this) : nullptr;
}

Element* StaticSizeElementIteratorImp::GetElement() {
    return static_cast<StaticSizeElementIterator*>(this);
}

StaticSizeElementIteratorImp::Contents StaticSizeElementIteratorImp::View() {
    Contents view;
    if (m_source == nullptr || m_source->GetElements(&view.block, &view.count) != 0 ||
        view.block == nullptr) {
        view.block = nullptr;
        view.count = 0;
    }
    return view;
}

std::int32_t StaticSizeElementIteratorImp::SetSource(StaticElementArray* source) {
    if (source != nullptr) source->AddReference();
    StaticElementArray* old = m_source;
    m_source = source;
    ReleaseElement(old);
    Element** block = nullptr;
    std::uint32_t count = 0;
    const bool readable = source != nullptr && source->GetElements(&block, &count) == 0;
    First();
    return readable ? 0 : 1;
}

std::int32_t StaticSizeElementIteratorImp::SetPayloadMode(std::int32_t mode) {
    m_payloadMode = mode;
    return 0;
}

void StaticSizeElementIteratorImp::First() {
    m_index = 0;
    m_beyond = GetCount() == 0;
}

void StaticSizeElementIteratorImp::Last() {
    const std::uint32_t count = GetCount();
    m_index = count == 0 ? 0 : count - 1;
    m_beyond = count == 0;
}

void StaticSizeElementIteratorImp::Next() {
    if (static_cast<std::uint64_t>(m_index) + 1 < GetCount()) {
        if (m_beyond) {
            m_beyond = false;
        } else {
            ++m_index;
        }
    } else {
        m_beyond = true;
    }
}

void StaticSizeElementIteratorImp::Previous() {
    if (m_index > 0) {
        if (m_beyond) {
            m_beyond = false;
        } else {
            --m_index;
        }
    } else {
        m_beyond = true;
    }
}

std::int32_t StaticSizeElementIteratorImp::IsAtEnd() {
    // Widened so that an index at the top of the range cannot wrap.
    std::uint64_t reach = static_cast<std::uint64_t>(m_index) + (m_beyond ? 1 : 0);
    return reach >= GetCount() ? 1 : 0;
}

std::int32_t StaticSizeElementIteratorImp::IsBeforeFirst() {
    return (m_index == 0 && m_beyond) ? 1 : 0;
}

Element* StaticSizeElementIteratorImp::GetCurrent() {
    const Contents view = View();
    if (m_beyond || m_index >= view.count) return nullptr;
    return view.block[m_index];
}

std::int32_t StaticSizeElementIteratorImp::Append(Element*) { return 1; }

std::int32_t StaticSizeElementIteratorImp::Insert(Element*) { return 1; }

std::int32_t StaticSizeElementIteratorImp::RemoveCurrent() { return 1; }

std::int32_t StaticSizeElementIteratorImp::RemoveAll() {
    if (m_readOnly != 0) return 1;
    return SetContents(nullptr, 0);
}

std::int32_t StaticSizeElementIteratorImp::MoveTo(std::uint32_t index) {
    if (index >= GetCount()) return 1;
    m_index = index;
    m_beyond = false;
    return 0;
}

std::int32_t StaticSizeElementIteratorImp::GetContents(Element*** block, std::uint32_t* count) {
    if (block == nullptr || count == nullptr) return 1;
    const Contents view = View();
    *block = view.block;
    *count = view.count;
    return 0;
}

std::int32_t StaticSizeElementIteratorImp::SetContents(Element** block, std::uint32_t count) {
    if (m_readOnly != 0 || m_source == nullptr) return 1;
    if (m_source->Adopt(block, count) != 0) return 1;
    Element** adopted = nullptr;
    std::uint32_t adoptedCount = 0;
    if (m_source->GetElements(&adopted, &adoptedCount) != 0) return 1;
    m_modified = 1;
    return 0;
}

}  // namespace QRV2
