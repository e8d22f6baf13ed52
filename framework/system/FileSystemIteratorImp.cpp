// FileSystemIteratorImp: configuration, the recursive folder listing, filters and collecting.
#include "framework/system/FileSystemIteratorImp.h"

#include "framework/containers/ElementContainer.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/String.h"
#include "framework/containers/StringUtil.h"
#include "platform/Directory.h"

namespace QRV2 {

namespace {

// A new String holding a + b + c (b and c may be null); null when storage cannot be obtained.
String* Joined(const char* a, const char* b, const char* c = nullptr) {
    String* text = CreateElementAs<String>(TypeString);
    if (text == nullptr) return nullptr;
    if (text->SetString(a) != 0 || (b != nullptr && text->AppendString(b) != 0) ||
        (c != nullptr && text->AppendString(c) != 0)) {
        ReleaseElement(text);
        return nullptr;
    }
    return text;
}

// Sets, or with null drops, an optional text field held in a String.
std::int32_t SetOptionalText(String*& field, const char* text) {
    if (text == nullptr) {
        ReleaseElement(field);
        return 0;
    }
    if (field == nullptr) {
        field = CreateElementAs<String>(TypeString);
        if (field == nullptr) return 1;
        field->AddReference();
    }
    return field->SetString(text) != 0 ? 1 : 0;
}

}  // namespace

std::int32_t FileSystemIteratorImp::Initialize() {
    m_util = CreateElementAs<StringUtil>(TypeStringUtil);
    if (m_util == nullptr) return 1;
    m_util->AddReference();
    return 0;
}

std::int32_t FileSystemIteratorImp::Dispose() {
    ReleaseElement(m_root);
    ReleaseElement(m_suffix);
    ReleaseElement(m_util);
    ReleaseElement(m_results);
    delete this;
    return 0;
}

const char* FileSystemIteratorImp::GetRootFolder() {
    return m_root != nullptr ? m_root->GetString() : nullptr;
}

std::int32_t FileSystemIteratorImp::SetRootFolder(const char* folder) {
    return SetOptionalText(m_root, folder);
}

std::int32_t FileSystemIteratorImp::SetMaxDepth(std::int32_t depth) {
    m_maxDepth = depth;
    return 0;
}

std::int32_t FileSystemIteratorImp::SetLevelFilter(std::int32_t level) {
    m_levelFilter = level;
    return 0;
}

std::int32_t FileSystemIteratorImp::SetFileCallback(FileSystemCallback callback) {
    m_fileCallback = callback;
    return 0;
}

std::int32_t FileSystemIteratorImp::SetFolderCallback(FileSystemCallback callback) {
    m_folderCallback = callback;
    return 0;
}

const char* FileSystemIteratorImp::GetSuffixFilter() {
    return m_suffix != nullptr ? m_suffix->GetString() : nullptr;
}

std::int32_t FileSystemIteratorImp::SetSuffixFilter(const char* suffix) {
    return SetOptionalText(m_suffix, suffix);
}

std::int32_t FileSystemIteratorImp::Walk(std::int32_t userValue) {
    ReleaseElement(m_results);
    if (m_collect != 0) {
        m_results = CreateElementAs<ElementContainer>(TypeElementContainer);
        // Walking on without the results asked for would report a walk nobody can read.
        if (m_results == nullptr) return 1;
        m_results->AddReference();
    }
    const char* rootText = GetRootFolder();
    if (rootText == nullptr) return 1;
    std::int32_t depth = m_maxDepth;
    // The walk works on its own copies: a callback may change the root folder meanwhile.
    String* root = Joined(rootText, nullptr);
    if (root == nullptr) return 1;
    // A root without its trailing separator ("D:\dir") searches "D:\dir*.*", so its entries
    // are those of the folder that holds it ("D:\"): their paths are built from that folder,
    // so that they name the real files.
    std::int32_t folderLength = 0;
    for (std::int32_t i = 0; rootText[i] != '\0'; ++i) {
        if (rootText[i] == '\\' || rootText[i] == '/' || (i == 1 && rootText[i] == ':')) {
            folderLength = i + 1;
        }
    }
    String* folder = Joined(rootText, nullptr);
    if (folder == nullptr || folder->Shorten(folderLength) != 0) {
        ReleaseElement(folder);
        ReleaseElement(root);
        return 1;
    }
    m_walkRootLength = folderLength;
    std::int32_t result = ListFolder(folder->GetString(), root->GetString(), &depth, userValue);
    ReleaseElement(folder);
    ReleaseElement(root);
    return result;
}

std::int32_t FileSystemIteratorImp::ListFolder(const char* folder, const char* searchStem,
                                               std::int32_t* depth, std::int32_t userValue) {
    String* pattern = Joined(searchStem, "*.*");
    if (pattern == nullptr) return 1;
    Platform::DirectoryEntry entry;
    Platform::Error error = Platform::Error::None;
    Platform::DirectoryHandle search =
        Platform::DirectoryFindFirst(pattern->GetString(), &entry, &error);
    ReleaseElement(pattern);
    // A folder that is missing, empty or unreadable lists nothing; only lack of memory fails.
    if (search == nullptr) return error == Platform::Error::NotEnoughMemory ? 1 : 0;

    std::int32_t remembered = 0;
    bool more = true;
    while (more) {
        // The platform never delivers "." and "..".
        if ((entry.isHidden ? 1 : 0) == (m_hiddenSelector != 0 ? 1 : 0)) {
            Handled handled = Continue;
            if (entry.isFolder) {
                if (*depth > 0) {
                    String* sub = Joined(folder, entry.name, "\\");
                    if (sub == nullptr) {
                        remembered = 1;
                    } else {
                        --*depth;
                        std::int32_t nested =
                            ListFolder(sub->GetString(), sub->GetString(), depth, userValue);
                        ++*depth;
                        ReleaseElement(sub);
                        if (nested == 1) {
                            Platform::DirectoryFindClose(search);
                            return 1;
                        }
                    }
                }
                if (m_levelFilter == -1 || m_levelFilter == *depth) {
                    handled = HandleEntry(true, folder, entry.name, userValue);
                }
            } else {
                handled = HandleEntry(false, folder, entry.name, userValue);
            }
            if (handled == OutOfStorage) {
                remembered = 1;
                break;
            }
            if (handled == StopRequested) break;  // ends this folder only
        }
        more = Platform::DirectoryFindNext(search, &entry, &error);
    }
    Platform::DirectoryFindClose(search);
    return remembered;
}

bool FileSystemIteratorImp::PassesSuffixFilter(const char* name) {
    if (m_suffix == nullptr) return true;
    const char* suffix = m_suffix->GetString();
    std::int32_t suffixLength = m_util->Length(suffix);
    std::int32_t nameLength = m_util->Length(name);
    if (suffix == nullptr || suffixLength == 0 || suffixLength > nameLength) return false;
    return m_util->CompareNoCase(name + (nameLength - suffixLength), suffix) == 0;
}

FileSystemIteratorImp::Handled FileSystemIteratorImp::HandleEntry(bool isFolder, const char* folder,
                                                                  const char* name,
                                                                  std::int32_t userValue) {
    if (isFolder && m_reportFolders == 0) return Continue;
    if (!isFolder && (m_reportFiles == 0 || !PassesSuffixFilter(name))) return Continue;
    String* full = Joined(folder, name, isFolder ? "\\" : nullptr);
    if (full == nullptr) return OutOfStorage;
    if (m_collect != 0 && m_results != nullptr && !Collect(full->GetString())) {
        ReleaseElement(full);
        return OutOfStorage;
    }
    FileSystemCallback callback = isFolder ? m_folderCallback : m_fileCallback;
    std::int32_t result = callback != nullptr ? callback(full->GetString(), userValue) : 0;
    ReleaseElement(full);
    return result != 0 ? StopRequested : Continue;
}

bool FileSystemIteratorImp::Collect(const char* fullPath) {
    std::int32_t length = m_util->Length(fullPath);
    const char* relative = length > m_walkRootLength ? fullPath + m_walkRootLength : fullPath;
    String* path = Joined(relative, nullptr);
    if (path == nullptr) return false;
    // Held while it is handed over, so that it ends the same way whether or not Append
    // referenced it before failing; afterwards the container's reference is the only one.
    path->AddReference();
    Iterator* it = m_results->GetIterator(ElementContainer::IteratorChange, nullptr);
    bool added = it != nullptr && it->Append(path) == 0;
    m_results->ReturnIterator(&it);
    ReleaseElement(path);
    return added;
}

Iterator* FileSystemIteratorImp::GetResults(Element* filter) {
    if (m_results == nullptr) {
        ReleaseElement(filter);
        return nullptr;
    }
    return filter == nullptr ? m_results->GetIterator(ElementContainer::IteratorChange, nullptr)
                             : m_results->GetIterator(ElementContainer::IteratorRead, filter);
}

void FileSystemIteratorImp::ReleaseResults(Iterator** variable) {
    if (variable == nullptr) return;
    if (m_results == nullptr) {
        *variable = nullptr;
        return;
    }
    m_results->ReturnIterator(variable);
}

}  // namespace QRV2
