// ListTest: qxarc list and qxarc test.
#include "tools/qxarc/ListTest.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/BlockCodec.h"
#include "framework/archive/ContentReader.h"
#include "platform/Cancel.h"
#include "tools/qxarc/Common.h"
#include "tools/qxarc/Reader.h"
#include "tools/qxarc/Selection.h"

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

// Names the names given that took no entry; kOk when there are none.
int ReportUnmatched(const Selection& selection) {
    int result = kOk;
    for (const std::string& name : selection.Unmatched())
        result = Error(name, "not found in the archive");
    return result;
}

// "saved" as a share of the content, for a listing.
std::string Saved(std::uint64_t content, std::uint64_t stored) {
    if (content == 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%",
                  100.0 * (static_cast<double>(content) - static_cast<double>(stored)) /
                      static_cast<double>(content));
    return text;
}

}  // namespace

int List(const std::string& hostArchive, Selection* selection, bool verbose) {
    Reader reader;
    if (!reader.Open(hostArchive)) return Platform::CancelRequested() ? Stopped() : kFailed;
    const ArchiveFormat::Header& header = reader.Header();
    if (verbose) std::printf("%12s %12s %7s  %s\n", "size", "stored", "saved", "name");
    std::uint64_t content = 0;
    std::uint64_t stored = 0;
    std::size_t listed = 0;
    int result = kOk;
    for (ArchiveEntry* entry : reader.Entries()) {
        const std::string name = NameOf(entry);
        if (!selection->Takes(name)) continue;
        ++listed;
        if (!verbose) {
            std::printf("%s\n", Shown(name).c_str());
            continue;
        }
        std::uint32_t size = 0;
        char shown[16] = "?";
        if (DeclaredSize(reader.File(), entry->GetOffset(), &size)) {
            std::snprintf(shown, sizeof shown, "%" PRIu32, size);
            content += size;
        } else {
            result = kFailed;
        }
        stored += entry->GetStoredSize();
        std::printf("%12s %12" PRIu32 " %7s  %s\n", shown, entry->GetStoredSize(),
                    size != 0 ? Saved(size, entry->GetStoredSize()).c_str() : "-",
                    Shown(name).c_str());
    }
    if (verbose)
        std::printf("%12" PRIu64 " %12" PRIu64 " %7s  %zu entries of %zu (directory %" PRIu32
                    " bytes, version 0x%04X, sub-version 0x%04X)\n",
                    content, stored, Saved(content, stored).c_str(), listed,
                    reader.Entries().size(), header.directorySize,
                    static_cast<unsigned>(header.version),
                    static_cast<unsigned>(header.subVersion));
    if (result != kOk)
        Error(reader.Label(), "the block headers of the entries shown with \"?\" cannot be read");
    const int directory = reader.ReportDirectory();
    const int unmatched = ReportUnmatched(*selection);
    return result != kOk || directory != kOk || unmatched != kOk ? kFailed : kOk;
}

int Test(const std::string& hostArchive, Selection* selection, bool verbose) {
    Reader reader;
    if (!reader.Open(hostArchive)) return Platform::CancelRequested() ? Stopped() : kFailed;
    Platform::InstallCancelHandlers();
    int result = reader.ReportDirectory();
    std::size_t good = 0;
    std::size_t tested = 0;
    std::uint64_t total = 0;
    std::vector<ArchiveEntry*> taken;
    for (ArchiveEntry* entry : reader.Entries()) {
        if (!selection->Takes(NameOf(entry))) continue;
        taken.push_back(entry);
        total += entry->GetStoredSize();
    }
    Progress progress(total);
    CancelCheck cancel;
    ArchiveFormat::ContentReader content(ArchiveFormat::kStreamPiece, ArchiveFormat::kStreamPiece,
                                         false);
    for (ArchiveEntry* entry : taken) {
        const std::string name = NameOf(entry);
        ++tested;
        ArchiveFormat::Damage damage =
            content.Read(reader.File(), entry->GetOffset(), entry->GetStoredSize(),
                         reader.DataStart(), &cancel, nullptr);
        if (Platform::CancelRequested()) {
            progress.Finish();
            return Stopped();
        }
        if (damage == ArchiveFormat::Damage::None) {
            ++good;
            if (verbose) {
                progress.Finish();
                std::printf("%s\n", Shown(name).c_str());
            }
        } else {
            progress.Finish();
            result = Error(EntryLabel(reader.Label(), name), ArchiveFormat::Explain(damage));
        }
        progress.Advance(entry->GetStoredSize(), name);
    }
    progress.Finish();
    std::printf("%zu of %zu entries good\n", good, tested);
    return ReportUnmatched(*selection) != kOk ? kFailed : result;
}

}  // namespace QxarcTool
