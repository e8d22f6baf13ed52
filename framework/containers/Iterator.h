// Iterator: the cursor interface over a list or an array of elements (interface id 8).
#pragma once

#include <cstdint>

namespace QRV2 {

class Element;

// Position model: the cursor stands on an element (an index) and may in addition be "beyond",
// meaning the last step tried to leave the sequence at one end; it then still stands on that
// end element and GetCurrent yields null. A step back in the other direction clears beyond
// without moving, when an element exists in that direction. Slots of plain-value or byte-copy
// containers travel as the pointer value itself.
class Iterator {
public:
    virtual ~Iterator();
    virtual void First() = 0;
    virtual void Next() = 0;
    // 1 at the end, else 0.
    virtual std::int32_t IsAtEnd() = 0;
    virtual void Last() = 0;
    virtual void Previous() = 0;
    // 1 when the index is 0 and beyond is set, else 0.
    virtual std::int32_t IsBeforeFirst() = 0;
    // The current element, or null (beyond, empty).
    virtual Element* GetCurrent() = 0;
    // List: adds at the end and stands on it; 0, 1 when storage cannot be obtained.
    // Array: 1 (not supported).
    virtual std::int32_t Append(Element* element) = 0;
    // List: adds in front of the current element (at the end when at the end) and stands on
    // the new element at the same index; 0, 1 when storage cannot be obtained. Array: 1.
    virtual std::int32_t Insert(Element* element) = 0;
    // List: removes the current element, the following one takes its index; 0, 1 when there is
    // no current entry. Array: 1.
    virtual std::int32_t RemoveCurrent() = 0;
    // List: removes every element; 0. Array: drops the whole block; 0, 1 when read-only.
    virtual std::int32_t RemoveAll() = 0;
    virtual std::uint32_t GetCount() = 0;
    virtual std::uint32_t GetIndex() = 0;
    // Moves to index n. List: 0 when n steps were taken (n == count ends beyond the last),
    // 1 when the end came first. Array: 0 when n < count, else 1 with the position unchanged.
    virtual std::int32_t MoveTo(std::uint32_t index) = 0;
    // Array: the block and count; 0 (1 when an out pointer is null). List: 1.
    virtual std::int32_t GetContents(Element*** block, std::uint32_t* count) = 0;
    // Array: the array adopts block (from the framework allocator); 0, 1 when read-only or
    // detached (the block then stays the caller's). List: 1.
    virtual std::int32_t SetContents(Element** block, std::uint32_t count) = 0;
    // The iterator element this interface belongs to.
    virtual Element* GetElement() = 0;
};

}  // namespace QRV2
