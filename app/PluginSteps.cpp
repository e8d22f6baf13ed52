// Plug-in steps: replace a file in the local product folder from the payload, then register it.
#include "app/PluginSteps.h"

#include <cstdio>

#include "app/RunLog.h"
#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/RegistryKey.h"
#include "framework/system/SystemApp.h"
#include "platform/Clock.h"
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
        case ProductFileKind::MozillaPlugin:
            return RegisterMozillaPlugin(installed.target, installed.log);
        // A control that cannot register itself is not installed: a missing export or a
        // failure code fails the step.
        case ProductFileKind::ActiveXControl:
            return CallControlEntry(installed.target, "DllRegisterServer", installed.log);
        case ProductFileKind::Uninstaller:
            // The system's list of programs starts it by its path: it must be runnable there.
            if (Platform::MarkProgramRunnable(installed.target) != Platform::Error::None) {
                return StepResult::NotWritten;
            }
            return WriteUninstallEntry(installed.app->GetLocalProductFolder(), installed.target,
                                       installed.log);
    }
    return StepResult::NoElement;
}

StepResult InstallFile(InstallState* state, ProductFileKind kind) {
    if (state == nullptr) return StepResult::NoElement;
    ProductFolderFile installed(kind, LogOf(state));
    if (installed.target == nullptr) return StepResult::NoElement;
    if (state->archive == nullptr) return StepResult::NotWritten;
    // An old copy that cannot go is held by a running browser: nothing is written then.
    StepResult result = installed.Delete();
    if (result == StepResult::Done) {
        result = WriteFromPayload(installed.Files(), state->archive, installed.target,
                                  installed.file.payloadEntry);
        installed.LogWritten(result);
    }
    return result == StepResult::Done ? Register(installed) : result;
}

// Opens key path (below HKEY_CURRENT_USER) for writing, creating it (with missing parents) when
// it is not there yet.
bool OpenOrCreate(RegistryKey& key, const char* path, RunLog& log) {
    if (key.Open(path) == 0) return true;
    key.Create(path);
    const bool opened = key.Open(path) == 0;
    log.Write(opened ? LogLevel::Info : LogLevel::Error, "registry-key",
              {{"key", path}, {"result", opened ? "created" : "failed"}});
    return opened;
}

// name is in the registry classes' form: a leading "^" names a string value.
bool WriteValue(RegistryKey& key, const char* path, const char* name, const char* text,
                RunLog& log) {
    RegistryValue value(name);
    value.Assign(text);
    const bool written = value.WriteTo(key) == 0;
    log.Write(written ? LogLevel::Info : LogLevel::Error, "registry-value",
              {{"key", path},
               {"name", name[0] == '^' ? name + 1 : name},
               {"type", "REG_SZ"},
               {"data", text},
               {"result", written ? "ok" : "failed"}});
    return written;
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

StepResult WriteUninstallEntry(const char* productFolder, const char* uninstallerPath,
                               RunLog& log) {
    if (productFolder == nullptr || uninstallerPath == nullptr) return StepResult::RegistryFailed;
    Held<String> command(TypeString);
    Held<String> quietCommand(TypeString);
    Held<String> icon(TypeString);
    // The path may hold spaces: quoted, it is one program name to whoever runs the entry.
    bool written =
        command && command->SetString("\"") == 0 && command->AppendString(uninstallerPath) == 0 &&
        command->AppendString("\"") == 0 && quietCommand &&
        quietCommand->SetString(command->GetString()) == 0 &&
        quietCommand->AppendString(" ") == 0 && quietCommand->AppendString(kQuietSwitch) == 0 &&
        icon && icon->SetString(uninstallerPath) == 0 && icon->AppendString(",0") == 0;
    // The day the list of programs shows the product as installed: the user's calendar date.
    Platform::UtcTime today{};
    Platform::GetLocalCalendarTime(&today);
    char date[16];
    std::snprintf(date, sizeof date, "%04u%02u%02u", unsigned{today.year} % 10000u,
                  unsigned{today.month} % 100u, unsigned{today.day} % 100u);
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));
    if (written && OpenOrCreate(key, kUninstallKey, log)) {
        const RegistryText values[] = {
            {"^DisplayName", QRV2_PRODUCT_NAME},
            {"^DisplayVersion", QRV2_VERSION_TEXT},
            {"^Publisher", QRV2_COMPANY_NAME},
            {"^InstallLocation", productFolder},
            {"^UninstallString", command->GetString()},
            {"^QuietUninstallString", quietCommand->GetString()},
            {"^DisplayIcon", icon->GetString()},
            {"^InstallDate", date},
        };
        for (const RegistryText& value : values) {
            written &= WriteValue(key, kUninstallKey, value.name, value.text, log);
        }
    } else {
        written = false;
    }
    if (key.Close() != 0) written = false;
    // The list offers only removal (the installer has no modify or repair mode to start), and
    // shows the room the installed files take, in KiB rounded up.
    std::int64_t bytes = 0;
    for (const ProductFile& file : kProductFiles) {
        Held<String> path(TypeString);
        if (path && path->SetString(productFolder) == 0 &&
            path->AppendString(file.installedName) == 0) {
            const std::int64_t size = FileSize(path->GetString());
            if (size > 0) bytes += size;
        }
    }
    const struct {
        const char* name;
        std::uint32_t data;
    } dwords[] = {
        {"NoModify", 1},
        {"NoRepair", 1},
        {"EstimatedSize", static_cast<std::uint32_t>((bytes + 1023) / 1024)},
    };
    Platform::RegKey handle = nullptr;
    if (written &&
        Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser), kUninstallKey,
                                  Platform::KeySetValue, &handle) == Platform::Error::None) {
        for (const auto& value : dwords) {
            const bool set =
                Platform::RegistrySetValue(handle, value.name, Platform::RegDword, &value.data,
                                           sizeof value.data) == Platform::Error::None;
            log.Write(set ? LogLevel::Info : LogLevel::Error, "registry-value",
                      {{"key", kUninstallKey},
                       {"name", value.name},
                       {"type", "REG_DWORD"},
                       {"data", std::int64_t{value.data}},
                       {"result", set ? "ok" : "failed"}});
            written &= set;
        }
        Platform::RegistryCloseKey(handle);
    } else {
        written = false;
    }
    return written ? StepResult::Done : StepResult::RegistryFailed;
}

StepResult RegisterMozillaPlugin(const char* libraryPath, RunLog& log) {
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));
    // Every value is written even after one failed, so what can be registered is; but a plug-in
    // a browser cannot find is not installed, so any failure fails the step.
    bool written = true;
    for (const RegistryKeySpec& spec : kMozillaPluginKeys) {
        if (spec.valueCount == 0) continue;  // a parent only: its sub-key makes it
        if (!OpenOrCreate(key, spec.path, log)) {
            written = false;
            continue;
        }
        for (std::size_t i = 0; i < spec.valueCount; ++i) {
            const RegistryText& value = spec.values[i];
            written &= WriteValue(key, spec.path, value.name,
                                  value.text != nullptr ? value.text : libraryPath, log);
        }
    }
    if (key.Close() != 0) written = false;
    return written ? StepResult::Done : StepResult::RegistryFailed;
}

}  // namespace QRV2
