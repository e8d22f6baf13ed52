// Plug-in steps: replace a library in the local product folder from the payload, then register it.
#include "app/PluginSteps.h"

#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/io/Archive.h"
#include "framework/system/FileFunc.h"
#include "framework/system/FilePath.h"
#include "framework/system/RegistryKey.h"
#include "framework/system/SystemApp.h"
#include "platform/DynamicLibrary.h"

namespace QRV2 {

const char* const kMozillaPluginId = "@orvane.com/Orvane2011";

namespace {

const char* const kProductName = "Orvane2011";
const char* const kVendor = "Orvane";
const char* const kVersion = "1.0.1.8";

enum class StepKind { Mozilla, ActiveX };

// The ActiveX control registers itself; the library is loaded by its full path only, so a
// library of the same name elsewhere on the search path can never stand in for it.
std::int32_t RegisterActiveXControl(const char* libraryPath) {
    const bool comReady = Platform::InitializeCom();
    Platform::LibraryHandle library = Platform::LoadLibraryFromPath(libraryPath, nullptr);
    if (library == nullptr) {
        if (comReady) Platform::UninitializeCom();
        return 1;
    }
    using RegisterServer = long (*)();
    if (auto entry = reinterpret_cast<RegisterServer>(Platform::FindExport(library, "DllRegisterServer"))) {
        entry();  // its own result is the control's business; a missing export is no failure
    }
    Platform::FreeLibrary(library);
    if (comReady) Platform::UninitializeCom();
    return 0;
}

std::int32_t InstallLibrary(InstallState* state, StepKind kind) {
    const char* fileName = kind == StepKind::Mozilla ? "npqx2011.dll" : "QX2011.dll";
    const char* entryName = kind == StepKind::Mozilla ? "XPCOM\\npqx2011.dll" : "ActiveX\\QX2011.dll";
    Core* core = GetCore();
    SystemApp* app = core == nullptr ? nullptr : static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
    if (app == nullptr || state == nullptr) return 1;
    FilePath* path = CreateElementAs<FilePath>(TypeFilePath);
    if (path == nullptr) return 2;
    FileFunc* files = CreateElementAs<FileFunc>(TypeFileFunc);
    if (files == nullptr) {
        ReleaseElement(path);
        return 2;
    }

    std::int32_t result = 1;
    // A path that could not be composed whole must not be used: it might name another file.
    const bool composed = path->SetPath(app->GetLocalProductFolder()) == 0 &&
                          path->SetFileName(fileName) == 0;
    const char* target = path->GetPath();
    if (!composed || target == nullptr) {
        result = 2;
    } else if (state->archive == nullptr) {
        result = 1;
    } else if (files->Exists(target) == 0 && files->Delete(target) != 0) {
        result = 1;  // held by a running browser
    } else if (files->Exists(target) == 0) {
        result = 13;
    } else {
        files->CreateFolders(target);
        result = state->archive->ExtractEntry(target, entryName);
        if (result == 0) {
            result = kind == StepKind::Mozilla ? RegisterMozillaPlugin(target)
                                               : RegisterActiveXControl(target);
        } else {
            // A partly written library must not be left for a browser to load; the next
            // attempt would delete it anyway.
            files->Delete(target);
            result = 1;
        }
    }
    ReleaseElement(files);
    ReleaseElement(path);
    return result;
}

// Opens key path for writing, creating it (with missing parents) when it is not there yet.
void OpenOrCreate(RegistryKey& key, const char* path) {
    if (key.Open(path) != 0) {
        key.Create(path);
        key.Open(path);
    }
}

void WriteValue(RegistryKey& key, const char* name, const char* text) {
    RegistryValue value(name);
    value.Assign(text);
    value.WriteTo(key);
}

}  // namespace

std::int32_t InstallMozillaPlugin(InstallState* state) { return InstallLibrary(state, StepKind::Mozilla); }

std::int32_t InstallActiveXPlugin(InstallState* state) { return InstallLibrary(state, StepKind::ActiveX); }

std::int32_t RegisterMozillaPlugin(const char* libraryPath) {
    RegistryKey key;
    key.SetRoot(Platform::RootKey(Platform::RegRoot::CurrentUser));

    String* base = CreateElementAs<String>(TypeString);
    String* path = CreateElementAs<String>(TypeString);
    const bool named = base != nullptr && path != nullptr &&
                       base->SetString("Software\\MozillaPlugins\\") == 0 &&
                       base->AppendString(kMozillaPluginId) == 0;
    if (named) {
        OpenOrCreate(key, base->GetString());
        String* description = CreateElementAs<String>(TypeString);
        if (description != nullptr && description->SetString(kProductName) == 0 &&
            description->AppendString(" - ") == 0 && description->AppendString(kVersion) == 0) {
            WriteValue(key, "^Description", description->GetString());
            WriteValue(key, "^Path", libraryPath);
            WriteValue(key, "^ProductName", kProductName);
            WriteValue(key, "^Vendor", kVendor);
            WriteValue(key, "^Version", kVersion);
        }
        ReleaseElement(description);

        if (path->SetString(base->GetString()) == 0 &&
            path->AppendString("\\MimeTypes\\application/x-qx2011") == 0) {
            OpenOrCreate(key, path->GetString());
            WriteValue(key, "^Description", "Orvane Content File");
            WriteValue(key, "^Suffixes", "qrv");
        }
        if (path->SetString(base->GetString()) == 0 && path->AppendString("\\Suffixes") == 0) {
            OpenOrCreate(key, path->GetString());
            WriteValue(key, "^qrv", "");
        }
    }
    ReleaseElement(path);
    ReleaseElement(base);
    key.Close();
    return 0;
}

}  // namespace QRV2
