// RunJournal: the changes of an installer run, noted before they are made, undone in reverse.
#include "app/RunJournal.h"

#include <cstring>

#include "app/ProductSteps.h"
#include "app/RunLog.h"
#include "framework/core/Allocator.h"
#include "platform/File.h"
#include "platform/Registry.h"

namespace QRV2 {

namespace {

enum NoteKind {
    kFolderCreated,
    kMovedAside,
    kWritten,
    kKeyCreated,
    kValue,
    kControlRegistration,
};

// Registry names compare as the registry compares them: ASCII letter case ignored.
bool SameName(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b;
    auto fold = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (fold(*a) != fold(*b)) return false;
    }
    return *a == *b;
}

const char* TypeName(std::uint32_t type) {
    switch (type) {
        case Platform::RegSz: return "REG_SZ";
        case Platform::RegExpandSz: return "REG_EXPAND_SZ";
        case Platform::RegBinary: return "REG_BINARY";
        case Platform::RegDword: return "REG_DWORD";
        case Platform::RegMultiSz: return "REG_MULTI_SZ";
        default: return "REG_NONE";
    }
}

Platform::RegKey CurrentUser() { return Platform::RootKey(Platform::RegRoot::CurrentUser); }

}  // namespace

struct RunJournal::Note {
    Note* older;
    int kind;
    bool flag;  // moved aside: register again once back; value: it was there
    std::uint32_t type;
    std::uint32_t size;
    char* first;   // the path or key
    char* second;  // the moved file's other name, the written file's partial name, the value name
    unsigned char* data;
};

RunJournal::Note* RunJournal::Add(int kind, const char* first, const char* second, const void* data,
                                  std::uint32_t size) {
    const std::size_t firstLength = std::strlen(first) + 1;
    const std::size_t secondLength = second != nullptr ? std::strlen(second) + 1 : 0;
    // One block for the note, its texts and its bytes: one allocation to fail, one to free.
    void* block = Allocate(sizeof(Note) + firstLength + secondLength + size);
    if (block == nullptr) return nullptr;
    auto* note = static_cast<Note*>(block);
    char* text = static_cast<char*>(block) + sizeof(Note);
    note->older = m_newest;
    note->kind = kind;
    note->flag = false;
    note->type = Platform::RegNone;
    note->size = size;
    note->first = text;
    std::memcpy(note->first, first, firstLength);
    note->second = second != nullptr ? text + firstLength : nullptr;
    if (second != nullptr) std::memcpy(note->second, second, secondLength);
    note->data = reinterpret_cast<unsigned char*>(text + firstLength + secondLength);
    if (data != nullptr && size > 0) std::memcpy(note->data, data, size);
    m_newest = note;
    ++m_count;
    return note;
}

void RunJournal::ForgetNewest() {
    Note* note = m_newest;
    if (note == nullptr) return;
    m_newest = note->older;
    --m_count;
    Free(note);
}

void RunJournal::Forget() {
    while (m_newest != nullptr) ForgetNewest();
}

bool RunJournal::NoteFolderCreated(const char* folder) {
    if (folder == nullptr) return true;
    Note* note = Add(kFolderCreated, folder, nullptr, nullptr, 0);
    if (note == nullptr) return false;
    // The folder is removed by its name without the closing separator.
    const std::size_t length = std::strlen(note->first);
    if (length > 1 && (note->first[length - 1] == '\\' || note->first[length - 1] == '/')) {
        note->first[length - 1] = '\0';
    }
    return true;
}

bool RunJournal::NoteMovedAside(const char* target, const char* previous, bool reregister) {
    Note* note = Add(kMovedAside, target, previous, nullptr, 0);
    if (note == nullptr) return false;
    note->flag = reregister;
    return true;
}

bool RunJournal::Wrote(const char* path) const {
    for (const Note* note = m_newest; note != nullptr; note = note->older) {
        if (note->kind == kWritten && SameFolderText(note->first, path)) return true;
    }
    return false;
}

