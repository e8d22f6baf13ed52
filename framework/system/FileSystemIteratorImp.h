// FileSystemIteratorImp: the depth-first folder walk over the platform's directory enumeration.
#pragma once

#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"
#include "framework/system/FileSystemIterator.h"

namespace QRV2 {

class ElementContainer;
class String;
class StringUtil;

class FileSystemIteratorImp : public ElementImpBase<FileSystemIterator, TypeFileSystemIterator> {
public:
    explicit FileSystemIteratorImp(Core*) {}

    // Creates the StringUtil used for name comparisons; 1 when it cannot.
    std::int32_t Initialize() override;
    std::int32_t Dispose() override;

    const char* GetRootFolder() override;
    std::int32_t SetRootFolder(const char* folder) override;
    std::int32_t GetMaxDepth() override { return m_maxDepth; }
    std::int32_t SetMaxDepth(std::int32_t depth) override;
    std::int32_t GetLevelFilter() override { return m_levelFilter; }
    std::int32_t SetLevelFilter(std::int32_t level) override;
    FileSystemCallback GetFileCallback() override { return m_fileCallback; }
    std::int32_t SetFileCallback(FileSystemCallback callback) override;
    FileSystemCallback GetFolderCallback() override { return m_folderCallback; }
    std::int32_t SetFolderCallback(FileSystemCallback callback) override;
    std::int32_t Walk(std::int32_t userValue) override;
    std::uint8_t GetHiddenSelector() override { return m_hiddenSelector; }
    void SetHiddenSelector(std::uint8_t selector) override { m_hiddenSelector = selector; }
    std::uint8_t GetReportFolders() override { return m_reportFolders; }
    void SetReportFolders(std::uint8_t report) override { m_reportFolders = report; }
    std::uint8_t GetReportFiles() override { return m_reportFiles; }
    void SetReportFiles(std::uint8_t report) override { m_reportFiles = report; }
    std::uint8_t GetCollect() override { return m_collect; }
    void SetCollect(std::uint8_t collect) override { m_collect = collect; }
    const char* GetSuffixFilter() override;
    std::int32_t SetSuffixFilter(const char* suffix) override;
    Iterator* GetResults(Element* filter) override;
    void ReleaseResults(Iterator** variable) override;

private:
    // Outcome of handling one entry.
    enum Handled { Continue = 0, StopRequested = 1, OutOfStorage = 2 };

    // Lists searchStem + "*.*"; entry paths are folder + name (the two differ only for a root
    // given without its trailing separator).
    std::int32_t ListFolder(const char* folder, const char* searchStem, std::int32_t* depth,
                            std::int32_t userValue);
    Handled HandleEntry(bool isFolder, const char* folder, const char* name,
                        std::int32_t userValue);
    bool PassesSuffixFilter(const char* name);
    bool Collect(const char* fullPath);

    String* m_root = nullptr;
    String* m_suffix = nullptr;
    StringUtil* m_util = nullptr;
    ElementContainer* m_results = nullptr;
    FileSystemCallback m_fileCallback = nullptr;
    FileSystemCallback m_folderCallback = nullptr;
    std::int32_t m_maxDepth = 0x7FFFFFFF;
    std::int32_t m_levelFilter = -1;
    std::uint8_t m_hiddenSelector = 0;
    std::uint8_t m_reportFolders = 1;
    std::uint8_t m_reportFiles = 1;
    std::uint8_t m_collect = 0;
    // Length of the folder the walk under way started in: collected paths start after it.
    std::int32_t m_walkRootLength = 0;
};

}  // namespace QRV2
