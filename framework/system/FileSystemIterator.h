// FileSystemIterator: walks a folder tree depth-first, reporting and collecting what passes
// filters.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

class Iterator;

// Called with the entry's full path (the listed folder + name, plus "\" for a folder) and the
// walk's user value; a non-zero result stops the listing of the folder the entry was found in.
using FileSystemCallback = std::int32_t (*)(const char* fullPath, std::int32_t userValue);

class FileSystemIterator : public Element {
public:
    // The folder the walk starts in (it should end in a separator), or null.
    virtual const char* GetRootFolder() = 0;
    // Sets (a copy) or drops (null) the root folder. 0; 1 when storage cannot be obtained.
    virtual std::int32_t SetRootFolder(const char* folder) = 0;
    // How many folder levels below the root are entered; 0 lists the root's own entries only.
    virtual std::int32_t GetMaxDepth() = 0;
    virtual std::int32_t SetMaxDepth(std::int32_t depth) = 0;
    // -1 reports folders of every level; otherwise only folders found where the remaining
    // depth equals this value (the maximum depth itself selects the root's direct sub-folders).
    virtual std::int32_t GetLevelFilter() = 0;
    virtual std::int32_t SetLevelFilter(std::int32_t level) = 0;
    virtual FileSystemCallback GetFileCallback() = 0;
    virtual std::int32_t SetFileCallback(FileSystemCallback callback) = 0;
    virtual FileSystemCallback GetFolderCallback() = 0;
    virtual std::int32_t SetFolderCallback(FileSystemCallback callback) = 0;
    // Runs the walk; a folder's contents are visited before the folder itself is reported.
    // 0 when the walk ran (a missing or unreadable root gives an empty walk; a callback's stop
    // request is no failure); 1 when no root folder is set, or storage could not be obtained
    // for a path or for the results (the walk then ends).
    virtual std::int32_t Walk(std::int32_t userValue) = 0;
    // Only entries whose hidden attribute equals the selector (0 or 1) are visited or entered.
    virtual std::uint8_t GetHiddenSelector() = 0;
    virtual void SetHiddenSelector(std::uint8_t selector) = 0;
    virtual std::uint8_t GetReportFolders() = 0;
    virtual void SetReportFolders(std::uint8_t report) = 0;
    virtual std::uint8_t GetReportFiles() = 0;
    virtual void SetReportFiles(std::uint8_t report) = 0;
    // When on, each reported entry's path relative to the root ("a.txt", "sub\b.txt", "sub\")
    // is collected as a String into the results.
    virtual std::uint8_t GetCollect() = 0;
    virtual void SetCollect(std::uint8_t collect) = 0;
    // A file is reported only when its name ends in the suffix, letter case ignored; an empty
    // suffix accepts no file. Null text drops the filter. 0; 1 when storage cannot be obtained.
    virtual const char* GetSuffixFilter() = 0;
    virtual std::int32_t SetSuffixFilter(const char* suffix) = 0;
    // An Iterator over the last walk's results, to be handed back with ReleaseResults: with
    // null the list iterator, with a filter element (consumed) a filtered reader. Null when no
    // results were collected (a filter is then released) or storage cannot be obtained.
    virtual Iterator* GetResults(Element* filter) = 0;
    // Hands back the iterator in *variable and clears the variable.
    virtual void ReleaseResults(Iterator** variable) = 0;
};

}  // namespace QRV2
