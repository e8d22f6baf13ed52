// DynamicSizeElementIterator: the list iterator element (type id 5); can add and remove items.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

class List;

// Its Iterator view is GetInterface(InterfaceIterator). It holds a reference on the walked
// list, never on entries or payloads.
class DynamicSizeElementIterator : public Element {
public:
    virtual List* GetList() = 0;
    // Attaches list (null detaches), counts its entries, moves to the first and clears the
    // modified flag. 0.
    virtual std::int32_t SetList(List* list) = 0;
    // Set by every change made through this iterator.
    virtual std::int32_t GetModified() = 0;
    virtual void SetModified(std::int32_t modified) = 0;
    // Payload mode of the entries it creates and removes. 0.
    virtual std::int32_t SetPayloadMode(std::int32_t mode) = 0;
    virtual std::int32_t GetPayloadMode() = 0;
};

}  // namespace QRV2
