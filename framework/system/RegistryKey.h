// RegistryKey and RegistryValue: plain stack objects that write keys and string values.
#pragma once

#include <cstdint>

#include "platform/Registry.h"

namespace QRV2 {

// One registry key at a time under a chosen root (the local machine until SetRoot).
class RegistryKey {
public:
    RegistryKey();
    // Closes the held key.
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Refused (false) while a key is held; otherwise stores the root and returns true.
    bool SetRoot(Platform::RegKey root);
    // Opens the sub-key path under the root and holds it; a key held before is closed first.
    // 0 opened; 1 no such key (nothing is held then); -1 any other error (nothing held).
    std::int32_t Open(const char* path);
    // True while a key is held.
    bool IsOpen() const;
    // Creates the sub-key path (missing parents included) under the held key, or under the
    // root when none is held; the new key is closed at once. 0, or -1 on error.
    std::int32_t Create(const char* path);
    // On the held key: a name beginning with "^" writes the string value named by the rest
    // (text with its NUL; null text is refused with -1 and writes nothing); any other name
    // (null: the held key itself) with text sets that sub-key's default value, creating the
    // sub-key when needed; any other name with null text deletes that sub-key. 0, or -1.
    std::int32_t WriteValue(const char* name, const char* text);
    // Closes the held key. 0 when nothing was held or the close succeeded, -1 otherwise.
    std::int32_t Close();

private:
    Platform::RegKey m_key;
    Platform::RegKey m_root;
};

// One value to write: a borrowed name (which must outlive the object) and an owned text.
class RegistryValue {
public:
    explicit RegistryValue(const char* name);
    // Frees the copy.
    ~RegistryValue();
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

    // Marks the value assigned and keeps a copy of text (null keeps none); the copy, or null
    // for null text or when storage for the copy cannot be obtained.
    const char* Assign(const char* text);
    // Assigned: WriteValue of name and text on key, and its result. Never assigned: 0 and
    // nothing written. A text whose copy could not be stored: -1 and nothing written (it
    // would otherwise read as null text, which deletes a sub-key).
    std::int32_t WriteTo(RegistryKey& key) const;

private:
    const char* m_name;
    char* m_text;
    bool m_assigned;
    bool m_copyFailed;
};

}  // namespace QRV2
