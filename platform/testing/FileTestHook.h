// Test hook for running out of disk space on demand. Included by tests and by the file
// implementations that honour it; production code never arms it.
#pragma once

#include <cstdint>

namespace Platform {

// It counts the bytes every FileWrite of the process writes from the moment it is armed; the
// write that would cross the limit writes only the bytes up to it and fails with DiskFull, and
// so does every later write (writing nothing) until Reset. Used by tests to prove that a full
// disk surfaces as an error.
namespace FileTestHook {
// Arms the hook: bytes more bytes may still be written (0: the next write fails outright).
void FailWritesAfter(std::uint64_t bytes);
// Disarms the hook; writes behave normally again.
void Reset();
// For the platform implementations: how many of count bytes the write may transfer now
// (count while disarmed), charged against the limit.
std::uint32_t Admit(std::uint32_t count);
}  // namespace FileTestHook

}  // namespace Platform
