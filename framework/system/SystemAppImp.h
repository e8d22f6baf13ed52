// SystemAppImp: the one application-services object, built by the program's start-up.
#pragma once

#include <cstdint>

#include "framework/core/ElementImpBase.h"
#include "framework/system/SystemApp.h"

namespace QRV2 {

class Core;
class FileFunc;
class String;

// Built by the entry point (not by the factory) with new, started with Initialize and
// registered as the Core's singleton 11. Dispose is the teardown: it empties and removes the
// temporary folder and releases every field, but does not delete the object, because the
// Core disposes it as part of its own end while the entry point still holds it. The entry
// point deletes it afterwards (`delete app;`, which frees the storage only).
class SystemAppImp : public ElementImpBase<SystemApp, TypeSystemApp> {
public:
    // Stores the instance handle, and the command line only when show is greater than 0.
    SystemAppImp(Core* core, Platform::ModuleHandle instance, const char* commandLine,
                 std::int32_t show);

    // Start-up: gathers versions, folders and names and creates the temporary folder. 0, or 1
    // when the executable's folder could not be found out for want of storage; every fact
    // that cannot be obtained leaves its field absent.
    std::int32_t Initialize() override;
    // Teardown (see the class comment). 0.
    std::int32_t Dispose() override;

    std::int32_t GetOsMajorVersion() override;
    std::int32_t GetOsMinorVersion() override;
    Platform::ModuleHandle GetInstanceHandle() override;
    void SetInstanceHandle(Platform::ModuleHandle instance) override;
    std::int32_t ShowError(const char* text, const char* caption) override;
    std::int32_t ShowInfo(const char* text, const char* caption) override;
    std::int32_t ClearTempFolder() override;
    std::int32_t OpenWithShell(const char* target) override;
    std::uint32_t WaitForMessages(std::uint32_t ms) override;
    const char* GetCommandLineText() override;
    std::int32_t SetCommandLineText(const char* text) override;
    const char* GetModuleFolder() override;
    std::int32_t SetModuleFolder(const char* text) override;
    const char* GetComputerNameText() override;
    std::int32_t SetComputerNameText(const char* text) override;
    const char* GetOsName() override;
    std::int32_t SetOsName(const char* text) override;
    const char* GetInstallFolder(std::int32_t kind) override;
    std::int32_t SetInstallFolder(const char* text, std::int32_t kind) override;
    const char* GetBoxFolder() override;
    std::int32_t SetBoxFolder(const char* text) override;
    const char* GetLocalProductFolder() override;
    std::int32_t SetLocalProductFolder(const char* text) override;
    const char* GetTempFolder() override;
    std::int32_t SetTempFolder(const char* text) override;
    const char* GetDesktopFolder() override;
    std::int32_t SetDesktopFolder(const char* text) override;
    const char* GetUserDataFolder() override;
    std::int32_t SetUserDataFolder(const char* text) override;
    std::int32_t DeriveProductFolders() override;
    std::int32_t CheckUserFolders() override;

    // The label of an OS major version ("Windows XP" for 5, ...); null for 7, which has none.
    static const char* OsNameFor(std::int32_t major);
    // The number in the temporary folder's name for the attempt-th attempt of the process at
    // clock value ticks (32-bit arithmetic that wraps around).
    static std::int32_t TempFolderNumber(std::uint32_t attempt, std::uint32_t ticks);

private:
    // One attempt to name and create the temporary folder: 0 when it exists afterwards (or
    // when its String cannot be had, which ends the attempts), 1 otherwise.
    std::int32_t TryCreateTempFolder();
    // Reads a registry string into the field: root code, key path, value name, 64-bit view.
    void LookUp(String** field, std::int32_t root, const char* path, const char* name, bool view64);
    // Writes the field as the product's main folder per user and per machine.
    void StoreMainFolder(String* field, bool view64);

    char m_scratch[260] = {};
    Platform::ModuleHandle m_instance = nullptr;
    FileFunc* m_fileFunc = nullptr;
    String* m_commandLine = nullptr;
    String* m_installFolder = nullptr;
    String* m_mainFolder = nullptr;
    String* m_mainFolder64 = nullptr;
    String* m_boxFolder = nullptr;
    String* m_localProductFolder = nullptr;
    String* m_moduleFolder = nullptr;
    String* m_tempFolder = nullptr;
    String* m_desktopFolder = nullptr;
    String* m_userDataFolder = nullptr;
    String* m_computerName = nullptr;
    String* m_osName = nullptr;
    std::int32_t m_osMajor = 0;
    std::int32_t m_osMinor = 0;
    // The system named the local application data folder or the temporary path, but not in a
    // way the 8-bit text can spell (CheckUserFolders).
    bool m_localAppDataUnspellable = false;
    bool m_tempPathUnspellable = false;
};

}  // namespace QRV2
