// One run at a time: a named claim that a second process of the same user session cannot take.
#pragma once

namespace Platform {

// Opaque handle of a held claim; null means none.
struct InstanceClaimTag;
using InstanceClaim = InstanceClaimTag*;

enum class ClaimResult {
    Claimed,      // this process holds the claim until ReleaseInstance (or its end)
    Taken,        // another process of this user session holds it
    Unavailable,  // the claim cannot be made here (no private folder); nothing is held
};

// Claims name (letters, digits, '.', '-' only) for this process. Windows: a named mutex in the
// session namespace ("Local\"). POSIX: a lock on a file of that name in the private per-user
// runtime folder (the folder GetTempFolderPath names), released by the system when the
// process ends however it ends. *claim is set only for Claimed.
ClaimResult ClaimInstance(const char* name, InstanceClaim* claim);

// Gives a claim up; null is ignored.
void ReleaseInstance(InstanceClaim claim);

}  // namespace Platform
