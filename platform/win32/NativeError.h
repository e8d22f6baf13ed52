// Converts Win32 error numbers to the portable error codes, once, at the platform boundary.
#pragma once

#include <windows.h>

#include "platform/Error.h"

namespace Platform {

// The portable enum carries the Win32 numbers themselves; numbers it does not name map to
// Unknown so that callers only ever see values they can name.
inline Error FromWin32(DWORD e) {
    switch (e) {
        case ERROR_SUCCESS: return Error::None;
        case ERROR_INVALID_FUNCTION: return Error::InvalidFunction;
        case ERROR_FILE_NOT_FOUND: return Error::FileNotFound;
        case ERROR_PATH_NOT_FOUND: return Error::PathNotFound;
        case ERROR_TOO_MANY_OPEN_FILES: return Error::TooManyOpenFiles;
        case ERROR_ACCESS_DENIED: return Error::AccessDenied;
        case ERROR_INVALID_HANDLE: return Error::InvalidHandle;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return Error::NotEnoughMemory;
        case ERROR_INVALID_DATA: return Error::InvalidData;
        case ERROR_NO_MORE_FILES: return Error::NoMoreFiles;
        case ERROR_WRITE_FAULT: return Error::WriteFault;
        case ERROR_READ_FAULT: return Error::ReadFault;
        case ERROR_SHARING_VIOLATION: return Error::SharingViolation;
        case ERROR_LOCK_VIOLATION: return Error::LockViolation;
        case ERROR_HANDLE_EOF: return Error::HandleEof;
        case ERROR_FILE_EXISTS: return Error::FileExists;
        case ERROR_INVALID_PARAMETER: return Error::InvalidParameter;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return Error::DiskFull;
        case ERROR_INSUFFICIENT_BUFFER: return Error::InsufficientBuffer;
        case ERROR_INVALID_NAME: return Error::InvalidName;
        case ERROR_DIRECTORY: return Error::NotAFolder;
        case 681: return Error::StoppedOnLink;  // ERROR_STOPPED_ON_SYMLINK, not in every SDK
        case ERROR_MOD_NOT_FOUND: return Error::ModuleNotFound;
        case ERROR_PROC_NOT_FOUND: return Error::ProcNotFound;
        case ERROR_DIR_NOT_EMPTY: return Error::DirNotEmpty;
        case ERROR_ALREADY_EXISTS: return Error::AlreadyExists;
        case ERROR_MORE_DATA: return Error::MoreData;
        case ERROR_NO_MORE_ITEMS: return Error::NoMoreItems;
        case ERROR_BADDB: return Error::BadFormat;
        case ERROR_KEY_DELETED: return Error::KeyDeleted;
        case ERROR_NOT_SAME_DEVICE: return Error::NotSameDevice;
        case ERROR_NO_UNICODE_TRANSLATION: return Error::NoUnicodeTranslation;
        case ERROR_CANCELLED: return Error::Cancelled;
        default: return Error::Unknown;
    }
}

}  // namespace Platform
