// Process hardening on POSIX: the dynamic loader's search path is already the system's own.
#include "platform/Hardening.h"

namespace Platform {

bool RestrictLibrarySearch() { return true; }

}  // namespace Platform
