// Per-user class registration of the control: what DllRegisterServer and DllUnregisterServer write.
#pragma once

#include <cstddef>

namespace QX2011 {

// Registry layout, all under the current user's "Software\Classes" (never machine-wide, so no
// administrator rights are needed and other users are untouched):
//   CLSID\{class id}                    default "Orvane2011 Control"
//   CLSID\{class id}\InprocServer32     default = full path of this library,
//                                       "ThreadingModel" = "Apartment"
//   MIME\Database\Content Type\application/x-qx2011
//                                       "CLSID" = "{class id}", "Extension" = ".qrv"
constexpr const char kClassesRoot[] = "Software\\Classes";
constexpr const char kClassName[] = "Orvane2011 Control";
constexpr const char kContentTypeKey[] =
    "Software\\Classes\\MIME\\Database\\Content Type\\application/x-qx2011";

// Full path of this library (Windows-shaped on every platform) into buffer; false when it
// cannot be found or does not fit.
bool GetOwnModulePath(char* buffer, std::size_t size);

// Writes the layout above naming modulePath as the server. On failure whatever was written is
// removed again and false is returned.
bool WriteClassRegistration(const char* modulePath);

// Removes the layout above. The content-type entry is removed only while it names this class,
// so another viewer that took the type over keeps it. True when nothing of ours is left
// (also when nothing was registered).
bool RemoveClassRegistration();

}  // namespace QX2011
