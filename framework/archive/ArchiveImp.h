// ArchiveImp: the archive element: directory in memory, entry streams, packing and extraction.
#pragma once

#include "framework/archive/Archive.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class ArchiveEntry;
class BinaryStream;
class CompressStream;
class Core;
class ElementContainer;

class ArchiveImp : public ElementImpBase<Archive, TypeArchive> {
public:
    explicit ArchiveImp(Core*) {}

    std::int32_t Initialize() override;
    std::int32_t Dispose() override;

    std::uint16_t GetVersion() override { return m_version; }
    std::int32_t SetVersion(std::uint16_t version) override;
    std::uint16_t GetSubVersion() override { return m_subVersion; }
    std::int32_t SetSubVersion(std::uint16_t subVersion) override;
    std::int32_t GetMode() override { return m_mode; }
    std::int32_t SetMode(std::int32_t mode) override;
    std::int32_t Open(const char* path) override;
    std::int32_t IsClosed() override;
    std::int32_t Close() override;
    Iterator* GetIterator(std::int32_t kind) override;
    std::int32_t ReturnIterator(Iterator** variable) override;
    Stream* BeginEntry(const char* name) override;
    std::int32_t EndEntry() override;
    Stream* OpenEntry(const char* name) override;
    std::int32_t CloseEntry() override;
    std::int32_t Reserved1(std::int32_t) override { return 1; }
    std::int32_t FindEntry(const char* name) override;
    std::int32_t Reserved2(std::int32_t, std::int32_t) override { return 1; }
    std::int32_t AddFile(const char* sourcePath, const char* name) override;
    std::int32_t ExtractEntry(const char* destinationPath, const char* name) override;
    std::int32_t AddFolder(const char* folderPath) override;
    std::int32_t ExtractAll(const char* destinationFolder, const char* prefix) override;
    Stream* OpenEntryContent(ArchiveEntry* entry) override;
    std::int32_t ExtractEntryTo(ArchiveEntry* entry, const char* destinationPath,
                                std::int32_t createFolders) override;

private:
    ArchiveEntry* FindByName(const char* name);
    Stream* OpenContent(ArchiveEntry* entry);
    std::int32_t ExtractTo(ArchiveEntry* entry, const char* destinationPath, bool createFolders);
    std::int32_t ReadDirectory();
    std::int32_t Commit();
    void AbandonEntry();
    Stream* FileStream();

    ElementContainer* m_directory = nullptr;
    BinaryStream* m_file = nullptr;
    CompressStream* m_entryStream = nullptr;
    ArchiveEntry* m_pending = nullptr;
    std::uint16_t m_version = 0x0200;
    std::uint16_t m_subVersion = 0;
    std::int32_t m_unchanged = 1;
    std::int32_t m_mode = 1;
    // Where the data region starts once the directory is read: no block may begin earlier.
    std::uint32_t m_dataStart = 0;
    // Set when a write into the archive fell short: Close then reports the file as damaged.
    bool m_damaged = false;
};

}  // namespace QRV2
