// Tests of the sample plug-in libraries, loaded by full path as the installer loads them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "payload/npqx2011/PluginApi.h"
#include "payload/qx2011/Com.h"
#include "platform/DynamicLibrary.h"

// Defined by the build when the control library keeps its registration in the platform store.
#include "platform/testing/RegistryRedirect.h"
#include "tests/support/TestRegistry.h"

#if defined(QRV2_TEST_PLUGIN_LIBRARY) && defined(QRV2_TEST_CONTROL_LIBRARY)

namespace {

// Loads a library for the length of a test.
class Library {
public:
    explicit Library(const char* path) : handle_(Platform::LoadLibraryFromPath(path, &error_)) {}
    ~Library() { Platform::FreeLibrary(handle_); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    bool Loaded() const { return handle_ != nullptr; }
    Platform::Error Error() const { return error_; }
    template <class F>
    F Find(const char* name) const {
        return reinterpret_cast<F>(Platform::FindExport(handle_, name));
    }

private:
    Platform::Error error_ = Platform::Error::Unknown;
    Platform::LibraryHandle handle_;
};

TEST(DynamicLibrary, MissingFileAndNonLibraryAreReportedApart) {
    Platform::Error error = Platform::Error::None;
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    std::string missing = (folder / "no-such-library-qrv2.dll").string();
    EXPECT_EQ(Platform::LoadLibraryFromPath(missing.c_str(), &error), nullptr);
    EXPECT_EQ(error, Platform::Error::FileNotFound);

    std::string junk = (folder / "not-a-library-qrv2.dll").string();
    { std::ofstream(junk, std::ios::binary) << "this is text, not a library"; }
    EXPECT_EQ(Platform::LoadLibraryFromPath(junk.c_str(), &error), nullptr);
    EXPECT_EQ(error, Platform::Error::BadFormat);
    std::remove(junk.c_str());

    EXPECT_EQ(Platform::LoadLibraryFromPath(nullptr, &error), nullptr);
    EXPECT_EQ(error, Platform::Error::InvalidParameter);
    EXPECT_EQ(Platform::FindExport(nullptr, "NP_Initialize"), nullptr);
    Platform::FreeLibrary(nullptr);
    EXPECT_TRUE(Platform::InitializeCom());
    Platform::UninitializeCom();
}

TEST(PluginLibrary, EntryPointsInitialiseCreateAndShutDown) {
    Library library(QRV2_TEST_PLUGIN_LIBRARY);
    ASSERT_TRUE(library.Loaded()) << static_cast<int>(library.Error());
    auto getEntryPoints = library.Find<PluginError (*)(PluginFunctions*)>("NP_GetEntryPoints");
    auto initialize = library.Find<PluginError (*)(BrowserFunctions*)>("NP_Initialize");
    auto shutdown = library.Find<PluginError (*)()>("NP_Shutdown");
    ASSERT_NE(getEntryPoints, nullptr);
    ASSERT_NE(initialize, nullptr);
    ASSERT_NE(shutdown, nullptr);
    EXPECT_EQ(library.Find<void (*)()>("NewInstance"), nullptr);  // nothing else is exported

    PluginFunctions functions;
    std::memset(&functions, 0, sizeof functions);
    EXPECT_EQ(getEntryPoints(nullptr), PLUGIN_INVALID_FUNCTION_TABLE);
    functions.size = sizeof(functions) - 1;  // a browser with a shorter table
    EXPECT_EQ(getEntryPoints(&functions), PLUGIN_INVALID_FUNCTION_TABLE);
    EXPECT_EQ(functions.newInstance, nullptr);
    functions.size = sizeof(functions);
    ASSERT_EQ(getEntryPoints(&functions), PLUGIN_NO_ERROR);
    ASSERT_NE(functions.newInstance, nullptr);
    ASSERT_NE(functions.destroyInstance, nullptr);
    ASSERT_NE(functions.getValue, nullptr);

    BrowserFunctions browser = {sizeof(BrowserFunctions), PLUGIN_API_VERSION_MINOR};
    EXPECT_EQ(initialize(nullptr), PLUGIN_INVALID_FUNCTION_TABLE);
    BrowserFunctions future = {sizeof(BrowserFunctions), (PLUGIN_API_VERSION_MAJOR + 1) << 8};
    EXPECT_EQ(initialize(&future), PLUGIN_INCOMPATIBLE_VERSION);

    PluginInstance instance = {nullptr, nullptr};
    EXPECT_EQ(
        functions.newInstance("application/x-qx2011", &instance, 1, 0, nullptr, nullptr, nullptr),
        PLUGIN_GENERIC_ERROR);  // not initialised yet
    ASSERT_EQ(initialize(&browser), PLUGIN_NO_ERROR);
    EXPECT_EQ(functions.newInstance("text/html", &instance, 1, 0, nullptr, nullptr, nullptr),
              PLUGIN_INVALID_PARAMETER);
    ASSERT_EQ(
        functions.newInstance("Application/X-QX2011", &instance, 1, 0, nullptr, nullptr, nullptr),
        PLUGIN_NO_ERROR);
    EXPECT_NE(instance.pluginData, nullptr);
    const char* name = nullptr;
    EXPECT_EQ(functions.getValue(&instance, PLUGIN_VALUE_NAME, &name), PLUGIN_NO_ERROR);
    EXPECT_STREQ(name, "Orvane2011");
    void* saved = &instance;
    EXPECT_EQ(functions.destroyInstance(&instance, &saved), PLUGIN_NO_ERROR);
    EXPECT_EQ(instance.pluginData, nullptr);
    EXPECT_EQ(saved, nullptr);
    EXPECT_EQ(functions.destroyInstance(&instance, nullptr), PLUGIN_INVALID_INSTANCE);
    EXPECT_EQ(shutdown(), PLUGIN_NO_ERROR);
    EXPECT_EQ(
        functions.newInstance("application/x-qx2011", &instance, 1, 0, nullptr, nullptr, nullptr),
        PLUGIN_GENERIC_ERROR);
}

#if defined(_WIN32)
// Browsers learn the MIME type and suffix from the library's version resource, not by calling it.
TEST(PluginLibrary, VersionResourceNamesTypeAndSuffix) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(QRV2_TEST_PLUGIN_LIBRARY, &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoA(QRV2_TEST_PLUGIN_LIBRARY, 0, size, block.data()));
    auto value = [&](const char* name) -> std::string {
        std::string query = std::string("\\StringFileInfo\\040904E4\\") + name;
        char* text = nullptr;
        UINT length = 0;
        if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text),
                              &length))
            return "<none>";
        return text;
    };
    EXPECT_EQ(value("MIMEType"), "application/x-qx2011");
    EXPECT_EQ(value("FileExtents"), "qrv");
    EXPECT_EQ(value("ProductName"), "Orvane2011");
    EXPECT_NE(value("FileDescription"), "<none>");
    EXPECT_NE(value("FileOpenName"), "<none>");
}
#endif

