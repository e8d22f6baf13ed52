// BinaryStreamImp: the unbuffered file stream element and its Stream view.
#pragma once

#include "framework/containers/Stream.h"
#include "framework/core/ElementImpBase.h"
#include "framework/io/BinaryStream.h"
#include "platform/File.h"

namespace QRV2 {

class Core;
class String;

// The error flag (HasError) is set by a failed system call or a short Read, and cleared only by
// a successful SetPosition. The written flag, once set by any write call, makes every later
// Close cut the file at the position.
class BinaryStreamImp : public ElementImpBase<BinaryStream, TypeBinaryStream>, public Stream {
public:
    explicit BinaryStreamImp(Core* core);

    std::int32_t Dispose() override;
    void* GetInterface(std::int32_t interfaceId) override;

    const char* GetPathName() override;
    std::int32_t SetPathName(const char* path) override;

    // 0; 1 without a path, while already open, or for AccessRead of a missing file (nothing is
    // created); 17 when the system refuses to open or create the file.
    std::int32_t Open() override;
    // 1 while closed, else 0.
    std::int32_t IsClosed() override;
    // 0; 1 when not open (a never-written stream also sets the error flag then), or when the
    // file could not be cut at the position (the handle is closed anyway, error flag set).
    std::int32_t Close() override;
    std::int32_t HasError() override;
    // 0; 1 when the size cannot be had (closed stream); *size unchanged then.
    std::int32_t GetSize(std::uint32_t* size) override;
    // 0; 1 when the position cannot be had (closed stream); *position unchanged then.
    std::int32_t GetPosition(std::uint32_t* position) override;
    // 0; 1 when the seek fails. The error flag becomes the result.
    std::int32_t SetPosition(std::uint32_t position) override;
    std::int32_t GetAccessMode() override;
    // The three setters: 0 while closed; 1 while open (the value is kept unchanged).
    std::int32_t SetAuxMode(std::int32_t value) override;
    std::int32_t SetAccessMode(std::int32_t mode) override;
    std::int32_t GetUsage() override;
    std::int32_t SetUsage(std::int32_t usage) override;
    std::int32_t GetAuxMode() override;
    // Writes: bytes the system wrote; the error flag is set when the write fails or falls short.
    std::uint32_t Write16(std::uint16_t value) override;
    std::uint32_t Write32(std::uint32_t value) override;
    std::uint32_t Write32Alt(std::int32_t value) override;
    std::uint32_t Write64(std::uint64_t value) override;
    std::uint32_t Write(const void* data, std::uint32_t count) override;
    // Typed reads: bytes read; at the end of the file 0 with no error and the value untouched.
    std::uint32_t Read16(std::uint16_t* value) override;
    std::uint32_t Read32(std::uint32_t* value) override;
    std::uint32_t Read32Alt(std::int32_t* value) override;
    std::uint32_t Read64(std::uint64_t* value) override;
    // Bytes read; the error flag is set when the read fails or fewer than count bytes arrive.
    std::uint32_t Read(void* data, std::uint32_t count) override;

private:
    std::uint32_t WriteBytes(const void* data, std::uint32_t count);
    std::uint32_t ReadValue(void* value, std::uint32_t count);

    String* m_path = nullptr;  // owned, one reference
    Platform::FileHandle m_handle = Platform::NullFile;
    std::int32_t m_error = 0;
    std::int32_t m_accessMode = AccessReadWrite;
    std::int32_t m_usage = 0;
    std::int32_t m_auxMode = 0;
    std::int32_t m_written = 0;
};

}  // namespace QRV2
