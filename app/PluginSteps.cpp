// Plug-in steps: replace a file in the local product folder from the payload, then register it.
#include "app/PluginSteps.h"

#include <cstdio>

#include "app/RunJournal.h"
#include "app/RunLog.h"
#include "framework/archive/Archive.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/RegistryKey.h"
#include "framework/system/SystemApp.h"
#include "platform/Clock.h"
#include "platform/ProgramFile.h"
#include "platform/Registry.h"

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

// True when the control's registration names the library at path: it was registered before
// this run replaced it, and is registered again if the run is undone.
bool ControlRegisteredAt(const char* path) {
    Platform::RegKey key = nullptr;
    if (Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser),
                                  kControlServerKey, Platform::KeyQueryValue,
                                  &key) != Platform::Error::None) {
        return false;
    }
    char server[1024];
    std::uint32_t size = sizeof server - 1;
    std::uint32_t type = Platform::RegNone;
    const bool read =
        Platform::RegistryQueryValue(key, nullptr, &type, server, &size) == Platform::Error::None;
    Platform::RegistryCloseKey(key);
    if (!read || (type != Platform::RegSz && type != Platform::RegExpandSz)) return false;
    server[size] = '\0';
    return SameFolderText(server, path);
}

// A failure to move, replace or delete path: a library in use is held; anything else that keeps
// it in place is not, even where the check finds nothing in the way any more.
StepResult WhyNotReplaced(const char* path) {
    const StepResult result = HeldCheck(path);
    return result == StepResult::Done ? StepResult::NotReplaceable : result;
}

// Deletes a file that is in the way, logged.
StepResult RemoveInTheWay(FileFunc* files, const char* path, RunLog& log) {
    const bool removed = files->Delete(path) == 0;
    log.Write(removed ? LogLevel::Info : LogLevel::Warn, "file-removed",
              {{"path", path}, {"result", removed ? "ok" : "failed"}});
    return removed ? StepResult::Done : WhyNotReplaced(path);
}

// Clears the target's name for the new file: nothing to do where nothing is there, a file this
// run wrote in an earlier attempt is deleted, an older one is moved aside (noted first) to the
// previous name, after a leftover of that name is deleted. Nothing is touched while the target
// is held.
StepResult MakeRoom(ProductFolderFile& installed, RunJournal* journal) {
    const char* target = installed.target;
    FileFunc* files = installed.Files();
    StepResult result = HeldCheck(target);
    if (result != StepResult::Done) {
        installed.log.Warn("file-removed", {{"path", target}, {"result", StepResultWord(result)}});
        return result;
    }
    if (files->Exists(target) != 0) return StepResult::Done;
    if (journal != nullptr && journal->Wrote(target)) {
        return RemoveInTheWay(files, target, installed.log);
    }
    Held<String> previous(TypeString);
    if (!previous || previous->SetString(target) != 0 ||
        previous->AppendString(kPreviousSuffix) != 0) {
        return StepResult::NoElement;
    }
    const char* aside = previous->GetString();
    // What a killed run left under the previous name is older than the target, which is whole.
    if (files->Exists(aside) == 0) {
        result = RemoveInTheWay(files, aside, installed.log);
        if (result != StepResult::Done) return result;
    }
    const bool registered =
        installed.file.kind == ProductFileKind::ActiveXControl && ControlRegisteredAt(target);
    if (journal != nullptr && !journal->NoteMovedAside(target, aside, registered)) {
        return StepResult::NoElement;
    }
    const bool moved = files->Rename(target, aside) == 0;
    installed.log.Write(moved ? LogLevel::Info : LogLevel::Warn, "file-moved",
                        {{"path", target}, {"to", aside}, {"result", moved ? "ok" : "failed"}});
    if (moved) return StepResult::Done;
    if (journal != nullptr) journal->ForgetNewest();
    return WhyNotReplaced(target);
}

// What makes a written file part of the installation: its registration.
StepResult Register(const ProductFolderFile& installed, RunJournal* journal) {
    switch (installed.file.kind) {
        case ProductFileKind::MozillaPlugin:
            return RegisterMozillaPlugin(installed.target, installed.log, journal);
        // A control that cannot register itself is not installed: a missing export or a
        // failure code fails the step. Whatever it got to write, its own unregistration
        // removes when the run is undone.
        case ProductFileKind::ActiveXControl:
            if (journal != nullptr && !journal->NoteControlRegistration(installed.target)) {
                return StepResult::NoElement;
            }
            return CallControlEntry(installed.target, "DllRegisterServer", installed.log);
        case ProductFileKind::Uninstaller:
            // The system's list of programs starts it by its path: it must be runnable there.
            if (Platform::MarkProgramRunnable(installed.target) != Platform::Error::None) {
                return StepResult::NotWritten;
            }
            return WriteUninstallEntry(installed.app->GetLocalProductFolder(), installed.target,
                                       installed.log, journal);
    }
    return StepResult::NoElement;
}

