// ElementContainer: lending iterators, list/array conversion and ownership, the id stream form.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/containers/Crunch.h"
#include "framework/containers/ElementContainer.h"
#include "framework/containers/IO.h"
#include "framework/containers/Iterator.h"
#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/ElementImpBase.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/VectorStream.h"

using namespace QRV2;

namespace {

int g_disposed = 0;

// An element with a crunch id, as the container's stream form refers to elements by it.
class Item : public ElementImpBase<Element, 96>, public Crunch {
public:
    explicit Item(std::int32_t id) : m_id(id) {}
    std::int32_t Dispose() override {
        ++g_disposed;
        delete this;
        return 0;
    }
    void* GetInterface(std::int32_t id) override {
        return id == InterfaceCrunch ? static_cast<Crunch*>(this) : nullptr;
    }
    std::int32_t QueryCrunch(void*, std::int32_t) override { return 0; }
    std::int32_t ApplyCrunch(void*, std::int32_t) override { return 0; }
    std::int32_t GetCrunchId() override { return m_id; }
    void SetCrunchId(std::int32_t id) override { m_id = id; }
    std::int32_t CompareContent(Element*) override { return 1; }

private:
    std::int32_t m_id;
};

// An element without a Crunch view: written as -1.
class Plain : public ElementImpBase<Element, 95> {
public:
    std::int32_t Dispose() override {
        ++g_disposed;
        delete this;
        return 0;
    }
};

// Accepts items whose crunch id is even.
class EvenFilter : public ElementImpBase<ElementFilter, 94> {
public:
    std::int32_t Dispose() override {
        ++g_disposed;
        delete this;
        return 0;
    }
    std::int32_t Accept(Element* e) override {
        ++asked;
        Crunch* c = InterfaceOf<Crunch>(e, InterfaceCrunch);
        return (c != nullptr && c->GetCrunchId() % 2 == 0) ? 0 : 1;
    }
    static int asked;
};
int EvenFilter::asked = 0;

using QRV2Test::VectorStream;

std::int32_t PlainValue(Element* slot) {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(slot));
}

class ElementContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_live = AllocatorHook::LiveBlocks();
        g_disposed = 0;
        c = CreateElementAs<ElementContainer>(TypeElementContainer);
        ASSERT_NE(c, nullptr);
    }
    void TearDown() override {
        ReleaseElement(c);
        for (Element* e : held) ReleaseElement(e);
        EXPECT_EQ(AllocatorHook::LiveBlocks(), m_live);
    }
    // New items with the given crunch ids, each with one reference held by the test.
    std::vector<Element*> MakeItems(std::initializer_list<std::int32_t> ids) {
        std::vector<Element*> made;
        for (std::int32_t id : ids) {
            Element* e = new Item(id);
            e->AddReference();
            held.push_back(e);
            made.push_back(e);
        }
        return made;
    }
    void AppendAll(ElementContainer* to, const std::vector<Element*>& items) {
        Iterator* it = to->GetIterator(ElementContainer::IteratorChange, nullptr);
        ASSERT_NE(it, nullptr);
        for (Element* e : items) ASSERT_EQ(it->Append(e), 0);
        to->ReturnIterator(&it);
        EXPECT_EQ(it, nullptr);
    }
    std::vector<Element*> ReadAll(ElementContainer* from) {
        std::vector<Element*> seen;
        Iterator* it = from->GetIterator(ElementContainer::IteratorRead, nullptr);
        EXPECT_NE(it, nullptr);
        if (it == nullptr) return seen;
        for (it->First(); it->IsAtEnd() == 0; it->Next()) seen.push_back(it->GetCurrent());
        from->ReturnIterator(&it);
        return seen;
    }
    std::vector<unsigned char> Written(ElementContainer* from) {
        VectorStream s;
        EXPECT_EQ(InterfaceOf<IO>(from, InterfaceIO)->WriteTo(&s, 0), 0);
        return s.bytes;
    }

    ElementContainer* c = nullptr;
    std::vector<Element*> held;
    std::int64_t m_live = 0;
};

TEST_F(ElementContainerTest, FreshContainerLendsEmptyIteratorsAndRefusesUnknownKinds) {
    Iterator* read = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->IsAtEnd(), 1);
    Iterator* change = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(change->IsAtEnd(), 1);
    EXPECT_EQ(change->GetCount(), 0u);
    for (int kind : {0, 4, 6, -1}) EXPECT_EQ(c->GetIterator(kind, nullptr), nullptr) << kind;
    EXPECT_EQ(c->ReturnIterator(&read), 0);
    EXPECT_EQ(c->ReturnIterator(&change), 0);
    EXPECT_EQ(c->ReturnIterator(&read), 0);  // already cleared: nothing happens
}

