// Removal of the private temporary folders that earlier runs of the product left behind.
#include "app/LeftoverRunFolders.h"

#include "app/RemovalSteps.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/FileFunc.h"
#include "platform/Directory.h"

namespace QRV2 {

namespace {

// A String holding folder followed by name (and suffix, when given); null when none can be had.
String* Joined(const char* folder, const char* name, const char* suffix = nullptr) {
    String* text = CreateElementAs<String>(TypeString);
    if (text != nullptr && (text->SetString(folder) != 0 || text->AppendString(name) != 0 ||
                            (suffix != nullptr && text->AppendString(suffix) != 0))) {
        ReleaseElement(text);
    }
    return text;
}

bool IsOneOf(const char* name, const char* const* names, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (SameFolderText(name, names[i])) return true;
    }
    return false;
}

// True when the folder holds files, and nothing but files named in names.
bool HoldsOnly(const char* folder, const char* const* names, std::size_t count) {
    String* pattern = Joined(folder, "*");
    if (pattern == nullptr) return false;
    Platform::DirectoryEntry entry;
    Platform::DirectoryHandle search =
        Platform::DirectoryFindFirst(pattern->GetString(), &entry, nullptr);
    ReleaseElement(pattern);
    bool only = search != nullptr;
    for (bool more = only; more; more = Platform::DirectoryFindNext(search, &entry, nullptr)) {
        only = only && !entry.isFolder && IsOneOf(entry.name, names, count);
    }
    Platform::DirectoryFindClose(search);
    return only;
}

}  // namespace

void RemoveLeftoverRunFolders(const char* ownFolder, const char* const* names, std::size_t count,
                              FileFunc* files) {
    String* parent = Joined(ownFolder, "");
    if (parent == nullptr) return;
    // The system's temporary path: the private folder without its own name.
    std::int32_t length = parent->GetLength() - 1;
    while (length > 0 && parent->GetString()[length - 1] != '\\') --length;
    String* pattern = nullptr;
    if (length > 0 && parent->Shorten(length) == 0) pattern = Joined(parent->GetString(), "QRV*");
    Platform::DirectoryEntry entry;
    Platform::DirectoryHandle search =
        pattern == nullptr ? nullptr
                           : Platform::DirectoryFindFirst(pattern->GetString(), &entry, nullptr);
    for (bool more = search != nullptr; more;
         more = Platform::DirectoryFindNext(search, &entry, nullptr)) {
        String* folder = entry.isFolder ? Joined(parent->GetString(), entry.name, "\\") : nullptr;
        if (folder != nullptr && !SameFolderText(folder->GetString(), ownFolder) &&
            HoldsOnly(folder->GetString(), names, count)) {
            for (std::size_t i = 0; i < count; ++i) {
                String* file = Joined(folder->GetString(), names[i]);
                if (file != nullptr) files->Delete(file->GetString());
                ReleaseElement(file);
            }
            if (folder->Shorten(folder->GetLength() - 1) == 0) {
                files->RemoveFolder(folder->GetString());
            }
        }
        ReleaseElement(folder);
    }
    Platform::DirectoryFindClose(search);
    ReleaseElement(pattern);
    ReleaseElement(parent);
}

}  // namespace QRV2
