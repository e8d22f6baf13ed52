// Removal of the private temporary folders that earlier runs of the product left behind.
#include "app/LeftoverRunFolders.h"

#include "app/ProductSteps.h"
#include "app/RemovalSteps.h"
#include "app/RunLog.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/system/FileFunc.h"
#include "framework/system/SystemApp.h"
#include "platform/Directory.h"

namespace QRV2 {

namespace {

// A String holding folder followed by name (and suffix, when given); empty when none can be had.
Held<String> Joined(const char* folder, const char* name, const char* suffix = nullptr) {
    Held<String> text(TypeString);
    if (text && (text->SetString(folder) != 0 || text->AppendString(name) != 0 ||
                 (suffix != nullptr && text->AppendString(suffix) != 0))) {
        text.Reset();
    }
    return text;
}

bool IsOneOf(const char* name, const char* const* names, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (SameFolderText(name, names[i])) return true;
    }
    return false;
}

// True when the folder is empty, or holds nothing but files named in names: a run killed before
// it wrote anything leaves an empty one. A folder that cannot be read is never taken for empty.
bool HoldsOnly(const char* folder, const char* const* names, std::size_t count) {
    Held<String> pattern = Joined(folder, "*");
    if (!pattern) return false;
    Platform::DirectoryEntry entry;
    Platform::Error error = Platform::Error::None;
    Platform::DirectoryHandle search =
        Platform::DirectoryFindFirst(pattern->GetString(), &entry, &error);
    if (search == nullptr) return error == Platform::Error::FileNotFound;
    bool only = true;
    for (bool more = true; more; more = Platform::DirectoryFindNext(search, &entry, nullptr)) {
        only = only && !entry.isFolder && IsOneOf(entry.name, names, count);
    }
    Platform::DirectoryFindClose(search);
    return only;
}

}  // namespace

void RemoveLeftoverRunFolders(const char* ownFolder, const char* const* names, std::size_t count,
                              FileFunc* files, RunLog& log) {
    Held<String> parent = Joined(ownFolder, "");
    if (!parent) return;
    // The system's temporary path: the private folder without its own name.
    std::int32_t length = parent->GetLength() - 1;
    while (length > 0 && parent->GetString()[length - 1] != '\\') --length;
    Held<String> pattern;
    if (length > 0 && parent->Shorten(length) == 0) pattern = Joined(parent->GetString(), "QRV*");
    Platform::DirectoryEntry entry;
    Platform::DirectoryHandle search =
        pattern ? Platform::DirectoryFindFirst(pattern->GetString(), &entry, nullptr) : nullptr;
    for (bool more = search != nullptr; more;
         more = Platform::DirectoryFindNext(search, &entry, nullptr)) {
        if (!entry.isFolder) continue;
        Held<String> folder = Joined(parent->GetString(), entry.name, "\\");
        if (!folder || SameFolderText(folder->GetString(), ownFolder) ||
            !HoldsOnly(folder->GetString(), names, count)) {
            continue;
        }
        for (std::size_t i = 0; i < count; ++i) {
            Held<String> file = Joined(folder->GetString(), names[i]);
            if (file) files->Delete(file->GetString());
        }
        if (folder->Shorten(folder->GetLength() - 1) == 0) {
            const bool removed = files->RemoveFolder(folder->GetString()) == 0;
            log.Write(removed ? LogLevel::Info : LogLevel::Warn, "leftover-removed",
                      {{"path", folder->GetString()}, {"result", removed ? "ok" : "failed"}});
        }
    }
    Platform::DirectoryFindClose(search);
}

void RemoveProductRunLeftovers(RunLog& log) {
    SystemApp* app = Application();
    const char* folder = app == nullptr ? nullptr : app->GetTempFolder();
    Held<FileFunc> files(TypeFileFunc);
    Held<String> started = Joined("", ProductFileOf(ProductFileKind::Uninstaller).installedName,
                                  kRemovedOriginalSuffix);
    Held<String> outcome =
        Joined("", ProductFileOf(ProductFileKind::Uninstaller).installedName, kCopyOutcomeSuffix);
    if (folder == nullptr || folder[0] == '\0' || !files || !started || !outcome) return;
    const char* const names[] = {kPayloadFileName,
                                 ProductFileOf(ProductFileKind::Uninstaller).installedName,
                                 started->GetString(), outcome->GetString()};
    RemoveLeftoverRunFolders(folder, names, sizeof names / sizeof names[0], files.Get(), log);
}

}  // namespace QRV2
