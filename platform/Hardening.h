// Process hardening done first thing at start, before any other library is loaded.
#pragma once

namespace Platform {

// Makes the process load system libraries only from the system folder: a library planted
// beside the executable (or in the current folder) under a system library's name is never
// picked up by a later load by bare name. Libraries loaded by full path are unaffected. True
// when the restriction is in force; false when the system offers no way to set it (then the
// current folder is at least taken out of the search). POSIX: nothing to do (the dynamic
// loader never searches the executable's folder unless told to), always true.
bool RestrictLibrarySearch();

}  // namespace Platform
