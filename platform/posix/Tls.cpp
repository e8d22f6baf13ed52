// Thread-local slots on POSIX: pthread keys, numbered the way TlsAlloc numbers its slots.
#include "platform/Tls.h"

#include <pthread.h>

#include <mutex>

namespace Platform {

namespace {
// pthread_key_t is opaque; slots are small integers indexing this table, as on Windows.
constexpr std::uint32_t kMaxSlots = 64;
pthread_key_t g_keys[kMaxSlots];
bool g_used[kMaxSlots];
std::mutex g_mutex;

bool Valid(std::uint32_t slot) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return slot < kMaxSlots && g_used[slot];
}
}  // namespace

std::uint32_t TlsAllocate() {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (std::uint32_t i = 0; i < kMaxSlots; ++i) {
        if (!g_used[i]) {
            if (pthread_key_create(&g_keys[i], nullptr) != 0) return InvalidTlsSlot;
            g_used[i] = true;
            return i;
        }
    }
    return InvalidTlsSlot;
}

bool TlsSet(std::uint32_t slot, void* value) {
    return Valid(slot) && pthread_setspecific(g_keys[slot], value) == 0;
}

void* TlsGet(std::uint32_t slot) {
    return Valid(slot) ? pthread_getspecific(g_keys[slot]) : nullptr;
}

bool TlsFree(std::uint32_t slot) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (slot >= kMaxSlots || !g_used[slot]) return false;
    pthread_key_delete(g_keys[slot]);
    g_used[slot] = false;
    return true;
}

}  // namespace Platform
