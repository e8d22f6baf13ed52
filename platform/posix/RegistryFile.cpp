// The POSIX registry's store files: location, owner, lock, cached load and atomic replacement.
#include "platform/posix/RegistryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Cancel.h"
#include "platform/Clock.h"
#include "platform/posix/NativeError.h"
#include "platform/testing/RegistryRedirect.h"

namespace Platform {
namespace RegStore {

namespace {

// How long an operation waits for another process's hold on the store before it gives up.
constexpr std::uint32_t kLockWaitMilliseconds = 10000;

// Where tests moved the stores (empty: the real places).
std::string g_redirectFolder;

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    struct passwd* pw = getpwuid(getuid());
    return (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "/";
}

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
                    Descriptor made(
                        open(partial.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                    if (!made.Valid()) return FromErrno(errno);
                    Error e = GiveToFolderOwner(made.Get(), ParentFolder(partial));
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

// Takes the store's lock file: shared while reading, exclusive while replacing the store.
Error LockStore(const StoreFile& store, bool exclusive, Descriptor* lockFile) {
    std::string lockPath = store.path + ".lock";
    // Never through a link: a link planted there must not make us create or lock something
    // elsewhere.
    if (exclusive) {
        Error e = MakeFolders(store.folder, store.machine ? 0755 : 0700, !store.machine);
        if (e != Error::None) return e;
        *lockFile =
            Descriptor(open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!lockFile->Valid()) return errno == ELOOP ? Error::AccessDenied : FromErrno(errno);
        if (!store.machine) {
            e = GiveToFolderOwner(lockFile->Get(), store.folder);
            if (e != Error::None) return e;
        }
    } else {
        *lockFile = Descriptor(open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        // A reader that finds no lock file (nothing was ever written, or it may not create
        // one) still reads a whole file: the store is only ever replaced by rename.
        if (!lockFile->Valid()) return errno == ELOOP ? Error::AccessDenied : Error::None;
    }
    // Another process holds the store only for the moment one change takes; one that holds it
    // much longer is stuck or hostile. The wait is bounded and ends on a stop request.
    const int fd = lockFile->Get();
    const int how = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    std::uint32_t start = TickMilliseconds();
    while (RetryInterrupted([&] { return flock(fd, how); }) != 0) {
        if (errno != EWOULDBLOCK) return FromErrno(errno);
        if (CancelRequested()) return Error::Cancelled;
        if (TickMilliseconds() - start >= kLockWaitMilliseconds) return Error::LockViolation;
        Sleep(5);
    }
    return Error::None;
}

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
    Descriptor fd(open(store.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno != ENOENT) return FromErrno(errno);
        // No store yet: an empty tree, not a damaged store.
        *tree = &cache.tree;
        cache.valid = false;
        cache.tree.Clear();
        return Error::None;
    }
    std::string text;
    char buffer[65536];
    for (std::size_t got = sizeof buffer; got == sizeof buffer;) {
        int e = ReadWhole(fd.Get(), buffer, sizeof buffer, &got);
        if (e != 0) return FromErrno(e);
        text.append(buffer, got);
    }
    *tree = &cache.tree;
    if (cache.valid && cache.path == store.path && cache.text == text) return Error::None;
    cache.valid = false;
    cache.tree.Clear();
    if (!Parse(text, &cache.tree)) return Error::BadFormat;
    cache.path = store.path;
    cache.text = std::move(text);
    cache.valid = true;
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

// The new file is the old one's successor: same owner, same mode. Another user (root writing
// with the user's HOME) either keeps them so or is refused.
Error TakeOverOwnerAndMode(const StoreFile& store, int fd) {
    struct stat old;
    if (lstat(store.path.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        if (fchmod(fd, store.machine ? 0644 : 0600) != 0) return FromErrno(errno);
        return store.machine ? Error::None : GiveToFolderOwner(fd, store.folder);
    }
    if (old.st_uid != geteuid()) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) return Error::AccessDenied;
    } else if (old.st_gid != getegid() && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Our own file in a group we may not give: it stays ours, in our group.
    }
    return fchmod(fd, old.st_mode & 0777) == 0 ? Error::None : FromErrno(errno);
}

// Writes the whole store to a new file and renames it over the old one, so a reader or a
// crash sees either the old or the new store, never a mixture.
Error Save(const StoreFile& store, const Tree& tree, std::string* written) {
    std::string text = Serialize(tree);
    RemoveLeftovers(store);
    std::string temp = store.path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    Descriptor fd(mkostemp(name.data(), O_CLOEXEC));
    if (!fd.Valid()) return FromErrno(errno);
    Error e = TakeOverOwnerAndMode(store, fd.Get());
    if (e == Error::None) e = FromErrno(WriteWhole(fd.Get(), text.data(), text.size()));
    if (e == Error::None && fsync(fd.Get()) != 0) e = FromErrno(errno);
    const int closed = fd.Close();
    if (closed != 0 && e == Error::None) e = FromErrno(closed);
    if (e == Error::None && rename(name.data(), store.path.c_str()) != 0) e = FromErrno(errno);
    if (e != Error::None) {
        unlink(name.data());
        return e;
    }
    Descriptor folder(open(store.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) fsync(folder.Get());
    *written = std::move(text);
    return Error::None;
}

}  // namespace

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

StoreSession::~StoreSession() {
    if (m_changing) g_cache.valid = false;
}

Error StoreSession::Open(const StoreFile& store, bool exclusive) {
    m_cacheLock = std::unique_lock<std::mutex>(g_cacheMutex);
    m_store = store;
    Error e = LockStore(store, exclusive, &m_lockFile);
    if (e != Error::None) return e;
    m_changing = exclusive;
    return Load(store, &m_tree);
}

Error StoreSession::Commit() {
    std::string written;
    Error e = Save(m_store, *m_tree, &written);
    if (e != Error::None) return e;
    g_cache.path = m_store.path;
    g_cache.text = std::move(written);
    g_cache.valid = true;
    m_changing = false;
    return Error::None;
}

}  // namespace RegStore

bool RegistryRedirectForTesting(const char* folder) {
    if (folder == nullptr) {
        RegStore::g_redirectFolder.clear();
        return true;
    }
    struct stat st;
    if (stat(folder, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    std::string& redirect = RegStore::g_redirectFolder;
    redirect = folder;
    while (redirect.size() > 1 && redirect.back() == '/') redirect.pop_back();
    return true;
}

}  // namespace Platform
