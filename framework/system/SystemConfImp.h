// SystemConfImp: reads and writes string values of one registry key path under a root.
#pragma once

#include "framework/core/ElementImpBase.h"
#include "framework/system/SystemConf.h"
#include "platform/Registry.h"

namespace QRV2 {

class Core;
class String;

class SystemConfImp : public ElementImpBase<SystemConf, TypeSystemConf> {
public:
    // Root codes of OpenKey and CreateKey; any other code means the current user.
    enum RootCode : std::int32_t {
        RootClassesRoot = 0,
        RootCurrentUser = 1,
        RootLocalMachine = 2,
        RootUsers = 3,
        RootPerformanceData = 4,
        RootCurrentConfig = 5,
        RootDynData = 6,
    };
    // Results of the registry operations.
    enum Result : std::int32_t {
        ResultOk = 0,
        ResultFailed = 1,
        ResultNotFound = 15,      // the key or value does not exist
        ResultAccessDenied = 27,  // the system refused the access asked for
    };

    explicit SystemConfImp(Core* core);

    // Closes the key, drops the key path and deletes the object.
    std::int32_t Dispose() override;

    std::int32_t IsOpen() override;
    std::int32_t CloseKey() override;

    // Sets the key path (null drops it). Always 0; when the String cannot be created the path
    // stays absent and a later OpenKey or CreateKey reports 1.
    std::int32_t SetKeyPath(const char* path);
    // Closes any held key, then opens the key path under the root for reading (readOnly) or
    // writing, in the 64-bit registry view when view64 is set. 0; 1 without a key path or
    // for any other failure; 15 no such key; 27 access denied.
    std::int32_t OpenKey(std::int32_t rootCode, std::uint8_t readOnly, std::uint8_t view64);
    // Closes any held key, then creates (or opens the existing) key path under the root for
    // writing and holds it. 0; 1 without a key path or another failure; 15; 27.
    std::int32_t CreateKey(std::int32_t rootCode);
    // Reads a REG_SZ value of the held key into *field (a String created there when absent).
    // A name beginning with "^" is first looked for by a loose name match over all values.
    // 0; 27 access denied; 1 for every other failure: no key held, no such value, another
    // type, an empty text, no storage. On failure the String's text is unchanged.
    std::int32_t ReadString(const char* name, String** field);
    // Writes value's text with its NUL as a REG_SZ value of the held key. 0; 1 when value is
    // null or the write fails otherwise; 15; 27.
    std::int32_t WriteString(const char* name, String* value);

private:
    String* m_keyPath = nullptr;
    Platform::RegKey m_key = nullptr;
};

}  // namespace QRV2