bool RunJournal::NoteWritten(const char* path) {
    if (Wrote(path)) return true;
    const std::size_t length = std::strlen(path);
    const std::size_t suffix = std::strlen(kPartialSuffix);
    // The partial name goes into the note's bytes, so undoing needs no storage of its own.
    Note* note =
        Add(kWritten, path, nullptr, nullptr, static_cast<std::uint32_t>(length + suffix + 1));
    if (note == nullptr) return false;
    note->second = reinterpret_cast<char*>(note->data);
    std::memcpy(note->second, path, length);
    std::memcpy(note->second + length, kPartialSuffix, suffix + 1);
    return true;
}

bool RunJournal::NoteKeyPath(const char* keyPath) {
    const std::size_t length = std::strlen(keyPath);
    char* prefix = static_cast<char*>(Allocate(length + 1));
    if (prefix == nullptr) return false;
    bool noted = true;
    bool missing = false;  // below a missing key every key is missing too
    for (std::size_t end = 1; end <= length && noted; ++end) {
        if (end < length && keyPath[end] != '\\') continue;
        std::memcpy(prefix, keyPath, end);
        prefix[end] = '\0';
        bool created = false;
        for (const Note* note = m_newest; note != nullptr && !created; note = note->older) {
            created = note->kind == kKeyCreated && SameName(note->first, prefix);
        }
        if (created) continue;
        if (!missing) {
            Platform::RegKey key = nullptr;
            const Platform::Error error =
                Platform::RegistryOpenKey(CurrentUser(), prefix, Platform::KeyQueryValue, &key);
            if (error == Platform::Error::None) {
                Platform::RegistryCloseKey(key);
                continue;
            }
            // A key that cannot be looked at cannot be told new or old: it is left alone.
            if (error != Platform::Error::FileNotFound) noted = false;
            missing = error == Platform::Error::FileNotFound;
        }
        if (missing) noted = Add(kKeyCreated, prefix, nullptr, nullptr, 0) != nullptr;
    }
    Free(prefix);
    return noted;
}

bool RunJournal::NoteValue(const char* keyPath, const char* name) {
    for (const Note* note = m_newest; note != nullptr; note = note->older) {
        if (note->kind == kKeyCreated && SameName(note->first, keyPath)) return true;
        if (note->kind == kValue && SameName(note->first, keyPath) &&
            SameName(note->second, name)) {
            return true;
        }
    }
    Platform::RegKey key = nullptr;
    Platform::Error error =
        Platform::RegistryOpenKey(CurrentUser(), keyPath, Platform::KeyQueryValue, &key);
    std::uint32_t type = Platform::RegNone;
    std::uint32_t size = 0;
    if (error == Platform::Error::None) {
        error = Platform::RegistryQueryValue(key, name, &type, nullptr, &size);
    }
    bool noted = false;
    if (error == Platform::Error::FileNotFound) {
        noted = Add(kValue, keyPath, name, nullptr, 0) != nullptr;  // not there: deleted again
    } else if (error == Platform::Error::None) {
        Note* note = Add(kValue, keyPath, name, nullptr, size);
        std::uint32_t read = size;
        if (note != nullptr &&
            Platform::RegistryQueryValue(key, name, &note->type, note->data, &read) ==
                Platform::Error::None &&
            read == size) {
            note->flag = true;
            noted = true;
        } else if (note != nullptr) {
            ForgetNewest();  // changed under our feet: it cannot be put back as it was
        }
    }
    if (key != nullptr) Platform::RegistryCloseKey(key);
    return noted;
}

bool RunJournal::NoteControlRegistration(const char* path) {
    for (const Note* note = m_newest; note != nullptr; note = note->older) {
        if (note->kind == kControlRegistration && SameFolderText(note->first, path)) return true;
    }
    return Add(kControlRegistration, path, nullptr, nullptr, 0) != nullptr;
}

