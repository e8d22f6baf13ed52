// List and ListEntry: linking, unlinking, payload ownership under the three modes.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/containers/List.h"
#include "framework/containers/ListEntry.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/Probe.h"

using namespace QRV2;

namespace {

using QRV2Test::Probe;

ListEntry* NewEntry() { return CreateElementAs<ListEntry>(TypeListEntry); }

// Walks the chain both ways and checks it against the count and the ends.
void ExpectConsistent(List* list) {
    std::uint32_t forward = 0;
    ListEntry* previous = nullptr;
    for (ListEntry* e = list->GetFirst(); e != nullptr; e = e->GetNext()) {
        EXPECT_EQ(e->GetPrevious(), previous);
        previous = e;
        ++forward;
    }
    EXPECT_EQ(previous, list->GetLast());
    EXPECT_EQ(forward, list->GetCount());
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_live = AllocatorHook::LiveBlocks();
        list = CreateElementAs<List>(TypeList);
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override {
        ReleaseElement(list);
        EXPECT_EQ(AllocatorHook::LiveBlocks(), m_live);
    }
    List* list = nullptr;
    std::int64_t m_live = 0;
};

TEST_F(ListTest, AppendInsertAndRemoveKeepEndsCountAndReferences) {
    EXPECT_EQ(list->GetTypeId(), 9);
    EXPECT_EQ(list->GetInterface(InterfaceIterator), nullptr);
    ListEntry* a = NewEntry();
    ASSERT_EQ(list->Append(a), 0);
    EXPECT_EQ(list->GetFirst(), a);
    EXPECT_EQ(list->GetLast(), a);
    EXPECT_EQ(a->GetReferenceCount(), 1);

    ListEntry* b = NewEntry();
    ListEntry* front = NewEntry();
    ListEntry* middle = NewEntry();
    list->Append(b);
    EXPECT_EQ(list->InsertBefore(a, front), 0);  // before the first: new first
    EXPECT_EQ(list->GetFirst(), front);
    EXPECT_EQ(list->InsertBefore(b, middle), 0);  // before the last: last unchanged
    EXPECT_EQ(list->GetLast(), b);
    EXPECT_EQ(list->GetCount(), 4u);
    ExpectConsistent(list);
    EXPECT_EQ(front->GetNext(), a);
    EXPECT_EQ(a->GetNext(), middle);
    EXPECT_EQ(middle->GetNext(), b);

    // Removing the first of the remaining two makes the other both first and last.
    ListEntry* v = front;
    EXPECT_EQ(list->Remove(&v), 0);
    EXPECT_EQ(v, nullptr);
    v = b;
    list->Remove(&v);
    v = middle;
    list->Remove(&v);
    EXPECT_EQ(list->GetFirst(), a);
    EXPECT_EQ(list->GetLast(), a);
    ExpectConsistent(list);

    // An entry with a second holder outlives its removal.
    a->AddReference();
    v = a;
    list->Remove(&v);
    EXPECT_EQ(list->GetFirst(), nullptr);
    EXPECT_EQ(list->GetLast(), nullptr);
    EXPECT_EQ(list->GetCount(), 0u);
    EXPECT_EQ(a->GetReferenceCount(), 1);
    EXPECT_EQ(a->GetNext(), nullptr);
    ReleaseElement(a);
}

TEST_F(ListTest, InsertBeforeNullPositionOnNonEmptyListAppendsInsteadOfLosingTheEntry) {
    ListEntry* a = NewEntry();
    ListEntry* b = NewEntry();
    ListEntry* only = NewEntry();
    List* other = CreateElementAs<List>(TypeList);
    EXPECT_EQ(other->InsertBefore(nullptr, only), 0);
    EXPECT_EQ(other->GetFirst(), only);
    EXPECT_EQ(other->GetLast(), only);
    ReleaseElement(other);

    list->Append(a);
    EXPECT_EQ(list->InsertBefore(nullptr, b), 0);
    EXPECT_EQ(list->GetLast(), b);
    EXPECT_EQ(a->GetNext(), b);
    EXPECT_EQ(list->GetCount(), 2u);
    ExpectConsistent(list);
}

TEST_F(ListTest, RefusesNullAndAlreadyLinkedEntriesWithoutChange) {
    ListEntry* a = NewEntry();
    ListEntry* b = NewEntry();
    EXPECT_EQ(list->Append(nullptr), 1);
    EXPECT_EQ(list->InsertBefore(nullptr, nullptr), 1);
    list->Append(a);
    list->Append(b);
    EXPECT_EQ(list->Append(a), 1);  // would make a cycle
    EXPECT_EQ(list->Append(b), 1);
    EXPECT_EQ(list->InsertBefore(b, a), 1);
    ListEntry* stranger = NewEntry();
    ListEntry* fresh = NewEntry();
    EXPECT_EQ(list->InsertBefore(stranger, fresh), 1);  // position not in this list
    ListEntry* v = stranger;
    EXPECT_EQ(list->Remove(&v), 1);
    EXPECT_EQ(v, stranger);
    EXPECT_EQ(list->Remove(nullptr), 1);
    EXPECT_EQ(list->GetCount(), 2u);
    EXPECT_EQ(a->GetReferenceCount(), 1);
    ExpectConsistent(list);
    ReleaseElement(stranger);
    ReleaseElement(fresh);
}

TEST_F(ListTest, DisposeClearsPayloadsUnderEachMode) {
    // Mode 0: each payload element released exactly once.
    Probe::disposed = 0;
    for (int i = 0; i < 3; ++i) {
        ListEntry* e = NewEntry();
        Probe* p = new Probe;
        e->SetPayload(p, 0);
        list->Append(e);
    }
    Probe* kept = new Probe;
    kept->AddReference();
    ListEntry* e = NewEntry();
    e->SetPayload(kept, 0);
    EXPECT_EQ(kept->GetReferenceCount(), 2);
    list->Append(e);
    ReleaseElement(list);
    EXPECT_EQ(Probe::disposed, 3);
    EXPECT_EQ(kept->GetReferenceCount(), 1);
    ReleaseElement(kept);

    // Mode 4: the copies are freed (the fixture's leak check sees it); mode -4: values left alone.
    list = CreateElementAs<List>(TypeList);
    list->SetPayloadMode(4);
    EXPECT_EQ(list->GetPayloadMode(), 4);
    std::uint32_t word = 0x11223344u;
    e = NewEntry();
    e->SetPayload(&word, 4);
    list->Append(e);
    ReleaseElement(list);

    list = CreateElementAs<List>(TypeList);
    list->SetPayloadMode(-4);
    e = NewEntry();
    e->SetPayload(reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)), -4);
    list->Append(e);
    EXPECT_EQ(e->GetPayload(), reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)));
}

