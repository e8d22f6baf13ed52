// Test fixture helpers: a private, empty registry for the duration of one test, and values put
// into it and read back straight through the platform, past the classes under test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/Registry.h"
#include "platform/testing/RegistryRedirect.h"

namespace QRV2Test {

// Points the current-user and local-machine roots at a fresh folder (POSIX) or private key
// (Windows) and undoes that on destruction, so no test touches the real registry.
class ScopedTestRegistry {
public:
    ScopedTestRegistry() {
        static std::atomic<int> counter{0};
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        m_folder =
            (base / ("qrv2-reg-" + std::to_string(Token()) + "-" + std::to_string(counter++)))
                .string();
        fs::remove_all(m_folder, ec);
        fs::create_directories(m_folder, ec);
        m_ok = Platform::RegistryRedirectForTesting(m_folder.c_str());
    }
    ~ScopedTestRegistry() {
        Platform::RegistryRedirectForTesting(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
    ScopedTestRegistry(const ScopedTestRegistry&) = delete;
    ScopedTestRegistry& operator=(const ScopedTestRegistry&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& Folder() const { return m_folder; }

private:
    // Distinguishes runs of several test processes at once without asking the system.
    static long long Token() {
        return static_cast<long long>(std::chrono::steady_clock::now().time_since_epoch().count() %
                                      1000000007);
    }
    std::string m_folder;
    bool m_ok = false;
};

// Writes a value under root\path, creating the key; the test fails when either step does.
inline void PutValue(Platform::RegRoot root, const std::string& path, const char* name,
                     std::uint32_t type, const void* data, std::uint32_t size) {
    Platform::RegKey key = nullptr;
    ASSERT_EQ(Platform::Error::None,
              Platform::RegistryCreateKey(Platform::RootKey(root), path.c_str(),
                                          Platform::KeyAllAccess, &key, nullptr));
    EXPECT_EQ(Platform::Error::None, Platform::RegistrySetValue(key, name, type, data, size));
    Platform::RegistryCloseKey(key);
}

// Writes text as a REG_SZ value with its terminating NUL.
inline void PutText(Platform::RegRoot root, const std::string& path, const char* name,
                    const char* text) {
    PutValue(root, path, name, Platform::RegSz, text,
             static_cast<std::uint32_t>(std::string(text).size() + 1));
}

// The value's exact bytes as stored (a text's terminating NUL included) and, when type is not
// null, its type; "<missing>" when the key or the value cannot be read.
inline std::string GetValue(Platform::RegRoot root, const std::string& path, const char* name,
                            std::uint32_t* type = nullptr) {
    Platform::RegKey key = nullptr;
    if (Platform::RegistryOpenKey(Platform::RootKey(root), path.c_str(), Platform::KeyRead, &key) !=
        Platform::Error::None)
        return "<missing>";
    char data[1024];
    std::uint32_t size = sizeof data;
    Platform::Error e = Platform::RegistryQueryValue(key, name, type, data, &size);
    Platform::RegistryCloseKey(key);
    return e == Platform::Error::None ? std::string(data, size) : "<missing>";
}

// A REG_SZ value's text up to its terminating NUL; "<missing>" when it cannot be read or is
// not REG_SZ.
inline std::string GetText(Platform::RegRoot root, const std::string& path, const char* name) {
    std::uint32_t type = Platform::RegNone;
    std::string bytes = GetValue(root, path, name, &type);
    if (bytes == "<missing>" || type != Platform::RegSz) return "<missing>";
    return bytes.substr(0, bytes.find('\0'));
}

// Whether root\path exists.
inline bool KeyExists(Platform::RegRoot root, const std::string& path) {
    Platform::RegKey key = nullptr;
    if (Platform::RegistryOpenKey(Platform::RootKey(root), path.c_str(), Platform::KeyRead, &key) !=
        Platform::Error::None)
        return false;
    Platform::RegistryCloseKey(key);
    return true;
}

}  // namespace QRV2Test
