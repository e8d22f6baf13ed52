// Platform file service: sharing between opens, delete/move refusals, search rules, path facts
// and replacement, the POSIX path mapping, write hook.
#include <gtest/gtest.h>

#include <string>

#include "platform/DynamicLibrary.h"
#include "platform/File.h"
#include "platform/PathFacts.h"
#include "platform/testing/FileTestHook.h"
#include "tests/support/ScratchFolder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/PathMap.h"
#endif

using namespace Platform;
using QRV2Test::ScratchFolder;

namespace {

Error Open(const std::string& path, FileAccess access, FileShare share, FileHandle* file,
           FileDisposition disposition = FileDisposition::OpenAlways) {
    return FileOpen(path.c_str(), access, share, disposition, FileHint::Normal, file);
}

}  // namespace

TEST(PlatformFileSharing, OneWriterOrManyReadersAmongOpensOfOneProcess) {
    ScratchFolder dir;
    std::string path = dir / "shared.bin";
    FileHandle writer = NullFile, other = NullFile, reader1 = NullFile, reader2 = NullFile;
    ASSERT_EQ(Open(path, FileAccess::Write, FileShare::Read, &writer), Error::None);
    EXPECT_EQ(Open(path, FileAccess::Write, FileShare::Read, &other), Error::SharingViolation);
    EXPECT_EQ(other, NullFile);
    EXPECT_EQ(Open(path, FileAccess::Read, FileShare::Read, &other), Error::SharingViolation);
    EXPECT_EQ(FileClose(writer), Error::None);

    ASSERT_EQ(Open(path, FileAccess::Read, FileShare::Read, &reader1), Error::None);
    ASSERT_EQ(Open(path, FileAccess::Read, FileShare::Read, &reader2), Error::None);
    EXPECT_EQ(Open(path, FileAccess::ReadWrite, FileShare::Read, &other), Error::SharingViolation);
    EXPECT_EQ(Open(path, FileAccess::Read, FileShare::None, &other), Error::SharingViolation);
    FileClose(reader1);
    FileClose(reader2);

    ASSERT_EQ(Open(path, FileAccess::Read, FileShare::None, &reader1), Error::None);
    EXPECT_EQ(Open(path, FileAccess::Read, FileShare::Read, &other), Error::SharingViolation);
    FileClose(reader1);
    ASSERT_EQ(Open(path, FileAccess::ReadWrite, FileShare::Read, &other), Error::None);
    FileClose(other);
}

TEST(PlatformFileSharing, CreateAlwaysNeverEmptiesAFileSomeoneHolds) {
    ScratchFolder dir;
    std::string path = dir / "kept.bin";
    QRV2Test::WriteBytes(path, "precious");
    FileHandle reader = NullFile, writer = NullFile;
    ASSERT_EQ(Open(path, FileAccess::Read, FileShare::Read, &reader), Error::None);
    EXPECT_EQ(
        Open(path, FileAccess::Write, FileShare::None, &writer, FileDisposition::CreateAlways),
        Error::SharingViolation);
    FileClose(reader);
    EXPECT_EQ(QRV2Test::ReadBytes(path), "precious");
}

TEST(PlatformFileSharing, DeleteAndMoveOfAHeldFileFailUntilItIsClosed) {
    ScratchFolder dir;
    std::string path = dir / "held.txt";
    std::string moved = dir / "moved.txt";
    QRV2Test::WriteBytes(path, "x");
    FileHandle reader = NullFile;
    ASSERT_EQ(Open(path, FileAccess::Read, FileShare::Read, &reader), Error::None);
    EXPECT_EQ(FileDelete(path.c_str()), Error::SharingViolation);
    EXPECT_EQ(FileMove(path.c_str(), moved.c_str()), Error::SharingViolation);
    EXPECT_TRUE(QRV2Test::PathPresent(path));
    FileClose(reader);
    EXPECT_EQ(FileMove(path.c_str(), moved.c_str()), Error::None);
    EXPECT_EQ(FileDelete(moved.c_str()), Error::None);
    EXPECT_FALSE(QRV2Test::PathPresent(moved));
    EXPECT_EQ(FileDelete(moved.c_str()), Error::FileNotFound);
}

