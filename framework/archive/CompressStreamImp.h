// CompressStreamImp: the compressing entry stream: memory block, data-block writer and reader.
#pragma once

#include "framework/archive/ArchiveFormat.h"
#include "framework/archive/CompressStream.h"
#include "framework/containers/Stream.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class CompressDevice;
class Core;

// Result codes of the Stream view:
// - Open: 0 open; 1 already open, a failed earlier Open, no output stream for writing, no
//   input stream for reading, a damaged block (cut short, content size 0, a "PAC" block whose
//   stored size is 8 or less or whose content size its payload could not produce, zlib
//   failure) or no memory; otherwise the code of the underlying stream's failed Open, which
//   then stays as the status (the stream can only be released).
// - Close: 0; 1 when writing the block fell short or the output stream reported an error, or
//   there was no memory for the content or the compression buffer (then nothing is written);
//   the status when the stream was not open.
// - GetPosition, SetPosition: 1 when not open (SetPosition also beyond the length).
// - Write: bytes taken; 0 when not open, after a read reached the end, or without memory.
// - Read: bytes given; 0 when not open or the end was reached.
class CompressStreamImp : public ElementImpBase<CompressStream, TypeCompressStream>, public Stream {
public:
    explicit CompressStreamImp(Core*) {}

    std::int32_t Initialize() override;
    std::int32_t Dispose() override;
    std::int32_t SetParam(std::int32_t) override {
        return 0;
    }  // no parameter; the value is dropped
    void* GetInterface(std::int32_t interfaceId) override;

    Stream* GetInputStream() override { return m_input; }
    std::int32_t SetInputStream(Stream* stream) override;
    Stream* GetOutputStream() override { return m_output; }
    std::int32_t SetOutputStream(Stream* stream) override;
    ArchiveEntry* GetEntry() override { return m_entry; }
    std::int32_t SetEntry(ArchiveEntry* entry) override;
    std::int32_t GetStored() override { return m_stored; }
    std::int32_t SetStored(std::int32_t stored) override;

    std::int32_t Open() override;
    std::int32_t IsClosed() override { return m_status; }
    std::int32_t Close() override;
    std::int32_t HasError() override { return m_state; }
    std::int32_t GetSize(std::uint32_t* size) override;
    std::int32_t GetPosition(std::uint32_t* position) override;
    std::int32_t SetPosition(std::uint32_t position) override;
    std::int32_t GetAccessMode() override { return m_accessMode; }
    std::int32_t SetAuxMode(std::int32_t value) override;
    std::int32_t SetAccessMode(std::int32_t mode) override;
    std::int32_t GetUsage() override { return m_usage; }
    std::int32_t SetUsage(std::int32_t usage) override;
    std::int32_t GetAuxMode() override { return m_auxMode; }
    std::uint32_t Write16(std::uint16_t value) override;
    std::uint32_t Write32(std::uint32_t value) override;
    std::uint32_t Write32Alt(std::int32_t value) override;
    std::uint32_t Write64(std::uint64_t value) override;
    std::uint32_t Write(const void* data, std::uint32_t count) override;
    std::uint32_t Read16(std::uint16_t* value) override;
    std::uint32_t Read32(std::uint32_t* value) override;
    std::uint32_t Read32Alt(std::int32_t* value) override;
    std::uint32_t Read64(std::uint64_t* value) override;
    std::uint32_t Read(void* data, std::uint32_t count) override;

private:
    ArchiveFormat::Damage ReadStored(Stream* input);
    ArchiveFormat::Damage ReadBlock(Stream* input);
    ArchiveFormat::Damage Inflate(Stream* input, std::uint32_t payloadSize);
    std::int32_t WriteBlock(Stream* output);
    void ResetBlock();

    std::int32_t m_state = 0;   // 0 normal, 1 a read reached the end, 2 no memory
    std::int32_t m_status = 1;  // 1 closed, 0 open, else the code of the failed Open
    std::int32_t m_accessMode = 0;
    std::int32_t m_usage = 0;
    std::int32_t m_auxMode = 0;
    std::int32_t m_stored = 0;
    Stream* m_input = nullptr;
    Stream* m_output = nullptr;
    CompressDevice* m_device = nullptr;
    ArchiveEntry* m_entry = nullptr;
    unsigned char* m_block = nullptr;
    std::uint32_t m_capacity = 0;
    std::uint32_t m_length = 0;
    std::uint32_t m_position = 0;
};

}  // namespace QRV2
