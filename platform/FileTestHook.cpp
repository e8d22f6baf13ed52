// The write-failure test hook shared by both file implementations.
#include <atomic>

#include "platform/testing/FileTestHook.h"

namespace Platform {
namespace FileTestHook {

namespace {
std::atomic<bool> g_armed{false};
std::atomic<std::uint64_t> g_remaining{0};
}  // namespace

void FailWritesAfter(std::uint64_t bytes) {
    g_remaining.store(bytes);
    g_armed.store(true);
}

void Reset() {
    g_armed.store(false);
    g_remaining.store(0);
}

std::uint32_t Admit(std::uint32_t count) {
    if (!g_armed.load()) return count;
    std::uint64_t remaining = g_remaining.load();
    for (;;) {
        std::uint64_t granted = remaining < count ? remaining : count;
        if (g_remaining.compare_exchange_weak(remaining, remaining - granted)) {
            return static_cast<std::uint32_t>(granted);
        }
    }
}

}  // namespace FileTestHook
}  // namespace Platform