TEST(ControlLibrary, ClassFactoryCreatesObjectsAndHoldsTheLibrary) {
    Library library(QRV2_TEST_CONTROL_LIBRARY);
    ASSERT_TRUE(library.Loaded()) << static_cast<int>(library.Error());
    auto getClassObject =
        library.Find<HRESULT(QX_CALL*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    auto canUnload = library.Find<HRESULT(QX_CALL*)()>("DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnload, nullptr);
    ASSERT_NE(library.Find<void (*)()>("DllRegisterServer"), nullptr);
    ASSERT_NE(library.Find<void (*)()>("DllUnregisterServer"), nullptr);

    void* object = &library;
    const GUID other = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(getClassObject(other, QX2011::kIidClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(getClassObject(QX2011::kClassId, QX2011::kIidClassFactory, &object), S_OK);
    auto* factory = static_cast<IClassFactory*>(object);
    EXPECT_EQ(canUnload(), S_FALSE);  // a held factory keeps the library loaded

    IUnknown* control = nullptr;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), QX2011::kIidUnknown,
                                      reinterpret_cast<void**>(&control)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, QX2011::kIidClassFactory,
                                      reinterpret_cast<void**>(&control)),
              E_NOINTERFACE);
    EXPECT_EQ(control, nullptr);
    ASSERT_EQ(
        factory->CreateInstance(nullptr, QX2011::kIidUnknown, reinterpret_cast<void**>(&control)),
        S_OK);
    ASSERT_NE(control, nullptr);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE);  // the object is still alive
    control->AddRef();
    control->Release();
    control->Release();
    EXPECT_EQ(canUnload(), S_OK);
}

