// Stream: the out-of-line destructor that anchors the interface's vtable.
#include "framework/io/Stream.h"

namespace QRV2 {

Stream::~Stream() = default;

}  // namespace QRV2
