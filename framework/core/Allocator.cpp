// The framework allocator over malloc, with the failure hook the tests use.
#include "framework/core/Allocator.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "framework/core/testing/AllocatorHook.h"

namespace QRV2 {

namespace {
std::atomic<std::uint64_t> g_failCountdown{0};
std::atomic<bool> g_fired{false};
std::atomic<std::int64_t> g_live{0};
}  // namespace

void* Allocate(std::size_t n) noexcept {
    std::uint64_t left = g_failCountdown.load(std::memory_order_relaxed);
    while (left != 0) {
        if (g_failCountdown.compare_exchange_weak(left, left - 1)) {
            if (left == 1) {
                g_fired.store(true);
                return nullptr;
            }
            break;
        }
    }
    void* block = std::malloc(n == 0 ? 1 : n);
    if (block != nullptr) g_live.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void Free(void* block) noexcept {
    if (block == nullptr) return;
    g_live.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

char* DuplicateText(const char* text) noexcept {
    if (text == nullptr) return nullptr;
    std::size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(Allocate(n));
    if (copy != nullptr) std::memcpy(copy, text, n);
    return copy;
}

namespace AllocatorHook {
void FailNth(std::uint64_t n) noexcept {
    g_fired.store(false);
    g_failCountdown.store(n);
}
void Disarm() noexcept { g_failCountdown.store(0); }
bool Fired() noexcept { return g_fired.load(); }
std::int64_t LiveBlocks() noexcept { return g_live.load(); }
}  // namespace AllocatorHook

}  // namespace QRV2