StepResult InstallFile(InstallState* state, ProductFileKind kind) {
    if (state == nullptr) return StepResult::NoElement;
    ProductFolderFile installed(kind, LogOf(state));
    if (installed.target == nullptr) return StepResult::NoElement;
    if (state->archive == nullptr) return StepResult::NotWritten;
    RunJournal* journal = state->journal;
    StepResult result = MakeRoom(installed, journal);
    if (result != StepResult::Done) return result;
    // The folder this run makes goes again when the run is undone (if empty by then).
    const char* folder = installed.folder;
    if (journal != nullptr && installed.Files()->FolderExists(folder) != 0 &&
        !journal->NoteFolderCreated(folder)) {
        return StepResult::NoElement;
    }
    if (journal != nullptr && !journal->NoteWritten(installed.target)) return StepResult::NoElement;
    result = WriteFromPayload(installed.Files(), state->archive, installed.target,
                              installed.file.payloadEntry);
    installed.LogWritten(result);
    return result == StepResult::Done ? Register(installed, journal) : result;
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

// Notes the keys along path and the value name (plain or in the classes' "^" form) before they
// are written; false (logged) when the journal cannot keep them, and nothing may be written.
bool NoteRegistryChange(RunJournal* journal, const char* path, const char* name, RunLog& log) {
    if (journal == nullptr) return true;
    if (name != nullptr && name[0] == '^') ++name;
    const bool noted =
        name == nullptr ? journal->NoteKeyPath(path) : journal->NoteValue(path, name);
    if (!noted) {
        log.Error("change-not-noted", {{"key", path}, {"name", name != nullptr ? name : ""}});
    }
    return noted;
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

StepResult WriteUninstallEntry(const char* productFolder, const char* uninstallerPath, RunLog& log,
                               RunJournal* journal) {
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
    if (written && NoteRegistryChange(journal, kUninstallKey, nullptr, log) &&
        OpenOrCreate(key, kUninstallKey, log)) {
        const RegistryText values[] = {
            {"^DisplayName", kProductName},
            {"^DisplayVersion", kProductVersionText},
            {"^Publisher", kCompanyName},
            {"^InstallLocation", productFolder},
            {"^UninstallString", command->GetString()},
            {"^QuietUninstallString", quietCommand->GetString()},
            {"^DisplayIcon", icon->GetString()},
            {"^InstallDate", date},
        };
        for (const RegistryText& value : values) {
            if (!NoteRegistryChange(journal, kUninstallKey, value.name, log)) {
                written = false;
                break;
            }
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
        if (file.kind == ProductFileKind::Uninstaller) {
            const std::int64_t size = FileSize(uninstallerPath);
            if (size > 0) bytes += size;
        } else if (path && path->SetString(productFolder) == 0 &&
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
            if (!NoteRegistryChange(journal, kUninstallKey, value.name, log)) {
                written = false;
                break;
            }
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

StepResult RegisterMozillaPlugin(const char* libraryPath, RunLog& log, RunJournal* journal) {
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));
    // Every value is written even after one failed, so what can be registered is; but a plug-in
    // a browser cannot find is not installed, so any failure fails the step. A change that
    // cannot be noted ends the step at once: it could not be undone.
    bool written = true;
    bool noted = true;
    for (const RegistryKeySpec& wanted : kMozillaPluginKeys) {
        if (wanted.valueCount == 0) continue;  // a parent only: its sub-key makes it
        noted = NoteRegistryChange(journal, wanted.path, nullptr, log);
        if (!noted) break;
        if (!OpenOrCreate(key, wanted.path, log)) {
            written = false;
            continue;
        }
        for (std::size_t i = 0; i < wanted.valueCount && noted; ++i) {
            const RegistryText& value = wanted.values[i];
            noted = NoteRegistryChange(journal, wanted.path, value.name, log);
            if (noted) {
                written &= WriteValue(key, wanted.path, value.name,
                                      value.text != nullptr ? value.text : libraryPath, log);
            }
        }
        if (!noted) break;
    }
    written &= noted;
    if (key.Close() != 0) written = false;
    return written ? StepResult::Done : StepResult::RegistryFailed;
}

}  // namespace QRV2
