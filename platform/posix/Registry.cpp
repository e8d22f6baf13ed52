// POSIX registry: the key and value operations over the text stores and the handle table.
#include "platform/Registry.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/RegistryFile.h"
#include "platform/posix/RegistryHandles.h"
#include "platform/posix/RegistryStore.h"

namespace Platform {

namespace {

using RegStore::Key;
using RegStore::Target;
using RegStore::Tree;
using RegStore::Value;

constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kWriteBits = KeySetValue | KeyCreateSubKey | kDelete | 0x40000 | 0x80000;

// The key a target names in the loaded tree, or null when it was deleted meanwhile.
Key* Find(Tree* tree, const Target& t) {
    Key* key = tree->Root(t.rootName, false);
    for (const std::string& part : t.path) {
        if (key == nullptr) return nullptr;
        key = key->FindSubKey(part);
    }
    if (key == nullptr && t.path.empty()) key = tree->Root(t.rootName, true);
    return key;
}

// One operation's view of a store: the resolved target, the store held for the whole
// operation and the key the target names in its tree.
struct Session {
    Target t;
    RegStore::StoreSession store;
    Key* key = nullptr;

    // Holds the store (exclusive to replace it) and finds the target's key; KeyDeleted when
    // the key went away since its handle was opened.
    Error Begin(bool exclusive) {
        Error e = store.Open(t.store, exclusive);
        if (e != Error::None) return e;
        key = Find(store.LoadedTree(), t);
        if (key != nullptr) return Error::None;
        if (t.handle != nullptr) RegStore::MarkDeleted(t.handle);  // also if the name comes back
        return Error::KeyDeleted;
    }
};

// Resolves a handle that must hold the right to query values and loads its store shared.
Error OpenForRead(RegKey key, Session* s) {
    Error e = RegStore::Resolve(key, &s->t);
    if (e != Error::None) return e;
    if ((s->t.access & KeyQueryValue) == 0) return Error::AccessDenied;
    return s->Begin(false);
}

// Resolves a handle that must hold every right in `need` on a store this process may
// write, and loads the store under the exclusive lock.
Error OpenForWrite(RegKey key, std::uint32_t need, Session* s) {
    Error e = RegStore::Resolve(key, &s->t);
    if (e != Error::None) return e;
    if ((s->t.access & need) != need || !RegStore::MayWrite(s->t.store)) {
        return Error::AccessDenied;
    }
    return s->Begin(true);
}

// The rights a new handle gets; AccessDenied when it asks to write where it may not.
Error GrantAccess(const RegStore::StoreFile& store, std::uint32_t requested,
                  std::uint32_t* granted) {
    requested &= ~(KeyWow64View64 | 0x0200u);  // both registry views are the same store
    if (requested & KeyMaximumAllowed) {
        *granted = RegStore::MayWrite(store) ? KeyAllAccess : KeyRead;
        return Error::None;
    }
    if ((requested & kWriteBits) != 0 && !RegStore::MayWrite(store)) return Error::AccessDenied;
    *granted = requested;
    return Error::None;
}

// Walks parts below key; spelled receives the stored spelling of each part.
Key* Walk(Key* key, const std::vector<std::string>& parts, std::vector<std::string>* spelled) {
    for (const std::string& part : parts) {
        key = key->FindSubKey(part);
        if (key == nullptr) return nullptr;
        if (spelled != nullptr) spelled->push_back(key->Name());
    }
    return key;
}

void SetValueIn(Key* key, const std::string& name, std::uint32_t type, const char* data,
                std::uint32_t size) {
    Value* v = key->FindValue(name);
    if (v == nullptr) v = key->AddValue(name);
    v->type = type;
    v->data.assign(data, size);
}

}  // namespace

Error RegistryOpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out) {
    if (out == nullptr) return Error::InvalidParameter;
    *out = nullptr;
    Session s;
    Error e = RegStore::Resolve(parent, &s.t);
    if (e != Error::None) return e;
    std::vector<std::string> parts;
    if (!RegStore::SplitKeyPath(subKey, &parts))
        return Error::FileNotFound;  // such a name never exists
    std::uint32_t granted = 0;
    e = GrantAccess(s.t.store, access, &granted);
    if (e != Error::None) return e;
    e = s.Begin(false);
    if (e != Error::None) return e;
    std::vector<std::string> path = s.t.path;
    if (Walk(s.key, parts, &path) == nullptr) return Error::FileNotFound;
    return RegStore::OpenHandle(s.t.root, path, granted, out);
}

