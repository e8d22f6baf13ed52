// Scenario tool: creates an object by its class id as a browser creates a control: the class's
// server library is looked up in the per-user class registration
// (HKEY_CURRENT_USER\Software\Classes\CLSID\{id}\InprocServer32), loaded, asked for the class
// object of that id, and an instance is made and released.
//
// create_by_class <{class id}>
// Prints "created" when an instance was made. Exit code: 0 created, 1 no registration, 2 bad
// arguments, 3 the library does not load, 4 no class object, 5 no instance.
#include <cstdio>
#include <string>

#include "payload/qx2011/Com.h"
#include "platform/DynamicLibrary.h"
#include "platform/Registry.h"

namespace {

bool ParseClassId(const char* text, GUID* id) {
    unsigned data1 = 0, data2 = 0, data3 = 0, bytes[8] = {};
    char end = 0;
    if (std::sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &data1, &data2, &data3,
                    &bytes[0], &bytes[1], &bytes[2], &bytes[3], &bytes[4], &bytes[5], &bytes[6],
                    &bytes[7], &end) != 12 ||
        end != '}') {
        return false;
    }
    id->Data1 = data1;
    id->Data2 = static_cast<std::uint16_t>(data2);
    id->Data3 = static_cast<std::uint16_t>(data3);
    for (int i = 0; i < 8; ++i) id->Data4[i] = static_cast<std::uint8_t>(bytes[i]);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    GUID classId{};
    if (argc != 2 || !ParseClassId(argv[1], &classId)) return 2;
    const std::string key =
        std::string("Software\\Classes\\CLSID\\") + argv[1] + "\\InprocServer32";
    Platform::RegKey handle = nullptr;
    char server[2048] = "";
    std::uint32_t size = sizeof server - 1;
    std::uint32_t type = Platform::RegNone;
    if (Platform::RegistryOpenKey(Platform::RootKey(Platform::RegRoot::CurrentUser), key.c_str(),
                                  Platform::KeyQueryValue, &handle) != Platform::Error::None) {
        return 1;
    }
    const bool read = Platform::RegistryQueryValue(handle, nullptr, &type, server, &size) ==
                      Platform::Error::None;
    Platform::RegistryCloseKey(handle);
    if (!read || type != Platform::RegSz) return 1;
    server[size] = '\0';
    Platform::LibraryHandle library = Platform::LoadLibraryFromPath(server, nullptr);
    if (library == nullptr) return 3;
    using GetClassObject = HRESULT(QX_CALL*)(REFCLSID, REFIID, void**);
    auto entry =
        reinterpret_cast<GetClassObject>(Platform::FindExport(library, "DllGetClassObject"));
    IClassFactory* factory = nullptr;
    int result = 4;
    if (entry != nullptr &&
        entry(classId, QX2011::kIidClassFactory, reinterpret_cast<void**>(&factory)) == S_OK &&
        factory != nullptr) {
        IUnknown* object = nullptr;
        result = factory->CreateInstance(nullptr, QX2011::kIidUnknown,
                                         reinterpret_cast<void**>(&object)) == S_OK &&
                         object != nullptr
                     ? 0
                     : 5;
        if (object != nullptr) object->Release();
        factory->Release();
    }
    Platform::FreeLibrary(library);
    if (result == 0) std::printf("created\n");
    return result;
}
