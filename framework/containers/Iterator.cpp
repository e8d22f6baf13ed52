// Iterator: the out-of-line destructor that anchors the interface's vtable.
#include "framework/containers/Iterator.h"

namespace QRV2 {

Iterator::~Iterator() = default;

}  // namespace QRV2