Error RegistryCreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out,
                        bool* created) {
    if (out == nullptr) return Error::InvalidParameter;
    *out = nullptr;
    if (created != nullptr) *created = false;
    Session s;
    Error e = RegStore::Resolve(parent, &s.t);
    if (e != Error::None) return e;
    std::vector<std::string> parts;
    if (!RegStore::SplitKeyPath(subKey, &parts)) return Error::InvalidParameter;
    std::uint32_t granted = 0;
    e = GrantAccess(s.t.store, access, &granted);
    if (e != Error::None) return e;
    bool mayCreate = (s.t.access & KeyCreateSubKey) != 0 && RegStore::MayWrite(s.t.store);
    e = s.Begin(mayCreate);
    if (e != Error::None) return e;
    Key* key = s.key;
    std::vector<std::string> path = s.t.path;
    bool added = false;
    if (path.size() + parts.size() > RegStore::kMaxKeyDepth) return Error::InvalidParameter;
    for (const std::string& part : parts) {
        Key* sub = key->FindSubKey(part);
        if (sub == nullptr) {
            if (!mayCreate) return Error::AccessDenied;
            sub = key->AddSubKey(part);
            added = true;
        }
        path.push_back(sub->Name());
        key = sub;
    }
    if (added) {
        e = s.store.Commit();
        if (e != Error::None) return e;
    }
    if (created != nullptr) *created = added;
    return RegStore::OpenHandle(s.t.root, path, granted, out);
}

Error RegistryCloseKey(RegKey key) {
    if (IsRootKey(key, nullptr)) return Error::None;
    return RegStore::CloseHandle(key) ? Error::None : Error::InvalidHandle;
}

Error RegistryQueryValue(RegKey key, const char* name, std::uint32_t* type, void* data,
                         std::uint32_t* size) {
    if (data != nullptr && size == nullptr) return Error::InvalidParameter;
    Session s;
    Error e = OpenForRead(key, &s);
    if (e != Error::None) return e;
    Value* v = s.key->FindValue(name != nullptr ? name : "");
    if (v == nullptr) return Error::FileNotFound;
    if (type != nullptr) *type = v->type;
    auto length = static_cast<std::uint32_t>(v->data.size());
    if (data != nullptr) {
        if (*size < length) {
            *size = length;
            return Error::MoreData;
        }
        std::memcpy(data, v->data.data(), length);
    }
    if (size != nullptr) *size = length;
    return Error::None;
}

Error RegistrySetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                       std::uint32_t size) {
    if (data == nullptr && size > 0) return Error::InvalidParameter;
    std::string valueName = name != nullptr ? name : "";
    if (!RegStore::ValidName(valueName, RegStore::kMaxValueNameLength)) {
        return Error::InvalidParameter;
    }
    Session s;
    Error e = OpenForWrite(key, KeySetValue, &s);
    if (e != Error::None) return e;
    SetValueIn(s.key, valueName, type, static_cast<const char*>(data), size);
    return s.store.Commit();
}

Error RegistrySetDefaultValue(RegKey key, const char* subKey, const char* text) {
    if (text == nullptr) return Error::InvalidParameter;
    auto size = static_cast<std::uint32_t>(std::strlen(text) + 1);
    std::vector<std::string> parts;
    if (!RegStore::SplitKeyPath(subKey, &parts)) return Error::InvalidParameter;
    // Setting the key's own default needs the right to set values; a subkey's is reached
    // through subkeys, which the loop below may need to create.
    Session s;
    Error e = OpenForWrite(key, parts.empty() ? KeySetValue : 0u, &s);
    if (e != Error::None) return e;
    Key* k = s.key;
    if (s.t.path.size() + parts.size() > RegStore::kMaxKeyDepth) return Error::InvalidParameter;
    for (const std::string& part : parts) {
        Key* sub = k->FindSubKey(part);
        if (sub == nullptr) {
            if ((s.t.access & KeyCreateSubKey) == 0) return Error::AccessDenied;
            sub = k->AddSubKey(part);
        }
        k = sub;
    }
    SetValueIn(k, "", RegSz, text, size);
    return s.store.Commit();
}

