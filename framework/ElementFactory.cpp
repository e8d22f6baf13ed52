// The factory table: which implementation class each element type id constructs.
#include "framework/core/CoreImp.h"
#include "framework/containers/BufferImp.h"
#include "framework/containers/DynamicSizeElementIteratorImp.h"
#include "framework/containers/ElementContainerImp.h"
#include "framework/containers/ListEntryImp.h"
#include "framework/containers/ListImp.h"
#include "framework/containers/StaticElementArrayImp.h"
#include "framework/containers/StaticSizeElementIteratorImp.h"
#include "framework/containers/StringImp.h"
#include "framework/containers/StringUtilImp.h"
#include "framework/archive/ArchiveEntryImp.h"
#include "framework/archive/ArchiveImp.h"
#include "framework/io/BinaryStreamImp.h"
#include "framework/io/CompressDeviceImp.h"
#include "framework/archive/CompressStreamImp.h"
#include "framework/io/MemoryStreamImp.h"
#include "framework/system/FileFuncImp.h"
#include "framework/system/FilePathImp.h"
#include "framework/system/FileSystemIteratorImp.h"
#include "framework/system/SystemConfImp.h"
#include "framework/system/SystemTimeImp.h"

namespace QRV2 {

Element* ConstructElement(Core* core, std::int32_t typeId) {
    switch (typeId) {
        case 0:
            return new SystemTimeImp(core);
        case 2:
            return new StringImp(core);
        case 3:
            return new ElementContainerImp(core);
        case 4:
            return new StaticSizeElementIteratorImp(core);
        case 5:
            return new DynamicSizeElementIteratorImp(core);
        case 8:
            return new StaticElementArrayImp(core);
        case 9:
            return new ListImp(core);
        case 10:
            return new ListEntryImp(core);
        case 12:
            return new SystemTimeImp(core);
        case 13:
            return new FilePathImp(core);
        case 14:
            return new FileFuncImp(core);
        case 15:
            return new FileSystemIteratorImp(core);
        case 16:
            return new BinaryStreamImp(core);
        case 17:
            return new ArchiveImp(core);
        case 18:
            return new ArchiveEntryImp(core);
        case 19:
            return new CompressDeviceImp(core);
        case 20:
            return new CompressStreamImp(core);
        case 21:
            return new MemoryStreamImp(core);
        case 112:
            return new StringUtilImp(core);
        case 118:
            return new SystemConfImp(core);
        case 119:
            return new BufferImp(core);
        default:
            return nullptr;  // ids of the wider framework without a class in this program
    }
}

}  // namespace QRV2
