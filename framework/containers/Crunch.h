// Crunch: the crunch id by which a container refers to an element, and a content comparison.
#pragma once

#include <cstdint>

namespace QRV2 {

class Element;

// Secondary interface (interface id 6) of Buffer, String and ElementContainer.
class Crunch {
public:
    virtual ~Crunch();
    virtual std::int32_t QueryCrunch(void* context, std::int32_t code) = 0;
    virtual std::int32_t ApplyCrunch(void* context, std::int32_t code) = 0;
    virtual std::int32_t GetCrunchId() = 0;
    virtual void SetCrunchId(std::int32_t id) = 0;
    // 0 when the other element of the same class has equal content, else 1.
    virtual std::int32_t CompareContent(Element* other) = 0;
};

}  // namespace QRV2
