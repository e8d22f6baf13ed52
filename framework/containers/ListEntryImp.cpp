// ListEntryImp: payload storage under the three payload modes.
#include "framework/containers/ListEntryImp.h"

#include <cstring>

#include "framework/core/Allocator.h"

namespace QRV2 {

namespace {

// Gives up a payload under its mode: release the element, free the copy, forget the value.
void DropPayload(void* payload, std::int32_t mode) {
    if (payload == nullptr) return;
    if (mode == 0) {
        Element* element = static_cast<Element*>(payload);
        ReleaseElement(element);
    } else if (mode > 0) {
        Free(payload);
    }
}

}  // namespace

std::int32_t ListEntryImp::Dispose() {
    delete this;
    return 0;
}

void ListEntryImp::SetPayload(void* payload, std::int32_t mode) {
    if (payload == nullptr) {
        // Clear the field before letting go: releasing an element may reach back to this entry.
        void* old = m_payload;
        m_payload = nullptr;
        DropPayload(old, mode);
        return;
    }
    void* stored = payload;
    if (mode == 0) {
        // Reference the new element before the old one goes, so re-setting the same element
        // never disposes it.
        static_cast<Element*>(payload)->AddReference();
    } else if (mode > 0) {
        stored = Allocate(static_cast<std::size_t>(mode));
        if (stored == nullptr) return;  // nothing lost: the entry keeps what it had
        std::memcpy(stored, payload, static_cast<std::size_t>(mode));
    }
    // A payload already carried is replaced, not leaked.
    void* old = m_payload;
    m_payload = stored;
    DropPayload(old, mode);
}

}  // namespace QRV2
