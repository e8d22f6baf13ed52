// What the installer's and the uninstaller's steps share: their results, a product file in the
// product folder, and the control's own entry points.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/Product.h"
#include "app/SequenceEnvironment.h"
#include "framework/containers/String.h"
#include "framework/core/Held.h"
#include "framework/system/FileFunc.h"
#include "framework/system/FilePath.h"

namespace QRV2 {

class SystemApp;
class RunLog;
struct InstallState;

// Result of a step. The numbers are the steps' status codes (the first four as the installer
// has always given them), so a caller that keeps one as a number keeps its meaning:
//   Done                the step's work is done (for a removal: also when nothing was there);
//   Held                the old library cannot be deleted (as a rule a browser holds it);
//   NoElement           no application singleton, or a path or file-functions element cannot
//                       be created;
//   NotWritten          no open archive, or the file cannot be written into the product folder
//                       (the folder cannot be made, the entry cannot be read or written, the
//                       finished file cannot take its name);
//   RegistryFailed      a registry key or value cannot be written or deleted;
//   NotLoaded           the control library cannot be loaded;
//   RegistrationFailed  the control has no such entry point, or it reports a failure;
//   NotReplaceable      something other than a library in use keeps the file from being moved,
//                       replaced or deleted (a folder of its name, no rights);
//   StillThere          the file still exists after it was deleted.
// Only Held and StillThere mean a library in use (IsHeldLibrary); the others will not mend by
// waiting.
enum class StepResult : std::int32_t {
    Done = 0,
    Held = 1,
    NoElement = 2,
    NotWritten = 3,
    RegistryFailed = 4,
    NotLoaded = 5,
    RegistrationFailed = 6,
    NotReplaceable = 7,
    StillThere = 13,
};

inline bool IsHeldLibrary(StepResult result) {
    return result == StepResult::Held || result == StepResult::StillThere;
}

// How the sequencer treats a step's result: a held library, or a failure that gets a few
// attempts with the phase text left as it is.
ActionResult StepOutcome(StepResult result);

// The word the log gives a step's result ("held", "not-written", ...).
const char* StepResultWord(StepResult result);

// StepOutcome, with the reason and the product file it concerns left in the state for the log.
ActionResult RecordOutcome(InstallState* state, ProductFileKind file, StepResult result);

// The name a file is written under in the product folder until it is complete (the installed
// name followed by this): a run that ends half-way never leaves a truncated library under the
// name a browser loads.
extern const char* const kPartialSuffix;

// The payload's file in the installer's private temporary folder.
extern const char* const kPayloadFileName;

// The name a file of the product is moved aside to while a run replaces it (the installed name
// followed by this): moved back when the run fails or is stopped, deleted when it completes.
extern const char* const kPreviousSuffix;

// Whether the file at path may be moved, replaced or deleted now, as far as anything but the
// folder it is in goes: Done when it may (also when nothing is there), Held when it is a library
// in use -- the one obstacle that goes by waiting, once the browser holding it is closed --, and
// NotReplaceable when anything else is in the way (a folder of that name, no rights), which
// waiting never mends. The one test of what counts as held, for installing and removing alike.
StepResult HeldCheck(const char* path);

// Deletes a key of the product below HKEY_CURRENT_USER, logged. True also when it is gone
// already, and when it holds a sub-key someone else put there (the system refuses to delete it:
// that key is theirs now); false when it cannot be deleted for another reason.
bool DeleteProductKey(const char* path, RunLog& log);

// The application singleton of the calling thread's framework, or null.
SystemApp* Application();

// True when two folder texts name the same folder: ASCII letter case ignored, "/" taken as "\".
bool SameFolderText(const char* a, const char* b);

// Where a file of the product is installed.
enum class FilePlace {
    Installed,      // where this version installs it (FolderOf)
    ProductFolder,  // the product folder, whatever the kind (where older versions put everything)
};

// The folder a file of the product is installed in, ending in a separator, into folder: the
// product folder, but for the uninstaller the folder the product folder is in (the user's local
// application data), so that the system's list of programs can still start it when the product
// folder has been deleted by hand. False when there is no product folder or no storage.
bool FolderOf(ProductFileKind kind, FilePlace place, String* folder);

// One file of the product in its folder, with the elements a step works on it with. target is
// null when any of them could not be had or the path could not be composed whole (a cut path
// might name another file); every step then ends with NoElement.
class ProductFolderFile {
public:
    // log receives a line for each file the step writes or removes.
    ProductFolderFile(ProductFileKind kind, RunLog& log, FilePlace place = FilePlace::Installed);
    ProductFolderFile(const ProductFolderFile&) = delete;
    ProductFolderFile& operator=(const ProductFolderFile&) = delete;

    const ProductFile& file;
    SystemApp* const app;
    RunLog& log;
    const char* target = nullptr;
    const char* folder = nullptr;  // the target's folder, ending in a separator
    FileFunc* Files() const { return m_files.Get(); }

    // Deletes the target and the partial and moved-aside copies a killed run left: Done when
    // the target is gone (or was never there), StillThere when it lingers, else what HeldCheck
    // makes of what keeps it (Held for a library in use).
    StepResult Delete();
    // Logs the target as written (with its size), or as not written.
    void LogWritten(StepResult result);

private:
    Held<String> m_folder;
    Held<FilePath> m_path;
    Held<FileFunc> m_files;
};

// Loads the control library by its full path alone (so a library of the same name elsewhere
// can never stand in for it; its own imports are looked for beside it and in the system folder)
// with COM initialised, and calls its entry point of that name ("DllRegisterServer",
// "DllUnregisterServer"). Done when the entry reports success; NotLoaded, or
// RegistrationFailed when the entry is missing or reports a failure. The log gets the entry's
// HRESULT, or why it could not be called.
StepResult CallControlEntry(const char* libraryPath, const char* entryName, RunLog& log);

// The size in bytes of the file at path, or -1 when it cannot be read.
std::int64_t FileSize(const char* path);

}  // namespace QRV2