TEST_F(ElementContainerTest, EachRepresentationHoldsItsOwnReference) {
    auto items = MakeItems({1, 2, 3});
    AppendAll(c, items);
    for (Element* e : items) EXPECT_EQ(e->GetReferenceCount(), 2);  // test + list
    EXPECT_EQ(ReadAll(c), items);
    for (Element* e : items) EXPECT_EQ(e->GetReferenceCount(), 3);  // + array

    // A list iterator handed back without change keeps the array.
    Iterator* it = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    EXPECT_EQ(it->GetCurrent(), items[0]);
    it->Next();
    c->ReturnIterator(&it);
    EXPECT_EQ(items[0]->GetReferenceCount(), 3);

    // One handed back after a change drops it; the next read rebuilds it with the change.
    auto more = MakeItems({4});
    it = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    it->Append(more[0]);
    c->ReturnIterator(&it);
    EXPECT_EQ(items[0]->GetReferenceCount(), 2);
    std::vector<Element*> all = items;
    all.push_back(more[0]);
    EXPECT_EQ(ReadAll(c), all);

    // Emptying lets go of both representations' references.
    EXPECT_EQ(c->GetIterator(ElementContainer::IteratorClear, nullptr), nullptr);
    for (Element* e : all) EXPECT_EQ(e->GetReferenceCount(), 1);
    EXPECT_TRUE(ReadAll(c).empty());
    AppendAll(c, items);
    ReadAll(c);
    ReleaseElement(c);  // disposing releases both too
    for (Element* e : items) EXPECT_EQ(e->GetReferenceCount(), 1);
    EXPECT_EQ(g_disposed, 0);
}

TEST_F(ElementContainerTest, SecondReaderIsCreatedWhileTheSharedOneIsLentOut) {
    auto items = MakeItems({1, 2});
    AppendAll(c, items);
    Iterator* first = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    Iterator* second = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(c->GetIterator(ElementContainer::IteratorWrite, nullptr), nullptr);
    EXPECT_EQ(second->GetElement()->GetReferenceCount(), 1);  // held by the borrower only
    second->Next();
    EXPECT_EQ(first->GetCurrent(), items[0]);
    EXPECT_EQ(second->GetCurrent(), items[1]);
    c->ReturnIterator(&second);
    c->ReturnIterator(&first);
    Iterator* writer = c->GetIterator(ElementContainer::IteratorWrite, nullptr);
    EXPECT_NE(writer, nullptr);
    c->ReturnIterator(&writer);

    // The same holds for list iterators: both lent at once, both usable.
    Iterator* a = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    Iterator* b = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    c->ReturnIterator(&b);
    c->ReturnIterator(&a);
}

TEST_F(ElementContainerTest, ReaderLentDuringAChangeKeepsItsSnapshotUntilHandedBack) {
    auto items = MakeItems({1, 2});
    AppendAll(c, items);
    Iterator* reader = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    auto more = MakeItems({3});
    AppendAll(c, more);  // drops the array while the shared reader still walks it
    std::vector<Element*> seen;
    for (reader->First(); reader->IsAtEnd() == 0; reader->Next())
        seen.push_back(reader->GetCurrent());
    EXPECT_EQ(seen, items);
    EXPECT_EQ(items[0]->GetReferenceCount(), 3);  // the old array still holds it
    c->ReturnIterator(&reader);
    EXPECT_EQ(items[0]->GetReferenceCount(), 2);
    EXPECT_EQ(ReadAll(c), (std::vector<Element*>{items[0], items[1], more[0]}));
}

TEST_F(ElementContainerTest, ReadersLentBesideAWriterSeeItsNewBlockNeverTheFreedOne) {
    auto items = MakeItems({1, 2, 3});
    auto replacements = MakeItems({7, 8});
    AppendAll(c, items);
    ReadAll(c);  // builds the array
    auto blockOf = [](Element* a, Element* b) {
        auto** block = static_cast<Element**>(Allocate(2 * sizeof(Element*)));
        block[0] = a;
        block[1] = b;
        return block;
    };
    // A writer first, then the shared reader; the writer replaces the block.
    Iterator* writer = c->GetIterator(ElementContainer::IteratorWrite, nullptr);
    Iterator* reader = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    ASSERT_NE(writer, nullptr);
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(writer->SetContents(blockOf(replacements[0], replacements[1]), 2), 0);
    EXPECT_EQ(reader->GetCount(), 2u);
    reader->First();
    EXPECT_EQ(reader->GetCurrent(), replacements[0]);
    c->ReturnIterator(&writer);
    c->ReturnIterator(&reader);

    // Two readers, the shared one handed back, then a writer: the other reader is still out.
    Iterator* shared = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    Iterator* other = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    c->ReturnIterator(&shared);
    writer = c->GetIterator(ElementContainer::IteratorWrite, nullptr);
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(writer->SetContents(blockOf(items[2], items[0]), 2), 0);
    std::vector<Element*> seen;
    for (other->First(); other->IsAtEnd() == 0; other->Next()) seen.push_back(other->GetCurrent());
    EXPECT_EQ(seen, (std::vector<Element*>{items[2], items[0]}));
    c->ReturnIterator(&writer);
    c->ReturnIterator(&other);
    EXPECT_EQ(replacements[0]->GetReferenceCount(), 1);  // the replaced block let it go
}

