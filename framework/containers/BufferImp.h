// BufferImp: the growable byte block element, with its Crunch and IO views.
#pragma once

#include "framework/containers/Buffer.h"
#include "framework/containers/Crunch.h"
#include "framework/containers/IO.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class Core;

// Owns exactly size bytes from the framework allocator (no spare capacity); data is null exactly
// when size is 0. On every failure the content and size stay as they were.
//
// Source bytes given to SetData and AppendData may lie inside the buffer's own content: the old
// array is freed only after the copy. AppendData returns 2 when the new size would pass the
// 32-bit range.
//
// Stream form (IO): a 32-bit little-endian size, then the content bytes.
//   WriteTo: the stream's HasError (0 = no error).
//   ReadFrom: 0; 1 when storage for the declared size cannot be obtained, or when the stream
//     delivers fewer bytes than declared (corrupt or cut data). On 1 the buffer keeps its
//     previous content. A stored size of 0 (or an empty stream) empties the buffer and gives 0.
//     Large declared sizes are read in growing steps, so a corrupt size from a short stream
//     costs only what the stream actually holds.
class BufferImp : public ElementImpBase<Buffer, TypeBuffer>, public Crunch, public IO {
public:
    explicit BufferImp(Core* core);

    std::int32_t Dispose() override;
    void* GetInterface(std::int32_t interfaceId) override;

    std::uint8_t* GetData() override;
    std::int32_t SetData(const void* source, std::uint32_t count) override;
    std::int32_t AppendData(const void* source, std::uint32_t count) override;
    std::uint32_t GetSize() override;
    std::int32_t Resize(std::uint32_t size) override;

    // Crunch: QueryCrunch 0 for code 2 else 8; ApplyCrunch 0; CompareContent 0 only when both
    // buffers are non-empty and hold the same bytes, else 1 (two empty buffers differ; so does
    // null or an element that is not a Buffer).
    std::int32_t QueryCrunch(void* context, std::int32_t code) override;
    std::int32_t ApplyCrunch(void* context, std::int32_t code) override;
    std::int32_t GetCrunchId() override;
    void SetCrunchId(std::int32_t id) override;
    std::int32_t CompareContent(Element* other) override;

    std::int32_t ReadFrom(Stream* stream, std::int32_t options) override;
    std::int32_t WriteTo(Stream* stream, std::int32_t options) override;

private:
    void Take(std::uint8_t* data, std::uint32_t size);

    std::uint8_t* m_data = nullptr;
    std::uint32_t m_size = 0;
    std::int32_t m_crunchId = -1;
};

}  // namespace QRV2
