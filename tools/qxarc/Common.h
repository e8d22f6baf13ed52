// Common: what every mode of qxarc shares: messages with their reasons, the user's folders and
// paths, the temporary file, the worker threads and the progress bar.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/File.h"
#include "platform/UserTree.h"

namespace QxarcTool {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// A stop by Ctrl-C or SIGTERM ends as the shell expects of a program a signal ended: 128 plus
// the signal's number.
constexpr int kInterrupted = 130;
constexpr int kTerminated = 143;

// ---- messages -------------------------------------------------------------------------------

// A name as it is safe to print: control bytes (and DEL) as \xHH, so a name cannot move the
// cursor, clear the screen or fake another line of output.
std::string Shown(const std::string& name);

// "qxarc: FILE: REASON" on standard error, both shown escaped (they may carry names from a
// folder tree or an archive); kFailed.
int Error(const std::string& file, const std::string& reason);
// "qxarc: REASON (see qxarc --help)" on standard error; kUsage.
int UsageError(const std::string& reason);
// The run was asked to stop: said on standard error; kInterrupted or kTerminated.
int Stopped();

// Why the system refused something, in words ("no permission", "disk full", ...); the caller
// says what was being done.
std::string Why(Platform::Error error);

// How a message names one entry of an archive.
std::string EntryLabel(const std::string& hostArchive, const std::string& name);

// ---- the user's folders and paths -----------------------------------------------------------

// folder joined with one name of it, as the user would write it on this host; a folder ending
// in a separator gets no second one.
std::string HostJoin(const std::string& folder, const std::string& name);
// folder joined with an entry name below it ("\" or "/" between its components).
std::string HostJoinEntry(const std::string& folder, const std::string& entryName);

// An open folder of the user's with the path that names it in messages; closed with its last
// holder, so a job in flight keeps the folder it works in.
class OpenFolder {
public:
    OpenFolder(Platform::UserFolder folder, std::string hostPath, bool made)
        : m_folder(folder), m_path(std::move(hostPath)), m_made(made) {}
    ~OpenFolder() { Platform::UserFolderClose(m_folder); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    Platform::UserFolder Get() const { return m_folder; }
    const std::string& HostPath() const { return m_path; }
    // Made by this run: no file in it was there before.
    bool Made() const { return m_made; }

private:
    Platform::UserFolder m_folder;
    std::string m_path;
    bool m_made;
};
using FolderRef = std::shared_ptr<const OpenFolder>;

// Wraps an opened folder; null (the folder closed) when no memory is left for the holder.
FolderRef HoldFolder(Platform::UserFolder folder, const std::string& hostPath, bool made = false);

// ---- the temporary file ---------------------------------------------------------------------

// Removes the tool's temporary file unless it was handed on; the one place a Ctrl-C, a failure
// or an early return cleans up after itself.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { Discard(); }

    // Creates a new file named stem.N.suffix in folder (N a decimal number, counting up until a
    // name is free): an existing file of that or any other name is never opened or emptied.
    bool Create(const FolderRef& folder, const std::string& stem, const char* suffix,
                Platform::Error* error);
    void Swap(TemporaryFile* other);
    const std::string& Name() const { return m_name; }
    const FolderRef& Folder() const { return m_folder; }
    Platform::FileHandle Handle() const { return m_handle; }
    // Closes the handle; false when the system reports that the data did not all go out.
    bool CloseHandle();
    // Moves the file over target (a name in its folder); afterwards it is no longer the tool's
    // to remove. With noReplace an existing target stays and AlreadyExists comes back.
    Platform::Error ReplaceInto(const std::string& target, bool noReplace = false);
    void Discard();

private:
    FolderRef m_folder;
    std::string m_name;
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

// A one-line bar on standard error, by bytes, drawn only on a terminal and only once a run has
// taken a moment, so short runs and redirected output stay clean.
class Progress {
public:
    explicit Progress(std::uint64_t totalBytes);
    ~Progress() { Finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // bytes more done, while working on the item label names.
    void Advance(std::uint64_t bytes, const std::string& label);
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
