// Plug-in steps: replace a file in the local product folder from the payload, then register it.
#include "app/PluginSteps.h"

#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/RegistryKey.h"
#include "framework/system/SystemApp.h"
#include "platform/ProgramFile.h"
#include "qrv2/Version.h"

namespace QRV2 {

namespace {

// Writes the entry under the partial name and gives it the file's name only when it is
// complete; whatever fails on the way, the partial file is removed again.
StepResult WriteFromPayload(FileFunc* files, Archive* archive, const char* target,
                            const char* entryName) {
    Held<String> partial(TypeString);
    if (!partial || partial->SetString(target) != 0 || partial->AppendString(kPartialSuffix) != 0) {
        return StepResult::NoElement;
    }
    if (files->CreateFolders(target) != 0) return StepResult::NotWritten;
    const char* temporary = partial->GetString();
    if (archive->ExtractEntry(temporary, entryName) == 0 && files->Rename(temporary, target) == 0) {
        return StepResult::Done;
    }
    files->Delete(temporary);
    return StepResult::NotWritten;
}

// What makes a written file part of the installation: its registration.
StepResult Register(const ProductFolderFile& installed) {
    switch (installed.file.kind) {
        case ProductFileKind::MozillaPlugin: return RegisterMozillaPlugin(installed.target);
        // A control that cannot register itself is not installed: a missing export or a
        // failure code fails the step.
        case ProductFileKind::ActiveXControl:
            return CallControlEntry(installed.target, "DllRegisterServer");
        case ProductFileKind::Uninstaller:
            // The system's list of programs starts it by its path: it must be runnable there.
            if (Platform::MarkProgramRunnable(installed.target) != Platform::Error::None) {
                return StepResult::NotWritten;
            }
            return WriteUninstallEntry(installed.app->GetLocalProductFolder(), installed.target);
    }
    return StepResult::NoElement;
}

StepResult InstallFile(InstallState* state, ProductFileKind kind) {
    if (state == nullptr) return StepResult::NoElement;
    ProductFolderFile installed(kind);
    if (installed.target == nullptr) return StepResult::NoElement;
    if (state->archive == nullptr) return StepResult::NotWritten;
    // An old copy that cannot go is held by a running browser: nothing is written then.
    StepResult result = installed.Delete();
    if (result == StepResult::Done) {
        result = WriteFromPayload(installed.Files(), state->archive, installed.target,
                                  installed.file.payloadEntry);
    }
    return result == StepResult::Done ? Register(installed) : result;
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

StepResult InstallMozillaPlugin(InstallState* state) {
    return InstallFile(state, ProductFileKind::MozillaPlugin);
}

StepResult InstallActiveXPlugin(InstallState* state) {
    return InstallFile(state, ProductFileKind::ActiveXControl);
}

StepResult InstallUninstaller(InstallState* state) {
    return InstallFile(state, ProductFileKind::Uninstaller);
}

StepResult WriteUninstallEntry(const char* productFolder, const char* uninstallerPath) {
    if (productFolder == nullptr || uninstallerPath == nullptr) return StepResult::RegistryFailed;
    Held<String> command(TypeString);
    // The path may hold spaces: quoted, it is one program name to whoever runs the entry.
    bool written = command && command->SetString("\"") == 0 &&
                   command->AppendString(uninstallerPath) == 0 && command->AppendString("\"") == 0;
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));
    if (written && OpenOrCreate(key, kUninstallKey)) {
        written &= WriteValue(key, "^DisplayName", QRV2_PRODUCT_NAME);
        written &= WriteValue(key, "^DisplayVersion", QRV2_VERSION_TEXT);
        written &= WriteValue(key, "^Publisher", QRV2_COMPANY_NAME);
        written &= WriteValue(key, "^InstallLocation", productFolder);
        written &= WriteValue(key, "^UninstallString", command->GetString());
    } else {
        written = false;
    }
    if (key.Close() != 0) written = false;
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
    return written ? StepResult::Done : StepResult::RegistryFailed;
}

StepResult RegisterMozillaPlugin(const char* libraryPath) {
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));
    // Every value is written even after one failed, so what can be registered is; but a plug-in
    // a browser cannot find is not installed, so any failure fails the step.
    bool written = true;
    for (const RegistryKeySpec& spec : kMozillaPluginKeys) {
        if (spec.valueCount == 0) continue;  // a parent only: its sub-key makes it
        if (!OpenOrCreate(key, spec.path)) {
            written = false;
            continue;
        }
        for (std::size_t i = 0; i < spec.valueCount; ++i) {
            const RegistryText& value = spec.values[i];
            written &=
                WriteValue(key, value.name, value.text != nullptr ? value.text : libraryPath);
        }
    }
    if (key.Close() != 0) written = false;
    return written ? StepResult::Done : StepResult::RegistryFailed;
}

}  // namespace QRV2
