// FilePathImp: the path element, keeping the path text and its five parts as owned texts.
#pragma once

#include "framework/core/ElementImpBase.h"
#include "framework/system/FilePath.h"

namespace QRV2 {

class Core;

// Parts live as allocator-owned texts: null is an absent part, "" a present, empty one.
// When storage for a rebuilt path text cannot be obtained, the path becomes absent (GetPath null)
// rather than keeping a text that no longer matches the parts.
class FilePathImp : public ElementImpBase<FilePath, TypeFilePath> {
public:
    explicit FilePathImp(Core* core);

    std::int32_t Dispose() override;

    const char* GetPath() override;
    std::int32_t SetPath(const char* text) override;
    std::int32_t AppendPath(const char* text) override;
    const char* GetDrive() override;
    std::int32_t SetDrive(const char* text) override;
    std::int32_t AppendDrive(const char* text) override;
    const char* GetFolder() override;
    std::int32_t SetFolder(const char* text) override;
    std::int32_t AppendFolder(const char* text) override;
    const char* GetFileName() override;
    std::int32_t SetFileName(const char* text) override;
    std::int32_t AppendFileName(const char* text) override;
    const char* GetBaseName() override;
    std::int32_t SetBaseName(const char* text) override;
    std::int32_t AppendBaseName(const char* text) override;
    const char* GetExtension() override;
    std::int32_t SetExtension(const char* text) override;
    std::int32_t AppendExtension(const char* text) override;

private:
    void DropParts();
    void Parse();
    void SplitFileName();
    void ComposeFileName();
    // Rebuilds the path from the parts; 0, or 1 (path null) when a part was lost for want of
    // storage or the path itself cannot be stored.
    std::int32_t Rebuild();
    // A copy that could not be made: the parts no longer describe the path.
    char* Keep(char* copy);

    char* m_path = nullptr;
    char* m_drive = nullptr;
    char* m_folder = nullptr;
    char* m_fileName = nullptr;
    char* m_baseName = nullptr;
    char* m_extension = nullptr;
    // Set when a part could not be stored; a path rebuilt from such parts would silently name
    // another file (a folder lost turns an absolute path into a relative one), so none is built.
    bool m_partsLost = false;
};

}  // namespace QRV2
