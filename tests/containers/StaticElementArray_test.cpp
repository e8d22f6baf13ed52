// StaticElementArray: whole-block adoption with reference hand-over, borrowed blocks.
#include <gtest/gtest.h>

#include "framework/containers/StaticElementArray.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/Probe.h"

using namespace QRV2;

namespace {

using QRV2Test::Probe;

Element** Block(std::initializer_list<Element*> items) {
    auto** block = static_cast<Element**>(Allocate(items.size() * sizeof(Element*)));
    std::size_t i = 0;
    for (Element* e : items) block[i++] = e;
    return block;
}

TEST(StaticElementArray, AdoptReferencesNewBeforeReleasingOld) {
    std::int64_t live = AllocatorHook::LiveBlocks();
    Probe::disposed = 0;
    auto* array = CreateElementAs<StaticElementArray>(TypeStaticElementArray);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->GetTypeId(), 8);
    Probe* shared = new Probe;
    Probe* leaving = new Probe;
    Probe* arriving = new Probe;
    ASSERT_EQ(array->Adopt(Block({shared, nullptr, leaving}), 3), 0);
    EXPECT_EQ(shared->GetReferenceCount(), 1);

    // The shared element survives the hand-over with the same count; the one not carried over
    // goes.
    array->Adopt(Block({arriving, shared}), 2);
    EXPECT_EQ(Probe::disposed, 1);
    EXPECT_EQ(shared->GetReferenceCount(), 1);
    Element** block = nullptr;
    std::uint32_t count = 0;
    EXPECT_EQ(array->GetElements(&block, &count), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(block[1], shared);

    // Adopting the block already held keeps it and every count as it was.
    EXPECT_EQ(array->Adopt(block, 2), 0);
    EXPECT_EQ(shared->GetReferenceCount(), 1);
    EXPECT_EQ(arriving->GetReferenceCount(), 1);
    array->GetElements(&block, &count);
    EXPECT_EQ(block[0], arriving);

    // Adopting null releases everything and frees the block.
    array->Adopt(nullptr, 0);
    EXPECT_EQ(Probe::disposed, 3);
    array->GetElements(&block, &count);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(count, 0u);
    ReleaseElement(array);
    EXPECT_EQ(AllocatorHook::LiveBlocks(), live);
}

TEST(StaticElementArray, BorrowedSlotsAreNeitherReferencedNorReleased) {
    Probe::disposed = 0;
    auto* array = CreateElementAs<StaticElementArray>(TypeStaticElementArray);
    array->SetBorrowed(-4);
    EXPECT_EQ(array->GetBorrowed(), -4);
    Probe* p = new Probe;
    p->AddReference();
    // A plain value that is no element at all must never be touched.
    Element* plain = reinterpret_cast<Element*>(static_cast<std::intptr_t>(-1));
    array->Adopt(Block({p, plain}), 2);
    EXPECT_EQ(p->GetReferenceCount(), 1);
    ReleaseElement(array);
    EXPECT_EQ(Probe::disposed, 0);
    EXPECT_EQ(p->GetReferenceCount(), 1);
    ReleaseElement(p);
}

TEST(StaticElementArray, DisposeReleasesHeldElements) {
    Probe::disposed = 0;
    auto* array = CreateElementAs<StaticElementArray>(TypeStaticElementArray);
    array->Adopt(Block({new Probe, new Probe}), 2);
    ReleaseElement(array);
    EXPECT_EQ(Probe::disposed, 2);
}

}  // namespace
