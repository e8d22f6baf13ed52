// UserTree: a user's own folder trees and files, as a command-line tool packs and unpacks them:
// names exactly as the file system has them, folders held open while they are worked in, and
// the files a tool writes to or reads from (standard streams, devices, scratch files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/File.h"
#include "platform/PathFacts.h"

namespace Platform {

// Paths here are host paths as the user typed them ("out/a", "C:\out\a"), and names are single
// components taken byte for byte: none of the Windows-shaped mapping of the framework's own
// paths (letter case, trailing dots and spaces, drive Z:) applies. Where the file system itself
// ignores letter case (Windows) it does so here too: UserNamesMatchLoosely tells which.

// An open folder. Everything made or opened through it lands in that very folder, whatever is
// renamed or planted on the path to it meanwhile. Opaque; null means none.
struct UserFolderObject;
using UserFolder = UserFolderObject*;

// True where the file system takes names that differ only in ASCII letter case, or in trailing
// dots and spaces, for one name (Windows); false where every byte counts (POSIX).
bool UserNamesMatchLoosely();

// Opens the folder at hostPath; links on the way and at its end are followed (the user chose
// the path). None; PathNotFound (missing); NotAFolder (a file stands there); AccessDenied;
// InvalidParameter; others as the system reports them.
Error UserFolderOpen(const std::string& hostPath, UserFolder* folder);

// Makes the folder at hostPath and every missing folder on the way (links followed as above).
// None (also when it exists); NotAFolder (a file is in the way); AccessDenied; PathNotFound.
Error UserFolderMake(const std::string& hostPath);

// Opens the folder name of parent (one component, not "." or ".."), never through a link; with
// create, makes it first when it is missing (*made, may be null, tells whether this call made
// it). None; FileNotFound (missing, create false); StoppedOnLink (a link stands there);
// NotAFolder (a file or special file stands there); InvalidName (not a single component);
// AccessDenied; others as the system reports them.
Error UserFolderOpenChild(UserFolder parent, const std::string& name, bool create,
                          UserFolder* child, bool* made = nullptr);

// Closes the folder; null is ignored.
void UserFolderClose(UserFolder folder);

// True when both handles are the same folder of the same file system.
bool UserSameFolder(UserFolder a, UserFolder b);

struct UserEntry {
    std::string name;  // exactly as the system has it
    // From a look that follows no link: a link is reported as a link, with its target's kind.
    PathFacts facts;
    // None, or why the entry could not be examined (its facts are then unknown).
    Error error = Error::None;
    bool hidden = false;  // POSIX: the name begins with "."; Windows: the hidden attribute
};

// Appends every entry of the folder but "." and ".." to *entries, in the order the system lists
// them. None; or why the folder cannot be read (AccessDenied, ...): entries listed before a
// failure stay in *entries; NotEnoughMemory.
Error UserFolderList(UserFolder folder, std::vector<UserEntry>* entries);

// The facts of name in folder, not following a link at it (as InspectPath).
Error UserInspect(UserFolder folder, const std::string& name, PathFacts* facts);

// Opens the regular file at relative below folder (components separated by "\") for reading;
// a link at its end is followed. None; FileNotFound / PathNotFound; NotAFolder;
// AccessDenied; InvalidParameter when what stands there is not a regular file (a FIFO is
// never waited on).
Error UserFileOpenRead(UserFolder folder, const std::string& relative, FileHandle* file);

// Creates the new file name in folder for reading and writing, exclusively and never through a
// link, with the permissions a new file gets (0666 less the umask). None; FileExists; others.
Error UserFileCreate(UserFolder folder, const std::string& name, FileHandle* file);

// Opens the existing regular file name in folder for writing, without emptying it and never
// through a link. None; FileNotFound; StoppedOnLink; InvalidParameter (not a regular file).
Error UserFileOpenWrite(UserFolder folder, const std::string& name, FileHandle* file);

// Gives the open file the execute permission of whoever may read it (POSIX); nothing on
// Windows, where no such bit exists. None; others as the system reports them.
Error UserFileMarkExecutable(FileHandle file);

// Gives the open file (about to replace name in folder) the permission bits of the regular file
// that name is now, and with keepOwner its owner and group too (POSIX; Windows has neither).
// None (also when nothing is there, or a folder); StoppedOnLink when a link stands there
// (nothing changed); AccessDenied when the owner or group cannot be kept.
Error UserFileAdoptMode(FileHandle file, UserFolder folder, const std::string& name,
                        bool keepOwner);

// Renames from to to inside folder in one step. A file or a link (the link itself, never its
// target) at to is replaced, unless noReplace (then AlreadyExists and nothing changes); a
// folder at to never is (AccessDenied). None; FileNotFound; others as the system reports them.
Error UserFileReplace(UserFolder folder, const std::string& from, const std::string& to,
                      bool noReplace = false);

// Deletes the file name in folder (a link itself, never its target). None; FileNotFound; others.
Error UserFileDelete(UserFolder folder, const std::string& name);

// Where a file the user named for writing would go, links followed to their end.
struct UserTarget {
    // Missing (nothing there yet), File, Folder, Special (a FIFO or device: written as a
    // stream), DanglingLink (a link whose target is missing).
    PathKind kind = PathKind::Missing;
    std::string folder;       // File and Missing: the host path of the folder it lies in
    std::string name;         // File and Missing: its name there
    std::uint32_t links = 1;  // File: its number of hard links
    bool writable = true;     // File: this user may write it
};
Error UserTargetInspect(const std::string& hostPath, UserTarget* target);

// Opens an existing file at hostPath for reading as the user named it (links followed). None;
// FileNotFound / PathNotFound; AccessDenied; others as the system reports them.
Error UserFileOpenPath(const std::string& hostPath, FileHandle* file);

// Opens an existing FIFO or device at hostPath for writing as a stream (nothing created or
// emptied). None; others as the system reports them.
Error UserStreamOpenWrite(const std::string& hostPath, FileHandle* file);

// Standard input and output as handles of their own (closing one leaves the stream open).
Error StandardInputFile(FileHandle* file);
Error StandardOutputFile(FileHandle* file);
// True when the handle is a terminal.
bool FileIsTerminal(FileHandle file);

// A new empty scratch file for reading and writing in the folder at hostFolder (empty: the
// system's temporary folder) that no other program sees and that goes away when it is closed or
// the program ends, however it ends. None; others as the system reports them.
Error ScratchFileCreate(const std::string& hostFolder, FileHandle* file);

// The separator of host paths ('/' on POSIX, '\' on Windows).
char HostSeparator();

}  // namespace Platform
