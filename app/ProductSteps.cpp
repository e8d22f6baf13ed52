// What the installer's and the uninstaller's steps share.
#include "app/ProductSteps.h"

#include "app/InstallState.h"
#include "app/RunLog.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/SystemApp.h"
#include "platform/DynamicLibrary.h"
#include "platform/File.h"
#include "platform/Registry.h"

namespace QRV2 {

const char* const kPayloadFileName = "pluginwin32.dat";
const char* const kPartialSuffix = ".partial";
const char* const kPreviousSuffix = ".previous";

StepResult HeldCheck(const char* path) {
    switch (Platform::FileHoldOf(path)) {
        case Platform::FileHold::Free:
        case Platform::FileHold::Missing: return StepResult::Done;
        case Platform::FileHold::InUse: return StepResult::Held;
        case Platform::FileHold::Blocked: break;
    }
    return StepResult::NotReplaceable;
}

bool DeleteProductKey(const char* path, RunLog& log) {
    const Platform::Error error =
        Platform::RegistryDeleteKey(Platform::RootKey(Platform::RegRoot::CurrentUser), path);
    const char* result = error == Platform::Error::None           ? "ok"
                         : error == Platform::Error::FileNotFound ? "gone"
                         : error == Platform::Error::AccessDenied ? "kept"
                                                                  : nullptr;
    if (result == nullptr) {
        log.Error("registry-key-deleted",
                  {{"key", path}, {"result", "failed"}, {"error", Platform::ToInt(error)}});
        return false;
    }
    log.Info("registry-key-deleted", {{"key", path}, {"result", result}});
    return true;
}

ActionResult StepOutcome(StepResult result) {
    if (result == StepResult::Done) return ActionResult::Succeeded;
    // Only a library in use asks the user for something (closing the browser); every other
    // failure leaves the status text as it is while it gets its few attempts.
    return IsHeldLibrary(result) ? ActionResult::Held : ActionResult::FailedQuietly;
}

const char* StepResultWord(StepResult result) {
    switch (result) {
        case StepResult::Done: return "ok";
        case StepResult::Held: return "held";
        case StepResult::NoElement: return "no-storage";
        case StepResult::NotWritten: return "not-written";
        case StepResult::RegistryFailed: return "registry-failed";
        case StepResult::NotLoaded: return "not-loaded";
        case StepResult::RegistrationFailed: return "registration-failed";
        case StepResult::StillThere: return "still-there";
        case StepResult::NotReplaceable: return "not-replaceable";
    }
    return "failed";
}

ActionResult RecordOutcome(InstallState* state, ProductFileKind file, StepResult result) {
    if (state != nullptr && result != StepResult::Done) {
        state->failureReason = StepResultWord(result);
        state->failureFile = ProductFileOf(file).installedName;
    }
    return StepOutcome(result);
}

SystemApp* Application() {
    Core* core = GetCore();
    return core == nullptr ? nullptr : static_cast<SystemApp*>(core->GetSingleton(TypeSystemApp));
}

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

bool FolderOf(ProductFileKind kind, FilePlace place, String* folder) {
    SystemApp* app = Application();
    const char* product = app == nullptr ? nullptr : app->GetLocalProductFolder();
    if (folder == nullptr || product == nullptr || product[0] == '\0' ||
        folder->SetString(product) != 0) {
        return false;
    }
    if (kind != ProductFileKind::Uninstaller || place == FilePlace::ProductFolder) return true;
    // The product folder's own name and separator go; what is left ends in a separator.
    std::int32_t length = folder->GetLength() - 1;
    while (length > 0 && folder->GetString()[length - 1] != '\\' &&
           folder->GetString()[length - 1] != '/') {
        --length;
    }
    return length > 0 && folder->Shorten(length) == 0;
}

ProductFolderFile::ProductFolderFile(ProductFileKind kind, RunLog& log, FilePlace place)
    : file(ProductFileOf(kind)), app(Application()), log(log) {
    if (app == nullptr) return;
    m_folder = Held<String>(TypeString);
    m_path = Held<FilePath>(TypeFilePath);
    m_files = Held<FileFunc>(TypeFileFunc);
    // Without the product folder the bare name would name a file in the current folder.
    if (m_folder && m_path && m_files && FolderOf(kind, place, m_folder.Get()) &&
        m_path->SetPath(m_folder->GetString()) == 0 &&
        m_path->SetFileName(file.installedName) == 0) {
        folder = m_folder->GetString();
        target = m_path->GetPath();
    }
}

StepResult ProductFolderFile::Delete() {
    if (target == nullptr) return StepResult::NoElement;
    for (const char* suffix : {kPartialSuffix, kPreviousSuffix}) {
        Held<String> copy(TypeString);
        if (!copy) return StepResult::NoElement;
        if (copy->SetString(target) == 0 && copy->AppendString(suffix) == 0 &&
            m_files->Exists(copy->GetString()) == 0) {
            const bool removed = m_files->Delete(copy->GetString()) == 0;
            log.Write(removed ? LogLevel::Info : LogLevel::Warn, "file-removed",
                      {{"path", copy->GetString()}, {"result", removed ? "ok" : "failed"}});
        }
    }
    if (m_files->Exists(target) != 0) return StepResult::Done;
    StepResult result = StepResult::Done;
    if (m_files->Delete(target) == 0) {
        if (m_files->Exists(target) == 0) result = StepResult::StillThere;
    } else {
        // Only a library in use is worth the wait; a folder of its name never goes by itself.
        result = HeldCheck(target);
        if (result == StepResult::Done) result = StepResult::NotReplaceable;
    }
    log.Write(result == StepResult::Done ? LogLevel::Info : LogLevel::Warn, "file-removed",
              {{"path", target}, {"result", StepResultWord(result)}});
    return result;
}

void ProductFolderFile::LogWritten(StepResult result) {
    if (result != StepResult::Done) {
        log.Error("file-written", {{"path", target}, {"result", StepResultWord(result)}});
        return;
    }
    const std::int64_t size = FileSize(target);
    log.Info("file-written", {{"path", target}, {"size", size}, {"result", "ok"}});
}

StepResult CallControlEntry(const char* libraryPath, const char* entryName, RunLog& log) {
    const bool comReady = Platform::InitializeCom();
    Platform::LibraryHandle library = Platform::LoadLibraryWithNeighbours(libraryPath, nullptr);
    StepResult result = StepResult::NotLoaded;
    if (library == nullptr) {
        log.Error("control",
                  {{"entry", entryName}, {"path", libraryPath}, {"result", "not-loaded"}});
    } else {
        using ServerEntry = std::int32_t (*)();  // HRESULT: S_OK (0) or a failure code
        auto entry = reinterpret_cast<ServerEntry>(Platform::FindExport(library, entryName));
        if (entry == nullptr) {
            result = StepResult::RegistrationFailed;
            log.Error("control",
                      {{"entry", entryName}, {"path", libraryPath}, {"result", "no-entry"}});
        } else {
            const std::int32_t hresult = entry();
            result = hresult == 0 ? StepResult::Done : StepResult::RegistrationFailed;
            log.Write(hresult == 0 ? LogLevel::Info : LogLevel::Error, "control",
                      {{"entry", entryName},
                       {"path", libraryPath},
                       LogField::Hex("hresult", static_cast<std::uint32_t>(hresult))});
        }
        Platform::FreeLibrary(library);
    }
    if (comReady) Platform::UninitializeCom();
    return result;
}

std::int64_t FileSize(const char* path) {
    Platform::FileHandle file = Platform::NullFile;
    if (path == nullptr ||
        Platform::FileOpen(path, Platform::FileAccess::Read, Platform::FileShare::Read,
                           Platform::FileDisposition::OpenExisting, Platform::FileHint::Normal,
                           &file) != Platform::Error::None) {
        return -1;
    }
    std::uint32_t size = 0;
    const bool known = Platform::FileGetSize(file, &size) == Platform::Error::None;
    Platform::FileClose(file);
    return known ? std::int64_t{size} : -1;
}

}  // namespace QRV2
