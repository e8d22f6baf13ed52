// Builders of small folder trees for the tests of folder searches and tree walks.
#pragma once

#include <string>

#include "tests/support/ScratchFolder.h"

namespace QRV2Test {

// A hidden entry in folder: a dot name on POSIX, the hidden attribute on Windows. Its name.
std::string MakeHidden(const ScratchFolder& folder, const std::string& name, bool isFolder);

// A file holding "x" in folder.
void MakeFile(const ScratchFolder& folder, const std::string& name);

// A folder (with any missing parents) in folder; name may hold separators.
void MakeFolder(const ScratchFolder& folder, const std::string& name);

}  // namespace QRV2Test
