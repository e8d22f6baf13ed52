// The private temporary folders that earlier runs of the product left behind.
#pragma once

#include <cstddef>

namespace QRV2 {

class FileFunc;
class RunLog;

// Removes every "QRV<n>" folder beside ownFolder (this run's own temporary folder, ending in
// "\") that is empty or holds nothing but files named in names: what a run of this product makes
// there and cannot have removed itself (it was killed, or its file was still running). A folder
// holding anything else, one that cannot be read, or a name that is still in use, stays. Only call
// this while holding the product's one-run claim, so no live run's folder can look like a leftover.
// Each folder removed goes to the log.
void RemoveLeftoverRunFolders(const char* ownFolder, const char* const* names, std::size_t count,
                              FileFunc* files, RunLog& log);

// RemoveLeftoverRunFolders beside the running program's own temporary folder, for the files
// either program of the product leaves there: the installer's payload, the uninstaller's
// temporary copy, the original it moved beside itself and the copy's outcome. The same rule:
// only while holding the one-run claim.
void RemoveProductRunLeftovers(RunLog& log);

}  // namespace QRV2
