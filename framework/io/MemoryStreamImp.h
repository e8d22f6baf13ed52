// MemoryStreamImp: the memory stream element and its Stream view.
#pragma once

#include "framework/containers/Stream.h"
#include "framework/core/ElementImpBase.h"
#include "framework/io/MemoryStream.h"

namespace QRV2 {

class Core;

class MemoryStreamImp : public ElementImpBase<MemoryStream, TypeMemoryStream>, public Stream {
public:
    // state values
    static constexpr std::int32_t StateNormal = 0;
    static constexpr std::int32_t StateReadAtEnd = 1;  // a read reached the end of the data
    static constexpr std::int32_t StateNoMemory = 2;   // the block could not be obtained

    explicit MemoryStreamImp(Core* core);

    std::int32_t Dispose() override;
    std::int32_t GetParam() override;
    std::int32_t SetParam(std::int32_t param) override;
    void* GetInterface(std::int32_t interfaceId) override;

    std::int32_t SetData(const void* data, std::uint32_t count) override;

    std::int32_t Open() override;
    std::int32_t IsClosed() override;
    std::int32_t Close() override;
    std::int32_t HasError() override;
    std::int32_t GetSize(std::uint32_t* size) override;
    std::int32_t GetPosition(std::uint32_t* position) override;
    std::int32_t SetPosition(std::uint32_t position) override;
    std::int32_t GetAccessMode() override;
    std::int32_t SetAuxMode(std::int32_t value) override;
    std::int32_t SetAccessMode(std::int32_t mode) override;
    std::int32_t GetUsage() override;
    std::int32_t SetUsage(std::int32_t usage) override;
    std::int32_t GetAuxMode() override;
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

    // For tests and diagnostics: the block's size and the stream's state.
    std::uint32_t GetCapacity() const { return m_capacity; }
    std::int32_t GetState() const { return m_state; }
    // The data held (length bytes), or null before anything was stored.
    const std::uint8_t* GetData() const { return m_block; }

private:
    std::int32_t m_state = StateNormal;
    std::uint8_t* m_block = nullptr;
    std::uint32_t m_capacity = 0;
    std::uint32_t m_length = 0;
    std::uint32_t m_position = 0;
};

}  // namespace QRV2
