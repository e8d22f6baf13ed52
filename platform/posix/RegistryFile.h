// The POSIX registry's store files: where each lives, who owns what a write makes there, the
// lock that orders the processes using one, and loading and atomic replacement of its text.
#pragma once

#include <mutex>
#include <string>

#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/posix/RegistryStore.h"
#include "platform/posix/SystemCall.h"

namespace Platform {
namespace RegStore {

struct StoreFile {
    std::string folder;
    std::string path;
    bool machine = false;  // the machine store: everyone reads it, the administrator writes it
};

// The store holding root, and the root's name in it; false for a root that has no store here
// (performance and dynamic data).
bool StoreFor(RegRoot root, StoreFile* out, const char** rootName);

// Whether this process may change the store.
bool MayWrite(const StoreFile& store);

// One operation's hold on a store: other operations of this process wait for it (they share
// the cached tree), other processes are kept out by the store's lock file (shared while
// reading, exclusive while replacing the store), and the tree is what the file holds now.
class StoreSession {
public:
    StoreSession() = default;
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;
    // A session that could change the tree and did not commit leaves the cached tree unlike
    // the file: it is dropped.
    ~StoreSession();

    // Locks the store (exclusive to replace it) and loads it. A wait for another process's
    // hold ends after 10 s with LockViolation, or with Cancelled on a stop request; BadFormat
    // for a damaged store; AccessDenied for a lock file reached through a link; I/O errors.
    Error Open(const StoreFile& store, bool exclusive);
    // The loaded tree; an exclusive session may change it and then commit.
    Tree* LoadedTree() const { return m_tree; }
    // Replaces the store file with the tree's text: written beside it, flushed, renamed over.
    Error Commit();

private:
    std::unique_lock<std::mutex> m_cacheLock;
    Descriptor m_lockFile;  // closing it drops the lock
    StoreFile m_store;
    Tree* m_tree = nullptr;
    bool m_changing = false;
};

}  // namespace RegStore
}  // namespace Platform
