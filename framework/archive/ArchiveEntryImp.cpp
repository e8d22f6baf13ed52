// ArchiveEntryImp: name, offset and stored size of one archive entry, read and written as a record.
#include "framework/archive/ArchiveEntryImp.h"

#include "framework/archive/LittleEndian.h"
#include "framework/containers/Stream.h"
#include "framework/containers/String.h"
#include "framework/core/Core.h"

namespace QRV2 {

std::int32_t ArchiveEntryImp::Dispose() {
    SetName(nullptr);
    delete this;
    return 0;
}

void* ArchiveEntryImp::GetInterface(std::int32_t interfaceId) {
    return interfaceId == InterfaceIO ? static_cast<IO*>(this) : nullptr;
}

const char* ArchiveEntryImp::GetName() { return m_name == nullptr ? nullptr : m_name->GetString(); }

std::int32_t ArchiveEntryImp::SetName(const char* name) {
    if (name == nullptr) {
        ReleaseElement(m_name);
        return 0;
    }
    if (m_name == nullptr) {
        m_name = CreateElementAs<String>(TypeString);
        if (m_name == nullptr) return 1;
        m_name->AddReference();
    }
    if (m_name->SetString(name) != 0) {
        ReleaseElement(m_name);
        return 1;
    }
    return 0;
}

std::int32_t ArchiveEntryImp::SetOffset(std::uint32_t offset) {
    m_offset = offset;
    return 0;
}

std::int32_t ArchiveEntryImp::SetStoredSize(std::uint32_t size) {
    m_storedSize = size;
    return 0;
}

std::int32_t ArchiveEntryImp::ReadFrom(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    if (m_name == nullptr && SetName("") != 0) return 1;
    IO* nameIO = InterfaceOf<IO>(m_name, InterfaceIO);
    if (nameIO == nullptr) return 1;
    std::int32_t nameResult = nameIO->ReadFrom(stream, 0);
    // Bytes the stream cannot give keep the values the fields had.
    unsigned char fields[8];
    LittleEndian::Put32(fields, m_offset);
    LittleEndian::Put32(fields + 4, m_storedSize);
    bool whole = stream->Read(fields, sizeof fields) == sizeof fields;
    m_offset = LittleEndian::Get32(fields);
    m_storedSize = LittleEndian::Get32(fields + 4);
    if (stream->HasError() != 0) return stream->HasError();
    return nameResult != 0 || !whole ? 1 : 0;
}

std::int32_t ArchiveEntryImp::WriteTo(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    if (m_name == nullptr && SetName("") != 0) return 1;
    IO* nameIO = InterfaceOf<IO>(m_name, InterfaceIO);
    if (nameIO == nullptr) return 1;
    std::int32_t nameResult = nameIO->WriteTo(stream, 0);
    unsigned char fields[8];
    LittleEndian::Put32(fields, m_offset);
    LittleEndian::Put32(fields + 4, m_storedSize);
    bool whole = stream->Write(fields, sizeof fields) == sizeof fields;
    if (stream->HasError() != 0) return stream->HasError();
    return nameResult != 0 || !whole ? 1 : 0;
}

}  // namespace QRV2
