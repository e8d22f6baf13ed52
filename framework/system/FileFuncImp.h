// FileFuncImp: the stateless file and folder operations element.
#pragma once

#include "framework/core/ElementImpBase.h"
#include "framework/system/FileFunc.h"

namespace QRV2 {

class Core;

class FileFuncImp : public ElementImpBase<FileFunc, TypeFileFunc> {
public:
    explicit FileFuncImp(Core* core);

    std::int32_t Dispose() override;

    std::int32_t FolderExists(const char* path) override;
    std::int32_t CreateFolders(const char* path) override;
    std::int32_t RemoveFolder(const char* path) override;
    std::int32_t Exists(const char* path) override;
    std::int32_t Copy(const char* source, const char* destination) override;
    std::int32_t Delete(const char* path) override;
    std::int32_t Rename(const char* oldPath, const char* newPath) override;
    std::int32_t Truncate(const char* path) override;
    std::int32_t WriteAll(const char* path, const void* data, std::int32_t count) override;
    std::int32_t ReadAll(const char* path, void** data, std::uint32_t* size,
                         std::int32_t extra) override;

private:
    // A copy of the folder part of path (drive + folder, trailing separator kept): "" for a path
    // without one; null when storage cannot be obtained (*noSplitter, when given, tells whether
    // it was the path splitter itself that could not be created).
    char* FolderPartOf(const char* path, bool* noSplitter);
};

}  // namespace QRV2
