// StaticElementArrayImp: whole-block replacement with reference hand-over.
#include "framework/containers/StaticElementArrayImp.h"

#include "framework/core/Allocator.h"

namespace QRV2 {

std::int32_t StaticElementArrayImp::Dispose() {
    Adopt(nullptr, 0);
    delete this;
    return 0;
}

std::int32_t StaticElementArrayImp::Adopt(Element** block, std::uint32_t count) {
    // Adopting the block already held would free it while keeping it: nothing changes.
    if (block != nullptr && block == m_elements) return 0;
    if (block != nullptr && m_borrowed == 0) {
        for (std::uint32_t i = 0; i < count; ++i) {
            if (block[i] != nullptr) block[i]->AddReference();
        }
    }
    Element** old = m_elements;
    std::uint32_t oldCount = m_count;
    // The new block is in place before the old elements are released: a release may dispose
    // an element whose teardown looks at this array again.
    m_elements = block;
    m_count = block != nullptr ? count : 0;
    if (old != nullptr) {
        if (m_borrowed == 0) {
            for (std::uint32_t i = 0; i < oldCount; ++i) ReleaseElement(old[i]);
        }
        Free(old);
    }
    return 0;
}

std::int32_t StaticElementArrayImp::GetElements(Element*** block, std::uint32_t* count) {
    if (block == nullptr || count == nullptr) return 1;
    *block = m_elements;
    *count = m_count;
    return 0;
}

std::int32_t StaticElementArrayImp::SetBorrowed(std::int32_t borrowed) {
    m_borrowed = borrowed;
    return 0;
}

}  // namespace QRV2
