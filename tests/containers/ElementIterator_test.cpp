// List and array iterators: the position model at both ends, changes through the list iterator.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/containers/DynamicSizeElementIterator.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/List.h"
#include "framework/containers/StaticElementArray.h"
#include "framework/containers/StaticSizeElementIterator.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/Probe.h"

using namespace QRV2;

namespace {

using QRV2Test::Probe;

// Owns a few probes and an iterator of either kind over them.
struct Sequence {
    std::vector<Probe*> items;
    Element* iteratorElement = nullptr;
    Iterator* it = nullptr;

    ~Sequence() {
        ReleaseElement(iteratorElement);
        for (Probe* p : items) ReleaseElement(p);
    }
    void MakeProbes(int n) {
        for (int i = 0; i < n; ++i) {
            items.push_back(new Probe);
            items.back()->AddReference();  // the test's own hold
        }
    }
    // A list iterator over a new list of n probes, appended through the iterator.
    void MakeList(int n) {
        MakeProbes(n);
        auto* li = CreateElementAs<DynamicSizeElementIterator>(TypeDynamicSizeElementIterator);
        List* list = CreateElementAs<List>(TypeList);
        li->AddReference();
        li->SetList(list);
        iteratorElement = li;
        it = InterfaceOf<Iterator>(li, InterfaceIterator);
        for (Probe* p : items) it->Append(p);
        it->First();
    }
    // An array iterator over a new array of n probes.
    void MakeArray(int n) {
        MakeProbes(n);
        auto* array = CreateElementAs<StaticElementArray>(TypeStaticElementArray);
        auto** block = static_cast<Element**>(Allocate((n > 0 ? n : 1) * sizeof(Element*)));
        for (int i = 0; i < n; ++i) block[i] = items[i];
        array->Adopt(block, n);
        auto* ai = CreateElementAs<StaticSizeElementIterator>(TypeStaticSizeElementIterator);
        ai->AddReference();
        ai->SetSource(array);
        iteratorElement = ai;
        it = InterfaceOf<Iterator>(ai, InterfaceIterator);
    }
};

class BothKinds : public ::testing::TestWithParam<bool> {
protected:
    void Make(Sequence& s, int n) {
        if (GetParam()) {
            s.MakeList(n);
        } else {
            s.MakeArray(n);
        }
    }
};

TEST_P(BothKinds, EmptySequenceIsAtBothEndsAtOnce) {
    Sequence s;
    Make(s, 0);
    s.it->First();
    EXPECT_EQ(s.it->IsAtEnd(), 1);
    EXPECT_EQ(s.it->IsBeforeFirst(), 1);
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    s.it->Last();
    s.it->Next();
    s.it->Previous();
    EXPECT_EQ(s.it->IsAtEnd(), 1);
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    EXPECT_EQ(s.it->GetCount(), 0u);
    // The list counts zero steps as reached; the array has no index 0 to move to.
    EXPECT_EQ(s.it->MoveTo(0), GetParam() ? 0 : 1);
}

TEST_P(BothKinds, StepsPastEitherEndStayOnTheEndElementUntilSteppedBack) {
    Sequence s;
    Make(s, 3);
    s.it->First();
    EXPECT_EQ(s.it->GetCurrent(), s.items[0]);
    s.it->Next();
    s.it->Next();
    EXPECT_EQ(s.it->GetIndex(), 2u);
    EXPECT_EQ(s.it->IsAtEnd(), 0);
    EXPECT_EQ(s.it->GetCurrent(), s.items[2]);
    s.it->Next();
    EXPECT_EQ(s.it->IsAtEnd(), 1);
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    EXPECT_EQ(s.it->GetIndex(), 2u);
    s.it->Next();  // same direction: still beyond
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    s.it->Previous();  // back: the end element is current again, without moving
    EXPECT_EQ(s.it->GetIndex(), 2u);
    EXPECT_EQ(s.it->GetCurrent(), s.items[2]);
    EXPECT_EQ(s.it->IsAtEnd(), 0);
    s.it->Previous();
    EXPECT_EQ(s.it->GetCurrent(), s.items[1]);

    s.it->First();
    s.it->Previous();
    EXPECT_EQ(s.it->IsBeforeFirst(), 1);
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    EXPECT_EQ(s.it->GetIndex(), 0u);
    s.it->Next();
    EXPECT_EQ(s.it->IsBeforeFirst(), 0);
    EXPECT_EQ(s.it->GetIndex(), 0u);
    EXPECT_EQ(s.it->GetCurrent(), s.items[0]);

    s.it->Last();
    EXPECT_EQ(s.it->GetIndex(), 2u);
    EXPECT_EQ(s.it->GetCurrent(), s.items[2]);

    // The usual walk visits every element once, in order.
    std::vector<Element*> seen;
    for (s.it->First(); s.it->IsAtEnd() == 0; s.it->Next()) seen.push_back(s.it->GetCurrent());
    EXPECT_EQ(seen, std::vector<Element*>(s.items.begin(), s.items.end()));
}

TEST_P(BothKinds, OneElementLeavesBeyondOnlyThroughFirstLastOrMoveTo) {
    Sequence s;
    Make(s, 1);
    s.it->First();
    EXPECT_EQ(s.it->IsAtEnd(), 0);
    s.it->Next();
    EXPECT_EQ(s.it->IsAtEnd(), 1);
    EXPECT_EQ(s.it->IsBeforeFirst(), 1);
    s.it->Previous();
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    s.it->Next();
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    s.it->First();
    EXPECT_EQ(s.it->GetCurrent(), s.items[0]);
    s.it->Previous();
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    s.it->Last();
    EXPECT_EQ(s.it->GetCurrent(), s.items[0]);
    s.it->Next();
    EXPECT_EQ(s.it->MoveTo(0), 0);
    EXPECT_EQ(s.it->GetCurrent(), s.items[0]);
}

INSTANTIATE_TEST_SUITE_P(ListAndArray, BothKinds, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "List" : "Array";
                         });

