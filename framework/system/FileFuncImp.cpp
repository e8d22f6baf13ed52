// FileFuncImp: existence tests, folder chains, delete, rename, copy and whole-file transfers.
#include "framework/system/FileFuncImp.h"

#include <cstring>

#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/io/BinaryStream.h"
#include "framework/system/FilePath.h"
#include "platform/File.h"

namespace QRV2 {

namespace {

constexpr std::uint32_t kTransferBlock = 4096;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A file stream on path opened with the access mode, or null (nothing left open) on any failure.
BinaryStream* OpenStream(const char* path, std::int32_t accessMode, Stream** view) {
    BinaryStream* file = CreateElementAs<BinaryStream>(TypeBinaryStream);
    Stream* stream = InterfaceOf<Stream>(file, InterfaceStream);
    if (stream == nullptr || file->SetPathName(path) != 0 ||
        stream->SetAccessMode(accessMode) != 0 || stream->Open() != 0) {
        ReleaseElement(file);
        return nullptr;
    }
    *view = stream;
    return file;
}

}  // namespace

FileFuncImp::FileFuncImp(Core*) {}

std::int32_t FileFuncImp::Dispose() {
    Core* core = GetCore();
    if (core != nullptr && core->GetSingleton(TypeFileFunc) == this) {
        core->SetSingleton(TypeFileFunc, nullptr);
    }
    delete this;
    return 0;
}

char* FileFuncImp::FolderPartOf(const char* path, bool* noSplitter) {
    FilePath* splitter = CreateElementAs<FilePath>(TypeFilePath);
    if (noSplitter != nullptr) *noSplitter = splitter == nullptr;
    if (splitter == nullptr) return nullptr;
    char* folder = nullptr;
    if (splitter->SetPath(path) == 0) {
        splitter->SetFileName(nullptr);
        // GetPath is null only when the rebuilt text could not be stored.
        if (splitter->GetPath() != nullptr) folder = DuplicateText(splitter->GetPath());
    }
    ReleaseElement(splitter);
    return folder;
}

std::int32_t FileFuncImp::FolderExists(const char* path) {
    bool noSplitter = false;
    char* folder = FolderPartOf(path, &noSplitter);
    // Without a path splitter nothing can be tested; the folder counts as present then.
    if (folder == nullptr) return noSplitter ? 0 : 1;
    std::size_t length = std::strlen(folder);
    std::int32_t result = 0;
    // The system search does not accept a name ending in a separator: test without it.
    if (length >= 1 && IsSeparator(folder[length - 1])) {
        folder[length - 1] = '\0';
        result = Exists(folder);
    }
    Free(folder);
    return result;
}

std::int32_t FileFuncImp::CreateFolders(const char* path) {
    char* folder = FolderPartOf(path, nullptr);
    if (folder == nullptr) return 1;
    std::size_t length = std::strlen(folder);
    if (length == 0) {
        Free(folder);
        return 0;
    }
    // Each prefix ending before a separator is tested and created when missing, the drive
    // itself included (its creation simply fails and is passed over).
    std::size_t last = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (!IsSeparator(folder[i])) continue;
        char separator = folder[i];
        folder[i] = '\0';
        if (Exists(folder) != 0) Platform::FolderCreate(folder);
        folder[i] = separator;
        last = i;
    }
    folder[last] = '\0';
    std::int32_t result = Exists(folder);
    Free(folder);
    return result;
}

std::int32_t FileFuncImp::RemoveFolder(const char* path) {
    return Platform::FolderRemove(path) == Platform::Error::None ? 0 : 1;
}

std::int32_t FileFuncImp::Exists(const char* path) { return Platform::FileExists(path) ? 0 : 1; }

std::int32_t FileFuncImp::Copy(const char* source, const char* destination) {
    Stream* in = nullptr;
    Stream* out = nullptr;
    BinaryStream* from = OpenStream(source, Stream::AccessRead, &in);
    if (from == nullptr) return 1;
    BinaryStream* to = OpenStream(destination, Stream::AccessWrite, &out);
    if (to == nullptr) {
        ReleaseElement(from);
        return 1;
    }
    void* block = Allocate(kTransferBlock);
    std::uint32_t remaining = 0;
    std::int32_t result = 1;
    if (block != nullptr && in->GetSize(&remaining) == 0) {
        result = 0;
        // Always at least one write, so that Close cuts an older, longer destination even when
        // the source is empty.
        out->Write(block, 0);
        while (remaining > 0) {
            std::uint32_t chunk = remaining < kTransferBlock ? remaining : kTransferBlock;
            // A short read would copy stale buffer bytes: stop and report instead.
            if (in->Read(block, chunk) != chunk) {
                result = 1;
                break;
            }
            out->Write(block, chunk);
            remaining -= chunk;
        }
        if (out->HasError() != 0) result = 1;
    }
    Free(block);
    if (out->Close() != 0) result = 1;
    in->Close();
    ReleaseElement(to);
    ReleaseElement(from);
    return result;
}

std::int32_t FileFuncImp::Delete(const char* path) {
    return Platform::FileDelete(path) == Platform::Error::None ? 0 : 1;
}

std::int32_t FileFuncImp::Rename(const char* oldPath, const char* newPath) {
    return Platform::FileMove(oldPath, newPath) == Platform::Error::None ? 0 : 1;
}

std::int32_t FileFuncImp::Truncate(const char* path) {
    Platform::FileHandle file = Platform::NullFile;
    if (Platform::FileOpen(path, Platform::FileAccess::Write, Platform::FileShare::None,
                           Platform::FileDisposition::CreateAlways, Platform::FileHint::Normal,
                           &file) != Platform::Error::None) {
        return 1;
    }
    Platform::FileClose(file);
    return 0;
}

std::int32_t FileFuncImp::WriteAll(const char* path, const void* data, std::int32_t count) {
    if (count < 0 || (data == nullptr && count > 0)) return 1;
    Stream* out = nullptr;
    BinaryStream* file = OpenStream(path, Stream::AccessWrite, &out);
    if (file == nullptr) return 1;
    std::uint32_t wanted = static_cast<std::uint32_t>(count);
    std::uint32_t written = out->Write(data, wanted);
    // Close cuts an older, longer file at the new end; failing that, the content is wrong.
    std::int32_t closed = out->Close();
    ReleaseElement(file);
    return (written != wanted || closed != 0) ? 1 : 0;
}

std::int32_t FileFuncImp::ReadAll(const char* path, void** data, std::uint32_t* size,
                                  std::int32_t extra) {
    if (data != nullptr) *data = nullptr;
    if (data == nullptr || size == nullptr || extra < 0) return 1;
    Stream* in = nullptr;
    BinaryStream* file = OpenStream(path, Stream::AccessRead, &in);
    if (file == nullptr) return 1;
    std::uint32_t length = 0;
    std::int32_t result = 1;
    if (in->GetSize(&length) == 0) {
        *size = length;
        void* block = Allocate(static_cast<std::size_t>(length) + static_cast<std::size_t>(extra));
        if (block != nullptr) {
            if (in->Read(block, length) == length) {
                *data = block;
                result = 0;
            } else {
                Free(block);
            }
        }
    }
    in->Close();
    ReleaseElement(file);
    return result;
}

}  // namespace QRV2
