// ElementContainer: the general element collection (type id 3), read and changed via iterators.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

class Iterator;

// A filter handed to GetIterator(IteratorRead, filter): Accept returns 0 to take the element.
// It is asked only about elements: the items of a list in payload mode 0 that are not null
// (in any other mode the items are no elements and the filtered iterator is empty).
class ElementFilter : public Element {
public:
    virtual std::int32_t Accept(Element* element) = 0;
};

// Storage is never exposed: callers borrow an Iterator, use it and hand it back. The creation
// parameter selects 2-byte ids (non-zero) instead of 4-byte ids in the stream form.
class ElementContainer : public Element {
public:
    enum IteratorKind : std::int32_t {
        IteratorRead = 1,    // read-only array iterator (or a filtered array iterator)
        IteratorChange = 2,  // list iterator: read, append, insert, remove
        IteratorWrite = 3,   // writable array iterator, only while no reader is out
        IteratorClear = 5,   // empties the container; yields null
    };
    // An Iterator holding one reference, to be handed back with ReturnIterator; null for an
    // unknown kind, IteratorClear, IteratorWrite while the shared reader is lent out, or when
    // storage cannot be obtained. A filter argument is consumed (one reference released).
    virtual Iterator* GetIterator(std::int32_t kind, Element* argument) = 0;
    // Gives the iterator in *variable back and clears the variable. 0.
    virtual std::int32_t ReturnIterator(Iterator** variable) = 0;
    // The payload mode of held items (see ListEntry.h); set before anything is added. 0.
    virtual std::int32_t SetPayloadMode(std::int32_t mode) = 0;
    virtual std::int32_t GetPayloadMode() = 0;
};

}  // namespace QRV2
