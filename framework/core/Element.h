// Element: the root interface of every framework object, with type and interface ids.
#pragma once

#include <cstddef>
#include <cstdint>

namespace QRV2 {

// Reference-count value of an element that was created and never referenced.
constexpr std::int32_t kReferenceSentinel = static_cast<std::int32_t>(0x80001234u);

// Element type ids: the factory numbering (Core::CreateElement, Core::GetTypeName).
enum TypeId : std::int32_t {
    TypeVoid = 0,
    TypeCore = 1,
    TypeString = 2,
    TypeElementContainer = 3,
    TypeStaticSizeElementIterator = 4,
    TypeDynamicSizeElementIterator = 5,
    TypeStaticElementArray = 8,
    TypeList = 9,
    TypeListEntry = 10,
    TypeSystemApp = 11,
    TypeSystemTime = 12,
    TypeFilePath = 13,
    TypeFileFunc = 14,
    TypeFileSystemIterator = 15,
    TypeBinaryStream = 16,
    TypeArchive = 17,
    TypeArchiveEntry = 18,
    TypeCompressDevice = 19,
    TypeCompressStream = 20,
    TypeMemoryStream = 21,
    TypeStringUtil = 112,
    TypeSystemConf = 118,
    TypeBuffer = 119,
};

// Secondary interface ids answered by GetInterface; a numbering apart from type ids.
enum InterfaceId : std::int32_t {
    InterfaceCrunch = 6,
    InterfaceIterator = 8,
    InterfaceStream = 12,
    InterfaceIO = 13,
    InterfaceIntegerDate = 25,
    InterfaceIntegerDayTime = 26,
};

// The ten operations every framework object has, in this order (the order is the vtable
// contract). Constructors only set fields; destructors free nothing; Dispose frees what the
// element owns and deletes it.
class Element {
public:
    virtual ~Element();
    virtual std::int32_t Initialize() = 0;
    virtual std::int32_t Dispose() = 0;
    virtual std::int32_t GetReferenceCount() = 0;
    virtual std::int32_t AddReference() = 0;
    virtual std::int32_t ReleaseReference() = 0;
    virtual std::int32_t GetTypeId() = 0;
    virtual std::int32_t GetParam() = 0;
    virtual std::int32_t SetParam(std::int32_t param) = 0;
    virtual void* GetInterface(std::int32_t interfaceId) = 0;

    // Element objects live in the framework allocator; a failed allocation makes the
    // new-expression yield null instead of throwing.
    static void* operator new(std::size_t size) noexcept;
    static void operator delete(void* block) noexcept;
};

// Typed access to a secondary interface: null when the element is null or lacks it.
template <class I>
I* InterfaceOf(Element* element, std::int32_t interfaceId) {
    return element == nullptr ? nullptr : static_cast<I*>(element->GetInterface(interfaceId));
}

}  // namespace QRV2
