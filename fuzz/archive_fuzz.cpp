// Fuzz target: opens an archive made of the input bytes and reads and extracts every entry.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "framework/containers/ElementContainer.h"
#include "framework/containers/Iterator.h"
#include "framework/core/Core.h"
#include "framework/core/CoreImp.h"
#include "framework/io/Archive.h"
#include "framework/io/ArchiveEntry.h"
#include "framework/io/Stream.h"
#include "platform/CommandLine.h"
#include "platform/Tls.h"

using namespace QRV2;

namespace {

// One framework and one scratch folder for the whole fuzzing process.
struct Setup {
    std::filesystem::path folder;
    std::string archivePath;
    std::string extractPath;
    std::string extractFolder;

    Setup() {
        Core* core = new CoreImp(nullptr);
        std::uint32_t slot = Platform::TlsAllocate();
        core->AddReference();
        core->SetParam(static_cast<std::int32_t>(slot));
        Platform::TlsSet(slot, core);

        std::random_device random;
        folder = std::filesystem::temp_directory_path() /
                 ("qxarc-fuzz-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(folder);
        Platform::HostPathToFrameworkPath((folder / "input.qx").string(), &archivePath);
        Platform::HostPathToFrameworkPath((folder / "entry.out").string(), &extractPath);
        Platform::HostPathToFrameworkPath((folder / "all").string(), &extractFolder);
        extractFolder += "\\";
    }
    ~Setup() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Setup& setup = TheSetup();
    {
        std::FILE* f = std::fopen((setup.folder / "input.qx").string().c_str(), "wb");
        if (f == nullptr) return 0;
        if (size != 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    Archive* archive = CreateElementAs<Archive>(TypeArchive);
    if (archive == nullptr) return 0;
    if (archive->Open(setup.archivePath.c_str()) == 0) {
        Iterator* it = archive->GetIterator(ElementContainer::IteratorRead);
        int visited = 0;
        if (it != nullptr) {
            for (it->First(); it->IsAtEnd() == 0 && visited < 64; it->Next(), ++visited) {
                ArchiveEntry* entry = static_cast<ArchiveEntry*>(it->GetCurrent());
                if (entry == nullptr) continue;
                if (Stream* content = archive->OpenEntryContent(entry)) {
                    std::uint32_t length = 0;
                    content->GetSize(&length);
                    unsigned char buffer[1024];
                    std::uint32_t total = 0;
                    while (std::uint32_t n = content->Read(buffer, sizeof buffer)) total += n;
                    if (total != length) __builtin_trap();  // the stream must give what it holds
                    archive->CloseEntry();
                }
                archive->ExtractEntryTo(entry, setup.extractPath.c_str(), 0);
                if (entry->GetName() != nullptr) archive->FindEntry(entry->GetName());
            }
            archive->ReturnIterator(&it);
        }
        // Whole extraction only into the scratch folder; unsafe names are refused by design.
        archive->ExtractAll(setup.extractFolder.c_str(), nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(setup.folder / "all", ignored);
        archive->Close();
    }
    ReleaseElement(archive);
    return 0;
}