#if defined(QRV2_TEST_PLUGIN_LIBRARY) && !defined(_WIN32)
// A loaded library's file is in use as a running image is: no deleting, moving or writing it
// until the last load is freed.
TEST(PlatformFileSharing, ALoadedLibraryHoldsItsFileUntilFreed) {
    ScratchFolder dir;
    std::string path = dir / "loaded.dll";
    QRV2Test::WriteBytes(path, QRV2Test::ReadBytes(QRV2_TEST_PLUGIN_LIBRARY));
    Error error = Error::Unknown;
    LibraryHandle library = LoadLibraryFromPath(path.c_str(), &error);
    ASSERT_NE(library, nullptr);
    FileHandle writer = NullFile;
    EXPECT_EQ(FileDelete(path.c_str()), Error::SharingViolation);
    EXPECT_EQ(FileMove(path.c_str(), (dir / "moved.dll").c_str()), Error::SharingViolation);
    EXPECT_EQ(Open(path, FileAccess::Write, FileShare::Read, &writer), Error::SharingViolation);
    FreeLibrary(library);
    EXPECT_EQ(FileDelete(path.c_str()), Error::None);
}
#endif

// What keeps a file in place is told apart: a library loaded or a file held open is in use; a
// folder of the name is in the way for good; nothing there, or a free file, keeps nothing.
TEST(PlatformFileSharing, HoldTellsAFileInUseFromAFolderInTheWay) {
    ScratchFolder dir;
    std::string path = dir / "library.dll";
    EXPECT_EQ(FileHoldOf(path.c_str()), FileHold::Missing);
    EXPECT_EQ(FileHoldOf((dir / "no folder\\library.dll").c_str()), FileHold::Missing);
    QRV2Test::WriteBytes(path, "x");
    EXPECT_EQ(FileHoldOf(path.c_str()), FileHold::Free);
    FileHandle reader = NullFile;
    ASSERT_EQ(Open(path, FileAccess::Read, FileShare::Read, &reader), Error::None);
    EXPECT_EQ(FileHoldOf(path.c_str()), FileHold::InUse);
    FileClose(reader);
    EXPECT_EQ(FileHoldOf(path.c_str()), FileHold::Free);
#ifdef QRV2_TEST_PLUGIN_LIBRARY
    QRV2Test::WriteBytes(path, QRV2Test::ReadBytes(QRV2_TEST_PLUGIN_LIBRARY));
    LibraryHandle library = LoadLibraryFromPath(path.c_str(), nullptr);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(FileHoldOf(path.c_str()), FileHold::InUse);
    FreeLibrary(library);
    EXPECT_EQ(FileHoldOf(path.c_str()), FileHold::Free);
#endif
    ASSERT_EQ(FileDelete(path.c_str()), Error::None);
    ASSERT_EQ(FolderCreate(path.c_str()), Error::None);
    EXPECT_EQ(FileHoldOf(path.c_str()), FileHold::Blocked);
    EXPECT_EQ(FolderRemove(path.c_str()), Error::None);
}

TEST(PlatformFileMove, NeverReplacesAnExistingDestination) {
    ScratchFolder dir;
    std::string a = dir / "a.txt", b = dir / "b.txt";
    QRV2Test::WriteBytes(a, "A");
    QRV2Test::WriteBytes(b, "B");
    EXPECT_EQ(FileMove(a.c_str(), b.c_str()), Error::AlreadyExists);
    EXPECT_EQ(QRV2Test::ReadBytes(a), "A");
    EXPECT_EQ(QRV2Test::ReadBytes(b), "B");
    std::string sub = dir / "sub";
    ASSERT_EQ(FolderCreate(sub.c_str()), Error::None);
    EXPECT_EQ(FileMove(a.c_str(), sub.c_str()), Error::AlreadyExists);
}

TEST(PlatformFileOpen, DispositionsAndMissingPathsGiveTheirErrors) {
    ScratchFolder dir;
    std::string path = dir / "d.bin";
    FileHandle file = NullFile;
    EXPECT_EQ(Open(path, FileAccess::Read, FileShare::Read, &file, FileDisposition::OpenExisting),
              Error::FileNotFound);
    EXPECT_EQ(Open(dir / "nofolder\\d.bin", FileAccess::Write, FileShare::Read, &file),
              Error::PathNotFound);
    EXPECT_FALSE(QRV2Test::PathPresent(path));
    QRV2Test::WriteBytes(path, "0123456789");
    EXPECT_EQ(Open(path, FileAccess::Write, FileShare::Read, &file, FileDisposition::CreateNew),
              Error::FileExists);
    ASSERT_EQ(Open(path, FileAccess::ReadWrite, FileShare::Read, &file), Error::None);
    std::uint32_t size = 0;
    EXPECT_EQ(FileGetSize(file, &size), Error::None);
    EXPECT_EQ(size, 10u);  // OpenAlways never empties
    FileClose(file);
    ASSERT_EQ(Open(path, FileAccess::Write, FileShare::Read, &file, FileDisposition::CreateAlways),
              Error::None);
    EXPECT_EQ(FileGetSize(file, &size), Error::None);
    EXPECT_EQ(size, 0u);
    FileClose(file);
    // A folder cannot be opened as a file.
    EXPECT_EQ(Open(dir.Path().substr(0, dir.Path().size() - 1), FileAccess::Read, FileShare::Read,
                   &file, FileDisposition::OpenExisting),
              Error::AccessDenied);
}

