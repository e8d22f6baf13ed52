// Portable error codes of the platform layer; values are the Win32 numbers the framework refers to.
#pragma once

namespace Platform {

// Every platform service reports one of these. Each implementation converts its native error
// (GetLastError, errno) once, at the boundary, so callers never see a native number.
enum class Error : int {
    None = 0,
    InvalidFunction = 1,
    FileNotFound = 2,          // ERROR_FILE_NOT_FOUND
    PathNotFound = 3,          // ERROR_PATH_NOT_FOUND
    TooManyOpenFiles = 4,      // ERROR_TOO_MANY_OPEN_FILES
    AccessDenied = 5,          // ERROR_ACCESS_DENIED
    InvalidHandle = 6,         // ERROR_INVALID_HANDLE
    NotEnoughMemory = 8,       // ERROR_NOT_ENOUGH_MEMORY
    InvalidData = 13,          // ERROR_INVALID_DATA
    NotSameDevice = 17,        // ERROR_NOT_SAME_DEVICE
    NoMoreFiles = 18,          // ERROR_NO_MORE_FILES
    WriteFault = 29,           // ERROR_WRITE_FAULT
    ReadFault = 30,            // ERROR_READ_FAULT
    SharingViolation = 32,     // ERROR_SHARING_VIOLATION
    LockViolation = 33,        // ERROR_LOCK_VIOLATION
    HandleEof = 38,            // ERROR_HANDLE_EOF
    FileExists = 80,           // ERROR_FILE_EXISTS
    InvalidParameter = 87,     // ERROR_INVALID_PARAMETER
    DiskFull = 112,            // ERROR_DISK_FULL
    InsufficientBuffer = 122,  // ERROR_INSUFFICIENT_BUFFER
    InvalidName = 123,         // ERROR_INVALID_NAME
    NotAFolder = 267,          // ERROR_DIRECTORY: something other than a folder stands there
    ModuleNotFound = 126,      // ERROR_MOD_NOT_FOUND
    ProcNotFound = 127,        // ERROR_PROC_NOT_FOUND
    DirNotEmpty = 145,         // ERROR_DIR_NOT_EMPTY
    AlreadyExists = 183,       // ERROR_ALREADY_EXISTS
    MoreData = 234,            // ERROR_MORE_DATA
    NoMoreItems = 259,         // ERROR_NO_MORE_ITEMS
    StoppedOnLink = 681,       // ERROR_STOPPED_ON_SYMLINK: a link stands where none may be followed
    BadFormat = 1010,          // ERROR_BADDB / damaged store
    KeyDeleted = 1018,         // ERROR_KEY_DELETED
    Cancelled = 1223,          // ERROR_CANCELLED
    // ERROR_NO_UNICODE_TRANSLATION: the system names it, but the 8-bit code page cannot spell it
    NoUnicodeTranslation = 1113,
    Unknown = 0x7fffffff,
};

inline int ToInt(Error e) { return static_cast<int>(e); }

}  // namespace Platform
