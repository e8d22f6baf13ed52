// ListEntry: the node element of a List (type id 10), carrying one payload.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Payload modes, shared by List, ListEntry, the list iterator and ElementContainer:
//   0   the payload is an element; the entry holds one reference on it;
//   > 0 the payload is a private copy of exactly that many bytes, owned by the entry;
//   < 0 the payload is a plain value kept in the pointer, owned by nobody.
constexpr std::int32_t kPayloadElement = 0;

class ListEntry : public Element {
public:
    // The following entry, or null. Neighbour links are not references.
    virtual ListEntry* GetNext() = 0;
    virtual void SetNext(ListEntry* next) = 0;
    // The preceding entry, or null.
    virtual ListEntry* GetPrevious() = 0;
    virtual void SetPrevious(ListEntry* previous) = 0;
    // The payload pointer, or null.
    virtual void* GetPayload() = 0;
    // A non-null payload is stored according to mode (element: referenced; bytes: copied;
    // plain: kept as is) and replaces, and gives up, a payload the entry already carried. When a
    // byte copy cannot be allocated, the entry keeps what it had (null on a fresh entry).
    // Null clears the payload (released, freed or forgotten). The mode must be the one the
    // payload was set with.
    virtual void SetPayload(void* payload, std::int32_t mode) = 0;
};

}  // namespace QRV2
