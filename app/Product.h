// The product's table: the files it installs and the registry keys it writes, read by the
// installer's steps when they write them and by the uninstaller's when they remove them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace QRV2 {

// The product's name, its maker, and the version this program installs, as text ("1.0.1.8")
// and as its four numbers. Only the product table knows them: a build of another version
// compiles it alone again.
extern const char* const kProductName;
extern const char* const kCompanyName;
extern const char* const kProductVersionText;
extern const std::uint32_t kProductVersion[4];

enum class ProductFileKind {
    MozillaPlugin,   // the Mozilla browsers' plug-in library, registered by its keys below
    ActiveXControl,  // the control library, which registers and unregisters itself
    Uninstaller,     // the uninstaller program, registered by the uninstall entry
};

// One file of the product: where the payload archive carries it, and the name it is installed
// under in the per-user product folder.
struct ProductFile {
    ProductFileKind kind;
    const char* installedName;
    const char* payloadEntry;
};

// Every file of the product, in the order the payload is checked and the phases install them.
constexpr std::size_t kProductFileCount = 3;
extern const ProductFile kProductFiles[kProductFileCount];

// The table's row for a kind.
const ProductFile& ProductFileOf(ProductFileKind kind);

// A string value of a key the installer writes. The name is in the registry classes' form (a
// leading "^" names a string value); a null text stands for the installed library's full path,
// which only the run knows.
struct RegistryText {
    const char* name;
    const char* text;
};

// One key the installer writes under HKEY_CURRENT_USER, with its values in writing order. A key
// without values of its own is there as the parent of the next: creating that one makes it, and
// it goes once its sub-keys have gone.
struct RegistryKeySpec {
    const char* path;
    const RegistryText* values;
    std::size_t valueCount;
};

// The plug-in id the Mozilla browsers list the plug-in under: "@" + vendor domain + "/" + product.
extern const char* const kMozillaPluginId;

// The Mozilla plug-in's keys, parents before their sub-keys: written in this order, deleted in
// the reverse one.
constexpr std::size_t kMozillaPluginKeyCount = 4;
extern const RegistryKeySpec kMozillaPluginKeys[kMozillaPluginKeyCount];

// Where the system's list of installed programs finds the product, under HKEY_CURRENT_USER.
extern const char* const kUninstallKey;

// The control's registration under HKEY_CURRENT_USER, as the control's own DllRegisterServer
// writes it: the class key, its server key (whose default value names the library the class is
// served from) and the content type the control serves, whose "CLSID" value names the class.
// Where the control cannot undo it itself (its library damaged or gone), the uninstaller
// removes exactly this: the two class keys, and the content type's values while they name the
// class (another viewer that took the type over keeps it).
extern const char* const kControlClassId;
extern const char* const kControlClassKey;
extern const char* const kControlServerKey;
extern const char* const kControlContentTypeKey;
constexpr std::size_t kControlContentTypeValueCount = 2;
extern const char* const kControlContentTypeValues[kControlContentTypeValueCount];

// The parents the product's keys are made below, deepest first, that are of no use to anyone
// once empty: a removal deletes each one that holds neither a value nor a sub-key.
constexpr std::size_t kProductParentKeyCount = 5;
extern const char* const kProductParentKeys[kProductParentKeyCount];

// The uninstaller's quiet switch in the form of this system's command lines ("/quiet" on
// Windows): the entry's quiet removal command ends in it.
extern const char* const kQuietSwitch;

}  // namespace QRV2
