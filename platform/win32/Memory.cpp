// Memory hints on Windows: none are given (see Memory.h).
#include "platform/Memory.h"

namespace Platform {

void PrepareWorkingBuffer(void*, std::size_t) {}

}  // namespace Platform
