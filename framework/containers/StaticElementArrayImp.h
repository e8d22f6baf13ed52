// StaticElementArrayImp: an owned block of element pointers, counted unless borrowed.
#pragma once

#include "framework/containers/StaticElementArray.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"

namespace QRV2 {

class StaticElementArrayImp : public ElementImpBase<StaticElementArray, TypeStaticElementArray> {
public:
    explicit StaticElementArrayImp(Core*) {}

    // Adopts nothing (releasing every held element and freeing the block), then deletes itself.
    std::int32_t Dispose() override;

    // Deliberately: adopting a null block keeps the count 0 whatever count is given, so that
    // no reader is ever told of slots that do not exist. Adopting the very block already held
    // changes nothing.
    std::int32_t Adopt(Element** block, std::uint32_t count) override;
    std::int32_t GetElements(Element*** block, std::uint32_t* count) override;
    std::int32_t SetBorrowed(std::int32_t borrowed) override;
    std::int32_t GetBorrowed() override { return m_borrowed; }

private:
    Element** m_elements = nullptr;
    std::uint32_t m_count = 0;
    std::int32_t m_borrowed = 0;
};

}  // namespace QRV2