namespace {

// Deletes a file the run wrote, where there is one.
bool RemoveWritten(const char* path, RunLog& log) {
    if (Platform::FileHoldOf(path) == Platform::FileHold::Missing) return true;
    const bool removed = Platform::FileDelete(path) == Platform::Error::None;
    log.Write(removed ? LogLevel::Info : LogLevel::Error, "file-removed",
              {{"path", path}, {"result", removed ? "ok" : "failed"}});
    return removed;
}

bool RestoreValue(const char* keyPath, const char* name, bool existed, std::uint32_t type,
                  const unsigned char* data, std::uint32_t size, RunLog& log) {
    Platform::RegKey key = nullptr;
    Platform::Error error =
        Platform::RegistryOpenKey(CurrentUser(), keyPath, Platform::KeySetValue, &key);
    if (error == Platform::Error::None) {
        error = existed ? Platform::RegistrySetValue(key, name, type, data, size)
                        : Platform::RegistryDeleteValue(key, name);
        Platform::RegistryCloseKey(key);
    }
    // A value that should not be there and is not (its key gone too) is as it was.
    const bool ok =
        error == Platform::Error::None || (!existed && error == Platform::Error::FileNotFound);
    if (existed) {
        log.Write(ok ? LogLevel::Info : LogLevel::Error, "registry-value-restored",
                  {{"key", keyPath},
                   {"name", name},
                   {"type", TypeName(type)},
                   {"size", std::int64_t{size}},
                   {"result", ok ? "ok" : "failed"}});
    } else {
        log.Write(ok ? LogLevel::Info : LogLevel::Error, "registry-value-deleted",
                  {{"key", keyPath}, {"name", name}, {"result", ok ? "ok" : "failed"}});
    }
    if (!ok) {
        log.Error("rollback-step-failed",
                  {{"key", keyPath}, {"name", name}, {"error", Platform::ToInt(error)}});
    }
    return ok;
}

bool RemoveCreatedFolder(const char* folder, RunLog& log) {
    const Platform::Error error = Platform::FolderRemove(folder);
    // Something of someone else's in it keeps it: that is theirs now.
    const char* result =
        error == Platform::Error::None          ? "ok"
        : error == Platform::Error::DirNotEmpty ? "kept"
        : error == Platform::Error::FileNotFound || error == Platform::Error::PathNotFound
            ? "gone"
            : nullptr;
    log.Write(result != nullptr ? LogLevel::Info : LogLevel::Error, "folder-removed",
              {{"path", folder}, {"result", result != nullptr ? result : "failed"}});
    return result != nullptr;
}

}  // namespace

bool RunJournal::Undo(RunLog& log) {
    if (m_newest == nullptr) return true;
    log.Warn("rollback", {{"changes", std::int64_t{m_count}}});
    bool complete = true;
    for (Note* note = m_newest; note != nullptr; note = note->older) {
        bool ok = true;
        switch (note->kind) {
            case kControlRegistration:
                ok = CallControlEntry(note->first, "DllUnregisterServer", log) == StepResult::Done;
                break;
            case kWritten:
                ok = RemoveWritten(note->second, log);
                ok = RemoveWritten(note->first, log) && ok;
                break;
            case kMovedAside: {
                const bool moved =
                    Platform::FileMove(note->second, note->first) == Platform::Error::None;
                log.Write(moved ? LogLevel::Info : LogLevel::Error, "file-moved",
                          {{"path", note->second},
                           {"to", note->first},
                           {"result", moved ? "ok" : "failed"}});
                ok = moved;
                if (moved && note->flag) {
                    ok =
                        CallControlEntry(note->first, "DllRegisterServer", log) == StepResult::Done;
                }
                break;
            }
            case kValue:
                ok = RestoreValue(note->first, note->second, note->flag, note->type, note->data,
                                  note->size, log);
                break;
            case kKeyCreated: ok = DeleteProductKey(note->first, log); break;
            case kFolderCreated: ok = RemoveCreatedFolder(note->first, log); break;
        }
        complete &= ok;
    }
    log.Write(complete ? LogLevel::Info : LogLevel::Error, "rollback-ended",
              {{"result", complete ? "ok" : "incomplete"}});
    Forget();
    return complete;
}

void RunJournal::Complete(RunLog& log) {
    for (const Note* note = m_newest; note != nullptr; note = note->older) {
        if (note->kind != kMovedAside) continue;
        const bool removed = Platform::FileDelete(note->second) == Platform::Error::None;
        log.Write(removed ? LogLevel::Info : LogLevel::Warn, "file-removed",
                  {{"path", note->second}, {"result", removed ? "ok" : "failed"}});
    }
    Forget();
}

}  // namespace QRV2
