// Converts errno values to the portable error codes, once, at the platform boundary.
#pragma once

#include <cerrno>

#include "platform/Error.h"

namespace Platform {

inline Error FromErrno(int e) {
    switch (e) {
        case 0: return Error::None;
        case ENOENT: return Error::FileNotFound;
        case ENOTDIR: return Error::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return Error::AccessDenied;
        case EMFILE:
        case ENFILE: return Error::TooManyOpenFiles;
        case EBADF: return Error::InvalidHandle;
        case ENOMEM: return Error::NotEnoughMemory;
        case EEXIST: return Error::AlreadyExists;
        case ENOTEMPTY: return Error::DirNotEmpty;
        case ENOSPC:
        case EDQUOT: return Error::DiskFull;
        case EINVAL: return Error::InvalidParameter;
        case ENAMETOOLONG: return Error::InvalidName;
        case EAGAIN: return Error::SharingViolation;
        case EIO: return Error::WriteFault;
        case EXDEV: return Error::NotSameDevice;
        case ELOOP: return Error::StoppedOnLink;
        default: return Error::Unknown;
    }
}

}  // namespace Platform
