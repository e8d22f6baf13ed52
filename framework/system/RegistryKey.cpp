// RegistryKey and RegistryValue: opening, creating and writing keys through the platform.
#include "framework/system/RegistryKey.h"

#include "framework/core/Allocator.h"

namespace QRV2 {

RegistryKey::RegistryKey()
    : m_key(nullptr), m_root(Platform::RootKey(Platform::RegRoot::LocalMachine)) {}

RegistryKey::~RegistryKey() { Close(); }

bool RegistryKey::SetRoot(Platform::RegKey root) {
    if (m_key != nullptr) return false;
    m_root = root;
    return true;
}

std::int32_t RegistryKey::Open(const char* path) {
    // The key held before would never be used again: close it rather than lose the handle.
    Close();
    Platform::Error e =
        Platform::RegistryOpenKey(m_root, path, Platform::KeyMaximumAllowed, &m_key);
    if (e == Platform::Error::None) return 0;
    m_key = nullptr;
    return e == Platform::Error::FileNotFound ? 1 : -1;
}

bool RegistryKey::IsOpen() const { return m_key != nullptr; }

std::int32_t RegistryKey::Create(const char* path) {
    Platform::RegKey created = nullptr;
    Platform::Error e = Platform::RegistryCreateKey(m_key != nullptr ? m_key : m_root, path,
                                                    Platform::KeyMaximumAllowed, &created, nullptr);
    if (e != Platform::Error::None) return -1;
    Platform::RegistryCloseKey(created);
    return 0;
}

std::int32_t RegistryKey::WriteValue(const char* name, const char* text) {
    if (m_key == nullptr) return -1;
    Platform::Error e;
    if (name != nullptr && name[0] == '^') {
        if (text == nullptr) return -1;
        std::uint32_t size = 0;
        while (text[size] != '\0') ++size;
        e = Platform::RegistrySetValue(m_key, name + 1, Platform::RegSz, text, size + 1);
    } else if (text != nullptr) {
        e = Platform::RegistrySetDefaultValue(m_key, name, text);
    } else {
        e = Platform::RegistryDeleteKey(m_key, name);
    }
    return e == Platform::Error::None ? 0 : -1;
}

std::int32_t RegistryKey::Close() {
    if (m_key == nullptr) return 0;
    Platform::Error e = Platform::RegistryCloseKey(m_key);
    m_key = nullptr;
    return e == Platform::Error::None ? 0 : -1;
}

RegistryValue::RegistryValue(const char* name)
    : m_name(name), m_text(nullptr), m_assigned(false), m_copyFailed(false) {}

RegistryValue::~RegistryValue() { Free(m_text); }

const char* RegistryValue::Assign(const char* text) {
    m_assigned = true;
    Free(m_text);
    m_text = DuplicateText(text);
    m_copyFailed = text != nullptr && m_text == nullptr;
    return m_text;
}

std::int32_t RegistryValue::WriteTo(RegistryKey& key) const {
    if (!m_assigned) return 0;
    if (m_copyFailed) return -1;
    return key.WriteValue(m_name, m_text);
}

}  // namespace QRV2
