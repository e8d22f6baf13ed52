// POSIX registry: per-user and machine text stores, replaced atomically under a file lock.
#include "platform/Registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/Cancel.h"
#include "platform/Clock.h"
#include "platform/posix/NativeError.h"
#include "platform/posix/RegistryStore.h"
#include "platform/testing/RegistryRedirect.h"

namespace Platform {

struct RegistryKeyHandle {
    std::uint32_t magic;
    RegRoot root;
    std::vector<std::string> path;  // spelled as stored when the key was opened
    std::uint32_t access;
    std::uint64_t opened;  // the deletion count of this process when the handle was made
    bool deleted;          // the key went away: every later call answers KeyDeleted
};

namespace {

using RegStore::Key;
using RegStore::Tree;
using RegStore::Value;

constexpr std::uint32_t kHandleMagic = 0x5245474bu;  // "REGK"
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kWriteBits = KeySetValue | KeyCreateSubKey | kDelete | 0x40000 | 0x80000;
using RegStore::kMaxKeyDepth;
using RegStore::kMaxKeyNameLength;
using RegStore::kMaxValueNameLength;
// How long an operation waits for another process's hold on the store before it gives up.
constexpr std::uint32_t kLockWaitMilliseconds = 10000;

// Keys this process deleted, numbered, so that a handle made before a deletion of its key (or
// of a key above it) never reaches a key made later under the same name, as on Windows.
struct Deletion {
    std::uint64_t number;
    const char* rootName;
    std::vector<std::string> path;
};
std::vector<Deletion> g_deletions;
std::uint64_t g_deletionCount = 0;

// Where tests moved the stores (empty: the real places).
std::string g_redirectFolder;

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    struct passwd* pw = getpwuid(getuid());
    return (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "/";
}

struct StoreFile {
    std::string folder;
    std::string path;
    bool machine = false;
};

// The per-user store lives with the user's configuration; the machine store in a system
// folder everyone may read and only the administrator may write.
bool StoreFor(RegRoot root, StoreFile* out, const char** rootName) {
    switch (root) {
        case RegRoot::CurrentUser: *rootName = "HKEY_CURRENT_USER"; break;
        case RegRoot::LocalMachine: *rootName = "HKEY_LOCAL_MACHINE"; break;
        case RegRoot::ClassesRoot: *rootName = "HKEY_CLASSES_ROOT"; break;
        case RegRoot::Users: *rootName = "HKEY_USERS"; break;
        case RegRoot::CurrentConfig: *rootName = "HKEY_CURRENT_CONFIG"; break;
        default: return false;  // performance and dynamic data have no store here
    }
    out->machine = root != RegRoot::CurrentUser;
    if (!g_redirectFolder.empty()) {
        out->folder = g_redirectFolder;
        out->path = g_redirectFolder + (out->machine ? "/machine.reg" : "/user.reg");
        return true;
    }
    if (out->machine) {
        out->folder = "/var/lib/qrv2";
        out->path = out->folder + "/machine.reg";
    } else {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        std::string base = (config != nullptr && config[0] == '/') ? std::string(config)
                                                                   : HomeFolder() + "/.config";
        out->folder = base + "/qrv2";
        out->path = out->folder + "/registry.reg";
    }
    return true;
}

bool MayWrite(const StoreFile& store) { return !store.machine || geteuid() == 0; }

// Root may write a user's store (with that user's HOME): what it makes there must stay the
// user's, or the user could no longer use the own store. New files and folders of a user's
// store therefore take the owner of the folder they are made in.
Error GiveToFolderOwner(int fd, const std::string& folder) {
    if (geteuid() != 0) return Error::None;
    struct stat owner;
    struct stat mine;
    if (stat(folder.c_str(), &owner) != 0 || fstat(fd, &mine) != 0) return FromErrno(errno);
    if (mine.st_uid == owner.st_uid && mine.st_gid == owner.st_gid) return Error::None;
    return fchown(fd, owner.st_uid, owner.st_gid) == 0 ? Error::None : Error::AccessDenied;
}

std::string ParentFolder(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// Creates the folder and its missing parents (with keepOwner, each owned as its parent is).
Error MakeFolders(const std::string& folder, mode_t mode, bool keepOwner) {
    std::string partial;
    std::size_t start = 0;
    while (start < folder.size()) {
        std::size_t sep = folder.find('/', start + 1);
        if (sep == std::string::npos) sep = folder.size();
        partial = folder.substr(0, sep);
        if (!partial.empty()) {
            if (mkdir(partial.c_str(), mode) == 0) {
                if (keepOwner) {
                    int fd = open(partial.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    Error e =
                        fd < 0 ? FromErrno(errno) : GiveToFolderOwner(fd, ParentFolder(partial));
                    if (fd >= 0) close(fd);
                    if (e != Error::None) return e;
                }
            } else if (errno != EEXIST) {
                return FromErrno(errno);
            }
        }
        start = sep;
    }
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) return FromErrno(errno);
    return S_ISDIR(st.st_mode) ? Error::None : Error::PathNotFound;
}

// Holds the store's lock file: shared while reading, exclusive while replacing the store.
class StoreLock {
public:
    StoreLock() = default;
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    Error Acquire(const StoreFile& store, bool exclusive) {
        std::string lockPath = store.path + ".lock";
        // Never through a link: a link planted there must not make us create or lock
        // something elsewhere.
        if (exclusive) {
            Error e = MakeFolders(store.folder, store.machine ? 0755 : 0700, !store.machine);
            if (e != Error::None) return e;
            m_fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (m_fd < 0) return errno == ELOOP ? Error::AccessDenied : FromErrno(errno);
            if (!store.machine) {
                e = GiveToFolderOwner(m_fd, store.folder);
                if (e != Error::None) return e;
            }
        } else {
            m_fd = open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            // A reader that finds no lock file (nothing was ever written, or it may not create
            // one) still reads a whole file: the store is only ever replaced by rename.
            if (m_fd < 0) return errno == ELOOP ? Error::AccessDenied : Error::None;
        }
        // Another process holds the store only for the moment one change takes; one that holds
        // it much longer is stuck or hostile. The wait is bounded and ends on a stop request.
        std::uint32_t start = TickMilliseconds();
        while (flock(m_fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) return FromErrno(errno);
            if (CancelRequested()) return Error::Cancelled;
            if (TickMilliseconds() - start >= kLockWaitMilliseconds) return Error::LockViolation;
            Sleep(5);
        }
        return Error::None;
    }
    ~StoreLock() {
        if (m_fd >= 0) close(m_fd);  // closing drops the lock
    }

private:
    int m_fd = -1;
};

// The last store text this process parsed or wrote, with its tree. Every operation still reads
// the file afresh (other processes change it), but parses it only when the text differs: a
// large store then costs one read per operation, not one parse. Operations that change the
// tree work on the cached one; one that ends without writing it drops the cache.
struct CachedStore {
    std::string path;
    std::string text;
    bool valid = false;
    Tree tree;
};
CachedStore g_cache;
std::mutex g_cacheMutex;  // one operation of this process at a time uses the cached tree

Error Load(const StoreFile& store, Tree** tree) {
    CachedStore& cache = g_cache;
    int fd = open(store.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT) return FromErrno(errno);
    std::string text;
    char buffer[65536];
    for (;;) {
        if (fd < 0) break;  // no store yet: empty
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            close(fd);
            return FromErrno(e);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    *tree = &cache.tree;
    if (fd < 0) {  // no store yet: an empty tree, not a damaged store
        cache.valid = false;
        cache.tree.roots.clear();
        return Error::None;
    }
    close(fd);
    if (cache.valid && cache.path == store.path && cache.text == text) return Error::None;
    cache.valid = false;
    cache.tree.roots.clear();
    if (!RegStore::Parse(text, &cache.tree)) return Error::BadFormat;
    cache.path = store.path;
    cache.text = std::move(text);
    cache.valid = true;
    return Error::None;
}

Error WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FromErrno(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return Error::None;
}

// Removes what a writer killed between making its temporary file and renaming it left beside
// the store: only names of our own shape ("<store>.XXXXXX"), only plain files, and only under
// the exclusive lock, when no other writer can be between those two steps.
void RemoveLeftovers(const StoreFile& store) {
    std::string base = store.path.substr(store.path.find_last_of('/') + 1) + ".";
    DIR* dir = opendir(store.folder.c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        std::string name(entry->d_name);
        if (name.size() != base.size() + 6 || name.compare(0, base.size(), base) != 0) continue;
        bool shaped = true;
        for (std::size_t i = base.size(); i < name.size(); ++i) {
            char c = name[i];
            shaped = shaped &&
                     ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
        }
        struct stat st;
        if (!shaped || fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode)) {
            continue;
        }
        unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

// Writes the whole store to a new file and renames it over the old one, so a reader or a
// crash sees either the old or the new store, never a mixture.
Error Save(const StoreFile& store, const Tree& tree, std::string* written) {
    std::string text = RegStore::Serialize(tree);
    RemoveLeftovers(store);
    std::string temp = store.path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return FromErrno(errno);
    Error e = Error::None;
    // The new file is the old one's successor: same owner, same mode. Another user (root
    // writing with the user's HOME) either keeps them so or is refused.
    struct stat old;
    if (lstat(store.path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (old.st_uid != geteuid()) {
            if (fchown(fd, old.st_uid, old.st_gid) != 0) e = Error::AccessDenied;
        } else if (old.st_gid != getegid() && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Our own file in a group we may not give: it stays ours, in our group.
        }
        if (e == Error::None && fchmod(fd, old.st_mode & 0777) != 0) e = FromErrno(errno);
    } else {
        if (fchmod(fd, store.machine ? 0644 : 0600) != 0) e = FromErrno(errno);
        if (e == Error::None && !store.machine) e = GiveToFolderOwner(fd, store.folder);
    }
    if (e == Error::None) e = WriteAll(fd, text);
    if (e == Error::None && fsync(fd) != 0) e = FromErrno(errno);
    if (close(fd) != 0 && e == Error::None) e = FromErrno(errno);
    if (e == Error::None && rename(name.data(), store.path.c_str()) != 0) e = FromErrno(errno);
    if (e != Error::None) {
        unlink(name.data());
        return e;
    }
    int dir = open(store.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    *written = std::move(text);
    return Error::None;
}

bool ValidName(const std::string& name, std::size_t maxLength) {
    if (name.size() > maxLength) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

// Splits "a\b\" into its parts; empty parts (doubled or trailing separators) are dropped.
bool SplitPath(const char* subKey, std::vector<std::string>* parts) {
    parts->clear();
    if (subKey == nullptr) return true;
    std::string path(subKey);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t sep = path.find_first_of("\\", start);
        if (sep == std::string::npos) sep = path.size();
        std::string part = path.substr(start, sep - start);
        if (!part.empty()) {
            if (!ValidName(part, kMaxKeyNameLength)) return false;
            parts->push_back(part);
        }
        start = sep + 1;
    }
    return true;
}

RegistryKeyHandle* AsHandle(RegKey key) {
    if (key == nullptr || IsRootKey(key, nullptr)) return nullptr;
    return key->magic == kHandleMagic ? key : nullptr;
}

// The root, path and rights a handle (or predefined root) stands for.
struct Target {
    RegistryKeyHandle* handle;  // null for a predefined root
    RegRoot root;
    std::vector<std::string> path;
    std::uint32_t access;
    StoreFile store;
    const char* rootName;
};

Error Resolve(RegKey key, Target* t) {
    RegRoot root;
    t->handle = nullptr;
    if (IsRootKey(key, &root)) {
        t->root = root;
        t->path.clear();
        t->access = KeyMaximumAllowed;
    } else {
        RegistryKeyHandle* h = AsHandle(key);
        if (h == nullptr) return Error::InvalidHandle;
        t->handle = h;
        t->root = h->root;
        t->path = h->path;
        t->access = h->access;
    }
    if (!StoreFor(t->root, &t->store, &t->rootName)) return Error::InvalidHandle;
    if (t->handle != nullptr && !t->handle->deleted) {
        for (const Deletion& d : g_deletions) {
            if (d.number <= t->handle->opened || std::strcmp(d.rootName, t->rootName) != 0 ||
                d.path.size() > t->path.size()) {
                continue;
            }
            bool above = true;
            for (std::size_t i = 0; i < d.path.size() && above; ++i) {
                above = RegStore::SameName(d.path[i], t->path[i]);
            }
            if (above) t->handle->deleted = true;
        }
    }
    if (t->handle != nullptr && t->handle->deleted) return Error::KeyDeleted;
    if (t->access & KeyMaximumAllowed) t->access = MayWrite(t->store) ? KeyAllAccess : KeyRead;
    return Error::None;
}

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

// One operation's view of a store: the resolved target, the lock held for the whole
// operation, the loaded tree and the key the target names in it.
struct Session {
    Target t;
    std::unique_lock<std::mutex> cacheLock{g_cacheMutex, std::defer_lock};
    StoreLock lock;
    Tree* tree = nullptr;
    Key* key = nullptr;
    bool changing = false;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    // A change that was not written leaves the cached tree unlike the file: drop it.
    ~Session() {
        if (changing) g_cache.valid = false;
    }

    // Locks the store (exclusive to replace it), loads it and finds the target's key;
    // KeyDeleted when the key went away since its handle was opened.
    Error Begin(bool exclusive) {
        cacheLock.lock();
        Error e = lock.Acquire(t.store, exclusive);
        if (e != Error::None) return e;
        changing = exclusive;
        e = Load(t.store, &tree);
        if (e != Error::None) return e;
        key = Find(tree, t);
        if (key != nullptr) return Error::None;
        if (t.handle != nullptr) t.handle->deleted = true;  // also if the name comes back later
        return Error::KeyDeleted;
    }

    Error Commit() {
        std::string written;
        Error e = Save(t.store, *tree, &written);
        if (e != Error::None) return e;
        g_cache.text = std::move(written);
        g_cache.valid = true;
        changing = false;
        return Error::None;
    }
};

// Resolves a handle that must hold the right to query values and loads its store shared.
Error OpenForRead(RegKey key, Session* s) {
    Error e = Resolve(key, &s->t);
    if (e != Error::None) return e;
    if ((s->t.access & KeyQueryValue) == 0) return Error::AccessDenied;
    return s->Begin(false);
}

// Resolves a handle that must hold every right in `need` on a store this process may
// write, and loads the store under the exclusive lock.
Error OpenForWrite(RegKey key, std::uint32_t need, Session* s) {
    Error e = Resolve(key, &s->t);
    if (e != Error::None) return e;
    if ((s->t.access & need) != need || !MayWrite(s->t.store)) return Error::AccessDenied;
    return s->Begin(true);
}

Error MakeHandle(const Target& parent, const std::vector<std::string>& path, std::uint32_t access,
                 RegKey* out) {
    auto* h = new (std::nothrow) RegistryKeyHandle;
    if (h == nullptr) return Error::NotEnoughMemory;
    h->magic = kHandleMagic;
    h->root = parent.root;
    h->path = path;
    h->access = access;
    h->opened = g_deletionCount;
    h->deleted = false;
    *out = h;
    return Error::None;
}

// The rights a new handle gets; AccessDenied when it asks to write where it may not.
Error GrantAccess(const StoreFile& store, std::uint32_t requested, std::uint32_t* granted) {
    requested &= ~(KeyWow64View64 | 0x0200u);  // both registry views are the same store
    if (requested & KeyMaximumAllowed) {
        *granted = MayWrite(store) ? KeyAllAccess : KeyRead;
        return Error::None;
    }
    if ((requested & kWriteBits) != 0 && !MayWrite(store)) return Error::AccessDenied;
    *granted = requested;
    return Error::None;
}

// Walks parts below key; spelled receives the stored spelling of each part.
Key* Walk(Key* key, const std::vector<std::string>& parts, std::vector<std::string>* spelled) {
    for (const std::string& part : parts) {
        key = key->FindSubKey(part);
        if (key == nullptr) return nullptr;
        if (spelled != nullptr) spelled->push_back(key->name);
    }
    return key;
}

Error SetValueIn(Key* key, const std::string& name, std::uint32_t type, const char* data,
                 std::uint32_t size) {
    Value* v = key->FindValue(name);
    if (v == nullptr) v = key->AddValue(name);
    v->type = type;
    v->data.assign(data, size);
    return Error::None;
}

}  // namespace

Error RegistryOpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out) {
    if (out == nullptr) return Error::InvalidParameter;
    *out = nullptr;
    Session s;
    Error e = Resolve(parent, &s.t);
    if (e != Error::None) return e;
    std::vector<std::string> parts;
    if (!SplitPath(subKey, &parts)) return Error::FileNotFound;  // such a name never exists
    std::uint32_t granted = 0;
    e = GrantAccess(s.t.store, access, &granted);
    if (e != Error::None) return e;
    e = s.Begin(false);
    if (e != Error::None) return e;
    std::vector<std::string> path = s.t.path;
    if (Walk(s.key, parts, &path) == nullptr) return Error::FileNotFound;
    return MakeHandle(s.t, path, granted, out);
}

Error RegistryCreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out,
                        bool* created) {
    if (out == nullptr) return Error::InvalidParameter;
    *out = nullptr;
    if (created != nullptr) *created = false;
    Session s;
    Error e = Resolve(parent, &s.t);
    if (e != Error::None) return e;
    std::vector<std::string> parts;
    if (!SplitPath(subKey, &parts)) return Error::InvalidParameter;
    std::uint32_t granted = 0;
    e = GrantAccess(s.t.store, access, &granted);
    if (e != Error::None) return e;
    bool mayCreate = (s.t.access & KeyCreateSubKey) != 0 && MayWrite(s.t.store);
    e = s.Begin(mayCreate);
    if (e != Error::None) return e;
    Key* key = s.key;
    std::vector<std::string> path = s.t.path;
    bool added = false;
    if (path.size() + parts.size() > kMaxKeyDepth) return Error::InvalidParameter;
    for (const std::string& part : parts) {
        Key* sub = key->FindSubKey(part);
        if (sub == nullptr) {
            if (!mayCreate) return Error::AccessDenied;
            sub = key->AddSubKey(part);
            added = true;
        }
        path.push_back(sub->name);
        key = sub;
    }
    if (added) {
        e = s.Commit();
        if (e != Error::None) return e;
    }
    if (created != nullptr) *created = added;
    return MakeHandle(s.t, path, granted, out);
}

Error RegistryCloseKey(RegKey key) {
    if (IsRootKey(key, nullptr)) return Error::None;
    RegistryKeyHandle* h = AsHandle(key);
    if (h == nullptr) return Error::InvalidHandle;
    h->magic = 0;
    delete h;
    return Error::None;
}

Error RegistryQueryValue(RegKey key, const char* name, std::uint32_t* type, void* data,
                         std::uint32_t* size) {
    if (data != nullptr && size == nullptr) return Error::InvalidParameter;
    Session s;
    Error e = OpenForRead(key, &s);
    if (e != Error::None) return e;
    Key* k = s.key;
    Value* v = k->FindValue(name != nullptr ? name : "");
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
    if (!ValidName(valueName, kMaxValueNameLength)) return Error::InvalidParameter;
    Session s;
    Error e = OpenForWrite(key, KeySetValue, &s);
    if (e != Error::None) return e;
    SetValueIn(s.key, valueName, type, static_cast<const char*>(data), size);
    return s.Commit();
}

Error RegistrySetDefaultValue(RegKey key, const char* subKey, const char* text) {
    if (text == nullptr) return Error::InvalidParameter;
    auto size = static_cast<std::uint32_t>(std::strlen(text) + 1);
    std::vector<std::string> parts;
    if (!SplitPath(subKey, &parts)) return Error::InvalidParameter;
    // Setting the key's own default needs the right to set values; a subkey's is reached
    // through subkeys, which the loop below may need to create.
    Session s;
    Error e = OpenForWrite(key, parts.empty() ? KeySetValue : 0u, &s);
    if (e != Error::None) return e;
    Key* k = s.key;
    if (s.t.path.size() + parts.size() > kMaxKeyDepth) return Error::InvalidParameter;
    for (const std::string& part : parts) {
        Key* sub = k->FindSubKey(part);
        if (sub == nullptr) {
            if ((s.t.access & KeyCreateSubKey) == 0) return Error::AccessDenied;
            sub = k->AddSubKey(part);
        }
        k = sub;
    }
    SetValueIn(k, "", RegSz, text, size);
    return s.Commit();
}

Error RegistryEnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, void* data, std::uint32_t* dataSize) {
    if (name == nullptr || nameSize == nullptr) return Error::InvalidParameter;
    if (data != nullptr && dataSize == nullptr) return Error::InvalidParameter;
    Session s;
    Error e = OpenForRead(key, &s);
    if (e != Error::None) return e;
    Key* k = s.key;
    if (index >= k->values.size()) return Error::NoMoreItems;
    const Value& v = k->values[index];
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
    Key* k = s.key;
    std::size_t maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& s : k->subKeys) maxSub = std::max(maxSub, s->name.size());
    for (const Value& v : k->values) {
        maxName = std::max(maxName, v.name.size());
        maxData = std::max(maxData, v.data.size());
    }
    if (subKeys != nullptr) *subKeys = static_cast<std::uint32_t>(k->subKeys.size());
    if (maxSubKeyLength != nullptr) *maxSubKeyLength = static_cast<std::uint32_t>(maxSub);
    if (values != nullptr) *values = static_cast<std::uint32_t>(k->values.size());
    if (maxValueNameLength != nullptr) *maxValueNameLength = static_cast<std::uint32_t>(maxName);
    if (maxValueDataLength != nullptr) *maxValueDataLength = static_cast<std::uint32_t>(maxData);
    return Error::None;
}

Error RegistryDeleteKey(RegKey key, const char* subKey) {
    std::vector<std::string> parts;
    if (!SplitPath(subKey, &parts)) return Error::FileNotFound;
    if (parts.empty()) return Error::InvalidParameter;
    Session s;
    Error e = OpenForWrite(key, 0, &s);
    if (e != Error::None) return e;
    std::vector<std::string> parentParts(parts.begin(), parts.end() - 1);
    Key* parent = Walk(s.key, parentParts, nullptr);
    Key* victim = parent != nullptr ? parent->FindSubKey(parts.back()) : nullptr;
    if (victim == nullptr) return Error::FileNotFound;
    if (!victim->subKeys.empty()) return Error::AccessDenied;
    Deletion deletion{g_deletionCount + 1, s.t.rootName, s.t.path};
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        deletion.path.push_back(Walk(s.key, {parts.begin(), parts.begin() + i + 1}, nullptr)->name);
    }
    deletion.path.push_back(victim->name);
    parent->RemoveSubKey(parts.back());
    e = s.Commit();
    if (e != Error::None) return e;
    // Handles made before now that name the key (or a key below it) are dead from here on.
    g_deletions.push_back(std::move(deletion));
    ++g_deletionCount;
    return Error::None;
}

bool RegistryRedirectForTesting(const char* folder) {
    if (folder == nullptr) {
        g_redirectFolder.clear();
        return true;
    }
    struct stat st;
    if (stat(folder, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    g_redirectFolder = folder;
    while (g_redirectFolder.size() > 1 && g_redirectFolder.back() == '/') {
        g_redirectFolder.pop_back();
    }
    return true;
}

}  // namespace Platform