TEST_F(ElementContainerTest, ChangesFromTwoListIteratorsAreAllReadBack) {
    auto items = MakeItems({1, 2, 3});
    Iterator* shared = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    Iterator* other = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    other->Append(items[0]);
    other->Append(items[1]);
    c->ReturnIterator(&other);
    shared->Append(items[2]);  // this one never saw the other's two
    c->ReturnIterator(&shared);
    EXPECT_EQ(ReadAll(c), items);
    // The shared list iterator lent next counts the list afresh.
    shared = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    EXPECT_EQ(shared->GetCount(), 3u);
    c->ReturnIterator(&shared);
}

TEST_F(ElementContainerTest, FilteredReaderHoldsAcceptedItemsAndConsumesTheFilter) {
    auto items = MakeItems({1, 2, 3, 4});
    AppendAll(c, items);
    Iterator* it = c->GetIterator(ElementContainer::IteratorRead, new EvenFilter);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(g_disposed, 1);  // the filter
    std::vector<Element*> seen;
    for (it->First(); it->IsAtEnd() == 0; it->Next()) seen.push_back(it->GetCurrent());
    EXPECT_EQ(seen, (std::vector<Element*>{items[1], items[3]}));
    EXPECT_EQ(items[1]->GetReferenceCount(), 3);  // test + list + the private array
    c->ReturnIterator(&it);
    EXPECT_EQ(items[1]->GetReferenceCount(), 2);

    // Without a list the filtered array stays empty, even when the container holds an array.
    ElementContainer* arrayOnly = CreateElementAs<ElementContainer>(TypeElementContainer);
    Iterator* writer = arrayOnly->GetIterator(ElementContainer::IteratorWrite, nullptr);
    auto** block = static_cast<Element**>(Allocate(2 * sizeof(Element*)));
    block[0] = items[0];
    block[1] = items[1];
    ASSERT_EQ(writer->SetContents(block, 2), 0);
    arrayOnly->ReturnIterator(&writer);
    it = arrayOnly->GetIterator(ElementContainer::IteratorRead, new EvenFilter);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->GetCount(), 0u);
    arrayOnly->ReturnIterator(&it);
    ReleaseElement(arrayOnly);

    // Plain values are no elements: the filter is never handed one.
    ElementContainer* plain = CreateElementAs<ElementContainer>(TypeElementContainer);
    VectorStream ids;
    ids.bytes = {2, 0, 0, 0, 9, 0, 0, 0, 10, 0, 0, 0};
    ASSERT_EQ(InterfaceOf<IO>(plain, InterfaceIO)->ReadFrom(&ids, 0), 0);
    Iterator* list = plain->GetIterator(ElementContainer::IteratorChange, nullptr);
    plain->ReturnIterator(&list);
    EvenFilter::asked = 0;
    it = plain->GetIterator(ElementContainer::IteratorRead, new EvenFilter);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(EvenFilter::asked, 0);
    EXPECT_EQ(it->GetCount(), 0u);
    plain->ReturnIterator(&it);
    ReleaseElement(plain);
}

