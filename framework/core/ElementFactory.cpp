// The factory table: which implementation class each element type id constructs.
#include "framework/core/CoreImp.h"

// Classes join the table as their subsystem lands; an id whose class is absent creates nothing.
#if __has_include("framework/system/SystemTimeImp.h")
#include "framework/system/SystemTimeImp.h"
#define QRV2_HAS_SYSTEMTIMEIMP 1
#endif
#if __has_include("framework/containers/StringImp.h")
#include "framework/containers/StringImp.h"
#define QRV2_HAS_STRINGIMP 1
#endif
#if __has_include("framework/containers/ElementContainerImp.h")
#include "framework/containers/ElementContainerImp.h"
#define QRV2_HAS_ELEMENTCONTAINERIMP 1
#endif
#if __has_include("framework/containers/StaticSizeElementIteratorImp.h")
#include "framework/containers/StaticSizeElementIteratorImp.h"
#define QRV2_HAS_STATICSIZEELEMENTITERATORIMP 1
#endif
#if __has_include("framework/containers/DynamicSizeElementIteratorImp.h")
#include "framework/containers/DynamicSizeElementIteratorImp.h"
#define QRV2_HAS_DYNAMICSIZEELEMENTITERATORIMP 1
#endif
#if __has_include("framework/containers/StaticElementArrayImp.h")
#include "framework/containers/StaticElementArrayImp.h"
#define QRV2_HAS_STATICELEMENTARRAYIMP 1
#endif
#if __has_include("framework/containers/ListImp.h")
#include "framework/containers/ListImp.h"
#define QRV2_HAS_LISTIMP 1
#endif
#if __has_include("framework/containers/ListEntryImp.h")
#include "framework/containers/ListEntryImp.h"
#define QRV2_HAS_LISTENTRYIMP 1
#endif
#if __has_include("framework/system/FilePathImp.h")
#include "framework/system/FilePathImp.h"
#define QRV2_HAS_FILEPATHIMP 1
#endif
#if __has_include("framework/system/FileFuncImp.h")
#include "framework/system/FileFuncImp.h"
#define QRV2_HAS_FILEFUNCIMP 1
#endif
#if __has_include("framework/system/FileSystemIteratorImp.h")
#include "framework/system/FileSystemIteratorImp.h"
#define QRV2_HAS_FILESYSTEMITERATORIMP 1
#endif
#if __has_include("framework/io/BinaryStreamImp.h")
#include "framework/io/BinaryStreamImp.h"
#define QRV2_HAS_BINARYSTREAMIMP 1
#endif
#if __has_include("framework/io/ArchiveImp.h")
#include "framework/io/ArchiveImp.h"
#define QRV2_HAS_ARCHIVEIMP 1
#endif
#if __has_include("framework/io/ArchiveEntryImp.h")
#include "framework/io/ArchiveEntryImp.h"
#define QRV2_HAS_ARCHIVEENTRYIMP 1
#endif
#if __has_include("framework/io/CompressDeviceImp.h")
#include "framework/io/CompressDeviceImp.h"
#define QRV2_HAS_COMPRESSDEVICEIMP 1
#endif
#if __has_include("framework/io/CompressStreamImp.h")
#include "framework/io/CompressStreamImp.h"
#define QRV2_HAS_COMPRESSSTREAMIMP 1
#endif
#if __has_include("framework/io/MemoryStreamImp.h")
#include "framework/io/MemoryStreamImp.h"
#define QRV2_HAS_MEMORYSTREAMIMP 1
#endif
#if __has_include("framework/containers/StringUtilImp.h")
#include "framework/containers/StringUtilImp.h"
#define QRV2_HAS_STRINGUTILIMP 1
#endif
#if __has_include("framework/system/SystemConfImp.h")
#include "framework/system/SystemConfImp.h"
#define QRV2_HAS_SYSTEMCONFIMP 1
#endif
#if __has_include("framework/containers/BufferImp.h")
#include "framework/containers/BufferImp.h"
#define QRV2_HAS_BUFFERIMP 1
#endif

namespace QRV2 {

Element* ConstructElement(Core* core, std::int32_t typeId) {
    (void)core;
    switch (typeId) {
#ifdef QRV2_HAS_SYSTEMTIMEIMP
        case 0:
            return new SystemTimeImp(core);
#endif
#ifdef QRV2_HAS_STRINGIMP
        case 2:
            return new StringImp(core);
#endif
#ifdef QRV2_HAS_ELEMENTCONTAINERIMP
        case 3:
            return new ElementContainerImp(core);
#endif
#ifdef QRV2_HAS_STATICSIZEELEMENTITERATORIMP
        case 4:
            return new StaticSizeElementIteratorImp(core);
#endif
#ifdef QRV2_HAS_DYNAMICSIZEELEMENTITERATORIMP
        case 5:
            return new DynamicSizeElementIteratorImp(core);
#endif
#ifdef QRV2_HAS_STATICELEMENTARRAYIMP
        case 8:
            return new StaticElementArrayImp(core);
#endif
#ifdef QRV2_HAS_LISTIMP
        case 9:
            return new ListImp(core);
#endif
#ifdef QRV2_HAS_LISTENTRYIMP
        case 10:
            return new ListEntryImp(core);
#endif
#ifdef QRV2_HAS_SYSTEMTIMEIMP
        case 12:
            return new SystemTimeImp(core);
#endif
#ifdef QRV2_HAS_FILEPATHIMP
        case 13:
            return new FilePathImp(core);
#endif
#ifdef QRV2_HAS_FILEFUNCIMP
        case 14:
            return new FileFuncImp(core);
#endif
#ifdef QRV2_HAS_FILESYSTEMITERATORIMP
        case 15:
            return new FileSystemIteratorImp(core);
#endif
#ifdef QRV2_HAS_BINARYSTREAMIMP
        case 16:
            return new BinaryStreamImp(core);
#endif
#ifdef QRV2_HAS_ARCHIVEIMP
        case 17:
            return new ArchiveImp(core);
#endif
#ifdef QRV2_HAS_ARCHIVEENTRYIMP
        case 18:
            return new ArchiveEntryImp(core);
#endif
#ifdef QRV2_HAS_COMPRESSDEVICEIMP
        case 19:
            return new CompressDeviceImp(core);
#endif
#ifdef QRV2_HAS_COMPRESSSTREAMIMP
        case 20:
            return new CompressStreamImp(core);
#endif
#ifdef QRV2_HAS_MEMORYSTREAMIMP
        case 21:
            return new MemoryStreamImp(core);
#endif
#ifdef QRV2_HAS_STRINGUTILIMP
        case 112:
            return new StringUtilImp(core);
#endif
#ifdef QRV2_HAS_SYSTEMCONFIMP
        case 118:
            return new SystemConfImp(core);
#endif
#ifdef QRV2_HAS_BUFFERIMP
        case 119:
            return new BufferImp(core);
#endif
        default:
            return nullptr;
    }
}

}  // namespace QRV2
