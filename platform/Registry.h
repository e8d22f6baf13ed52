// Registry service: keys under predefined roots holding named, typed values.
#pragma once

#include <cstdint>

#include "platform/Error.h"

namespace Platform {

// Where the system has no registry (POSIX), the current user's keys live in a text file in
// the registry-export format under $XDG_CONFIG_HOME/qrv2/ (~/.config/qrv2/), those of the
// other roots in /var/lib/qrv2/machine.reg, which everyone may read and only the
// administrator may change. Every operation reads the file afresh under a lock, and every
// change replaces the whole file atomically, so processes see each other's changes and a
// crash never leaves half a store. Names compare ignoring ASCII case; values keep their bytes.
// As on Windows, a key path deeper than 512 levels or a key name longer than 255 characters
// cannot be made (InvalidParameter), and a store holding one is damaged (BadFormat). A handle
// whose key was deleted answers KeyDeleted to every later call, even after a key of the same
// name was made again (POSIX sees deletions through handles of this process and whatever is
// missing when a call looks). POSIX only: a wait for another process's hold on the store
// ends after 10 s with LockViolation, or at once with Cancelled when a stop is requested
// (Cancel.h); a write by root to a user's store keeps the store's owner and mode.

// An open key. The predefined roots are handles too (RootKey); every other handle comes from
// RegistryOpenKey or RegistryCreateKey and is given back with RegistryCloseKey.
struct RegistryKeyHandle;
using RegKey = RegistryKeyHandle*;

// Predefined root keys, numbered as the system numbers them.
enum class RegRoot : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    PerformanceData = 0x80000004u,
    CurrentConfig = 0x80000005u,
    DynData = 0x80000006u,
};

// The handle of a predefined root; closing it is allowed and does nothing.
inline RegKey RootKey(RegRoot root) {
    return reinterpret_cast<RegKey>(static_cast<std::uintptr_t>(root));
}
// The predefined root a handle stands for (root may be null), or false for an ordinary handle.
inline bool IsRootKey(RegKey key, RegRoot* root) {
    auto v = reinterpret_cast<std::uintptr_t>(key);
    if (v < 0x80000000u || v > 0x80000006u) return false;
    if (root != nullptr) *root = static_cast<RegRoot>(v);
    return true;
}

// Access rights (the system's bit values).
constexpr std::uint32_t KeyQueryValue = 0x0001;
constexpr std::uint32_t KeySetValue = 0x0002;
constexpr std::uint32_t KeyCreateSubKey = 0x0004;
constexpr std::uint32_t KeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t KeyRead = 0x20019;
constexpr std::uint32_t KeyWrite = 0x20006;
constexpr std::uint32_t KeyAllAccess = 0xF003F;
constexpr std::uint32_t KeyWow64View64 = 0x0100;
// Whatever the caller may have: all rights where it may write, read rights otherwise.
constexpr std::uint32_t KeyMaximumAllowed = 0x02000000;

// Value types (the system's numbers).
constexpr std::uint32_t RegNone = 0;
constexpr std::uint32_t RegSz = 1;
constexpr std::uint32_t RegExpandSz = 2;
constexpr std::uint32_t RegBinary = 3;
constexpr std::uint32_t RegDword = 4;
constexpr std::uint32_t RegMultiSz = 7;

// Opens an existing key. subKey null or "" opens parent itself again.
// None; FileNotFound (no such key); AccessDenied (rights refused, e.g. writing the machine
// store without being allowed to); InvalidHandle (bad parent or unsupported root);
// InvalidParameter (out null); BadFormat (the store is damaged); other I/O errors.
Error RegistryOpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out);

// Opens a key, creating it and every missing key on the way. created (may be null) tells
// whether the key is new. None; AccessDenied; InvalidHandle; InvalidParameter (out null, a
// name part longer than 255 characters or holding control characters); BadFormat; I/O errors.
Error RegistryCreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out,
                        bool* created);

// Gives a handle back. None; InvalidHandle (null or not a key handle).
Error RegistryCloseKey(RegKey key);

// Reads a value (name null or "" is the key's default value). type, data and size may be
// null; with data null only type and size are reported. *size is the room in data on entry
// and the value's length on return. None; FileNotFound (no such value); MoreData (data too
// small, *size tells the length needed); AccessDenied (handle lacks query rights);
// KeyDeleted (the key was deleted meanwhile); InvalidHandle; BadFormat; I/O errors.
Error RegistryQueryValue(RegKey key, const char* name, std::uint32_t* type, void* data,
                         std::uint32_t* size);

// Writes a value, replacing any of the same name (names compare ignoring ASCII case; the
// spelling given first is kept). The bytes are kept exactly. None; AccessDenied;
// KeyDeleted; InvalidHandle; InvalidParameter (data null with size > 0, or a name holding
// control characters); BadFormat; I/O errors (DiskFull, WriteFault, ...).
Error RegistrySetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                       std::uint32_t size);

// Sets the default value of sub-key subKey (created when missing; null or "" means key
// itself) to text as REG_SZ with its terminating NUL. Results as RegistryCreateKey and
// RegistrySetValue.
Error RegistrySetDefaultValue(RegKey key, const char* subKey, const char* text);

// Deletes value name of key (null or "" is the key's default value). None; FileNotFound (no
// such value); AccessDenied (handle lacks the right to set values); KeyDeleted; InvalidHandle;
// BadFormat; I/O errors.
Error RegistryDeleteValue(RegKey key, const char* name);

// The index-th value of a key, in an order of the system's choosing that holds while the key
// is unchanged (the POSIX store keeps the order of first writing). nameSize is the room in
// name (including the NUL) on entry and the name's length (without NUL) on return;
// type, data and dataSize may be null. None; NoMoreItems (index past the last value);
// MoreData (name or data room too small); AccessDenied; KeyDeleted; InvalidHandle;
// InvalidParameter; BadFormat; I/O errors.
Error RegistryEnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, void* data, std::uint32_t* dataSize);

// Counts and longest lengths of a key (each pointer may be null): sub-keys, longest sub-key
// name, values, longest value name (characters without NUL), longest value data (bytes; the
// system may report more than the longest value holds, never less).
// None; AccessDenied; KeyDeleted; InvalidHandle; BadFormat; I/O errors.
Error RegistryQueryInfo(RegKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength,
                        std::uint32_t* values, std::uint32_t* maxValueNameLength,
                        std::uint32_t* maxValueDataLength);

// Deletes sub-key subKey of key with its values. A key that still has sub-keys is not
// deleted (AccessDenied), as the system does. None; FileNotFound; AccessDenied;
// InvalidHandle; InvalidParameter (subKey null or ""); BadFormat; I/O errors.
Error RegistryDeleteKey(RegKey key, const char* subKey);

}  // namespace Platform
