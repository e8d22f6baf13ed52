// List: the doubly linked list element (type id 9) of ListEntry nodes.
#pragma once

#include "framework/containers/ListEntry.h"

namespace QRV2 {

// The list holds one reference on every linked entry and never touches payloads, except when
// it is disposed: then each entry's payload is cleared under the list's payload mode.
class List : public Element {
public:
    virtual ListEntry* GetFirst() = 0;
    virtual ListEntry* GetLast() = 0;
    virtual std::uint32_t GetCount() = 0;
    // Links the entry after the last one and takes a reference on it. 0; 1 when the entry is
    // null or visibly linked already (it has neighbours, or is this list's only entry).
    virtual std::int32_t Append(ListEntry* entry) = 0;
    // Unlinks the entry held in *variable, gives back the list's reference (which disposes the
    // entry when that was its last one) and clears the variable. 0; 1 when the variable or the
    // entry is null or the entry's links show it is not in this list (nothing changes then).
    virtual std::int32_t Remove(ListEntry** variable) = 0;
    // Links entry in front of position and takes a reference on it; a null position appends.
    // 0; 1 when entry is null or visibly linked already, or position is visibly not in this list.
    virtual std::int32_t InsertBefore(ListEntry* position, ListEntry* entry) = 0;
    // Set once, before the first entry is linked. 0.
    virtual std::int32_t SetPayloadMode(std::int32_t mode) = 0;
    virtual std::int32_t GetPayloadMode() = 0;
};

}  // namespace QRV2
