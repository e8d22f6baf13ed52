// Crunch and IO: out-of-line destructors that anchor the two interfaces' vtables.
#include "framework/containers/Crunch.h"
#include "framework/containers/IO.h"

namespace QRV2 {

Crunch::~Crunch() = default;
IO::~IO() = default;

}  // namespace QRV2
