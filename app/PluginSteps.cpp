// Plug-in steps: replace a library in the local product folder from the payload, then register it.
#include "app/PluginSteps.h"

#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/FileFunc.h"
#include "framework/system/FilePath.h"
#include "framework/system/RegistryKey.h"
#include "framework/system/SystemApp.h"
#include "platform/DynamicLibrary.h"
#include "platform/ProgramFile.h"
#include "qrv2/Version.h"

namespace QRV2 {

const char* const kMozillaPluginId = "@orvane.com/Orvane2011";
const char* const kPartialSuffix = ".partial";
const char* const kUninstallerFileName = QRV2_UNINSTALLER_FILE;
const char* const kUninstallerEntryName = "Uninstall\\" QRV2_UNINSTALLER_FILE;
const char* const kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane2011";

namespace {

const char* const kProductName = QRV2_PRODUCT_NAME;
const char* const kVendor = QRV2_COMPANY_NAME;
const char* const kVersion = QRV2_VERSION_TEXT;  // the build's one version number

enum class StepKind { Mozilla, ActiveX, Uninstaller };

// The ActiveX control registers itself. The library is loaded by its full path only, so a
// library of the same name elsewhere can never stand in for it; its own imports are looked for
// beside it and in the system folder, nowhere else. A control that cannot register itself is
// not installed: a missing export or a failure code fails the step.
std::int32_t RegisterActiveXControl(const char* libraryPath) {
    const bool comReady = Platform::InitializeCom();
    Platform::LibraryHandle library = Platform::LoadLibraryWithNeighbours(libraryPath, nullptr);
    if (library == nullptr) {
        if (comReady) Platform::UninitializeCom();
        return kStepNotLoaded;
    }
    using RegisterServer = std::int32_t (*)();  // HRESULT: S_OK (0) or a failure code
    std::int32_t result = kStepRegistrationFailed;
    if (auto entry =
            reinterpret_cast<RegisterServer>(Platform::FindExport(library, "DllRegisterServer"))) {
        if (entry() == 0) result = 0;
    }
    Platform::FreeLibrary(library);
    if (comReady) Platform::UninitializeCom();
    return result;
}

// Writes the entry under the partial name and gives it the library's name only when it is
// complete; whatever fails on the way, the partial file is removed again.
std::int32_t WriteLibrary(FileFunc* files, Archive* archive, const char* target,
                          const char* entryName) {
    String* partial = CreateElementAs<String>(TypeString);
    if (partial == nullptr) return kStepNoElement;
    std::int32_t result = kStepNotWritten;
    if (partial->SetString(target) != 0 || partial->AppendString(kPartialSuffix) != 0) {
        result = kStepNoElement;
    } else if (files->CreateFolders(target) == 0) {
        const char* temporary = partial->GetString();
        if (files->Exists(temporary) == 0)
            files->Delete(temporary);  // left by a run that was killed
        if (archive->ExtractEntry(temporary, entryName) == 0 &&
            files->Rename(temporary, target) == 0) {
            result = 0;
        } else {
            files->Delete(temporary);
        }
    }
    ReleaseElement(partial);
    return result;
}

std::int32_t InstallLibrary(InstallState* state, StepKind kind) {
    const char* fileName = kind == StepKind::Mozilla   ? "npqx2011.dll"
                           : kind == StepKind::ActiveX ? "QX2011.dll"
                                                       : kUninstallerFileName;
    const char* entryName = kind == StepKind::Mozilla   ? "XPCOM\\npqx2011.dll"
                            : kind == StepKind::ActiveX ? "ActiveX\\QX2011.dll"
                                                        : kUninstallerEntryName;
    Core* core = GetCore();
    SystemApp* app =
        core == nullptr ? nullptr : static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
    if (app == nullptr || state == nullptr) return kStepNoElement;
    FilePath* path = CreateElementAs<FilePath>(TypeFilePath);
    if (path == nullptr) return kStepNoElement;
    FileFunc* files = CreateElementAs<FileFunc>(TypeFileFunc);
    if (files == nullptr) {
        ReleaseElement(path);
        return kStepNoElement;
    }

    std::int32_t result = kStepNotWritten;
    // A path that could not be composed whole must not be used: it might name another file
    // (without the folder, one in the current folder).
    const bool composed = app->GetLocalProductFolder() != nullptr &&
                          path->SetPath(app->GetLocalProductFolder()) == 0 &&
                          path->SetFileName(fileName) == 0;
    const char* target = path->GetPath();
    if (!composed || target == nullptr) {
        result = kStepNoElement;
    } else if (state->archive == nullptr) {
        result = kStepNotWritten;
    } else if (files->Exists(target) == 0 && files->Delete(target) != 0) {
        result = kStepHeld;  // held by a running browser
    } else if (files->Exists(target) == 0) {
        result = kStepStillThere;
    } else {
        result = WriteLibrary(files, state->archive, target, entryName);
        if (result == 0 && kind == StepKind::Mozilla) {
            result = RegisterMozillaPlugin(target);
        } else if (result == 0 && kind == StepKind::ActiveX) {
            result = RegisterActiveXControl(target);
        } else if (result == 0) {
            // The system's list of programs starts it by its path: it must be runnable there.
            result = Platform::MarkProgramRunnable(target) == Platform::Error::None
                         ? WriteUninstallEntry(app->GetLocalProductFolder(), target)
                         : kStepNotWritten;
        }
    }
    ReleaseElement(files);
    ReleaseElement(path);
    return result;
}

// Opens key path for writing, creating it (with missing parents) when it is not there yet.
bool OpenOrCreate(RegistryKey& key, const char* path) {
    if (key.Open(path) == 0) return true;
    key.Create(path);
    return key.Open(path) == 0;
}

bool WriteValue(RegistryKey& key, const char* name, const char* text) {
    RegistryValue value(name);
    value.Assign(text);
    return value.WriteTo(key) == 0;
}

}  // namespace

std::int32_t InstallMozillaPlugin(InstallState* state) {
    return InstallLibrary(state, StepKind::Mozilla);
}

std::int32_t InstallActiveXPlugin(InstallState* state) {
    return InstallLibrary(state, StepKind::ActiveX);
}

std::int32_t InstallUninstaller(InstallState* state) {
    return InstallLibrary(state, StepKind::Uninstaller);
}

std::int32_t WriteUninstallEntry(const char* productFolder, const char* uninstallerPath) {
    if (productFolder == nullptr || uninstallerPath == nullptr) return kStepRegistryFailed;
    String* command = CreateElementAs<String>(TypeString);
    // The path may hold spaces: quoted, it is one program name to whoever runs the entry.
    bool written = command != nullptr && command->SetString("\"") == 0 &&
                   command->AppendString(uninstallerPath) == 0 && command->AppendString("\"") == 0;
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));
    if (written && OpenOrCreate(key, kUninstallKey)) {
        written &= WriteValue(key, "^DisplayName", kProductName);
        written &= WriteValue(key, "^DisplayVersion", kVersion);
        written &= WriteValue(key, "^Publisher", kVendor);
        written &= WriteValue(key, "^InstallLocation", productFolder);
        written &= WriteValue(key, "^UninstallString", command->GetString());
    } else {
        written = false;
    }
    if (key.Close() != 0) written = false;
    ReleaseElement(command);
    // The list offers only removal: the installer has no modify or repair mode to start.
    Platform::RegKey handle = nullptr;
    if (written &&
        Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser), kUninstallKey,
                                  Platform::KeySetValue, &handle) == Platform::Error::None) {
        const std::uint32_t one = 1;
        written = Platform::RegistrySetValue(handle, "NoModify", Platform::RegDword, &one,
                                             sizeof one) == Platform::Error::None &&
                  Platform::RegistrySetValue(handle, "NoRepair", Platform::RegDword, &one,
                                             sizeof one) == Platform::Error::None;
        Platform::RegistryCloseKey(handle);
    } else {
        written = false;
    }
    return written ? 0 : kStepRegistryFailed;
}

