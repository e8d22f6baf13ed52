// FilePath: one path text kept beside its drive, folder, file name, base name and extension.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// Both "\" and "/" separate, ":" ends a drive. No normalisation of any kind: parts are joined
// as they are (a folder to be joined with a file name must end in a separator; an extension
// carries its own dot). Getters return the object's own text, valid until the next change, or
// null for an absent value ("" for a present, empty one).
//
// After every part operation the path equals drive + folder + file name (absent parts empty);
// a file-name change re-derives base name and extension; a base-name or extension change
// re-composes the file name. After SetPath/AppendPath the path is exactly the text given.
class FilePath : public Element {
public:
    // The path text, or null if never set.
    virtual const char* GetPath() = 0;
    // Takes a copy of text (null: "") as the path and splits it into parts. 0; 1 when storage
    // for the copy cannot be obtained (then nothing changes) or a part cannot be stored (the
    // path text is kept, but the next part operation yields no path rather than a wrong one).
    virtual std::int32_t SetPath(const char* text) = 0;
    // Appends text (null: "") to the path (absent: "") and splits anew. 0, or 1 as SetPath.
    virtual std::int32_t AppendPath(const char* text) = 0;

    // Part operations. Set: text replaces the part (null drops it). Append: the part is created
    // empty if absent and text (when not null) appended. Then the path is rebuilt. 0; 1 when a
    // part or the rebuilt path cannot be stored: the path is then null (GetPath), never a text
    // that names another file, until the next SetPath.
    virtual const char* GetDrive() = 0;
    virtual std::int32_t SetDrive(const char* text) = 0;
    virtual std::int32_t AppendDrive(const char* text) = 0;
    virtual const char* GetFolder() = 0;
    virtual std::int32_t SetFolder(const char* text) = 0;
    virtual std::int32_t AppendFolder(const char* text) = 0;
    virtual const char* GetFileName() = 0;
    virtual std::int32_t SetFileName(const char* text) = 0;
    virtual std::int32_t AppendFileName(const char* text) = 0;
    virtual const char* GetBaseName() = 0;
    virtual std::int32_t SetBaseName(const char* text) = 0;
    virtual std::int32_t AppendBaseName(const char* text) = 0;
    virtual const char* GetExtension() = 0;
    virtual std::int32_t SetExtension(const char* text) = 0;
    virtual std::int32_t AppendExtension(const char* text) = 0;
};

}  // namespace QRV2