TEST(PlatformFileIo, SeekSizeAndSetEnd) {
    ScratchFolder dir;
    std::string path = dir / "io.bin";
    FileHandle file = NullFile;
    ASSERT_EQ(Open(path, FileAccess::ReadWrite, FileShare::Read, &file), Error::None);
    std::uint32_t done = 0, at = 0;
    EXPECT_EQ(FileWrite(file, "abcdefghij", 10, &done), Error::None);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(FileSeek(file, 4, SeekOrigin::Begin, &at), Error::None);
    EXPECT_EQ(at, 4u);
    EXPECT_EQ(FileSeek(file, -5, SeekOrigin::Current, &at), Error::InvalidParameter);
    EXPECT_EQ(FileSeek(file, 0, SeekOrigin::Current, &at), Error::None);
    EXPECT_EQ(at, 4u);
    char buffer[8] = {};
    EXPECT_EQ(FileRead(file, buffer, 8, &done), Error::None);
    EXPECT_EQ(done, 6u);
    EXPECT_EQ(std::string(buffer, 6), "efghij");
    EXPECT_EQ(FileRead(file, buffer, 8, &done), Error::None);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(FileSeek(file, 3, SeekOrigin::Begin, nullptr), Error::None);
    EXPECT_EQ(FileSetEnd(file), Error::None);
    std::uint32_t size = 0;
    EXPECT_EQ(FileGetSize(file, &size), Error::None);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(FileClose(file), Error::None);

    ASSERT_EQ(Open(path, FileAccess::Read, FileShare::Read, &file), Error::None);
    EXPECT_NE(FileWrite(file, "z", 1, &done), Error::None);
    EXPECT_NE(FileSetEnd(file), Error::None);  // Wine says InvalidParameter, others AccessDenied
    FileClose(file);
    EXPECT_EQ(QRV2Test::ReadBytes(path), "abc");
}

TEST(PlatformFileExists, SearchRulesOfTheSystem) {
    ScratchFolder dir;
    QRV2Test::WriteBytes(dir / "Readme", "");
    QRV2Test::WriteBytes(dir / "data.txt", "");
    std::string folder = dir / "folder";
    ASSERT_EQ(FolderCreate(folder.c_str()), Error::None);
    EXPECT_EQ(FolderCreate(folder.c_str()), Error::AlreadyExists);

    EXPECT_TRUE(FileExists((dir / "data.txt").c_str()));
    EXPECT_TRUE(FileExists(folder.c_str()));
    EXPECT_FALSE(FileExists((folder + "\\").c_str()));
    EXPECT_FALSE(FileExists((dir / "nothing.txt").c_str()));
    EXPECT_FALSE(FileExists((dir / "missing\\data.txt").c_str()));
    EXPECT_FALSE(FileExists(nullptr));

    EXPECT_TRUE(FileExists((dir / "*.TXT").c_str()));
    EXPECT_TRUE(FileExists((dir / "d?ta.*").c_str()));
    EXPECT_TRUE(FileExists((dir / "readme.*").c_str()));  // ".*" also matches no dot at all
    // ".*" also matches the end of a name that has a dot of its own, as in the folder search.
    EXPECT_TRUE(FileExists((dir / "data.txt.*").c_str()));
    EXPECT_FALSE(FileExists((dir / "*.bin").c_str()));
    EXPECT_FALSE(FileExists((dir / "d?t.txt").c_str()));
    EXPECT_TRUE(FileExists((dir / "fold*").c_str()));
#ifndef _WIN32
    // The mapped drive: "Z:" is the root and exists; "Z:\" ends in a separator; other drives
    // have no counterpart.
    EXPECT_TRUE(FileExists("Z:"));
    EXPECT_FALSE(FileExists("Z:\\"));
    EXPECT_FALSE(FileExists("C:\\Windows"));
#endif
}