std::int32_t RegisterMozillaPlugin(const char* libraryPath) {
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));

    // Every value is written even after one failed, so what can be registered is; but a plug-in
    // a browser cannot find is not installed, so any failure fails the step.
    String* base = CreateElementAs<String>(TypeString);
    String* path = CreateElementAs<String>(TypeString);
    bool written = base != nullptr && path != nullptr &&
                   base->SetString("Software\\MozillaPlugins\\") == 0 &&
                   base->AppendString(kMozillaPluginId) == 0;
    if (written) {
        written = OpenOrCreate(key, base->GetString());
        String* description = CreateElementAs<String>(TypeString);
        if (written && description != nullptr && description->SetString(kProductName) == 0 &&
            description->AppendString(" - ") == 0 && description->AppendString(kVersion) == 0) {
            written &= WriteValue(key, "^Description", description->GetString());
            written &= WriteValue(key, "^Path", libraryPath);
            written &= WriteValue(key, "^ProductName", kProductName);
            written &= WriteValue(key, "^Vendor", kVendor);
            written &= WriteValue(key, "^Version", kVersion);
        } else {
            written = false;
        }
        ReleaseElement(description);

        if (path->SetString(base->GetString()) == 0 &&
            path->AppendString("\\MimeTypes\\application/x-qx2011") == 0 &&
            OpenOrCreate(key, path->GetString())) {
            written &= WriteValue(key, "^Description", "Orvane Content File");
            written &= WriteValue(key, "^Suffixes", "qrv");
        } else {
            written = false;
        }
        if (path->SetString(base->GetString()) == 0 && path->AppendString("\\Suffixes") == 0 &&
            OpenOrCreate(key, path->GetString())) {
            written &= WriteValue(key, "^qrv", "");
        } else {
            written = false;
        }
    }
    ReleaseElement(path);
    ReleaseElement(base);
    if (key.Close() != 0) written = false;
    return written ? 0 : kStepRegistryFailed;
}

}  // namespace QRV2