const std::string kClassKey = "Software\\Classes\\CLSID\\{2888B771-2BCC-43E1-A54B-F5F4E1726636}";
const std::string kServerKey = kClassKey + "\\InprocServer32";
const std::string kTypeKey =
    "Software\\Classes\\MIME\\Database\\Content Type\\application/x-qx2011";

// A string value under HKEY_CURRENT_USER, or "<missing>".
std::string ReadUserValue(const std::string& keyPath, const char* name) {
    return QRV2Test::GetText(Platform::RegRoot::CurrentUser, keyPath, name);
}

std::string Normalised(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return path;
}

// The whole register / check / unregister / check round; the first mismatch, or "" when all hold.
std::string RegistrationRound() {
    Library library(QRV2_TEST_CONTROL_LIBRARY);
    auto registerServer = library.Find<HRESULT(QX_CALL*)()>("DllRegisterServer");
    auto unregisterServer = library.Find<HRESULT(QX_CALL*)()>("DllUnregisterServer");
    if (registerServer == nullptr || unregisterServer == nullptr)
        return "library or exports missing";
    auto expect = [](const std::string& what, const std::string& got, const std::string& want) {
        return got == want ? std::string() : what + ": got '" + got + "', want '" + want + "'\n";
    };
    std::string failures;
    for (int round = 0; round < 2; ++round) {  // registering again only rewrites
        if (registerServer() != S_OK) return "DllRegisterServer failed";
    }
    failures += expect("class name", ReadUserValue(kClassKey, nullptr), "Orvane2011 Control");
    failures += expect("server path", Normalised(ReadUserValue(kServerKey, nullptr)),
                       Normalised(QRV2_TEST_CONTROL_LIBRARY));
    failures += expect("threading", ReadUserValue(kServerKey, "ThreadingModel"), "Apartment");
    failures += expect("type class", ReadUserValue(kTypeKey, "CLSID"),
                       "{2888B771-2BCC-43E1-A54B-F5F4E1726636}");
    failures += expect("type suffix", ReadUserValue(kTypeKey, "Extension"), ".qrv");
    if (unregisterServer() != S_OK) failures += "DllUnregisterServer failed\n";
    failures += expect("server after", ReadUserValue(kServerKey, nullptr), "<missing>");
    failures += expect("class after", ReadUserValue(kClassKey, nullptr), "<missing>");
    failures += expect("type after", ReadUserValue(kTypeKey, "CLSID"), "<missing>");
    if (unregisterServer() != S_OK)
        failures += "second DllUnregisterServer failed\n";  // nothing left is fine
    return failures;
}

#if defined(_WIN32)
TEST(ControlLibrary, RegistersPerUserWithItsOwnPathAndUnregistersCleanly) {
    EXPECT_EQ(RegistrationRound(), "");
}
#else
// The library keeps its own copy of the platform layer, so a redirection made in this process
// does not reach it. The round runs in a child whose per-user store lives in a scratch folder,
// found by both copies the same way.
TEST(ControlLibrary, RegistersPerUserWithItsOwnPathAndUnregistersCleanly) {
    char folder[] = "/tmp/qx2011-store-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    EXPECT_EXIT(
        {
            ::setenv("XDG_CONFIG_HOME", folder, 1);
            Platform::RegistryRedirectForTesting(nullptr);
            std::string failures = RegistrationRound();
            std::fprintf(stderr, "%s", failures.c_str());
            std::fflush(stderr);
            std::_Exit(failures.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove_all(folder);
}
#endif

}  // namespace

#endif
