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

std::int32_t StaticSizeElementIteratorImp::SetSource(StaticElementArray* source) {
    if (source != nullptr) source->AddReference();
    StaticElementArray* old = m_source;
    m_source = source;
    ReleaseElement(old);
    m_elements = nullptr;
    m_count = 0;
    if (source == nullptr || source->GetElements(&m_elements, &m_count) != 0) {
        m_elements = nullptr;
        m_count = 0;
        First();
        return 1;
    }
    First();
    return 0;
}

std::int32_t StaticSizeElementIteratorImp::SetPayloadMode(std::int32_t mode) {
    m_payloadMode = mode;
    return 0;
}

void StaticSizeElementIteratorImp::First() {
    m_index = 0;
    m_beyond = m_count == 0;
}

void StaticSizeElementIteratorImp::Last() {
    m_index = m_count == 0 ? 0 : m_count - 1;
    m_beyond = m_count == 0;
}

void StaticSizeElementIteratorImp::Next() {
    if (m_index + 1 < m_count) {
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
    return reach >= m_count ? 1 : 0;
}

std::int32_t StaticSizeElementIteratorImp::IsBeforeFirst() {
    return (m_index == 0 && m_beyond) ? 1 : 0;
}

Element* StaticSizeElementIteratorImp::GetCurrent() {
    if (m_beyond || m_elements == nullptr || m_index >= m_count) return nullptr;
    return m_elements[m_index];
}

std::int32_t StaticSizeElementIteratorImp::Append(Element*) { return 1; }

std::int32_t StaticSizeElementIteratorImp::Insert(Element*) { return 1; }

std::int32_t StaticSizeElementIteratorImp::RemoveCurrent() { return 1; }

std::int32_t StaticSizeElementIteratorImp::RemoveAll() {
    if (m_readOnly != 0) return 1;
    return SetContents(nullptr, 0);
}

std::int32_t StaticSizeElementIteratorImp::MoveTo(std::uint32_t index) {
    if (index >= m_count) return 1;
    m_index = index;
    m_beyond = false;
    return 0;
}

std::int32_t StaticSizeElementIteratorImp::GetContents(Element*** block, std::uint32_t* count) {
    if (block == nullptr || count == nullptr) return 1;
    *block = m_elements;
    *count = m_count;
    return 0;
}

std::int32_t StaticSizeElementIteratorImp::SetContents(Element** block, std::uint32_t count) {
    if (m_readOnly != 0 || m_source == nullptr) return 1;
    if (m_source->Adopt(block, count) != 0) return 1;
    if (m_source->GetElements(&m_elements, &m_count) != 0) {
        m_elements = nullptr;
        m_count = 0;
        return 1;
    }
    m_modified = 1;
    return 0;
}

}  // namespace QRV2
