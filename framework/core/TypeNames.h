// Element type names by type id, and which type ids are singleton kinds.
#pragma once

#include <cstdint>

namespace QRV2 {

// The constant name of a type id (0..182), or null for ids without a name and ids above 182.
const char* TypeNameOf(std::uint32_t typeId);
// True for the type ids whose elements may be registered with the Core as singletons.
bool IsSingletonTypeId(std::uint32_t typeId);

}  // namespace QRV2
