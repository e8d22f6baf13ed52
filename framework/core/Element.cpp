// Element: the out-of-line destructor and the allocator-backed storage of element objects.
#include "framework/core/Element.h"

#include "framework/core/Allocator.h"

namespace QRV2 {

Element::~Element() = default;

void* Element::operator new(std::size_t size) noexcept { return Allocate(size); }

void Element::operator delete(void* block) noexcept { Free(block); }

}  // namespace QRV2
