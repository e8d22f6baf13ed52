// Reader: the archive opened (a stream copied into a scratch file first), its directory read
// once from a copy of the file's front, and the file read at offsets.
#include "tools/qxarc/Reader.h"

#include <algorithm>
#include <vector>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/LittleEndian.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/io/MemoryStream.h"
#include "platform/Cancel.h"
#include "platform/UserTree.h"
#include "tools/qxarc/Common.h"

namespace QxarcTool {

using namespace QRV2;

ArchiveFile::~ArchiveFile() {
    if (m_file != Platform::NullFile) Platform::FileClose(m_file);
}

bool ArchiveFile::Adopt(Platform::FileHandle file) {
    m_file = file;
    Platform::PathFacts facts;
    if (Platform::FileGetFacts(m_file, &facts) != Platform::Error::None ||
        facts.kind != Platform::PathKind::File)
        return false;
    m_size = facts.size;
    return true;
}

bool ArchiveFile::ReadAt(std::uint64_t offset, void* into, std::uint32_t count,
                         std::uint32_t* got) {
    return Platform::FileReadAt(m_file, offset, into, count, got) == Platform::Error::None;
}

bool ArchiveFile::Size(std::uint64_t* size) {
    *size = m_size;
    return true;
}

Reader::~Reader() { Forget(); }

bool Reader::Add(ArchiveEntry* entry) {
    try {
        m_entries.push_back(entry);
    } catch (const std::bad_alloc&) {
        ReleaseElement(entry);
        return false;
    }
    return true;
}

void Reader::Forget() {
    for (ArchiveEntry* entry : m_entries) ReleaseElement(entry);
    m_entries.clear();
}

// A stream is read once from start to end into a scratch file, which is then read at offsets.
bool Reader::OpenStream(Platform::FileHandle stream) {
    Platform::FileHandle scratch = Platform::NullFile;
    Platform::Error error = Platform::ScratchFileCreate("", &scratch);
    if (error != Platform::Error::None) {
        Platform::FileClose(stream);
        Error(m_label, "scratch file for the stream cannot be made (" + Why(error) + ")");
        return false;
    }
    const std::uint32_t piece = 1u << 20;
    unsigned char* buffer = static_cast<unsigned char*>(Allocate(piece));
    bool ok = buffer != nullptr;
    std::uint64_t at = 0;
    while (ok && !Platform::CancelRequested()) {
        std::uint32_t got = 0;
        error = Platform::FileRead(stream, buffer, piece, &got);
        if (error != Platform::Error::None || got == 0) break;
        std::uint32_t written = 0;
        error = Platform::FileWriteAt(scratch, at, buffer, got, &written);
        ok = error == Platform::Error::None;
        at += got;
    }
    Free(buffer);
    Platform::FileClose(stream);
    if (!m_file.Adopt(scratch) || buffer == nullptr || error != Platform::Error::None) {
        if (!Platform::CancelRequested())
            Error(m_label, buffer == nullptr ? std::string("out of memory")
                                             : "cannot be read whole (" + Why(error) + ")");
        return false;
    }
    return !Platform::CancelRequested();
}

bool Reader::Open(const std::string& hostArchive) {
    const bool standard = hostArchive == "-";
    m_label = standard ? "standard input" : hostArchive;
    Platform::FileHandle file = Platform::NullFile;
    Platform::Error error = standard ? Platform::StandardInputFile(&file)
                                     : Platform::UserFileOpenPath(hostArchive, &file);
    if (error != Platform::Error::None) {
        if (error == Platform::Error::FileNotFound || error == Platform::Error::PathNotFound) {
            Error(m_label, "no such file");
        } else {
            Error(m_label, "cannot be opened (" + Why(error) + ")");
        }
        return false;
    }
    Platform::PathFacts facts;
    error = Platform::FileGetFacts(file, &facts);
    if (error != Platform::Error::None || facts.kind == Platform::PathKind::Folder) {
        Platform::FileClose(file);
        Error(m_label, error != Platform::Error::None ? "cannot be examined (" + Why(error) + ")"
                                                      : std::string("is a folder"));
        return false;
    }
    if (facts.kind == Platform::PathKind::File) {
        m_file.Adopt(file);
    } else if (Platform::FileIsTerminal(file)) {
        Platform::FileClose(file);
        Error(m_label, "is a terminal: an archive is not read from one");
        return false;
    } else if (!OpenStream(file)) {
        return false;
    }
    m_file.Size(&m_size);
    m_damage = ReadDirectory();
    if (m_damage != ArchiveFormat::Damage::None &&
        m_damage != ArchiveFormat::Damage::DirectoryCutShort &&
        m_damage != ArchiveFormat::Damage::DirectorySizeWrong) {
        Error(m_label, ArchiveFormat::Explain(m_damage));
        return false;
    }
    return true;
}

int Reader::ReportDirectory() const {
    if (m_damage == ArchiveFormat::Damage::None) return kOk;
    std::string reason = ArchiveFormat::Explain(m_damage);
    if (m_damage == ArchiveFormat::Damage::DirectorySizeWrong)
        reason += " (header: " + std::to_string(m_header.directorySize) +
                  " bytes, records: " + std::to_string(m_dataStart - ArchiveFormat::kPrefixSize) +
                  ")";
    return Error(m_label, reason);
}

// The directory is parsed from a copy of the file's front in memory, one read instead of
// several per record. The copy first takes a byte beyond the directory's declared end, so it
// never ends where the file does not; should the records run past it (a size that understates
// them), a copy twice as long is taken, up to the whole file.
ArchiveFormat::Damage Reader::ReadDirectory() {
    constexpr std::uint64_t kFirstCopy = 64u << 20;
    unsigned char fixed[ArchiveFormat::kPrefixSize + ArchiveFormat::kDirectoryFixedSize] = {};
    std::uint32_t got = 0;
    if (!m_file.ReadAt(0, fixed, sizeof fixed, &got)) return ArchiveFormat::Damage::ReadFailed;
    const std::uint64_t declared =
        std::uint64_t{LittleEndian::Get32(fixed + 12)} + ArchiveFormat::kPrefixSize + 1;
    std::uint64_t copy = std::min({std::max<std::uint64_t>(declared, sizeof fixed), kFirstCopy,
                                   m_size, std::uint64_t{ArchiveFormat::kMaxSize}});
    for (;;) {
        Held<MemoryStream> memory(TypeMemoryStream);
        Stream* view = InterfaceOf<Stream>(memory.Get(), InterfaceStream);
        if (view == nullptr) return ArchiveFormat::Damage::NoMemory;
        const std::uint32_t n = static_cast<std::uint32_t>(copy);
        {
            std::vector<unsigned char> front;
            try {
                front.resize(n);
            } catch (const std::bad_alloc&) {
                return ArchiveFormat::Damage::NoMemory;
            }
            if (!m_file.ReadAt(0, front.data(), n, &got) || got != n)
                return ArchiveFormat::Damage::ReadFailed;
            if (memory->SetData(front.data(), n) != 0) return ArchiveFormat::Damage::NoMemory;
        }
        ArchiveFormat::Damage damage =
            ArchiveFormat::ReadDirectory(view, &m_header, this, &m_dataStart);
        if (damage != ArchiveFormat::Damage::DirectoryCutShort || copy >= m_size) {
            // The records must end exactly where the header says the directory does.
            if (damage == ArchiveFormat::Damage::None && m_header.DataStart() > m_size)
                damage = ArchiveFormat::Damage::DirectoryCutShort;
            else if (damage == ArchiveFormat::Damage::None && m_header.DataStart() != m_dataStart)
                damage = ArchiveFormat::Damage::DirectorySizeWrong;
            return damage;
        }
        Forget();
        copy = std::min(copy * 2, m_size);
    }
}

std::string NameOf(ArchiveEntry* entry) {
    return entry->GetName() != nullptr ? entry->GetName() : "";
}

}  // namespace QxarcTool
