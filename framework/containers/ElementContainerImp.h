// ElementContainerImp: an element collection kept as a list, an array or both, lent via iterators.
#pragma once

#include "framework/containers/Crunch.h"
#include "framework/containers/ElementContainer.h"
#include "framework/containers/IO.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class DynamicSizeElementIterator;
class StaticSizeElementIterator;
class StaticElementArray;
class List;

// Reading is served from the array (built from the list when missing), changing from the list
// (built from the array when missing). Each representation holds its own reference on every
// element in payload mode 0, so an element lives while either holds it. One shared iterator of
// each kind is lent whenever nobody else holds it; it counts as free when its count is 1.
class ElementContainerImp : public ElementImpBase<ElementContainer, TypeElementContainer>,
                            public Crunch,
                            public IO {
public:
    explicit ElementContainerImp(Core*) {}

    // Creates and references the two shared iterators; 1 unless both exist.
    std::int32_t Initialize() override;
    std::int32_t Dispose() override;
    // The short-ids flag: non-zero writes and reads ids as 2 bytes.
    std::int32_t GetParam() override { return m_shortIds; }
    std::int32_t SetParam(std::int32_t param) override;
    void* GetInterface(std::int32_t interfaceId) override;

    Iterator* GetIterator(std::int32_t kind, Element* argument) override;
    std::int32_t ReturnIterator(Iterator** variable) override;
    std::int32_t SetPayloadMode(std::int32_t mode) override;
    std::int32_t GetPayloadMode() override { return m_payloadMode; }

    // Crunch
    std::int32_t QueryCrunch(void* context, std::int32_t code) override;
    std::int32_t ApplyCrunch(void* context, std::int32_t code) override;
    std::int32_t GetCrunchId() override { return m_crunchId; }
    void SetCrunchId(std::int32_t id) override { m_crunchId = id; }
    // 0 when the other container holds as many items with the same ids in the same order,
    // else -1 (also for null or an element that is no container).
    std::int32_t CompareContent(Element* other) override;

    // IO. Stream form: count (4 bytes), then one id per item (4 bytes, or 2 with short ids),
    // little-endian: the crunch id in payload mode 0 (-1 for null or an element without one),
    // the plain value in a negative mode, -1 for every byte copy in a positive mode. Reading
    // replaces the content with plain values.
    // 0, or 1 when the stream ends early, storage cannot be obtained or a reader is lent out.
    std::int32_t ReadFrom(Stream* stream, std::int32_t options) override;
    // The stream's HasError; 1 also when a write fell short or storage cannot be obtained.
    std::int32_t WriteTo(Stream* stream, std::int32_t options) override;

private:
    Iterator* GetListIterator();
    Iterator* GetReadIterator();
    Iterator* GetFilteredIterator(Element* filter);
    Iterator* GetWriteIterator();
    void Clear();
    // The value an item is written as: its crunch id (payload mode 0) or the plain value.
    std::int32_t IdOf(Element* item);

    DynamicSizeElementIterator* m_listIterator = nullptr;
    StaticSizeElementIterator* m_arrayIterator = nullptr;
    StaticElementArray* m_array = nullptr;
    List* m_list = nullptr;
    std::uint32_t m_count = 0;
    std::int32_t m_crunchId = -1;
    std::int32_t m_payloadMode = 0;
    std::int32_t m_shortIds = 0;
    std::int16_t m_arrayStale = 0;
};

}  // namespace QRV2