TEST_F(ElementContainerTest, WritesCountAndIdsInFourOrTwoBytes) {
    EXPECT_EQ(Written(c), (std::vector<unsigned char>{0, 0, 0, 0}));
    auto items = MakeItems({5});
    Element* plain = new Plain;
    plain->AddReference();
    held.push_back(plain);
    AppendAll(c, {items[0], plain});
    EXPECT_EQ(Written(c),
              (std::vector<unsigned char>{2, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));

    ElementContainer* shortIds = CreateElementAs<ElementContainer>(TypeElementContainer, 1);
    AppendAll(shortIds, {items[0], plain});
    EXPECT_EQ(Written(shortIds), (std::vector<unsigned char>{2, 0, 0, 0, 5, 0, 0xFF, 0xFF}));
    ReleaseElement(shortIds);

    // Byte copies (a positive payload mode) are no elements and have no ids: -1 each, never
    // a piece of their address.
    ElementContainer* copies = CreateElementAs<ElementContainer>(TypeElementContainer);
    copies->SetPayloadMode(4);
    std::int32_t values[2] = {5, 6};
    AppendAll(copies,
              {reinterpret_cast<Element*>(&values[0]), reinterpret_cast<Element*>(&values[1])});
    EXPECT_EQ(Written(copies), (std::vector<unsigned char>{2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                           0xFF, 0xFF, 0xFF}));
    ReleaseElement(copies);

    // A write that falls short is no success.
    VectorStream cut;
    cut.writeLimit = 6;
    EXPECT_EQ(InterfaceOf<IO>(c, InterfaceIO)->WriteTo(&cut, 0), 1);
}

TEST_F(ElementContainerTest, ReadsIdsAsPlainValuesAndWritesThemBackUnchanged) {
    ElementContainer* shortIds = CreateElementAs<ElementContainer>(TypeElementContainer, 1);
    VectorStream s;
    s.bytes = {1, 0, 0, 0, 0xFF, 0xFF};
    EXPECT_EQ(InterfaceOf<IO>(shortIds, InterfaceIO)->ReadFrom(&s, 0), 0);
    EXPECT_EQ(shortIds->GetPayloadMode(), -4);
    auto seen = ReadAll(shortIds);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(PlainValue(seen[0]), -1);
    EXPECT_EQ(Written(shortIds), s.bytes);
    ReleaseElement(shortIds);

    // 4-byte ids; larger than one read batch, and converted to a list and back.
    VectorStream big;
    const std::uint32_t n = 700;
    for (int k = 0; k < 4; ++k) big.bytes.push_back(static_cast<unsigned char>(n >> (8 * k)));
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t v = i * 1000003u;
        for (int k = 0; k < 4; ++k) big.bytes.push_back(static_cast<unsigned char>(v >> (8 * k)));
    }
    EXPECT_EQ(InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&big, 0), 0);
    seen = ReadAll(c);
    ASSERT_EQ(seen.size(), n);
    EXPECT_EQ(static_cast<std::uint32_t>(PlainValue(seen[699])), 699u * 1000003u);
    Iterator* it = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->GetCount(), n);
    it->Append(reinterpret_cast<Element*>(static_cast<std::intptr_t>(7)));
    c->ReturnIterator(&it);
    seen = ReadAll(c);
    ASSERT_EQ(seen.size(), n + 1);
    EXPECT_EQ(PlainValue(seen[n]), 7);
    EXPECT_EQ(Written(c).size(), 4 + 4 * (n + 1));
}

TEST_F(ElementContainerTest, ReadingReplacesHeldElementsAndRejectsTruncatedInput) {
    auto items = MakeItems({1, 2});
    AppendAll(c, items);
    ReadAll(c);
    VectorStream s;
    s.bytes = {2, 0, 0, 0, 9, 0, 0, 0, 8};  // second id cut short
    EXPECT_EQ(InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&s, 0), 1);
    // The elements were let go under the mode they were added with, never taken for ids.
    for (Element* e : items) EXPECT_EQ(e->GetReferenceCount(), 1);
    EXPECT_TRUE(ReadAll(c).empty());

    VectorStream cutCount;
    cutCount.bytes = {1, 0};
    EXPECT_EQ(InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&cutCount, 0), 1);
    VectorStream zero;
    zero.bytes = {0, 0, 0, 0};
    EXPECT_EQ(InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&zero, 0), 0);

    // A huge claimed count with little data behind it fails without a huge allocation.
    VectorStream liar;
    liar.bytes = {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0};
    EXPECT_EQ(InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&liar, 0), 1);

    // While a reader is out the content cannot be replaced.
    Iterator* reader = c->GetIterator(ElementContainer::IteratorRead, nullptr);
    s.position = 0;
    EXPECT_EQ(InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&s, 0), 1);
    c->ReturnIterator(&reader);
}

TEST_F(ElementContainerTest, RewrittenArrayReplacesAnEarlierList) {
    VectorStream s;
    s.bytes = {1, 0, 0, 0, 3, 0, 0, 0};
    InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&s, 0);
    Iterator* it = c->GetIterator(ElementContainer::IteratorChange, nullptr);  // list of {3}
    c->ReturnIterator(&it);
    s.bytes = {2, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    s.position = 0;
    InterfaceOf<IO>(c, InterfaceIO)->ReadFrom(&s, 0);
    it = c->GetIterator(ElementContainer::IteratorChange, nullptr);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->GetCount(), 2u);
    EXPECT_EQ(PlainValue(it->GetCurrent()), 4);
    c->ReturnIterator(&it);
}

