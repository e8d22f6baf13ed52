// Builders of small folder trees for the tests of folder searches and tree walks.
#include "tests/support/FolderTree.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace QRV2Test {

std::string MakeHidden(const ScratchFolder& folder, const std::string& name, bool isFolder) {
#ifdef _WIN32
    std::string actual = name;
#else
    std::string actual = "." + name;
#endif
    if (isFolder) {
        fs::create_directories(NativePath(folder / actual));
    } else {
        WriteBytes(folder / actual, "x");
    }
#ifdef _WIN32
    ::SetFileAttributesA((folder / actual).c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
    return actual;
}

void MakeFile(const ScratchFolder& folder, const std::string& name) {
    WriteBytes(folder / name, "x");
}

void MakeFolder(const ScratchFolder& folder, const std::string& name) {
    fs::create_directories(NativePath(folder / name));
}

}  // namespace QRV2Test
