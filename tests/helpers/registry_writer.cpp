// Test helper: writes numbered string values into a redirected registry, one write per value.
// Usage: registry_writer <store folder> <value-name prefix> <count>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Registry.h"
#include "platform/testing/RegistryRedirect.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: registry_writer <folder> <prefix> <count>\n");
        return 2;
    }
    if (!Platform::RegistryRedirectForTesting(argv[1])) return 3;
    int count = std::atoi(argv[3]);
    Platform::RegKey key = nullptr;
    if (Platform::RegistryCreateKey(Platform::RootKey(Platform::RegRoot::CurrentUser),
                                    "Software\\Race", Platform::KeyAllAccess, &key,
                                    nullptr) != Platform::Error::None) {
        return 4;
    }
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        std::string name = std::string(argv[2]) + std::to_string(i);
        std::string data = "value " + name;
        if (Platform::RegistrySetValue(key, name.c_str(), Platform::RegSz, data.c_str(),
                                       static_cast<std::uint32_t>(data.size() + 1)) !=
            Platform::Error::None) {
            ++failures;
        }
    }
    Platform::RegistryCloseKey(key);
    return failures == 0 ? 0 : 1;
}