TEST(ElementIteratorMoveTo, ListReachesBeyondTheLastAtCountArrayRefuses) {
    Sequence list;
    list.MakeList(3);
    EXPECT_EQ(list.it->MoveTo(1), 0);
    EXPECT_EQ(list.it->GetCurrent(), list.items[1]);
    EXPECT_EQ(list.it->MoveTo(3), 0);
    EXPECT_EQ(list.it->IsAtEnd(), 1);
    EXPECT_EQ(list.it->MoveTo(4), 1);

    Sequence array;
    array.MakeArray(3);
    EXPECT_EQ(array.it->MoveTo(2), 0);
    EXPECT_EQ(array.it->MoveTo(3), 1);
    EXPECT_EQ(array.it->GetIndex(), 2u);  // position left alone
    EXPECT_EQ(array.it->GetCurrent(), array.items[2]);
}

TEST(ListIteratorChanges, AppendInsertRemoveKeepPositionCountAndReferences) {
    Sequence s;
    s.MakeList(3);
    auto* li = static_cast<DynamicSizeElementIterator*>(s.iteratorElement);
    EXPECT_EQ(s.items[0]->GetReferenceCount(), 2);  // the test's and the entry's
    li->SetModified(0);

    Probe* extra = new Probe;
    extra->AddReference();
    s.items.push_back(extra);
    EXPECT_EQ(s.it->Append(extra), 0);
    EXPECT_EQ(s.it->GetCurrent(), extra);
    EXPECT_EQ(s.it->GetIndex(), 3u);
    EXPECT_EQ(li->GetModified(), 1);
    EXPECT_EQ(li->GetList()->GetCount(), 4u);

    // Insert in front of the second element: the new one takes index 1.
    Probe* inserted = new Probe;
    inserted->AddReference();
    s.items.push_back(inserted);
    s.it->MoveTo(1);
    EXPECT_EQ(s.it->Insert(inserted), 0);
    EXPECT_EQ(s.it->GetIndex(), 1u);
    EXPECT_EQ(s.it->GetCurrent(), inserted);
    s.it->Next();
    EXPECT_EQ(s.it->GetCurrent(), s.items[1]);
    EXPECT_EQ(s.it->GetCount(), 5u);

    // Removing a middle element: the following one takes its index; the entry's reference goes.
    s.it->MoveTo(1);
    EXPECT_EQ(s.it->RemoveCurrent(), 0);
    EXPECT_EQ(inserted->GetReferenceCount(), 1);
    EXPECT_EQ(s.it->GetIndex(), 1u);
    EXPECT_EQ(s.it->GetCurrent(), s.items[1]);

    // Removing the last element: the iterator stands beyond the new last one.
    s.it->Last();
    EXPECT_EQ(s.it->RemoveCurrent(), 0);
    EXPECT_EQ(s.it->IsAtEnd(), 1);
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    EXPECT_EQ(s.it->GetIndex(), 2u);
    s.it->Previous();
    EXPECT_EQ(s.it->GetCurrent(), s.items[2]);
    EXPECT_EQ(s.it->GetCount(), 3u);

    // At the end Insert appends.
    s.it->Next();
    EXPECT_EQ(s.it->Insert(inserted), 0);
    EXPECT_EQ(li->GetList()->GetLast()->GetPayload(), inserted);

    // Removing the first element while standing before it: still before the new first one.
    s.it->First();
    s.it->Previous();
    EXPECT_EQ(s.it->RemoveCurrent(), 0);
    EXPECT_EQ(s.it->IsBeforeFirst(), 1);
    EXPECT_EQ(s.it->GetCurrent(), nullptr);
    s.it->Next();
    EXPECT_EQ(s.it->GetCurrent(), s.items[1]);

    s.it->Last();
    EXPECT_EQ(s.it->RemoveAll(), 0);
    EXPECT_EQ(s.it->GetIndex(), 0u);
    EXPECT_EQ(s.it->GetCount(), 0u);
    EXPECT_EQ(s.it->IsAtEnd(), 1);
    EXPECT_EQ(li->GetList()->GetFirst(), nullptr);
    for (Probe* p : s.items) EXPECT_EQ(p->GetReferenceCount(), 1);
    EXPECT_EQ(s.it->RemoveCurrent(), 1);  // nothing to remove
}

