// Reader: an archive's header and directory, read once for list, test and extract, and the
// archive file read at offsets by the workers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/ContentReader.h"
#include "platform/File.h"

namespace QRV2 {
class ArchiveEntry;
}

namespace QxarcTool {

// The archive file read at offsets, shared by the reading threads.
class ArchiveFile : public QRV2::ArchiveFormat::BlockSource {
public:
    ArchiveFile() = default;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    ~ArchiveFile();
    // Takes over the handle of a regular file.
    bool Adopt(Platform::FileHandle file);
    bool ReadAt(std::uint64_t offset, void* into, std::uint32_t count, std::uint32_t* got) override;
    bool Size(std::uint64_t* size) override;

private:
    Platform::FileHandle m_file = Platform::NullFile;
    std::uint64_t m_size = 0;
};

// The archive and its directory, read once through the format module. The archive may be a
// file, or "-" for standard input: a stream (a pipe, a FIFO, a device) is first copied into a
// scratch file, since entries are read in any order.
class Reader : public QRV2::ArchiveFormat::DirectorySink {
public:
    Reader() = default;
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader();
    bool Add(QRV2::ArchiveEntry* entry) override;
    // Opens and reads the directory; false after naming the failure. A damaged directory (cut
    // short, or not the size its header declares) still opens, what it holds being usable;
    // each command reports it with DirectoryProblem.
    bool Open(const std::string& hostArchive);
    // The archive as messages name it.
    const std::string& Label() const { return m_label; }
    QRV2::ArchiveFormat::Damage DirectoryDamage() const { return m_damage; }
    // Names the directory's damage, if any; kOk or kFailed.
    int ReportDirectory() const;
    ArchiveFile* File() { return &m_file; }
    const QRV2::ArchiveFormat::Header& Header() const { return m_header; }
    std::uint32_t DataStart() const { return m_dataStart; }
    const std::vector<QRV2::ArchiveEntry*>& Entries() const { return m_entries; }

private:
    bool OpenStream(Platform::FileHandle stream);
    QRV2::ArchiveFormat::Damage ReadDirectory();
    void Forget();

    std::string m_label;
    ArchiveFile m_file;
    std::uint64_t m_size = 0;
    QRV2::ArchiveFormat::Header m_header;
    QRV2::ArchiveFormat::Damage m_damage = QRV2::ArchiveFormat::Damage::None;
    std::uint32_t m_dataStart = 0;
    std::vector<QRV2::ArchiveEntry*> m_entries;
};

// The entry's name ("" when it has none).
std::string NameOf(QRV2::ArchiveEntry* entry);

}  // namespace QxarcTool