// Names are found as the Windows file system finds them: letter case and trailing dots and
// spaces of a name do not matter, and the one existing entry is what every operation reaches.
TEST(PlatformFileNames, LetterCaseAndTrailingDotsAreIgnored) {
    ScratchFolder dir;
    QRV2Test::WriteBytes(dir / "a.txt", "a");
    QRV2Test::WriteBytes(dir / "noext", "n");
    ASSERT_EQ(FolderCreate((dir / "sub").c_str()), Error::None);
    EXPECT_TRUE(FileExists((dir / "A.TXT").c_str()));
    EXPECT_TRUE(FileExists((dir / "noext.").c_str()));
    EXPECT_TRUE(FileExists((dir / "noext. .").c_str()));
    // A name without letters has one spelling, but its trailing dots still go.
    QRV2Test::WriteBytes(dir / "2024", "d");
    EXPECT_TRUE(FileExists((dir / "2024..").c_str()));
    EXPECT_EQ(FolderCreate((dir / "SUB").c_str()), Error::AlreadyExists);
    FileHandle file = NullFile;
    ASSERT_EQ(Open(dir / "SUB\\A.Txt", FileAccess::Write, FileShare::None, &file,
                   FileDisposition::CreateNew),
              Error::None);
    FileClose(file);
    EXPECT_TRUE(QRV2Test::PathPresent(dir / "sub\\A.Txt"));
    // A name with one spelling is made without a lookup, but not under another folder.
    ASSERT_EQ(
        Open(dir / "SUB\\7", FileAccess::Write, FileShare::None, &file, FileDisposition::CreateNew),
        Error::None);
    FileClose(file);
    EXPECT_TRUE(QRV2Test::PathPresent(dir / "sub\\7"));
    EXPECT_EQ(
        Open(dir / "Sub\\7", FileAccess::Write, FileShare::None, &file, FileDisposition::CreateNew),
        Error::FileExists);
    ASSERT_EQ(Open(dir / "A.TXT", FileAccess::Read, FileShare::Read, &file,
                   FileDisposition::OpenExisting),
              Error::None);
    char byte = 0;
    std::uint32_t got = 0;
    EXPECT_EQ(FileRead(file, &byte, 1, &got), Error::None);
    EXPECT_EQ(byte, 'a');
    FileClose(file);
    EXPECT_EQ(FileMove((dir / "NOEXT.").c_str(), (dir / "Sub\\moved").c_str()), Error::None);
    EXPECT_EQ(QRV2Test::ReadBytes(dir / "sub\\moved"), "n");
    EXPECT_EQ(FileDelete((dir / "A.TXT").c_str()), Error::None);
    EXPECT_FALSE(QRV2Test::PathPresent(dir / "a.txt"));
}

