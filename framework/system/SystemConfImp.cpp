// SystemConfImp: registry key path, open key, and string values read and written through it.
#include "framework/system/SystemConfImp.h"

#include <cstring>

#include "framework/containers/String.h"
#include "framework/containers/StringUtil.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"

namespace QRV2 {

namespace {

Platform::RegKey RootFor(std::int32_t code) {
    using Platform::RegRoot;
    switch (code) {
        case SystemConfImp::RootClassesRoot: return Platform::RootKey(RegRoot::ClassesRoot);
        case SystemConfImp::RootLocalMachine: return Platform::RootKey(RegRoot::LocalMachine);
        case SystemConfImp::RootUsers: return Platform::RootKey(RegRoot::Users);
        case SystemConfImp::RootPerformanceData: return Platform::RootKey(RegRoot::PerformanceData);
        case SystemConfImp::RootCurrentConfig: return Platform::RootKey(RegRoot::CurrentConfig);
        case SystemConfImp::RootDynData: return Platform::RootKey(RegRoot::DynData);
        default: return Platform::RootKey(RegRoot::CurrentUser);
    }
}

std::int32_t ResultOf(Platform::Error e) {
    switch (e) {
        case Platform::Error::None: return SystemConfImp::ResultOk;
        case Platform::Error::FileNotFound: return SystemConfImp::ResultNotFound;
        case Platform::Error::AccessDenied: return SystemConfImp::ResultAccessDenied;
        default: return SystemConfImp::ResultFailed;
    }
}

// Gives the String the text of size bytes of registry data. Data need not carry a NUL: the
// text ends at the first NUL or at the end of the data, and the block holds one byte more
// than the data so the text is always terminated inside it.
std::int32_t TakeText(String* target, char* block, std::uint32_t size) {
    block[size] = '\0';
    return target->SetString(block) == 0 ? SystemConfImp::ResultOk : SystemConfImp::ResultFailed;
}

}  // namespace

SystemConfImp::SystemConfImp(Core*) {}

std::int32_t SystemConfImp::Dispose() {
    CloseKey();
    ReleaseElement(m_keyPath);
    delete this;
    return 0;
}

std::int32_t SystemConfImp::IsOpen() { return m_key != nullptr ? 1 : 0; }

std::int32_t SystemConfImp::CloseKey() {
    if (m_key == nullptr) return 0;
    Platform::Error e = Platform::RegistryCloseKey(m_key);
    m_key = nullptr;
    return e == Platform::Error::None ? 0 : 1;
}

std::int32_t SystemConfImp::SetKeyPath(const char* path) {
    if (path == nullptr) {
        ReleaseElement(m_keyPath);
        return 0;
    }
    if (m_keyPath == nullptr) {
        m_keyPath = CreateElementAs<String>(TypeString);
        if (m_keyPath == nullptr) return 0;
        m_keyPath->AddReference();
    }
    if (m_keyPath->SetString(path) != 0) ReleaseElement(m_keyPath);
    return 0;
}

std::int32_t SystemConfImp::OpenKey(std::int32_t rootCode, std::uint8_t readOnly,
                                    std::uint8_t view64) {
    CloseKey();
    if (m_keyPath == nullptr || m_keyPath->GetString() == nullptr) return ResultFailed;
    std::uint32_t access = readOnly ? Platform::KeyRead : Platform::KeyWrite;
    if (view64) access |= Platform::KeyWow64View64;
    return ResultOf(
        Platform::RegistryOpenKey(RootFor(rootCode), m_keyPath->GetString(), access, &m_key));
}

std::int32_t SystemConfImp::CreateKey(std::int32_t rootCode) {
    CloseKey();
    if (m_keyPath == nullptr || m_keyPath->GetString() == nullptr) return ResultFailed;
    return ResultOf(Platform::RegistryCreateKey(RootFor(rootCode), m_keyPath->GetString(),
                                                Platform::KeyWrite, &m_key, nullptr));
}

std::int32_t SystemConfImp::ReadString(const char* name, String** field) {
    if (field == nullptr) return ResultFailed;
    if (*field == nullptr) {
        *field = CreateElementAs<String>(TypeString);
        if (*field == nullptr) return ResultFailed;
    }
    String* target = *field;

    if (name != nullptr && name[0] == '^') {
        std::uint32_t values = 0, longestName = 0, longestData = 0;
        Platform::Error e = Platform::RegistryQueryInfo(m_key, nullptr, nullptr, &values,
                                                        &longestName, &longestData);
        if (e == Platform::Error::AccessDenied) return ResultAccessDenied;
        if (e == Platform::Error::None && values > 0) {
            char* nameBuffer = static_cast<char*>(Allocate(longestName + 1));
            char* dataBuffer = static_cast<char*>(Allocate(longestData + 1));
            StringUtil* util = CreateElementAs<StringUtil>(TypeStringUtil);
            bool taken = false;
            std::int32_t result = ResultFailed;
            if (nameBuffer != nullptr && dataBuffer != nullptr && util != nullptr) {
                for (std::uint32_t i = 0; i < values && !taken; ++i) {
                    std::uint32_t nameSize = longestName + 1;
                    std::uint32_t dataSize = longestData;
                    std::uint32_t type = 0;
                    if (Platform::RegistryEnumValue(m_key, i, nameBuffer, &nameSize, &type,
                                                    dataBuffer,
                                                    &dataSize) != Platform::Error::None) {
                        continue;
                    }
                    if (type != Platform::RegSz) continue;
                    if (util->EqualsLoosely(nameBuffer, name + 1) != 0) continue;
                    taken = true;
                    result = TakeText(target, dataBuffer, dataSize);
                }
            }
            Free(nameBuffer);
            Free(dataBuffer);
            ReleaseElement(util);
            if (taken) return result;
        }
    }

    std::uint32_t type = 0, size = 0;
    Platform::Error e = Platform::RegistryQueryValue(m_key, name, &type, nullptr, &size);
    if (e == Platform::Error::AccessDenied) return ResultAccessDenied;
    if (e != Platform::Error::None) return ResultFailed;
    if (type != Platform::RegSz || size <= 1) return ResultFailed;
    char* block = static_cast<char*>(Allocate(std::size_t{size} + 1));
    if (block == nullptr) return ResultFailed;
    std::uint32_t room = size;
    e = Platform::RegistryQueryValue(m_key, name, &type, block, &room);
    std::int32_t result = ResultFailed;
    // The value may have changed between the two queries; only a text read whole counts.
    if (e == Platform::Error::None && type == Platform::RegSz && room > 1) {
        result = TakeText(target, block, room);
    }
    Free(block);
    return result;
}

std::int32_t SystemConfImp::WriteString(const char* name, String* value) {
    if (value == nullptr || value->GetString() == nullptr) return ResultFailed;
    const char* text = value->GetString();
    auto size = static_cast<std::uint32_t>(std::strlen(text) + 1);
    return ResultOf(Platform::RegistrySetValue(m_key, name, Platform::RegSz, text, size));
}

}  // namespace QRV2
