// Removal steps: undo what the installer wrote, and nothing else.
#include "app/RemovalSteps.h"

#include "app/PluginSteps.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/FileFunc.h"
#include "framework/system/FilePath.h"
#include "framework/system/SystemApp.h"
#include "platform/DynamicLibrary.h"
#include "platform/ProgramFile.h"
#include "platform/Registry.h"

namespace QRV2 {

const char* const kRemovedOriginalSuffix = ".started";
const char* const kFolderKeptNotice =
    "Orvane2011 removed - Files of your own were kept in its folder.";

namespace {

// The elements every step works with: the application singleton, a path in the product folder
// and the file functions. Ready only when all of them could be had.
struct ProductFile {
    SystemApp* app = nullptr;
    FilePath* path = nullptr;
    FileFunc* files = nullptr;
    const char* target = nullptr;

    explicit ProductFile(const char* fileName) {
        Core* core = GetCore();
        app =
            core == nullptr ? nullptr : static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
        if (app == nullptr) return;
        path = CreateElementAs<FilePath>(TypeFilePath);
        files = CreateElementAs<FileFunc>(TypeFileFunc);
        // A path that could not be composed whole must not be used: it might name another file
        // (without the folder, one in the current folder).
        if (path != nullptr && files != nullptr && app->GetLocalProductFolder() != nullptr &&
            path->SetPath(app->GetLocalProductFolder()) == 0 && path->SetFileName(fileName) == 0) {
            target = path->GetPath();
        }
    }
    ~ProductFile() {
        ReleaseElement(files);
        ReleaseElement(path);
    }
    ProductFile(const ProductFile&) = delete;
    ProductFile& operator=(const ProductFile&) = delete;

    // Deletes the target (and a partial copy a killed installer left): 0 when it is gone,
    // kStepHeld when it cannot be deleted, kStepStillThere when it lingers.
    std::int32_t Delete() {
        String* partial = CreateElementAs<String>(TypeString);
        if (partial == nullptr) return kStepNoElement;
        if (partial->SetString(target) == 0 && partial->AppendString(kPartialSuffix) == 0 &&
            files->Exists(partial->GetString()) == 0) {
            files->Delete(partial->GetString());
        }
        ReleaseElement(partial);
        if (files->Exists(target) != 0) return 0;
        if (files->Delete(target) != 0) return kStepHeld;
        return files->Exists(target) == 0 ? kStepStillThere : 0;
    }
};

// Deletes a key the installer wrote. Gone already is fine; so is a key that holds a sub-key
// someone else put there (the system refuses to delete it): that key is theirs now.
bool DeleteOwnKey(const char* path) {
    const Platform::Error error =
        Platform::RegistryDeleteKey(Platform::RootKey(Platform::RegRoot::CurrentUser), path);
    return error == Platform::Error::None || error == Platform::Error::FileNotFound ||
           error == Platform::Error::AccessDenied;
}

}  // namespace

bool SameFolderText(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    auto fold = [](char c) {
        if (c == '/') return '\\';
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (fold(*a) != fold(*b)) return false;
    }
    return *a == *b;
}

std::int32_t RemoveActiveXControl(InstallState* state) {
    ProductFile control("QX2011.dll");
    if (state == nullptr || control.target == nullptr) return kStepNoElement;
    if (control.files->Exists(control.target) == 0) {
        // Its registration names this very file: only the library itself can undo it, and it is
        // loaded by that full path alone.
        const bool comReady = Platform::InitializeCom();
        Platform::LibraryHandle library =
            Platform::LoadLibraryWithNeighbours(control.target, nullptr);
        std::int32_t result = kStepNotLoaded;
        if (library != nullptr) {
            using UnregisterServer = std::int32_t (*)();  // HRESULT
            auto entry = reinterpret_cast<UnregisterServer>(
                Platform::FindExport(library, "DllUnregisterServer"));
            result = entry != nullptr && entry() == 0 ? 0 : kStepRegistrationFailed;
            Platform::FreeLibrary(library);
        }
        if (comReady) Platform::UninitializeCom();
        if (result != 0) return result;
    }
    return control.Delete();
}

std::int32_t RemoveMozillaPlugin(InstallState* state) {
    ProductFile plugin("npqx2011.dll");
    if (state == nullptr || plugin.target == nullptr) return kStepNoElement;
    // The library first: while a browser holds it, the keys stay and the browser keeps working.
    const std::int32_t result = plugin.Delete();
    if (result != 0) return result;
    String* base = CreateElementAs<String>(TypeString);
    String* key = CreateElementAs<String>(TypeString);
    bool removed = base != nullptr && key != nullptr &&
                   base->SetString("Software\\MozillaPlugins\\") == 0 &&
                   base->AppendString(kMozillaPluginId) == 0;
    // Sub-keys before their parents, in the reverse of the order they were written.
    const char* const subKeys[] = {"\\Suffixes", "\\MimeTypes\\application/x-qx2011", "\\MimeTypes",
                                   ""};
    for (const char* subKey : subKeys) {
        removed = removed && key->SetString(base->GetString()) == 0 &&
                  key->AppendString(subKey) == 0 && DeleteOwnKey(key->GetString());
    }
    ReleaseElement(key);
    ReleaseElement(base);
    return removed ? 0 : kStepRegistryFailed;
}

std::int32_t RemoveLeftovers(InstallState* state) {
    ProductFile uninstaller(kUninstallerFileName);
    if (state == nullptr || uninstaller.target == nullptr) return kStepNoElement;
    if (!DeleteOwnKey(kUninstallKey)) return kStepRegistryFailed;

    std::int32_t result = uninstaller.Delete();
    const char* here = uninstaller.app->GetModuleFolder();
    if (result != 0 && !Platform::RunningProgramCanRemoveItself() &&
        !SameFolderText(here, uninstaller.app->GetLocalProductFolder())) {
        // The run that started this copy waits on it, so its file cannot be deleted yet; moved
        // beside this copy it no longer keeps the product folder, and goes with the temporary
        // folder.
        String* moved = CreateElementAs<String>(TypeString);
        if (moved != nullptr && here != nullptr && moved->SetString(here) == 0 &&
            moved->AppendString(kUninstallerFileName) == 0 &&
            moved->AppendString(kRemovedOriginalSuffix) == 0 &&
            uninstaller.files->Rename(uninstaller.target, moved->GetString()) == 0) {
            result = 0;
        }
        ReleaseElement(moved);
    }
    if (result != 0) return kStepStillThere;

    // The folder goes only when it is empty: a file the user put there keeps it, and is kept.
    const char* folder = uninstaller.app->GetLocalProductFolder();
    String* bare = CreateElementAs<String>(TypeString);
    if (bare == nullptr || folder == nullptr || bare->SetString(folder) != 0) {
        ReleaseElement(bare);
        return kStepNoElement;
    }
    const std::int32_t length = bare->GetLength();
    const char last = length > 0 ? bare->GetString()[length - 1] : '\0';
    if (last == '\\' || last == '/') bare->Shorten(length - 1);
    uninstaller.files->RemoveFolder(bare->GetString());
    if (uninstaller.files->FolderExists(folder) == 0) state->notice = kFolderKeptNotice;
    ReleaseElement(bare);
    return 0;
}

}  // namespace QRV2
