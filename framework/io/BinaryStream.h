// BinaryStream: the unbuffered file stream element (type id 16); its Stream view has id 12.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Use: create, SetPathName, take the Stream view (GetInterface 12), SetAccessMode (and optionally
// SetUsage), Open, read/write/seek, Close, release. Every read, write or seek is one system call.
//
// Open: AccessRead of a missing file gives 1 and creates nothing; otherwise the file is opened,
// or created when missing, and never emptied, sharing reading only. 17 when the system refuses
// (missing folder, no rights, another open of the file conflicts); 1 without a path or while
// already open. Close after any write cuts the file at the position; a stream that was only read
// keeps the length. Close: 0; 1 when not open, or when the file could not be cut (it is closed
// anyway and the error flag is set).
class BinaryStream : public Element {
public:
    // The path as given, or null when none is set.
    virtual const char* GetPathName() = 0;
    // Stores a copy of path (null clears it). 0, or 1 when storage for the copy cannot be
    // obtained (the path is then cleared, so a later Open cannot reach a stale file).
    virtual std::int32_t SetPathName(const char* path) = 0;
};

}  // namespace QRV2
