// SystemApp: the application-services singleton (type id 11): process facts, folders, shell.
#pragma once

#include "framework/core/Element.h"
#include "platform/Process.h"

namespace QRV2 {

// Getters return the field's text, or null when the field is absent. Setters take a text
// (null drops the field) and return 0, or 1 when the text cannot be stored (the field is then
// absent). Folder texts end in "\".
class SystemApp : public Element {
public:
    virtual std::int32_t GetOsMajorVersion() = 0;
    virtual std::int32_t GetOsMinorVersion() = 0;
    virtual Platform::ModuleHandle GetInstanceHandle() = 0;
    virtual void SetInstanceHandle(Platform::ModuleHandle instance) = 0;
    // A message box with an error icon; caption "Error" when null. The box's result.
    virtual std::int32_t ShowError(const char* text, const char* caption) = 0;
    // A plain OK message box; caption "Info" when null. The box's result.
    virtual std::int32_t ShowInfo(const char* text, const char* caption) = 0;
    // Deletes the visible files directly inside the temporary folder; sub-folders and hidden
    // files stay. Always 0.
    virtual std::int32_t ClearTempFolder() = 0;
    // Hands a document or address to the shell to be opened. Always 0.
    virtual std::int32_t OpenWithShell(const char* target) = 0;
    // Waits for window messages or input, at most ms milliseconds; the system's wait result.
    virtual std::uint32_t WaitForMessages(std::uint32_t ms) = 0;
    virtual const char* GetCommandLineText() = 0;
    virtual std::int32_t SetCommandLineText(const char* text) = 0;
    virtual const char* GetModuleFolder() = 0;
    virtual std::int32_t SetModuleFolder(const char* text) = 0;
    virtual const char* GetComputerNameText() = 0;
    virtual std::int32_t SetComputerNameText(const char* text) = 0;
    virtual const char* GetOsName() = 0;
    virtual std::int32_t SetOsName(const char* text) = 0;
    // Kind 0: program files + "\Orvane\"; kind 1: the product's main folder from the
    // registry (current user, then machine); kind 2: as kind 1 in the 64-bit registry view.
    // Looked up while the text is empty; null for other kinds (or when storage fails).
    virtual const char* GetInstallFolder(std::int32_t kind) = 0;
    // Sets the folder of that kind (kinds 1 and 2 are also written to the registry), then
    // DeriveProductFolders; its result (0).
    virtual std::int32_t SetInstallFolder(const char* text, std::int32_t kind) = 0;
    virtual const char* GetBoxFolder() = 0;
    virtual std::int32_t SetBoxFolder(const char* text) = 0;
    virtual const char* GetLocalProductFolder() = 0;
    virtual std::int32_t SetLocalProductFolder(const char* text) = 0;
    virtual const char* GetTempFolder() = 0;
    virtual std::int32_t SetTempFolder(const char* text) = 0;
    virtual const char* GetDesktopFolder() = 0;
    virtual std::int32_t SetDesktopFolder(const char* text) = 0;
    virtual const char* GetUserDataFolder() = 0;
    virtual std::int32_t SetUserDataFolder(const char* text) = 0;
    // Recomputes the box folder (install folder + "OrvaneBox2011\") and the local product
    // folder (local application data, or the install folder, + "Orvane2011\"). 0.
    virtual std::int32_t DeriveProductFolders() = 0;
    // 0 when the per-user folders the product works in (local application data, the temporary
    // path) could be named, 1 when the system names one of them in a way the 8-bit text cannot
    // spell: the folders built on it then stay absent, and no other folder stands in for it.
    virtual std::int32_t CheckUserFolders() = 0;
};

}  // namespace QRV2
