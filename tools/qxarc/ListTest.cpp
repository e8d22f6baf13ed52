// ListTest: qxarc list and qxarc test.
#include "tools/qxarc/ListTest.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/BlockCodec.h"
#include "framework/archive/ContentReader.h"
#include "platform/Cancel.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Reader.h"

namespace QxarcTool {

using namespace QRV2;

namespace {

// The content size a block's header declares; false when the header cannot be read or its tag
// is unknown.
bool DeclaredSize(ArchiveFile* file, std::uint32_t offset, std::uint32_t* size) {
    unsigned char bytes[ArchiveFormat::kBlockHeaderSize];
    std::uint32_t got = 0;
    if (!file->ReadAt(offset, bytes, sizeof bytes, &got) || got != sizeof bytes) return false;
    const ArchiveFormat::BlockHeader block = ArchiveFormat::DecodeBlockHeader(bytes);
    *size = block.contentSize;
    return block.Packed() || block.Raw();
}

// Stops a read when the user asks to.
class CancelCheck : public ArchiveFormat::ContentSink {
public:
    bool Put(const void*, std::uint32_t) override { return !Platform::CancelRequested(); }
};

}  // namespace

int List(const char* hostArchive) {
    Reader reader;
    if (!reader.Open(hostArchive)) return Platform::CancelRequested() ? Stopped() : kFailed;
    const ArchiveFormat::Header& header = reader.Header();
    std::printf("%s: version 0x%04X, sub-version 0x%04X, %" PRIu32 " entries, directory %" PRIu32
                " bytes, data from offset %" PRIu64 "\n",
                Shown(reader.Label()).c_str(), static_cast<unsigned>(header.version),
                static_cast<unsigned>(header.subVersion), header.count, header.directorySize,
                header.DataStart());
    std::printf("%12s %12s %12s  %s\n", "content", "stored", "offset", "name");
    for (ArchiveEntry* entry : reader.Entries()) {
        std::uint32_t size = 0;
        char content[16] = "?";
        if (DeclaredSize(reader.File(), entry->GetOffset(), &size))
            std::snprintf(content, sizeof content, "%" PRIu32, size);
        std::printf("%12s %12" PRIu32 " %12" PRIu32 "  %s\n", content, entry->GetStoredSize(),
                    entry->GetOffset(), Shown(NameOf(entry)).c_str());
    }
    return reader.ReportDirectory();
}

int Test(const char* hostArchive) {
    Reader reader;
    if (!reader.Open(hostArchive)) return Platform::CancelRequested() ? Stopped() : kFailed;
    Platform::InstallCancelHandlers();
    int result = reader.ReportDirectory();
    std::size_t good = 0;
    std::uint64_t total = 0;
    for (ArchiveEntry* entry : reader.Entries()) total += entry->GetStoredSize();
    Progress progress(total);
    CancelCheck cancel;
    ArchiveFormat::ContentReader content(ArchiveFormat::kStreamPiece, ArchiveFormat::kStreamPiece,
                                         false);
    for (ArchiveEntry* entry : reader.Entries()) {
        const std::string name = NameOf(entry);
        ArchiveFormat::Damage damage =
            content.Read(reader.File(), entry->GetOffset(), entry->GetStoredSize(),
                         reader.DataStart(), &cancel, nullptr);
        if (Platform::CancelRequested()) {
            progress.Finish();
            return Stopped();
        }
        if (damage == ArchiveFormat::Damage::None) {
            ++good;
        } else {
            progress.Finish();
            result = Error(EntryLabel(reader.Label(), name), ArchiveFormat::Explain(damage));
        }
        progress.Advance(entry->GetStoredSize(), name);
    }
    progress.Finish();
    std::printf("%zu of %zu entries good\n", good, reader.Entries().size());
    return result;
}

}  // namespace QxarcTool