Error RegistryDeleteValue(RegKey key, const char* name) {
    Session s;
    Error e = OpenForWrite(key, KeySetValue, &s);
    if (e != Error::None) return e;
    if (!s.key->RemoveValue(name != nullptr ? name : "")) return Error::FileNotFound;
    return s.store.Commit();
}

Error RegistryEnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, void* data, std::uint32_t* dataSize) {
    if (name == nullptr || nameSize == nullptr) return Error::InvalidParameter;
    if (data != nullptr && dataSize == nullptr) return Error::InvalidParameter;
    Session s;
    Error e = OpenForRead(key, &s);
    if (e != Error::None) return e;
    const std::vector<Value>& all = s.key->Values();
    if (index >= all.size()) return Error::NoMoreItems;
    const Value& v = all[index];
    auto nameLength = static_cast<std::uint32_t>(v.name.size());
    auto dataLength = static_cast<std::uint32_t>(v.data.size());
    if (*nameSize <= nameLength) return Error::MoreData;
    std::memcpy(name, v.name.c_str(), nameLength + 1);
    *nameSize = nameLength;
    if (type != nullptr) *type = v.type;
    if (data != nullptr) {
        if (*dataSize < dataLength) {
            *dataSize = dataLength;
            return Error::MoreData;
        }
        std::memcpy(data, v.data.data(), dataLength);
    }
    if (dataSize != nullptr) *dataSize = dataLength;
    return Error::None;
}

Error RegistryQueryInfo(RegKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength,
                        std::uint32_t* values, std::uint32_t* maxValueNameLength,
                        std::uint32_t* maxValueDataLength) {
    Session s;
    Error e = OpenForRead(key, &s);
    if (e != Error::None) return e;
    const Key* k = s.key;
    std::size_t maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& sub : k->SubKeys()) maxSub = std::max(maxSub, sub->Name().size());
    for (const Value& v : k->Values()) {
        maxName = std::max(maxName, v.name.size());
        maxData = std::max(maxData, v.data.size());
    }
    if (subKeys != nullptr) *subKeys = static_cast<std::uint32_t>(k->SubKeys().size());
    if (maxSubKeyLength != nullptr) *maxSubKeyLength = static_cast<std::uint32_t>(maxSub);
    if (values != nullptr) *values = static_cast<std::uint32_t>(k->Values().size());
    if (maxValueNameLength != nullptr) *maxValueNameLength = static_cast<std::uint32_t>(maxName);
    if (maxValueDataLength != nullptr) *maxValueDataLength = static_cast<std::uint32_t>(maxData);
    return Error::None;
}

Error RegistryDeleteKey(RegKey key, const char* subKey) {
    std::vector<std::string> parts;
    if (!RegStore::SplitKeyPath(subKey, &parts)) return Error::FileNotFound;
    if (parts.empty()) return Error::InvalidParameter;
    Session s;
    Error e = OpenForWrite(key, 0, &s);
    if (e != Error::None) return e;
    std::vector<std::string> parentParts(parts.begin(), parts.end() - 1);
    Key* parent = Walk(s.key, parentParts, nullptr);
    Key* victim = parent != nullptr ? parent->FindSubKey(parts.back()) : nullptr;
    if (victim == nullptr) return Error::FileNotFound;
    if (!victim->SubKeys().empty()) return Error::AccessDenied;
    parent->RemoveSubKey(parts.back());
    e = s.store.Commit();
    if (e != Error::None) return e;
    // Still holding the store: no handle can be opened on the name before this marks the
    // handles opened until now.
    std::vector<std::string> deleted = s.t.path;
    deleted.insert(deleted.end(), parts.begin(), parts.end());
    RegStore::KeyWasDeleted(s.t.root, deleted);
    return Error::None;
}

}  // namespace Platform
