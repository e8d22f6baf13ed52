// Fuzz target: opens an archive made of the input bytes and reads and extracts every entry, both
// through the archive element and through the format module's streaming reader, which must agree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "framework/FrameworkSession.h"
#include "framework/archive/Archive.h"
#include "framework/archive/ArchiveEntry.h"
#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/ContentReader.h"
#include "framework/containers/ElementContainer.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/Stream.h"
#include "framework/core/Core.h"
#include "framework/io/BinaryStream.h"
#include "platform/CommandLine.h"

using namespace QRV2;

namespace {

// One framework and one scratch folder for the whole fuzzing process.
struct Setup {
    FrameworkSession framework;
    std::filesystem::path folder;
    std::string archivePath;
    std::string extractPath;
    std::string extractFolder;

    Setup() {
        framework.Start();

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

struct Collect : ArchiveFormat::ContentSink {
    std::vector<unsigned char> bytes;
    bool Put(const void* data, std::uint32_t count) override {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), p, p + count);
        return true;
    }
};

struct Entries : ArchiveFormat::DirectorySink {
    std::vector<ArchiveEntry*> list;
    bool Add(ArchiveEntry* entry) override {
        list.push_back(entry);
        return true;
    }
    ~Entries() {
        for (ArchiveEntry* e : list) ReleaseElement(e);
    }
};

// The streaming reader over the same file: whatever it accepts whole, the archive element's
// in-memory reader must give back byte for byte.
void CrossCheck(Archive* archive, const std::string& path) {
    BinaryStream* file = CreateElementAs<BinaryStream>(TypeBinaryStream);
    Stream* stream = InterfaceOf<Stream>(file, InterfaceStream);
    if (stream == nullptr || file->SetPathName(path.c_str()) != 0 ||
        stream->SetAccessMode(Stream::AccessRead) != 0 || stream->Open() != 0) {
        ReleaseElement(file);
        return;
    }
    Entries entries;
    ArchiveFormat::Header header;
    std::uint32_t dataStart = 0;
    ArchiveFormat::ReadDirectory(stream, &header, &entries, &dataStart);
    for (std::size_t i = 0; i < entries.list.size() && i < 64; ++i) {
        ArchiveEntry* entry = entries.list[i];
        Collect content;
        std::uint32_t declared = 0;
        if (ArchiveFormat::ReadContent(stream, entry->GetOffset(), entry->GetStoredSize(),
                                       dataStart, &content,
                                       &declared) != ArchiveFormat::Damage::None)
            continue;
        if (content.bytes.size() != declared) __builtin_trap();
        if (declared == 0) continue;  // the element's stream has no empty state
        Stream* other = archive->OpenEntryContent(entry);
        if (other == nullptr) __builtin_trap();
        std::vector<unsigned char> bytes(declared + 1);
        std::uint32_t got = other->Read(bytes.data(), declared + 1);
        archive->CloseEntry();
        if (got != declared ||
            !std::equal(content.bytes.begin(), content.bytes.end(), bytes.begin()))
            __builtin_trap();
    }
    ReleaseElement(file);
}

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
        CrossCheck(archive, setup.archivePath);
        // Whole extraction only into the scratch folder; unsafe names are refused by design.
        archive->ExtractAll(setup.extractFolder.c_str(), nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(setup.folder / "all", ignored);
        archive->Close();
    }
    ReleaseElement(archive);
    return 0;
}