TEST_F(ElementContainerTest, ComparesByIdsAndCounts) {
    Crunch* crunch = InterfaceOf<Crunch>(c, InterfaceCrunch);
    auto items = MakeItems({1, 2, 3});
    auto twins = MakeItems({1, 2, 3});
    ElementContainer* other = CreateElementAs<ElementContainer>(TypeElementContainer);
    AppendAll(c, items);
    AppendAll(other, twins);
    EXPECT_EQ(crunch->CompareContent(other), 0);
    EXPECT_EQ(crunch->CompareContent(c), 0);
    Iterator* it = other->GetIterator(ElementContainer::IteratorChange, nullptr);
    it->Last();
    it->RemoveCurrent();
    other->ReturnIterator(&it);
    EXPECT_EQ(crunch->CompareContent(other), -1);  // a prefix is not equal
    EXPECT_EQ(InterfaceOf<Crunch>(other, InterfaceCrunch)->CompareContent(c), -1);
    InterfaceOf<Crunch>(twins[1], InterfaceCrunch)->SetCrunchId(7);
    EXPECT_EQ(crunch->CompareContent(nullptr), -1);
    EXPECT_EQ(crunch->CompareContent(items[0]), -1);
    ReleaseElement(other);

    // Plain values compare as values, never as elements.
    VectorStream s;
    s.bytes = {1, 0, 0, 0, 9, 0, 0, 0};
    ElementContainer* x = CreateElementAs<ElementContainer>(TypeElementContainer);
    ElementContainer* y = CreateElementAs<ElementContainer>(TypeElementContainer);
    InterfaceOf<IO>(x, InterfaceIO)->ReadFrom(&s, 0);
    s.position = 0;
    InterfaceOf<IO>(y, InterfaceIO)->ReadFrom(&s, 0);
    EXPECT_EQ(InterfaceOf<Crunch>(x, InterfaceCrunch)->CompareContent(y), 0);
    ReleaseElement(x);
    ReleaseElement(y);
}

TEST_F(ElementContainerTest, GetIteratorFailsCleanlyWhenStorageRunsOut) {
    auto items = MakeItems({1, 2, 3});
    AppendAll(c, items);
    // Building the array from the list.
    int reached = QRV2Test::WalkAllocationFailures([&](int) {
        Iterator* it = c->GetIterator(ElementContainer::IteratorRead, nullptr);
        bool fired = AllocatorHook::Fired();
        AllocatorHook::Disarm();
        if (it == nullptr) {
            EXPECT_TRUE(fired);
            for (Element* e : items) EXPECT_EQ(e->GetReferenceCount(), 2);
            return;
        }
        EXPECT_EQ(it->GetCount(), 3u);
        c->ReturnIterator(&it);
        c->GetIterator(ElementContainer::IteratorClear, nullptr);
        AppendAll(c, items);
    });
    EXPECT_GE(reached, 2);

    // Building the list from the array: all or nothing.
    c->GetIterator(ElementContainer::IteratorClear, nullptr);
    ElementContainer* fromArray = CreateElementAs<ElementContainer>(TypeElementContainer);
    Iterator* writer = fromArray->GetIterator(ElementContainer::IteratorWrite, nullptr);
    auto** block = static_cast<Element**>(Allocate(3 * sizeof(Element*)));
    for (int i = 0; i < 3; ++i) block[i] = items[i];
    ASSERT_EQ(writer->SetContents(block, 3), 0);
    fromArray->ReturnIterator(&writer);
    reached = QRV2Test::WalkAllocationFailures([&](int) {
        Iterator* it = fromArray->GetIterator(ElementContainer::IteratorChange, nullptr);
        AllocatorHook::Disarm();
        if (it == nullptr) {
            for (Element* e : items) EXPECT_EQ(e->GetReferenceCount(), 2);
            return;
        }
        EXPECT_EQ(it->GetCount(), 3u);
        EXPECT_EQ(it->GetCurrent(), items[0]);
        fromArray->ReturnIterator(&it);
        for (Element* e : items) EXPECT_EQ(e->GetReferenceCount(), 3);
    });
    EXPECT_GE(reached, 3);
    ReleaseElement(fromArray);

    // Creating the container itself.
    QRV2Test::WalkAllocationFailures([&](int) {
        Element* made = GetCore()->CreateElement(TypeElementContainer, 0);
        AllocatorHook::Disarm();
        ReleaseElement(made);
    });
}

}  // namespace