// A name's kind and size come without opening it; a replacement is one step that takes a file's
// place (never a folder's) under the target's name.
TEST(PlatformPathFacts, KindAndSizeWithoutOpeningAndReplacingInOneStep) {
    ScratchFolder dir;
    QRV2Test::WriteBytes(dir / "file.bin", "12345");
    ASSERT_EQ(FolderCreate((dir / "folder").c_str()), Error::None);
    PathFacts facts;
    ASSERT_EQ(InspectPath((dir / "file.bin").c_str(), &facts), Error::None);
    EXPECT_EQ(facts.kind, PathKind::File);
    EXPECT_EQ(facts.size, 5u);
    ASSERT_EQ(InspectPath((dir / "folder").c_str(), &facts), Error::None);
    EXPECT_EQ(facts.kind, PathKind::Folder);
    EXPECT_EQ(facts.size, 0u);
    for (const char* missing : {"missing", "missing\\below"}) {
        facts.kind = PathKind::File;
        EXPECT_EQ(InspectPath((dir / missing).c_str(), &facts), Error::None) << missing;
        EXPECT_EQ(facts.kind, PathKind::Missing) << missing;
    }
    EXPECT_EQ(InspectPath(nullptr, &facts), Error::InvalidParameter);

    QRV2Test::WriteBytes(dir / "new.bin", "new");
    EXPECT_EQ(FileReplace((dir / "new.bin").c_str(), (dir / "file.bin").c_str()), Error::None);
    EXPECT_EQ(QRV2Test::ReadBytes(dir / "file.bin"), "new");
    EXPECT_FALSE(QRV2Test::PathPresent(dir / "new.bin"));
    EXPECT_EQ(FileReplace((dir / "new.bin").c_str(), (dir / "file.bin").c_str()),
              Error::FileNotFound);
    EXPECT_EQ(FileReplace((dir / "file.bin").c_str(), (dir / "folder").c_str()),
              Error::AccessDenied);
    EXPECT_TRUE(QRV2Test::IsDirectory(dir / "folder"));
    // The source is found ignoring letter case; the target's own name only where the system
    // finds names so.
    QRV2Test::WriteBytes(dir / "case.txt", "old");
    EXPECT_EQ(FileReplace((dir / "FILE.BIN").c_str(), (dir / "CASE.TXT").c_str()), Error::None);
    EXPECT_EQ(QRV2Test::ReadBytes(dir / "case.txt"), ReplaceMatchesNamesLoosely() ? "new" : "old");
    EXPECT_FALSE(QRV2Test::PathPresent(dir / "file.bin"));

#ifndef _WIN32
    // Links are reported as links with their target's kind, and a replacement takes the link's
    // place, leaving its target alone.
    const std::string native = QRV2Test::NativePath(dir.Path());
    ASSERT_EQ(symlink("case.txt", (native + "to-file").c_str()), 0);
    ASSERT_EQ(symlink("folder", (native + "to-folder").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (native + "dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((native + "fifo").c_str(), 0600), 0);
    const struct {
        const char* name;
        PathKind kind;
        std::uint64_t size;
    } links[] = {{"to-file", PathKind::LinkToFile, 3},
                 {"to-folder", PathKind::LinkToFolder, 0},
                 {"dangling", PathKind::DanglingLink, 0},
                 {"fifo", PathKind::Special, 0}};
    for (const auto& link : links) {
        ASSERT_EQ(InspectPath((dir / link.name).c_str(), &facts), Error::None) << link.name;
        EXPECT_EQ(facts.kind, link.kind) << link.name;
        EXPECT_EQ(facts.size, link.size) << link.name;
    }
    QRV2Test::WriteBytes(dir / "over-link", "L");
    EXPECT_EQ(FileReplace((dir / "over-link").c_str(), (dir / "to-file").c_str()), Error::None);
    ASSERT_EQ(InspectPath((dir / "to-file").c_str(), &facts), Error::None);
    EXPECT_EQ(facts.kind, PathKind::File);
    EXPECT_EQ(QRV2Test::ReadBytes(dir / "case.txt"), "old");
#endif
}

#ifndef _WIN32
// The framework's Windows-shaped paths: drive Z: is the root, either separator splits, other
// drives have no place; a name is then found as the Windows file system finds it.
TEST(PlatformPathMap, ZIsTheRootAndNamesAreFoundIgnoringCaseAndTrailingDots) {
    std::string mapped;
    const struct {
        const char* windows;
        const char* posix;
    } shapes[] = {{"Z:\\home\\me\\a.txt", "/home/me/a.txt"},
                  {"z:/home/me/", "/home/me/"},
                  {"Z:", "/"},
                  {"Z:name", "/name"},
                  {"a\\b", "a/b"},
                  {"\\x", "/x"}};
    for (const auto& shape : shapes) {
        ASSERT_TRUE(ToPosixPath(shape.windows, &mapped)) << shape.windows;
        EXPECT_EQ(mapped, shape.posix) << shape.windows;
    }
    EXPECT_FALSE(ToPosixPath("C:\\Windows", &mapped));
    EXPECT_EQ(ToWindowsPath("/home/me/a.txt"), "Z:\\home\\me\\a.txt");
    EXPECT_EQ(ToWindowsPath("a/b"), "a\\b");

    ScratchFolder dir;
    const std::string native = QRV2Test::NativePath(dir.Path());
    ASSERT_EQ(FolderCreate((dir / "Sub").c_str()), Error::None);
    QRV2Test::WriteBytes(dir / "Sub\\noext", "n");
    QRV2Test::WriteBytes(dir / "Twin", "upper");
    QRV2Test::WriteBytes(dir / "twin", "lower");
    const struct {
        const char* given;
        const char* found;
    } names[] = {{"SUB\\NOEXT", "Sub/noext"},
                 {"sub\\noext. .", "Sub/noext"},
                 {"TWIN", "Twin"},  // several match: the first in byte order
                 {"twin", "twin"},  // the exact name wins
                 {"sub\\New..", "Sub/New"},
                 {"gone\\Deeper.", "gone/Deeper"}};
    for (const auto& name : names) {
        ASSERT_TRUE(ResolvePosixPath((dir / name.given).c_str(), &mapped)) << name.given;
        EXPECT_EQ(mapped, native + name.found) << name.given;
    }
    ASSERT_TRUE(ResolvePosixPath((dir / "SUB\\*.").c_str(), &mapped, true));
    EXPECT_EQ(mapped, native + "Sub/*.");
}

// Another file system cannot take a rename: a file is copied and the original deleted (as the
// system's move does), a folder stays where it is.
TEST(PlatformFileMove, AFileMovesToAnotherFileSystem) {
    ScratchFolder dir;
    const char* memory = "/dev/shm";
    struct stat there {};
    struct stat here {};
    if (stat(memory, &there) != 0 || stat(QRV2Test::NativePath(dir.Path()).c_str(), &here) != 0 ||
        there.st_dev == here.st_dev) {
        GTEST_SKIP() << "no second file system at hand";
    }
    ScratchFolder unused;  // a unique name for the files on the other file system
    std::string stem = QRV2Test::NativePath(unused.Path());
    stem = stem.substr(stem.find_last_of('/', stem.size() - 2) + 1);
    stem.pop_back();
    std::string from = "Z:\\dev\\shm\\" + stem + ".bin";
    std::string folder = "Z:\\dev\\shm\\" + stem + ".d";
    QRV2Test::WriteBytes(from, "carried");
    ASSERT_EQ(chmod(QRV2Test::NativePath(from).c_str(), 0640), 0);
    ASSERT_EQ(FolderCreate(folder.c_str()), Error::None);
    QRV2Test::WriteBytes(dir / "taken.bin", "T");
    EXPECT_EQ(FileMove(from.c_str(), (dir / "taken.bin").c_str()), Error::AlreadyExists);
    EXPECT_EQ(FileMove(from.c_str(), (dir / "moved.bin").c_str()), Error::None);
    EXPECT_EQ(FileMove(folder.c_str(), (dir / "folder").c_str()), Error::NotSameDevice);
    EXPECT_FALSE(QRV2Test::PathPresent(from));
    EXPECT_EQ(QRV2Test::ReadBytes(dir / "moved.bin"), "carried");
    struct stat moved {};
    ASSERT_EQ(stat(QRV2Test::NativePath(dir / "moved.bin").c_str(), &moved), 0);
    EXPECT_EQ(moved.st_mode & 0777, 0640u);
    EXPECT_TRUE(QRV2Test::IsDirectory(folder));
    EXPECT_FALSE(QRV2Test::PathPresent(dir / "folder"));
    EXPECT_EQ(FolderRemove(folder.c_str()), Error::None);
}
#endif

TEST(PlatformFileFolders, RemoveRefusesANonEmptyFolder) {
    ScratchFolder dir;
    std::string folder = dir / "full";
    ASSERT_EQ(FolderCreate(folder.c_str()), Error::None);
    QRV2Test::WriteBytes(folder + "\\f.txt", "f");
    EXPECT_EQ(FolderRemove(folder.c_str()), Error::DirNotEmpty);
    EXPECT_TRUE(QRV2Test::IsDirectory(folder));
    EXPECT_EQ(FolderCreate((dir / "a\\b").c_str()), Error::PathNotFound);
    EXPECT_EQ(FileDelete(folder.c_str()), Error::AccessDenied);
    EXPECT_EQ(FileDelete((folder + "\\f.txt").c_str()), Error::None);
    EXPECT_EQ(FolderRemove(folder.c_str()), Error::None);
    EXPECT_FALSE(QRV2Test::PathPresent(folder));
}

TEST(PlatformFileTestHook, WriteCrossingTheLimitFallsShortAndLaterWritesFail) {
    ScratchFolder dir;
    FileHandle file = NullFile;
    ASSERT_EQ(Open(dir / "full.bin", FileAccess::Write, FileShare::Read, &file), Error::None);
    std::uint32_t done = 0;
    FileTestHook::FailWritesAfter(5);
    EXPECT_EQ(FileWrite(file, "abc", 3, &done), Error::None);
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(FileWrite(file, "defg", 4, &done), Error::DiskFull);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(FileWrite(file, "h", 1, &done), Error::DiskFull);
    EXPECT_EQ(done, 0u);
    FileTestHook::Reset();
    EXPECT_EQ(FileWrite(file, "h", 1, &done), Error::None);
    EXPECT_EQ(done, 1u);
    FileClose(file);
    EXPECT_EQ(QRV2Test::ReadBytes(dir / "full.bin"), "abcdeh");
}
