// The POSIX registry's table of open handles, indexed by the key each names.
#include "platform/posix/RegistryHandles.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>

#include "platform/posix/RegistryStore.h"

namespace Platform {

// Handles made before a deletion of their key (or of a key above it) never reach a key made
// later under the same name, as on Windows: the deletion marks them, and the mark stays.
struct RegistryKeyHandle {
    RegRoot root;
    std::vector<std::string> path;
    std::uint32_t access;
    bool deleted;
    std::multimap<std::string, RegistryKeyHandle*>::iterator place;  // its entry in g_byPlace
};

namespace RegStore {

namespace {

// Every open handle, so that a handle is checked without being looked into (a closed one
// points at freed storage), and the same handles by the place of their key: the root's number
// and the key's folded path, parts joined by '\', which no name holds. The handles at and
// below one key are then one range of that index. Both hold open handles only.
std::mutex g_mutex;
std::unordered_set<const RegistryKeyHandle*> g_open;
std::multimap<std::string, RegistryKeyHandle*> g_byPlace;

std::string PlaceOf(RegRoot root, const std::vector<std::string>& path) {
    std::string place = std::to_string(static_cast<std::uint32_t>(root));
    for (const std::string& part : path) place.append("\\").append(FoldedName(part));
    return place;
}

bool IsOpen(RegKey key) { return key != nullptr && g_open.count(key) != 0; }

}  // namespace

Error Resolve(RegKey key, Target* t) {
    RegRoot root;
    t->handle = nullptr;
    if (IsRootKey(key, &root)) {
        t->root = root;
        t->path.clear();
        t->access = KeyMaximumAllowed;
    } else {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!IsOpen(key)) return Error::InvalidHandle;
        if (key->deleted) return Error::KeyDeleted;
        t->handle = key;
        t->root = key->root;
        t->path = key->path;
        t->access = key->access;
    }
    if (!StoreFor(t->root, &t->store, &t->rootName)) return Error::InvalidHandle;
    if (t->access & KeyMaximumAllowed) t->access = MayWrite(t->store) ? KeyAllAccess : KeyRead;
    return Error::None;
}

Error OpenHandle(RegRoot root, const std::vector<std::string>& path, std::uint32_t access,
                 RegKey* out) {
    std::unique_ptr<RegistryKeyHandle> h(new (std::nothrow) RegistryKeyHandle);
    if (h == nullptr) return Error::NotEnoughMemory;
    h->root = root;
    h->path = path;
    h->access = access;
    h->deleted = false;
    std::lock_guard<std::mutex> lock(g_mutex);
    try {
        g_open.insert(h.get());
    } catch (const std::bad_alloc&) {
        return Error::NotEnoughMemory;
    }
    try {
        h->place = g_byPlace.emplace(PlaceOf(root, path), h.get());
    } catch (const std::bad_alloc&) {
        g_open.erase(h.get());
        return Error::NotEnoughMemory;
    }
    *out = h.release();
    return Error::None;
}

bool CloseHandle(RegKey key) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!IsOpen(key)) return false;
        g_open.erase(key);
        g_byPlace.erase(key->place);
    }
    delete key;
    return true;
}

void MarkDeleted(RegKey handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (IsOpen(handle)) handle->deleted = true;
}

void KeyWasDeleted(RegRoot root, const std::vector<std::string>& path) {
    const std::string key = PlaceOf(root, path);
    const std::string below = key + "\\";
    std::lock_guard<std::mutex> lock(g_mutex);
    auto same = g_byPlace.equal_range(key);
    for (auto it = same.first; it != same.second; ++it) it->second->deleted = true;
    for (auto it = g_byPlace.lower_bound(below);
         it != g_byPlace.end() && it->first.compare(0, below.size(), below) == 0; ++it) {
        it->second->deleted = true;
    }
}

}  // namespace RegStore
}  // namespace Platform
