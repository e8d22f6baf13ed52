// The factory table: which implementation class each element type id constructs.
#include "framework/ElementFactory.h"

#include "framework/archive/ArchiveEntryImp.h"
#include "framework/archive/ArchiveImp.h"
#include "framework/archive/CompressStreamImp.h"
#include "framework/containers/BufferImp.h"
#include "framework/containers/DynamicSizeElementIteratorImp.h"
#include "framework/containers/ElementContainerImp.h"
#include "framework/containers/ListEntryImp.h"
#include "framework/containers/ListImp.h"
#include "framework/containers/StaticElementArrayImp.h"
#include "framework/containers/StaticSizeElementIteratorImp.h"
#include "framework/containers/StringImp.h"
#include "framework/containers/StringUtilImp.h"
#include "framework/io/BinaryStreamImp.h"
#include "framework/io/CompressDeviceImp.h"
#include "framework/io/MemoryStreamImp.h"
#include "framework/system/FileFuncImp.h"
#include "framework/system/FilePathImp.h"
#include "framework/system/FileSystemIteratorImp.h"
#include "framework/system/SystemConfImp.h"
#include "framework/system/SystemTimeImp.h"

namespace QRV2 {

Element* ConstructElement(Core* core, std::int32_t typeId) {
    switch (typeId) {
        case TypeVoid: return new SystemTimeImp(core);
        case TypeString: return new StringImp(core);
        case TypeElementContainer: return new ElementContainerImp(core);
        case TypeStaticSizeElementIterator: return new StaticSizeElementIteratorImp(core);
        case TypeDynamicSizeElementIterator: return new DynamicSizeElementIteratorImp(core);
        case TypeStaticElementArray: return new StaticElementArrayImp(core);
        case TypeList: return new ListImp(core);
        case TypeListEntry: return new ListEntryImp(core);
        case TypeSystemTime: return new SystemTimeImp(core);
        case TypeFilePath: return new FilePathImp(core);
        case TypeFileFunc: return new FileFuncImp(core);
        case TypeFileSystemIterator: return new FileSystemIteratorImp(core);
        case TypeBinaryStream: return new BinaryStreamImp(core);
        case TypeArchive: return new ArchiveImp(core);
        case TypeArchiveEntry: return new ArchiveEntryImp(core);
        case TypeCompressDevice: return new CompressDeviceImp(core);
        case TypeCompressStream: return new CompressStreamImp(core);
        case TypeMemoryStream: return new MemoryStreamImp(core);
        case TypeStringUtil: return new StringUtilImp(core);
        case TypeSystemConf: return new SystemConfImp(core);
        case TypeBuffer: return new BufferImp(core);
        default: return nullptr;  // ids of the wider framework without a class in this program
    }
}

}  // namespace QRV2
