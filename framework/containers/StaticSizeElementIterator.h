// StaticSizeElementIterator: the array iterator element (type id 4); indexed, whole-block writes.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

class StaticElementArray;

// Its Iterator view is GetInterface(InterfaceIterator). It holds a reference on the walked
// array, never on the elements in it.
class StaticSizeElementIterator : public Element {
public:
    virtual StaticElementArray* GetSource() = 0;
    // Attaches the array and moves to index 0. 0; 1 for null (the iterator is then empty).
    virtual std::int32_t SetSource(StaticElementArray* source) = 0;
    // Stored and reported only. 0.
    virtual std::int32_t SetPayloadMode(std::int32_t mode) = 0;
    virtual std::int32_t GetPayloadMode() = 0;
    // Set by SetContents.
    virtual std::int32_t GetModified() = 0;
    virtual void SetModified(std::int32_t modified) = 0;
    // A read-only iterator refuses SetContents and RemoveAll.
    virtual std::int32_t GetReadOnly() = 0;
    virtual void SetReadOnly(std::int32_t readOnly) = 0;
};

}  // namespace QRV2
