// Test fixture helper: a private, empty registry for the duration of one test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
        m_folder = (base / ("qrv2-reg-" + std::to_string(Token()) + "-" +
                            std::to_string(counter++)))
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
        return static_cast<long long>(
            std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
    }
    std::string m_folder;
    bool m_ok = false;
};

}  // namespace QRV2Test
