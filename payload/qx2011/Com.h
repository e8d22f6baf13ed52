// The few COM types the control's library needs: the system's on Windows, a compatible set
// elsewhere.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>

#include <objbase.h>
#include <olectl.h>
#define QX_EXPORT_API extern "C" HRESULT STDAPICALLTYPE
#define QX_CALL STDAPICALLTYPE
#else
// Laid out like the system's: a POSIX host drives the library through the same four exports.
using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
#define STDMETHODCALLTYPE
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                                     void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

#define QX_EXPORT_API extern "C" __attribute__((visibility("default"))) HRESULT
#define QX_CALL
#endif

namespace QX2011 {

// The interface ids the library answers, spelled out so no system import library is needed.
constexpr GUID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The control's class id; ClassIdText is its registry spelling.
constexpr GUID kClassId = {
    0x2888B771, 0x2BCC, 0x43E1, {0xA5, 0x4B, 0xF5, 0xF4, 0xE1, 0x72, 0x66, 0x36}};
constexpr const char kClassIdText[] = "{2888B771-2BCC-43E1-A54B-F5F4E1726636}";

bool SameGuid(const GUID& a, const GUID& b);

}  // namespace QX2011
