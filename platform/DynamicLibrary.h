// Dynamic libraries: load by full path, look up an export, free; and COM initialisation.
#pragma once

#include "platform/Error.h"

namespace Platform {

// Opaque handle of a loaded library; null means none.
struct LibraryTag;
using LibraryHandle = LibraryTag*;

// Any exported function; cast to the real type before calling.
using ExportedFunction = void (*)();

// Loads the library at path (a Windows-shaped full path; POSIX maps it as PathMap does) and
// returns its handle, or null with *error set (when error is not null): FileNotFound when no
// file is there, BadFormat when it is not a loadable library for this platform, InvalidParameter
// for a null or unmappable path, SharingViolation (POSIX) while another open writes the file,
// Unknown otherwise. Every successful load needs one FreeLibrary. While loaded, the library's
// file is held as a running image is held on Windows: deleting it, moving it or opening it for
// writing fails with SharingViolation, in this and in every other process.
LibraryHandle LoadLibraryFromPath(const char* path, Error* error);

// Loads like LoadLibraryFromPath (same results), but the libraries the loaded library imports
// are looked for in its own folder and in the system folder only, whatever search the process
// set for itself: a control that ships a helper library beside itself can load, and nothing
// else on the search path is consulted. POSIX: the same as LoadLibraryFromPath.
LibraryHandle LoadLibraryWithNeighbours(const char* path, Error* error);

// The exported function name of library, or null when there is none (or either argument is null).
ExportedFunction FindExport(LibraryHandle library, const char* name);

// Drops one load of the library; null is ignored. Exports found earlier must not be called after
// the last load is dropped.
void FreeLibrary(LibraryHandle library);

// Initialises COM/OLE for the calling thread, as a library's self-registration expects; true on
// success (also when it was already initialised, which still needs its uninitialisation).
// POSIX has no COM: always true, nothing happens.
bool InitializeCom();

// Balances one successful InitializeCom. POSIX: nothing.
void UninitializeCom();

}  // namespace Platform
