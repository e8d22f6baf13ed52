// Stream: the out-of-line destructor that anchors the interface's vtable.
#include "framework/containers/Stream.h"

namespace QRV2 {

Stream::~Stream() = default;

}  // namespace QRV2
