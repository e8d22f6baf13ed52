// ArchiveImp: opening and committing archive files, entry streams, packing files and extracting.
#include "framework/archive/ArchiveImp.h"

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/CompressStream.h"
#include "framework/archive/ContentReader.h"
#include "framework/containers/ElementContainer.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/Stream.h"
#include "framework/containers/String.h"
#include "framework/containers/StringUtil.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/Held.h"
#include "framework/io/BinaryStream.h"
#include "framework/system/FileFunc.h"
#include "framework/system/FileSystemIterator.h"

namespace QRV2 {

namespace {

constexpr std::uint32_t kTransferBlock = 1024;

// Copies count bytes in transfer blocks; true only when every read and write moved every byte.
bool CopyBytes(Stream* from, Stream* to, std::uint32_t count, unsigned char* buffer) {
    while (count > 0) {
        std::uint32_t n = count > kTransferBlock ? kTransferBlock : count;
        if (from->Read(buffer, n) != n) return false;
        if (to->Write(buffer, n) != n) return false;
        count -= n;
    }
    return to->HasError() == 0;
}

// A file stream on path with the access mode, opened; null with *result set on failure.
BinaryStream* OpenFile(const char* path, std::int32_t access, std::int32_t* result) {
    BinaryStream* file = CreateElementAs<BinaryStream>(TypeBinaryStream);
    Stream* stream = InterfaceOf<Stream>(file, InterfaceStream);
    if (stream == nullptr) {
        ReleaseElement(file);
        *result = 1;
        return nullptr;
    }
    *result = file->SetPathName(path);
    if (*result == 0) *result = stream->SetAccessMode(access);
    if (*result == 0) *result = stream->Open();
    if (*result != 0) ReleaseElement(file);
    return file;
}

// Closes and releases a file that was written; true when closing (which cuts it) succeeded.
bool CloseWritten(BinaryStream*& file) {
    Stream* stream = InterfaceOf<Stream>(file, InterfaceStream);
    bool ok = stream != nullptr && stream->HasError() == 0 && stream->Close() == 0;
    ReleaseElement(file);
    return ok;
}

}  // namespace

std::int32_t ArchiveImp::Initialize() {
    m_directory = CreateElementAs<ElementContainer>(TypeElementContainer);
    if (m_directory == nullptr) return 1;
    m_directory->AddReference();
    return 0;
}

std::int32_t ArchiveImp::Dispose() {
    Close();
    ReleaseElement(m_directory);
    delete this;
    return 0;
}

Stream* ArchiveImp::FileStream() { return InterfaceOf<Stream>(m_file, InterfaceStream); }

std::int32_t ArchiveImp::SetVersion(std::uint16_t version) {
    m_version = version;
    return 0;
}

std::int32_t ArchiveImp::SetSubVersion(std::uint16_t subVersion) {
    m_subVersion = subVersion;
    return 0;
}

std::int32_t ArchiveImp::SetMode(std::int32_t mode) {
    if (IsClosed() != 1) return 1;
    if (mode < 0 || mode > 2) return 1;
    m_mode = mode == 1 ? 1 : 0;
    return 0;
}

std::int32_t ArchiveImp::IsClosed() {
    Stream* stream = FileStream();
    return stream == nullptr ? 1 : stream->IsClosed();
}

std::int32_t ArchiveImp::Open(const char* path) {
    if (m_file != nullptr) return 1;  // already open
    // A second Open of the same element starts from an empty directory, not the old one.
    Iterator* clear = m_directory->GetIterator(ElementContainer::IteratorClear, nullptr);
    if (clear != nullptr) m_directory->ReturnIterator(&clear);
    m_unchanged = 1;
    m_damaged = false;
    m_dataStart = 0;
    std::int32_t result = 0;
    m_file = OpenFile(path, m_mode == 1 ? Stream::AccessRead : Stream::AccessReadWrite, &result);
    if (result != 0) {
        m_file = nullptr;
        return result;
    }
    if (m_mode != 1) return 0;
    result = ReadDirectory();
    if (result != 0) ReleaseElement(m_file);
    return result;
}

namespace {

// Appends each record read to the archive's directory.
class DirectoryAppender : public ArchiveFormat::DirectorySink {
public:
    explicit DirectoryAppender(Iterator* append) : m_append(append) {}
    bool Add(ArchiveEntry* entry) override {
        if (m_append->Append(entry) == 0) return true;
        ReleaseElement(entry);
        return false;
    }

private:
    Iterator* m_append;
};

}  // namespace

std::int32_t ArchiveImp::ReadDirectory() {
    Iterator* append = m_directory->GetIterator(ElementContainer::IteratorChange, nullptr);
    if (append == nullptr) return 1;
    DirectoryAppender appender(append);
    ArchiveFormat::Header header;
    std::uint32_t dataStart = 0;
    ArchiveFormat::Damage damage =
        ArchiveFormat::ReadDirectory(FileStream(), &header, &appender, &dataStart);
    m_directory->ReturnIterator(&append);
    if (damage == ArchiveFormat::Damage::NotAnArchive ||
        damage == ArchiveFormat::Damage::BadDirectoryTag)
        return 1;
    m_version = header.version;
    m_subVersion = header.subVersion;
    // A directory cut short still opens with the records read so far.
    if (damage != ArchiveFormat::Damage::None && damage != ArchiveFormat::Damage::DirectoryCutShort)
        return 1;
    m_dataStart = dataStart;
    return 0;
}

std::int32_t ArchiveImp::Close() {
    if (m_entryStream != nullptr) {
        if (m_pending != nullptr) {
            EndEntry();
        } else {
            CloseEntry();
        }
    }
    bool writeMode = m_mode != 1;
    Stream* stream = FileStream();
    bool open = stream != nullptr && stream->IsClosed() == 0;
    std::int32_t result = writeMode && !open ? 1 : 0;
    if (writeMode && open && m_unchanged == 0) {
        if (Commit() != 0) m_damaged = true;
        if (stream->Close() != 0) m_damaged = true;
    }
    ReleaseElement(m_file);
    if (writeMode && m_damaged) result = 1;
    return result;
}

std::int32_t ArchiveImp::Commit() {
    Iterator* reader = m_directory->GetIterator(ElementContainer::IteratorRead, nullptr);
    if (reader == nullptr) return 1;
    Element** block = nullptr;
    std::uint32_t count = 0;
    std::int32_t result = 1;
    if (reader->GetContents(&block, &count) == 0) {
        ArchiveEntry** entries =
            static_cast<ArchiveEntry**>(Allocate(sizeof(ArchiveEntry*) * (count == 0 ? 1 : count)));
        if (entries != nullptr) {
            bool all = true;
            for (std::uint32_t i = 0; i < count; ++i) {
                entries[i] = static_cast<ArchiveEntry*>(block[i]);
                if (entries[i] == nullptr) all = false;
            }
            if (all)
                result =
                    ArchiveFormat::Commit(FileStream(), entries, count, m_version, m_subVersion);
            Free(entries);
        }
    }
    m_directory->ReturnIterator(&reader);
    return result;
}

Iterator* ArchiveImp::GetIterator(std::int32_t kind) {
    return m_directory == nullptr ? nullptr : m_directory->GetIterator(kind, nullptr);
}

std::int32_t ArchiveImp::ReturnIterator(Iterator** variable) {
    return m_directory == nullptr ? 1 : m_directory->ReturnIterator(variable);
}

Stream* ArchiveImp::BeginEntry(const char* name) {
    Stream* file = FileStream();
    if (m_entryStream != nullptr || m_mode == 1 || file == nullptr || file->IsClosed() != 0)
        return nullptr;
    m_entryStream = CreateElementAs<CompressStream>(TypeCompressStream);
    Stream* entryStream = InterfaceOf<Stream>(m_entryStream, InterfaceStream);
    if (entryStream == nullptr) {
        ReleaseElement(m_entryStream);
        return nullptr;
    }
    m_entryStream->SetOutputStream(file);
    entryStream->SetAccessMode(Stream::AccessWrite);
    m_pending = CreateElementAs<ArchiveEntry>(TypeArchiveEntry);
    std::uint32_t position = 0;
    if (entryStream->Open() != 0 || m_pending == nullptr || m_pending->AddReference() <= 0 ||
        m_pending->SetName(name) != 0 || file->GetPosition(&position) != 0) {
        AbandonEntry();
        return nullptr;
    }
    m_pending->SetOffset(position);
    return entryStream;
}

// Drops the entry being written without letting its stream write a block.
void ArchiveImp::AbandonEntry() {
    if (m_entryStream != nullptr) m_entryStream->SetOutputStream(nullptr);
    ReleaseElement(m_entryStream);
    ReleaseElement(m_pending);
}

std::int32_t ArchiveImp::EndEntry() {
    if (m_entryStream == nullptr) return 1;
    if (m_pending == nullptr) return 1;  // a reading stream: CloseEntry is its end
    std::int32_t result = 0;
    Stream* entryStream = InterfaceOf<Stream>(m_entryStream, InterfaceStream);
    Stream* file = FileStream();
    if (entryStream->Close() != 0) result = 1;
    std::uint32_t position = 0;
    if (file == nullptr || file->GetPosition(&position) != 0) {
        result = 1;
    } else {
        m_pending->SetStoredSize(position - m_pending->GetOffset());
    }
    Iterator* append = m_directory->GetIterator(ElementContainer::IteratorChange, nullptr);
    if (append == nullptr || append->Append(m_pending) != 0) result = 1;
    if (append != nullptr) m_directory->ReturnIterator(&append);
    m_unchanged = 0;
    if (result != 0) m_damaged = true;
    ReleaseElement(m_entryStream);
    ReleaseElement(m_pending);
    return result;
}

Stream* ArchiveImp::OpenContent(ArchiveEntry* entry) {
    Stream* file = FileStream();
    if (file == nullptr || m_entryStream != nullptr || entry == nullptr) return nullptr;
    // A block cannot start inside the header and directory; such an offset (for example the
    // zero left in a record cut short) would read the header as if it were entry data.
    if (entry->GetOffset() < m_dataStart) return nullptr;
    if (file->SetPosition(entry->GetOffset()) != 0) return nullptr;
    m_entryStream = CreateElementAs<CompressStream>(TypeCompressStream);
    Stream* entryStream = InterfaceOf<Stream>(m_entryStream, InterfaceStream);
    if (entryStream == nullptr) {
        ReleaseElement(m_entryStream);
        return nullptr;
    }
    m_entryStream->SetEntry(entry);
    m_entryStream->SetInputStream(file);
    entryStream->SetAccessMode(Stream::AccessRead);
    if (entryStream->Open() != 0) {
        ReleaseElement(m_entryStream);
        return nullptr;
    }
    return entryStream;
}

Stream* ArchiveImp::OpenEntry(const char* name) {
    if (name == nullptr) return nullptr;
    return OpenContent(FindByName(name));
}

std::int32_t ArchiveImp::CloseEntry() {
    if (m_entryStream == nullptr) return 1;
    if (m_pending != nullptr) {
        AbandonEntry();
    } else {
        ReleaseElement(m_entryStream);
    }
    return 0;
}

ArchiveEntry* ArchiveImp::FindByName(const char* name) {
    if (name == nullptr || m_directory == nullptr) return nullptr;
    StringUtil* util = CreateElementAs<StringUtil>(TypeStringUtil);
    if (util == nullptr) return nullptr;
    ArchiveEntry* found = nullptr;
    Iterator* it = m_directory->GetIterator(ElementContainer::IteratorRead, nullptr);
    if (it != nullptr) {
        for (it->First(); found == nullptr && it->IsAtEnd() == 0; it->Next()) {
            ArchiveEntry* entry = static_cast<ArchiveEntry*>(it->GetCurrent());
            const char* entryName = entry == nullptr ? nullptr : entry->GetName();
            if (entryName != nullptr && util->CompareNoCase(name, entryName) == 0) found = entry;
        }
        m_directory->ReturnIterator(&it);
    }
    ReleaseElement(util);
    return found;
}

std::int32_t ArchiveImp::FindEntry(const char* name) { return FindByName(name) != nullptr ? 0 : 1; }

std::int32_t ArchiveImp::AddFile(const char* sourcePath, const char* name) {
    std::int32_t result = 0;
    // Opened for reading: a missing source is an error rather than a new empty file, and a
    // read-only source can be packed.
    BinaryStream* source = OpenFile(sourcePath, Stream::AccessRead, &result);
    if (source == nullptr) return result;
    Stream* in = InterfaceOf<Stream>(source, InterfaceStream);
    std::uint32_t size = 0;
    unsigned char* buffer = static_cast<unsigned char*>(Allocate(kTransferBlock));
    Stream* entry = nullptr;
    if (buffer == nullptr || in->GetSize(&size) != 0 || (entry = BeginEntry(name)) == nullptr) {
        result = 1;
    } else if (!CopyBytes(in, entry, size, buffer)) {
        AbandonEntry();
        result = 1;
    } else {
        result = EndEntry();
    }
    Free(buffer);
    ReleaseElement(source);
    return result;
}

std::int32_t ArchiveImp::ExtractTo(ArchiveEntry* entry, const char* destinationPath,
                                   bool createFolders) {
    // The entry is read whole before the destination is touched: a damaged entry never
    // empties or half-writes the file it would have replaced.
    Stream* content = OpenContent(entry);
    std::uint32_t size = 0;
    if (content == nullptr) {
        if (m_entryStream != nullptr || !ArchiveFormat::IsEmptyBlock(FileStream(), entry)) return 1;
    } else {
        content->GetSize(&size);
    }
    std::int32_t result = 1;
    unsigned char* buffer = static_cast<unsigned char*>(Allocate(kTransferBlock));
    FileFunc* files = createFolders ? CreateElementAs<FileFunc>(TypeFileFunc) : nullptr;
    bool ready =
        buffer != nullptr &&
        (!createFolders || (files != nullptr && files->CreateFolders(destinationPath) == 0));
    if (ready) {
        std::int32_t opened = 0;
        BinaryStream* destination = OpenFile(destinationPath, Stream::AccessWrite, &opened);
        if (destination != nullptr) {
            Stream* out = InterfaceOf<Stream>(destination, InterfaceStream);
            // An empty write marks the file as written, so closing cuts an older, longer file.
            bool ok = size == 0 ? out->Write(buffer, 0) == 0 && out->HasError() == 0
                                : CopyBytes(content, out, size, buffer);
            if (CloseWritten(destination) && ok) result = 0;
        }
    }
    ReleaseElement(files);
    Free(buffer);
    if (content != nullptr) CloseEntry();
    return result;
}

Stream* ArchiveImp::OpenEntryContent(ArchiveEntry* entry) { return OpenContent(entry); }

std::int32_t ArchiveImp::ExtractEntryTo(ArchiveEntry* entry, const char* destinationPath,
                                        std::int32_t createFolders) {
    if (entry == nullptr || destinationPath == nullptr) return 1;
    return ExtractTo(entry, destinationPath, createFolders != 0);
}

std::int32_t ArchiveImp::ExtractEntry(const char* destinationPath, const char* name) {
    ArchiveEntry* entry = FindByName(name);
    if (entry == nullptr || destinationPath == nullptr) return 1;
    return ExtractTo(entry, destinationPath, false);
}

std::int32_t ArchiveImp::ExtractAll(const char* destinationFolder, const char* prefix) {
    // An empty folder would put every entry at the root of the current drive.
    if (destinationFolder == nullptr || destinationFolder[0] == '\0' || m_directory == nullptr)
        return 1;
    Held<String> path(TypeString);
    Iterator* it = m_directory->GetIterator(ElementContainer::IteratorRead, nullptr);
    std::int32_t result = !path || it == nullptr ? 1 : 0;
    if (result == 0) {
        for (it->First(); result == 0 && it->IsAtEnd() == 0; it->Next()) {
            ArchiveEntry* entry = static_cast<ArchiveEntry*>(it->GetCurrent());
            const char* name = entry == nullptr ? nullptr : entry->GetName();
            if (name == nullptr) {
                result = 1;
                break;
            }
            // Any beginning of the name counts here, also one that ends inside a component.
            const char* relative =
                ArchiveFormat::AfterPrefix(name, prefix != nullptr ? prefix : "", false);
            if (relative == nullptr) continue;
            // The part that becomes a path must stay below the destination, whole name and
            // remainder alike (a prefix may end inside a component).
            if (!ArchiveFormat::IsSafeEntryName(name) ||
                !ArchiveFormat::IsSafeEntryName(relative) ||
                path->SetString(destinationFolder) != 0) {
                result = 1;
                break;
            }
            std::int32_t length = path->GetLength();
            while (length > 0 && ArchiveFormat::IsSeparator(path->GetString()[length - 1]))
                --length;
            if (path->Shorten(length) != 0 || path->AppendString("\\") != 0 ||
                path->AppendString(relative) != 0) {
                result = 1;
                break;
            }
            result = ExtractTo(entry, path->GetString(), true);
        }
    }
    if (it != nullptr) m_directory->ReturnIterator(&it);
    return result;
}

std::int32_t ArchiveImp::AddFolder(const char* folderPath) {
    if (folderPath == nullptr) return 1;
    String* path = CreateElementAs<String>(TypeString);
    FileSystemIterator* walker = CreateElementAs<FileSystemIterator>(TypeFileSystemIterator);
    StringUtil* util = CreateElementAs<StringUtil>(TypeStringUtil);
    std::int32_t result = path == nullptr || walker == nullptr || util == nullptr ? 1 : 0;
    if (result == 0) {
        walker->SetRootFolder(folderPath);
        walker->SetReportFolders(0);
        walker->SetReportFiles(1);
        walker->SetHiddenSelector(0);
        walker->SetCollect(1);
        result = walker->Walk(0);
    }
    if (result == 0) {
        Iterator* found = walker->GetResults(nullptr);
        if (found != nullptr) {
            for (found->First(); result == 0 && found->IsAtEnd() == 0; found->Next()) {
                String* relative = static_cast<String*>(found->GetCurrent());
                const char* r = relative == nullptr ? nullptr : relative->GetString();
                if (r == nullptr || path->SetString(folderPath) != 0 ||
                    path->AppendString(r) != 0) {
                    result = 1;
                } else {
                    result = AddFile(path->GetString(), r);
                }
            }
            walker->ReleaseResults(&found);
        }
    }
    ReleaseElement(util);
    ReleaseElement(walker);
    ReleaseElement(path);
    return result;
}

}  // namespace QRV2
