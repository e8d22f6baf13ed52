// In-process server of the content viewer control: class factory, object counting, exports.
#include <atomic>
#include <cstring>
#include <new>

#include "payload/qx2011/Com.h"
#include "payload/qx2011/Registration.h"
#include "qrv2/Version.h"

namespace QX2011 {

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

namespace {

// The server's version in its own bytes, also where no version resource carries it: the
// libraries of two versions are never the same file.
[[gnu::used]] const char kServerVersion[] = QRV2_PRODUCT_NAME " control " QRV2_VERSION_TEXT;

// Live objects and server locks: the library may be unloaded only when both are zero.
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// The control. Its drawing interfaces come with the viewer itself; this object answers
// IUnknown so hosts can create, hold and release it.
class Control final : public IUnknown {
public:
    Control() { ++g_objects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (SameGuid(iid, kIidUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

private:
    ~Control() { --g_objects; }
    std::atomic<long> references_{1};
};

// One static factory: it is never freed, so it does not count as a live object.
class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (SameGuid(iid, kIidUnknown) || SameGuid(iid, kIidClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // A held factory keeps the library loaded, as a server lock does.
    ULONG STDMETHODCALLTYPE AddRef() override {
        ++g_locks;
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        --g_locks;
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        Control* control = new (std::nothrow) Control;
        if (control == nullptr) return E_OUTOFMEMORY;
        HRESULT result = control->QueryInterface(iid, object);
        control->Release();  // the interface asked for holds the only reference, or none is left
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ++g_locks;
        else
            --g_locks;
        return S_OK;
    }
};

Factory g_factory;

}  // namespace
}  // namespace QX2011

QX_EXPORT_API DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!QX2011::SameGuid(classId, QX2011::kClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    return QX2011::g_factory.QueryInterface(iid, object);
}

QX_EXPORT_API DllCanUnloadNow() {
    return (QX2011::g_objects == 0 && QX2011::g_locks == 0) ? S_OK : S_FALSE;
}

QX_EXPORT_API DllRegisterServer() {
    char path[4096];
    if (!QX2011::GetOwnModulePath(path, sizeof path)) return SELFREG_E_CLASS;
    return QX2011::WriteClassRegistration(path) ? S_OK : SELFREG_E_CLASS;
}

QX_EXPORT_API DllUnregisterServer() {
    return QX2011::RemoveClassRegistration() ? S_OK : SELFREG_E_CLASS;
}
