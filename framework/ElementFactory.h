// The factory table: the one place that knows the implementation class of every element type.
#pragma once

#include <cstdint>

namespace QRV2 {

class Core;
class Element;

// Builds the implementation object for a type id (constructed only, not initialised), or null
// for ids without a class in this program or when storage cannot be obtained. Each class joins
// here; the framework session hands it to the Core (SetElementConstructor).
Element* ConstructElement(Core* core, std::int32_t typeId);

}  // namespace QRV2
