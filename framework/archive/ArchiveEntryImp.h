// ArchiveEntryImp: an archive directory record in memory and its IO view in the file layout.
#pragma once

#include "framework/archive/ArchiveEntry.h"
#include "framework/containers/IO.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class Core;
class String;

// IO view: ReadFrom and WriteTo give the stream's HasError afterwards (0 = no error); they
// give 1 as well when the name String cannot be created, or when ReadFrom finds the record
// cut short (so a truncated directory is never mistaken for a complete one).
class ArchiveEntryImp : public ElementImpBase<ArchiveEntry, TypeArchiveEntry>, public IO {
public:
    explicit ArchiveEntryImp(Core*) {}

    std::int32_t Dispose() override;
    void* GetInterface(std::int32_t interfaceId) override;

    const char* GetName() override;
    std::int32_t SetName(const char* name) override;
    std::uint32_t GetOffset() override { return m_offset; }
    std::int32_t SetOffset(std::uint32_t offset) override;
    std::uint32_t GetStoredSize() override { return m_storedSize; }
    std::int32_t SetStoredSize(std::uint32_t size) override;

    std::int32_t ReadFrom(Stream* stream, std::int32_t options) override;
    std::int32_t WriteTo(Stream* stream, std::int32_t options) override;

private:
    String* m_name = nullptr;
    std::uint32_t m_offset = 0;
    std::uint32_t m_storedSize = 0;
};

}  // namespace QRV2