TEST_F(ListTest, BytePayloadIsAPrivateCopy) {
    unsigned char source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ListEntry* e = NewEntry();
    e->SetPayload(source, 8);
    source[0] = 99;
    auto* copy = static_cast<unsigned char*>(e->GetPayload());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, source);
    EXPECT_EQ(copy[0], 1);
    EXPECT_EQ(copy[7], 8);
    e->SetPayload(nullptr, 8);
    EXPECT_EQ(e->GetPayload(), nullptr);
    ReleaseElement(e);
}

TEST_F(ListTest, SetPayloadOnACarryingEntryGivesUpTheOldPayload) {
    Probe::disposed = 0;
    ListEntry* e = NewEntry();
    Probe* first = new Probe;
    Probe* second = new Probe;
    e->SetPayload(first, 0);
    e->SetPayload(second, 0);
    EXPECT_EQ(Probe::disposed, 1);  // the first was released, not leaked
    EXPECT_EQ(e->GetPayload(), second);
    e->SetPayload(second, 0);  // re-setting the same element keeps it alive
    EXPECT_EQ(Probe::disposed, 1);
    EXPECT_EQ(second->GetReferenceCount(), 1);
    e->SetPayload(nullptr, 0);
    EXPECT_EQ(Probe::disposed, 2);

    // Byte copies: the old copy is freed (leak check in TearDown); a failed copy keeps it.
    std::uint32_t one = 1, two = 2;
    e->SetPayload(&one, 4);
    e->SetPayload(&two, 4);
    EXPECT_EQ(*static_cast<std::uint32_t*>(e->GetPayload()), 2u);
    AllocatorHook::FailNth(1);
    e->SetPayload(&one, 4);
    AllocatorHook::Disarm();
    ASSERT_NE(e->GetPayload(), nullptr);
    EXPECT_EQ(*static_cast<std::uint32_t*>(e->GetPayload()), 2u);
    e->SetPayload(nullptr, 4);
    ReleaseElement(e);
}

}  // namespace
