// Reader: an archive's header and directory, read once for list, test and extract, and the
// archive file read at offsets by the extracting workers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/ContentReader.h"
#include "framework/core/Held.h"
#include "framework/io/BinaryStream.h"
#include "platform/File.h"

namespace QRV2 {
class ArchiveEntry;
class Stream;
}  // namespace QRV2

namespace QxarcTool {

// The archive file and its directory, read once through the format module.
class Reader : public QRV2::ArchiveFormat::DirectorySink {
public:
    // Not copied: it owns the file and the entries (the held file already forbids copies).
    ~Reader();
    bool Add(QRV2::ArchiveEntry* entry) override;
    // Opens and reads the directory; false after naming the failure. A directory cut short
    // opens (what it holds is usable) and is reported by each command.
    bool Open(const char* hostArchive);
    bool CutShort() const { return m_damage == QRV2::ArchiveFormat::Damage::DirectoryCutShort; }
    QRV2::Stream* File() const { return m_stream; }
    const QRV2::ArchiveFormat::Header& Header() const { return m_header; }
    std::uint32_t DataStart() const { return m_dataStart; }
    const std::vector<QRV2::ArchiveEntry*>& Entries() const { return m_entries; }

private:
    QRV2::ArchiveFormat::Damage ReadDirectory();
    void Forget();

    QRV2::Held<QRV2::BinaryStream> m_file{QRV2::TypeBinaryStream};
    QRV2::Stream* m_stream = nullptr;
    QRV2::ArchiveFormat::Header m_header;
    QRV2::ArchiveFormat::Damage m_damage = QRV2::ArchiveFormat::Damage::None;
    std::uint32_t m_dataStart = 0;
    std::vector<QRV2::ArchiveEntry*> m_entries;
};

// The entry's name ("" when it has none).
std::string NameOf(QRV2::ArchiveEntry* entry);

// The archive file read at offsets, shared by the extracting workers.
class ArchiveFile : public QRV2::ArchiveFormat::BlockSource {
public:
    ArchiveFile() = default;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    ~ArchiveFile();
    bool Open(const std::string& path);
    bool ReadAt(std::uint64_t offset, void* into, std::uint32_t count, std::uint32_t* got) override;
    bool Size(std::uint64_t* size) override;

private:
    Platform::FileHandle m_file = Platform::NullFile;
    std::uint64_t m_size = 0;
};

}  // namespace QxarcTool
