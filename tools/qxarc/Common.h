// Common: what every mode of qxarc shares: messages with their reasons, paths, the temporary
// file, the worker threads and the progress bar.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/File.h"

namespace QxarcTool {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// ---- messages -------------------------------------------------------------------------------

// A name as it is safe to print: control bytes (and DEL) as \xHH, so a name cannot move the
// cursor, clear the screen or fake another line of output.
std::string Shown(const std::string& name);

// "qxarc: FILE: REASON" on standard error, both shown escaped (they may carry names from a
// folder tree or an archive); kFailed.
int Error(const std::string& file, const std::string& reason);
// "qxarc: REASON (see qxarc --help)" on standard error; kUsage.
int UsageError(const std::string& reason);
// The user asked to stop: said on standard error; kFailed.
int Stopped();

// Why the system refused something, in words ("no permission", "disk full", ...).
std::string Why(Platform::Error error);

// How a message names one entry of an archive.
std::string EntryLabel(const char* hostArchive, const std::string& name);

// ---- paths ----------------------------------------------------------------------------------

std::string Host(const std::string& frameworkPath);
bool ToFramework(const char* hostPath, std::string* path);
// The folder part of a framework path, with its separator ("" for a bare name).
std::string FolderOf(const std::string& path);
// The path with a separator at its end.
std::string AsFolder(std::string path);
// Collapses "." and "x\.." components, so two spellings of one path compare equal.
std::string Normalized(const std::string& path);

// ---- the temporary file ---------------------------------------------------------------------

// Removes the tool's temporary file unless it was handed on; the one place a Ctrl-C, a failure
// or an early return cleans up after itself.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { Discard(); }

    // Creates a new file named stem.N.suffix (N a decimal number, counting up until a name is
    // free): an existing file of that or any other name is never opened or emptied.
    bool Create(const std::string& stem, const char* suffix, Platform::Error* error,
                Platform::FileAccess access = Platform::FileAccess::Write);
    void Swap(TemporaryFile* other);
    const std::string& Path() const { return m_path; }
    Platform::FileHandle Handle() const { return m_handle; }
    // Closes the handle; false when the system reports that the data did not all go out.
    bool CloseHandle();
    // Moves the file over target; afterwards it is no longer the tool's to remove.
    Platform::Error ReplaceInto(const std::string& target);
    void Discard();

private:
    std::string m_path;
    Platform::FileHandle m_handle = Platform::NullFile;
};

// ---- workers and progress -------------------------------------------------------------------

// Worker threads that are joined however the scope is left.
class Workers {
public:
    ~Workers() { Join(); }
    // Starts up to count threads, each running work(its number from 0). Fewer threads start
    // when the system refuses more.
    template <class Work>
    void Start(unsigned count, Work work) {
        for (unsigned i = 0; i < count; ++i) {
            try {
                m_threads.emplace_back(work, i);
            } catch (...) {
                break;  // the threads already running (or the main thread) do the work
            }
        }
    }
    bool Any() const { return !m_threads.empty(); }
    void Join() {
        for (std::thread& t : m_threads) t.join();
        m_threads.clear();
    }

private:
    std::vector<std::thread> m_threads;
};

// A one-line bar on standard error, drawn only on a terminal and only once a run has taken a
// moment, so short runs and redirected output stay clean.
class Progress {
public:
    explicit Progress(std::uint64_t total);
    ~Progress() { Finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // One more item done; label names it.
    void Step(const std::string& label);
    // Clears the bar (before a message, and at the end).
    void Finish();

private:
    std::uint64_t m_total;
    std::uint64_t m_done = 0;
    bool m_enabled;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
};

}  // namespace QxarcTool
