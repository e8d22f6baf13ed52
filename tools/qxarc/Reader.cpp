// Reader: the archive's directory read once (from one copy of the file's front where it fits),
// and the archive file read at offsets.
#include "tools/qxarc/Reader.h"

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/LittleEndian.h"
#include "framework/containers/Stream.h"
#include "framework/core/Core.h"
#include "framework/io/MemoryStream.h"
#include "platform/PathFacts.h"
#include "tools/qxarc/Common.h"

namespace QxarcTool {

using namespace QRV2;

namespace {

// Names the failure; false, for the caller to return.
bool Refused(const char* hostArchive, const char* reason) {
    Error(hostArchive, reason);
    return false;
}

}  // namespace

Reader::~Reader() { Forget(); }

bool Reader::Add(ArchiveEntry* entry) {
    m_entries.push_back(entry);
    return true;
}

void Reader::Forget() {
    for (ArchiveEntry* entry : m_entries) ReleaseElement(entry);
    m_entries.clear();
}

bool Reader::Open(const char* hostArchive) {
    std::string path;
    if (!ToFramework(hostArchive, &path)) return Refused(hostArchive, "not a usable path");
    m_stream = InterfaceOf<Stream>(m_file.Get(), InterfaceStream);
    if (m_stream == nullptr || m_file->SetPathName(path.c_str()) != 0 ||
        m_stream->SetAccessMode(Stream::AccessRead) != 0)
        return Refused(hostArchive, "out of memory");
    if (m_stream->Open() != 0) {
        Platform::PathFacts facts;
        Platform::InspectPath(path.c_str(), &facts);
        if (facts.kind == Platform::PathKind::Missing) return Refused(hostArchive, "no such file");
        if (facts.kind == Platform::PathKind::Folder) return Refused(hostArchive, "is a folder");
        return Refused(hostArchive,
                       "cannot be opened (refused by the system: in use or no rights)");
    }
    m_damage = ReadDirectory();
    if (m_damage != ArchiveFormat::Damage::None &&
        m_damage != ArchiveFormat::Damage::DirectoryCutShort)
        return Refused(hostArchive, ArchiveFormat::Explain(m_damage));
    return true;
}

// The directory is parsed from one copy of the file's front in memory, one read instead of
// several per record. The copy takes a byte beyond the directory's declared end, so it never
// ends where the file does not; should the records run past it (a size that understates
// them), the file itself is read instead.
ArchiveFormat::Damage Reader::ReadDirectory() {
    constexpr std::uint32_t kLargestCopy = 64u << 20;
    std::uint32_t fileSize = 0;
    unsigned char fixed[ArchiveFormat::kPrefixSize + ArchiveFormat::kDirectoryFixedSize];
    if (m_stream->GetSize(&fileSize) == 0 && fileSize >= sizeof fixed &&
        m_stream->SetPosition(0) == 0 && m_stream->Read(fixed, sizeof fixed) == sizeof fixed) {
        const std::uint64_t size = LittleEndian::Get32(fixed + 12);
        const std::uint64_t copy = size + ArchiveFormat::kPrefixSize + 1;
        Held<MemoryStream> memory(TypeMemoryStream);
        Stream* view = InterfaceOf<Stream>(memory.Get(), InterfaceStream);
        std::vector<unsigned char> front;
        if (view != nullptr && copy <= fileSize && copy <= kLargestCopy) {
            front.resize(static_cast<std::size_t>(copy));
            const std::uint32_t n = static_cast<std::uint32_t>(copy);
            if (m_stream->SetPosition(0) == 0 && m_stream->Read(front.data(), n) == n &&
                memory->SetData(front.data(), n) == 0) {
                ArchiveFormat::Damage damage =
                    ArchiveFormat::ReadDirectory(view, &m_header, this, &m_dataStart);
                if (damage != ArchiveFormat::Damage::DirectoryCutShort) return damage;
            }
            Forget();
        }
    }
    return ArchiveFormat::ReadDirectory(m_stream, &m_header, this, &m_dataStart);
}

std::string NameOf(ArchiveEntry* entry) {
    return entry->GetName() != nullptr ? entry->GetName() : "";
}

ArchiveFile::~ArchiveFile() {
    if (m_file != Platform::NullFile) Platform::FileClose(m_file);
}

bool ArchiveFile::Open(const std::string& path) {
    std::uint32_t size = 0;
    if (Platform::FileOpen(path.c_str(), Platform::FileAccess::Read, Platform::FileShare::Read,
                           Platform::FileDisposition::OpenExisting, Platform::FileHint::Random,
                           &m_file) != Platform::Error::None ||
        Platform::FileGetSize(m_file, &size) != Platform::Error::None)
        return false;
    m_size = size;
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

}  // namespace QxarcTool
