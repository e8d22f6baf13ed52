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

int List(const char* hostArchive) {
    Reader reader;
    if (!reader.Open(hostArchive)) return kFailed;
    const ArchiveFormat::Header& header = reader.Header();
    std::printf("%s: version 0x%04X, sub-version 0x%04X, %" PRIu32 " entries, directory %" PRIu32
                " bytes, data from offset %" PRIu64 "\n",
                hostArchive, static_cast<unsigned>(header.version),
                static_cast<unsigned>(header.subVersion), header.count, header.directorySize,
                header.DataStart());
    std::printf("%12s %12s %12s  %s\n", "content", "stored", "offset", "name");
    for (ArchiveEntry* entry : reader.Entries()) {
        ArchiveFormat::BlockHeader block;
        char content[16] = "?";
        if (ArchiveFormat::ReadBlockHeader(reader.File(), entry->GetOffset(), &block) ==
                ArchiveFormat::Damage::None &&
            (block.Packed() || block.Raw()))
            std::snprintf(content, sizeof content, "%" PRIu32, block.contentSize);
        std::printf("%12s %12" PRIu32 " %12" PRIu32 "  %s\n", content, entry->GetStoredSize(),
                    entry->GetOffset(), Shown(NameOf(entry)).c_str());
    }
    if (reader.CutShort())
        return Error(hostArchive, ArchiveFormat::Explain(ArchiveFormat::Damage::DirectoryCutShort));
    return kOk;
}

namespace {

// Stops a read when the user asks to.
class CancelCheck : public ArchiveFormat::ContentSink {
public:
    bool Put(const void*, std::uint32_t) override { return !Platform::CancelRequested(); }
};

}  // namespace

int Test(const char* hostArchive) {
    Reader reader;
    if (!reader.Open(hostArchive)) return kFailed;
    Platform::InstallCancelHandlers();
    int result = kOk;
    if (reader.CutShort())
        result =
            Error(hostArchive, ArchiveFormat::Explain(ArchiveFormat::Damage::DirectoryCutShort));
    std::size_t good = 0;
    Progress progress(reader.Entries().size());
    CancelCheck cancel;
    for (ArchiveEntry* entry : reader.Entries()) {
        const std::string name = NameOf(entry);
        ArchiveFormat::Damage damage =
            ArchiveFormat::ReadContent(reader.File(), entry->GetOffset(), entry->GetStoredSize(),
                                       reader.DataStart(), &cancel, nullptr);
        if (Platform::CancelRequested()) {
            progress.Finish();
            return Stopped();
        }
        if (damage == ArchiveFormat::Damage::None) {
            ++good;
        } else {
            progress.Finish();
            result = Error(EntryLabel(hostArchive, name), ArchiveFormat::Explain(damage));
        }
        progress.Step(name);
    }
    progress.Finish();
    std::printf("%zu of %zu entries good\n", good, reader.Entries().size());
    return result;
}

}  // namespace QxarcTool