TEST(ListIteratorChanges, AttachingCountsEntriesAndDetachingReleasesTheList) {
    Sequence s;
    s.MakeList(2);
    auto* li = static_cast<DynamicSizeElementIterator*>(s.iteratorElement);
    List* list = li->GetList();
    list->AddReference();
    auto* other = CreateElementAs<DynamicSizeElementIterator>(TypeDynamicSizeElementIterator);
    other->SetList(list);
    EXPECT_EQ(list->GetReferenceCount(), 3);
    Iterator* it = InterfaceOf<Iterator>(other, InterfaceIterator);
    EXPECT_EQ(it->GetCount(), 2u);
    EXPECT_EQ(it->GetCurrent(), s.items[0]);
    EXPECT_EQ(other->GetModified(), 0);
    other->SetList(nullptr);
    EXPECT_EQ(it->GetCount(), 0u);
    EXPECT_EQ(it->IsAtEnd(), 1);
    EXPECT_EQ(list->GetReferenceCount(), 2);
    ReleaseElement(other);
    ReleaseElement(list);
}

// Another iterator removing the entry this one stands on leaves this one safe: it shows no
// element, steps off to the end, refuses to remove the entry again, and lets go of it.
TEST(ListIteratorChanges, AnEntryRemovedUnderAnotherIteratorIsLetGo) {
    Sequence s;
    s.MakeList(3);
    auto* li = static_cast<DynamicSizeElementIterator*>(s.iteratorElement);
    auto* other = CreateElementAs<DynamicSizeElementIterator>(TypeDynamicSizeElementIterator);
    other->AddReference();
    other->SetList(li->GetList());
    Iterator* it = InterfaceOf<Iterator>(other, InterfaceIterator);
    it->MoveTo(1);
    s.it->MoveTo(1);
    EXPECT_EQ(s.it->RemoveCurrent(), 0);
    EXPECT_EQ(s.items[1]->GetReferenceCount(), 1);
    EXPECT_EQ(it->GetCurrent(), nullptr);
    EXPECT_EQ(it->RemoveCurrent(), 1);
    EXPECT_EQ(li->GetList()->GetCount(), 2u);
    it->Next();
    EXPECT_EQ(it->IsAtEnd(), 1);
    it->First();
    EXPECT_EQ(it->GetCurrent(), s.items[0]);
    EXPECT_EQ(s.it->RemoveAll(), 0);
    EXPECT_EQ(it->GetCurrent(), nullptr);
    ReleaseElement(other);
    for (Probe* p : s.items) EXPECT_EQ(p->GetReferenceCount(), 1);
}

