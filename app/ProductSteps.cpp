// What the installer's and the uninstaller's steps share.
#include "app/ProductSteps.h"

#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/SystemApp.h"
#include "platform/DynamicLibrary.h"

namespace QRV2 {

const char* const kPartialSuffix = ".partial";

ActionResult StepOutcome(StepResult result) {
    if (result == StepResult::Done) return ActionResult::Succeeded;
    // Only a library in use asks the user for something (closing the browser); every other
    // failure leaves the status text as it is while it gets its few attempts.
    return IsHeldLibrary(result) ? ActionResult::Held : ActionResult::FailedQuietly;
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

ProductFolderFile::ProductFolderFile(ProductFileKind kind)
    : file(ProductFileOf(kind)), app(Application()) {
    if (app == nullptr) return;
    m_path = Held<FilePath>(TypeFilePath);
    m_files = Held<FileFunc>(TypeFileFunc);
    // Without the product folder the bare name would name a file in the current folder.
    if (m_path && m_files && app->GetLocalProductFolder() != nullptr &&
        m_path->SetPath(app->GetLocalProductFolder()) == 0 &&
        m_path->SetFileName(file.installedName) == 0) {
        target = m_path->GetPath();
    }
}

StepResult ProductFolderFile::Delete() {
    if (target == nullptr) return StepResult::NoElement;
    Held<String> partial(TypeString);
    if (!partial) return StepResult::NoElement;
    if (partial->SetString(target) == 0 && partial->AppendString(kPartialSuffix) == 0 &&
        m_files->Exists(partial->GetString()) == 0) {
        m_files->Delete(partial->GetString());
    }
    if (m_files->Exists(target) != 0) return StepResult::Done;
    if (m_files->Delete(target) != 0) return StepResult::Held;
    return m_files->Exists(target) == 0 ? StepResult::StillThere : StepResult::Done;
}

StepResult CallControlEntry(const char* libraryPath, const char* entryName) {
    const bool comReady = Platform::InitializeCom();
    Platform::LibraryHandle library = Platform::LoadLibraryWithNeighbours(libraryPath, nullptr);
    StepResult result = StepResult::NotLoaded;
    if (library != nullptr) {
        using ServerEntry = std::int32_t (*)();  // HRESULT: S_OK (0) or a failure code
        auto entry = reinterpret_cast<ServerEntry>(Platform::FindExport(library, entryName));
        result =
            entry != nullptr && entry() == 0 ? StepResult::Done : StepResult::RegistrationFailed;
        Platform::FreeLibrary(library);
    }
    if (comReady) Platform::UninitializeCom();
    return result;
}

}  // namespace QRV2
