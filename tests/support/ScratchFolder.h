// Test folders: one unique folder per test run under the system temp folder, one sub-folder per
// test.
#pragma once

#include <string>

namespace QRV2Test {

// The run's folder as the framework names it ("Z:\tmp\...\" on POSIX, "C:\...\" on Windows),
// ending in a separator. Created on first use, removed with everything in it at process exit.
const std::string& RunFolder();

// Framework path -> path for the test's own std:: file access (identity on Windows).
std::string NativePath(const std::string& frameworkPath);

// A fresh, empty sub-folder of the run folder for one test, removed again by the destructor.
// Path() ends in a separator, so file names can be appended directly.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

// Plain file helpers for setting up and checking test files (framework-shaped paths).
void WriteBytes(const std::string& path, const std::string& bytes);
// The file's bytes; "<missing>" when it cannot be opened.
std::string ReadBytes(const std::string& path);
bool PathPresent(const std::string& path);
bool IsDirectory(const std::string& path);

}  // namespace QRV2Test