TEST(ListIteratorChanges, AppendAndInsertFailCleanlyWhenStorageRunsOut) {
    for (std::int32_t mode : {0, 8}) {
        Sequence s;
        s.MakeList(2);
        auto* li = static_cast<DynamicSizeElementIterator*>(s.iteratorElement);
        if (mode != 0) {
            // Byte copies: the entries made in mode 0 go first, then entries copy 8 bytes.
            s.it->RemoveAll();
            li->GetList()->SetPayloadMode(mode);
            li->SetPayloadMode(mode);
            for (Probe* p : s.items) ASSERT_EQ(p->GetReferenceCount(), 1);
        }
        std::uint64_t data = 0x0102030405060708ull;
        Element* item =
            mode == 0 ? static_cast<Element*>(s.items[0]) : reinterpret_cast<Element*>(&data);
        for (bool insert : {false, true}) {
            int reached = QRV2Test::WalkAllocationFailures([&](int) {
                std::uint32_t before = s.it->GetCount();
                std::int64_t live = AllocatorHook::LiveBlocks();
                s.it->First();
                std::int32_t result = insert ? s.it->Insert(item) : s.it->Append(item);
                if (AllocatorHook::Fired()) {
                    EXPECT_EQ(result, 1);
                    EXPECT_EQ(s.it->GetCount(), before);
                    EXPECT_EQ(li->GetList()->GetCount(), before);
                    EXPECT_EQ(AllocatorHook::LiveBlocks(), live);
                } else {
                    EXPECT_EQ(result, 0);
                    EXPECT_EQ(s.it->GetCount(), before + 1);
                }
            });
            EXPECT_GE(reached, mode == 0 ? 1 : 2);
        }
        if (mode == 0) s.it->RemoveAll();
        for (Probe* p : s.items) EXPECT_EQ(p->GetReferenceCount(), 1);
        // Teardown of the list frees the remaining byte copies (ASan watches for leaks).
    }
}

TEST(ArrayIteratorChanges, SetContentsReplacesTheBlockUnlessReadOnly) {
    Sequence s;
    s.MakeArray(2);
    auto* ai = static_cast<StaticSizeElementIterator*>(s.iteratorElement);
    Probe* fresh = new Probe;
    fresh->AddReference();
    s.items.push_back(fresh);
    auto** block = static_cast<Element**>(Allocate(sizeof(Element*)));
    block[0] = fresh;

    ai->SetReadOnly(1);
    EXPECT_EQ(s.it->SetContents(block, 1), 1);
    EXPECT_EQ(s.it->RemoveAll(), 1);
    EXPECT_EQ(s.it->GetCount(), 2u);
    EXPECT_EQ(ai->GetModified(), 0);

    ai->SetReadOnly(0);
    s.it->MoveTo(1);
    EXPECT_EQ(s.it->SetContents(block, 1), 0);
    EXPECT_EQ(ai->GetModified(), 1);
    EXPECT_EQ(s.it->GetCount(), 1u);
    EXPECT_EQ(fresh->GetReferenceCount(), 2);
    EXPECT_EQ(s.items[0]->GetReferenceCount(), 1);  // released by the array
    EXPECT_EQ(s.it->GetCurrent(), nullptr);         // the position is kept, now past the block
    s.it->First();
    EXPECT_EQ(s.it->GetCurrent(), fresh);
    EXPECT_EQ(s.it->RemoveAll(), 0);
    EXPECT_EQ(s.it->GetCount(), 0u);
    EXPECT_EQ(fresh->GetReferenceCount(), 1);
    EXPECT_EQ(ai->SetSource(nullptr), 1);
    EXPECT_EQ(s.it->SetContents(nullptr, 0), 1);  // detached
}

}  // namespace
