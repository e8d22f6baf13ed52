// Core: factory, singleton table, type names, reference counting from the sentinel.
#include <gtest/gtest.h>

#include <cxxabi.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <typeinfo>

#include "framework/core/Allocator.h"
#include "framework/core/CoreImp.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/system/SystemAppImp.h"
#include "platform/Tls.h"
#include "tests/support/Probe.h"

using namespace QRV2;

namespace {

using QRV2Test::Probe;

TEST(ElementReferenceCount, StartsAtSentinelAndCountsFromOne) {
    Probe* p = new Probe;
    EXPECT_EQ(p->GetReferenceCount(), 0);
    EXPECT_EQ(p->AddReference(), 1);
    EXPECT_EQ(p->AddReference(), 2);
    EXPECT_EQ(p->AddReference(), 3);
    EXPECT_EQ(p->ReleaseReference(), 2);
    EXPECT_EQ(p->GetReferenceCount(), 2);
    Probe::disposed = 0;
    p->ReleaseReference();
    EXPECT_EQ(p->ReleaseReference(), 0);
    EXPECT_EQ(Probe::disposed, 1);
}

TEST(ElementReferenceCount, OneReleaseDisposesANeverReferencedElement) {
    Probe::disposed = 0;
    Element* p = new Probe;
    EXPECT_EQ(p->ReleaseReference(), 0);
    EXPECT_EQ(Probe::disposed, 1);
}

TEST(CoreReleaseElement, DisposesAndClearsTheVariableAndIgnoresNull) {
    Probe::disposed = 0;
    Element* p = new Probe;
    GetCore()->ReleaseElement(&p);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(Probe::disposed, 1);
    GetCore()->ReleaseElement(&p);
    GetCore()->ReleaseElement(nullptr);
    EXPECT_EQ(Probe::disposed, 1);
}

TEST(CoreFactory, IdsWithoutAClassCreateNothing) {
    for (int id : {1, 6, 7, 11, 22, 200, -1, 182, 183}) {
        EXPECT_EQ(GetCore()->CreateElement(id, 0), nullptr) << id;
    }
}

// The interface a built object implements, from its class name: "QRV2::ListImp" gives "List".
std::string InterfaceNameOf(const Element& element) {
    int status = -1;
    char* demangled = abi::__cxa_demangle(typeid(element).name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled != nullptr ? demangled : typeid(element).name();
    std::free(demangled);
    const std::string space = "QRV2::", suffix = "Imp";
    if (name.compare(0, space.size(), space) == 0) name.erase(0, space.size());
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        name.erase(name.size() - suffix.size());
    }
    return name;
}

TEST(CoreFactory, EveryClassOfThisProgramIsCreatedWithItsOwnTypeIdAndName) {
    Core* core = GetCore();
    const std::int32_t ids[] = {0,  2,  3,  4,  5,  8,  9,  10,  12,  13, 14,
                                15, 16, 17, 18, 19, 20, 21, 112, 118, 119};
    for (std::int32_t id : ids) {
        Element* e = core->CreateElement(id, 0);
        ASSERT_NE(e, nullptr) << id;
        const std::int32_t expected = id == 0 ? TypeSystemTime : id;
        EXPECT_EQ(e->GetTypeId(), expected) << id;
        EXPECT_EQ(e->GetReferenceCount(), 0) << id;
        // Only the container keeps a parameter; the two memory-backed streams take and drop
        // theirs; every other class has none and says so.
        const bool takes =
            id == TypeElementContainer || id == TypeCompressStream || id == TypeMemoryStream;
        EXPECT_EQ(e->SetParam(0), takes ? 0 : 1) << id;
        core->ReleaseElement(&e);
    }
    // The name table against the classes themselves: whatever id builds an object, the name
    // of the object's type id is the interface its class implements (XImp implements X). The
    // application singleton is built by the program's start, not by the factory.
    int built = 0;
    for (std::int32_t id = 0; id < 183; ++id) {
        Element* e = core->CreateElement(id, 0);
        if (e == nullptr) continue;
        ++built;
        const char* name = core->GetTypeName(static_cast<std::uint32_t>(e->GetTypeId()));
        EXPECT_EQ(name == nullptr ? "<none>" : name, InterfaceNameOf(*e)) << id;
        core->ReleaseElement(&e);
    }
    EXPECT_EQ(built, static_cast<int>(sizeof ids / sizeof ids[0]));
    SystemAppImp* app = new SystemAppImp(core, nullptr, nullptr, 0);
    ASSERT_NE(app, nullptr);
    EXPECT_STREQ(core->GetTypeName(static_cast<std::uint32_t>(app->GetTypeId())),
                 InterfaceNameOf(*app).c_str());
    app->Dispose();
    delete app;
    // Singleton kinds are not shared by the factory: two requests, two objects.
    Element* a = core->CreateElement(TypeStringUtil, 0);
    Element* b = core->CreateElement(TypeStringUtil, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(core->GetSingleton(TypeStringUtil), nullptr);
    core->ReleaseElement(&a);
    core->ReleaseElement(&b);
}

TEST(CoreSingletons, TableIsNotOwningAndRejectsIdsOutsideIt) {
    Core* core = GetCore();
    Probe probe;
    EXPECT_EQ(core->GetSingleton(112), nullptr);
    core->SetSingleton(112, &probe);
    EXPECT_EQ(core->GetSingleton(112), &probe);
    EXPECT_EQ(probe.GetReferenceCount(), 0);
    core->SetSingleton(112, nullptr);
    EXPECT_EQ(core->GetSingleton(112), nullptr);
    for (int id : {-1, 183, 1000}) {
        core->SetSingleton(id, &probe);
        EXPECT_EQ(core->GetSingleton(id), nullptr) << id;
    }
    core->SetSingleton(182, &probe);
    EXPECT_EQ(core->GetSingleton(182), &probe);
    core->SetSingleton(182, nullptr);
}

TEST(CoreTypeNames, NamedAndUnnamedPositions) {
    Core* core = GetCore();
    EXPECT_STREQ(core->GetTypeName(0), "Void");
    EXPECT_STREQ(core->GetTypeName(2), "String");
    EXPECT_STREQ(core->GetTypeName(11), "SystemApp");
    EXPECT_STREQ(core->GetTypeName(17), "Archive");
    EXPECT_STREQ(core->GetTypeName(77), "FFT");
    EXPECT_STREQ(core->GetTypeName(119), "Buffer");
    EXPECT_STREQ(core->GetTypeName(182), "Raytracer");
    for (std::uint32_t id : {1u, 52u, 90u, 92u, 136u, 178u, 180u, 181u, 183u, 0xFFFFFFFFu}) {
        EXPECT_EQ(core->GetTypeName(id), nullptr) << id;
    }
    int named = 0;
    for (std::uint32_t id = 0; id < 183; ++id) named += core->GetTypeName(id) != nullptr;
    EXPECT_EQ(named, 165);
}

TEST(CoreTypeNames, SingletonKinds) {
    Core* core = GetCore();
    for (std::uint32_t id : {0u, 11u, 12u, 14u, 112u, 23u, 179u})
        EXPECT_TRUE(core->IsSingletonType(id)) << id;
    for (std::uint32_t id : {1u, 2u, 13u, 118u, 180u, 182u, 5000u})
        EXPECT_FALSE(core->IsSingletonType(id)) << id;
}

TEST(CoreName, SetNameCopiesAndReportsStorageFailure) {
    CoreImp* core = new CoreImp(nullptr);
    char text[] = "installer";
    const char* stored = core->SetName(text);
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(stored, text);
    text[0] = 'X';
    EXPECT_STREQ(core->GetName(), "installer");
    AllocatorHook::FailNth(1);
    EXPECT_EQ(core->SetName("other"), nullptr);
    AllocatorHook::Disarm();
    EXPECT_EQ(core->GetName(), nullptr);
    core->ReleaseReference();
}

// The application singleton stand-in: notes whether it is still registered while it ends.
class AppProbe : public Probe {
public:
    explicit AppProbe(Core* core) : m_core(core) {}
    std::int32_t Dispose() override {
        registeredWhileDisposed = m_core->GetSingleton(TypeSystemApp) == this;
        return Probe::Dispose();
    }
    static bool registeredWhileDisposed;

private:
    Core* m_core;
};
bool AppProbe::registeredWhileDisposed = false;

TEST(CoreDispose, DisposesTheRegisteredApplicationSingletonEvenUnreferenced) {
    CoreImp* core = new CoreImp(nullptr);
    Probe::disposed = 0;
    AppProbe::registeredWhileDisposed = false;
    core->SetSingleton(TypeSystemApp, new AppProbe(core));
    core->SetSingleton(50, new Probe);  // other entries are not the Core's to end
    Element* other = core->GetSingleton(50);
    core->AddReference();
    EXPECT_EQ(core->ReleaseReference(), 0);
    EXPECT_EQ(Probe::disposed, 1);
    EXPECT_TRUE(AppProbe::registeredWhileDisposed);  // its teardown may still look itself up
    other->ReleaseReference();
    EXPECT_EQ(Probe::disposed, 2);
}

TEST(CoreAnchor, GetCoreFollowsTheThreadLocalSlot) {
    Core* core = GetCore();
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(static_cast<std::uint32_t>(core->GetParam()), GetCoreSlot());
    EXPECT_EQ(core->GetTypeId(), 1);
    EXPECT_EQ(core->GetInterface(6), nullptr);
}

TEST(ElementStorage, FailedAllocationYieldsNullNotAThrow) {
    AllocatorHook::FailNth(1);
    Probe* p = new Probe;
    AllocatorHook::Disarm();
    EXPECT_EQ(p, nullptr);
}

}  // namespace
