// RunJournal: every change an installer run makes to the machine, noted before it is made, so
// that a run that fails or is stopped can put the machine back the way it found it.
#pragma once

#include <cstdint>

namespace QRV2 {

class RunLog;

// A run notes each change just before it makes it: the product folder it creates, a file it
// moves aside (<name>.previous beside it) and one it writes, each registry key it creates,
// each value it writes with the type and bytes it had (or that it had none), and the control's
// registration once it is reached. A note that cannot be kept (no storage) is refused, and the
// change must then not be made: a change the run could not undo is never made.
//
// Notes are kept once: a retried step touches the same files and values again, and only the
// first note knows what was there before the run. The journal lives in framework storage and
// in memory only; a run that is killed leaves its moved-aside files for the next run to put
// back (RestoreMovedAsideFiles in the installer).
class RunJournal {
public:
    RunJournal() = default;
    ~RunJournal() { Forget(); }
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // The folder (path with or without its closing separator) is about to be created.
    bool NoteFolderCreated(const char* folder);
    // target is about to be moved to previous. reregister: after it has been moved back, the
    // control it is has its registration made again (it was registered before the run).
    bool NoteMovedAside(const char* target, const char* previous, bool reregister);
    // The newest note is of a change that did not happen after all (the move failed).
    void ForgetNewest();
    // path (and its partial copy) is about to be written.
    bool NoteWritten(const char* path);
    // True when this run has written path (a retry finds its own file there).
    bool Wrote(const char* path) const;
    // Each key along keyPath (below HKEY_CURRENT_USER) that is not there yet, and so about to
    // be created with it. False when no storage.
    bool NoteKeyPath(const char* keyPath);
    // The value of keyPath (below HKEY_CURRENT_USER) is about to be written: its type and bytes,
    // or that it is missing, are kept. Nothing is kept in a key this run created (it goes as a
    // whole). False when no storage, or when the value is there but cannot be read (it could
    // not be put back).
    bool NoteValue(const char* keyPath, const char* name);
    // The control library at path is about to be asked to register itself.
    bool NoteControlRegistration(const char* path);

    // The number of changes noted.
    int Count() const { return m_count; }

    // Undoes every change, the newest first: the control unregisters itself, written files are
    // removed, moved files are put back (a control that was registered registers itself again),
    // values get their old type and bytes or are deleted, created keys and the created folder
    // (when empty) go. Each step is logged; one that fails does not stop the others. True when
    // every step succeeded. The journal is empty afterwards.
    bool Undo(RunLog& log);
    // The run is complete: the moved-aside files are deleted (each logged) and every note is
    // dropped.
    void Complete(RunLog& log);
    // Drops every note without undoing anything.
    void Forget();

private:
    struct Note;
    Note* Add(int kind, const char* first, const char* second, const void* data,
              std::uint32_t size);
    Note* m_newest = nullptr;
    int m_count = 0;
};

}  // namespace QRV2
