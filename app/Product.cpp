// The product's table of files and registry keys.
#include "app/Product.h"

#include "qrv2/Version.h"

// The file names and payload folders come from the build (app/CMakeLists.txt), which packs the
// payload under the same names: the installer never looks for an entry the payload lacks.
#define QRV2_PAYLOAD_ENTRY(folder, file) folder "\\" file
// The vendor domain the plug-in id is made of.
#define QRV2_MOZILLA_PLUGIN_ID "@orvane.com/" QRV2_PRODUCT_NAME
#define QRV2_MOZILLA_PLUGIN_KEY "Software\\MozillaPlugins\\" QRV2_MOZILLA_PLUGIN_ID
#define QRV2_MOZILLA_MIME_TYPES_KEY QRV2_MOZILLA_PLUGIN_KEY "\\MimeTypes"

namespace QRV2 {

const char* const kProductName = QRV2_PRODUCT_NAME;
const char* const kCompanyName = QRV2_COMPANY_NAME;
const char* const kProductVersionText = QRV2_VERSION_TEXT;
const std::uint32_t kProductVersion[4] = {QRV2_VERSION_NUMBERS};

const ProductFile kProductFiles[kProductFileCount] = {
    {ProductFileKind::MozillaPlugin, QRV2_MOZILLA_PLUGIN_FILE,
     QRV2_PAYLOAD_ENTRY(QRV2_MOZILLA_PLUGIN_FOLDER, QRV2_MOZILLA_PLUGIN_FILE)},
    {ProductFileKind::ActiveXControl, QRV2_CONTROL_FILE,
     QRV2_PAYLOAD_ENTRY(QRV2_CONTROL_FOLDER, QRV2_CONTROL_FILE)},
    {ProductFileKind::Uninstaller, QRV2_UNINSTALLER_FILE,
     QRV2_PAYLOAD_ENTRY(QRV2_UNINSTALLER_FOLDER, QRV2_UNINSTALLER_FILE)},
};

const ProductFile& ProductFileOf(ProductFileKind kind) {
    for (const ProductFile& file : kProductFiles) {
        if (file.kind == kind) return file;
    }
    return kProductFiles[0];  // not reached: the table has a row for every kind
}

const char* const kMozillaPluginId = QRV2_MOZILLA_PLUGIN_ID;

namespace {

const RegistryText kPluginValues[] = {
    {"^Description", QRV2_PRODUCT_NAME " - " QRV2_VERSION_TEXT},
    {"^Path", nullptr},
    {"^ProductName", QRV2_PRODUCT_NAME},
    {"^Vendor", QRV2_COMPANY_NAME},
    {"^Version", QRV2_VERSION_TEXT},
};
const RegistryText kMimeTypeValues[] = {
    {"^Description", "Orvane Content File"},
    {"^Suffixes", "qrv"},
};
const RegistryText kSuffixValues[] = {
    {"^qrv", ""},
};

template <std::size_t N>
constexpr std::size_t CountOf(const RegistryText (&)[N]) {
    return N;
}

}  // namespace

const RegistryKeySpec kMozillaPluginKeys[kMozillaPluginKeyCount] = {
    {QRV2_MOZILLA_PLUGIN_KEY, kPluginValues, CountOf(kPluginValues)},
    {QRV2_MOZILLA_MIME_TYPES_KEY, nullptr, 0},
    {QRV2_MOZILLA_MIME_TYPES_KEY "\\application/x-qx2011", kMimeTypeValues,
     CountOf(kMimeTypeValues)},
    {QRV2_MOZILLA_PLUGIN_KEY "\\Suffixes", kSuffixValues, CountOf(kSuffixValues)},
};

const char* const kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" QRV2_PRODUCT_NAME;

// The class id and the layout are the control's own (payload/qx2011/Com.h, Registration.h).
#define QRV2_CONTROL_CLASS_ID "{2888B771-2BCC-43E1-A54B-F5F4E1726636}"
#define QRV2_CONTROL_CLASS_KEY "Software\\Classes\\CLSID\\" QRV2_CONTROL_CLASS_ID
#define QRV2_CONTENT_TYPES_KEY "Software\\Classes\\MIME\\Database\\Content Type"
const char* const kControlClassId = QRV2_CONTROL_CLASS_ID;
const char* const kControlClassKey = QRV2_CONTROL_CLASS_KEY;
const char* const kControlServerKey = QRV2_CONTROL_CLASS_KEY "\\InprocServer32";
const char* const kControlContentTypeKey = QRV2_CONTENT_TYPES_KEY "\\application/x-qx2011";
const char* const kControlContentTypeValues[kControlContentTypeValueCount] = {"CLSID", "Extension"};

const char* const kProductParentKeys[kProductParentKeyCount] = {
    "Software\\MozillaPlugins", QRV2_CONTENT_TYPES_KEY,     "Software\\Classes\\MIME\\Database",
    "Software\\Classes\\MIME",  "Software\\Classes\\CLSID",
};

const char* const kQuietSwitch = QRV2_QUIET_SWITCH;

}  // namespace QRV2
