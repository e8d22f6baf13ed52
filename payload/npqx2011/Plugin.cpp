// Browser plug-in for content files: entry points, instance life cycle and the values it reports.
#include <cstdlib>
#include <cstring>

#include "payload/npqx2011/PluginApi.h"
#include "qrv2/Version.h"

namespace {

const char kMimeType[] = "application/x-qx2011";
const char kName[] = "Orvane2011";
const char kDescription[] =
    QRV2_PRODUCT_NAME " " QRV2_VERSION_TEXT " - viewer for Orvane content files (.qrv)";

// Per-instance state: the window the browser gave it last.
struct InstanceData {
    void* window;
};

// The browser initialises once per process but may nest; only the last shutdown ends the session.
int g_initialized = 0;

bool SameMime(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

PluginError NewInstance(const char* mimeType, PluginInstance* instance, uint16_t, int16_t, char*[],
                        char*[], void*) {
    if (instance == nullptr) return PLUGIN_INVALID_INSTANCE;
    if (g_initialized == 0) return PLUGIN_GENERIC_ERROR;
    if (mimeType == nullptr || !SameMime(mimeType, kMimeType)) return PLUGIN_INVALID_PARAMETER;
    auto* data = static_cast<InstanceData*>(std::calloc(1, sizeof(InstanceData)));
    if (data == nullptr) return PLUGIN_OUT_OF_MEMORY;
    instance->pluginData = data;
    return PLUGIN_NO_ERROR;
}

PluginError DestroyInstance(PluginInstance* instance, void** save) {
    if (instance == nullptr || instance->pluginData == nullptr) return PLUGIN_INVALID_INSTANCE;
    std::free(instance->pluginData);
    instance->pluginData = nullptr;
    if (save != nullptr) *save = nullptr;  // nothing is kept for a later instance
    return PLUGIN_NO_ERROR;
}

PluginError SetWindow(PluginInstance* instance, void* window) {
    if (instance == nullptr || instance->pluginData == nullptr) return PLUGIN_INVALID_INSTANCE;
    static_cast<InstanceData*>(instance->pluginData)->window = window;
    return PLUGIN_NO_ERROR;
}

// The name and description may be asked for before any instance exists.
PluginError GetValue(PluginInstance*, int variable, void* value) {
    if (value == nullptr) return PLUGIN_INVALID_PARAMETER;
    switch (variable) {
        case PLUGIN_VALUE_NAME: *static_cast<const char**>(value) = kName; return PLUGIN_NO_ERROR;
        case PLUGIN_VALUE_DESCRIPTION:
            *static_cast<const char**>(value) = kDescription;
            return PLUGIN_NO_ERROR;
        default: return PLUGIN_GENERIC_ERROR;
    }
}

PluginError SetValue(PluginInstance*, int, void*) { return PLUGIN_GENERIC_ERROR; }

}  // namespace

extern "C" {

PluginError NP_GetEntryPoints(PluginFunctions* functions) {
    // The browser states how much room its table has; a shorter table cannot take ours.
    if (functions == nullptr || functions->size < sizeof(PluginFunctions)) {
        return PLUGIN_INVALID_FUNCTION_TABLE;
    }
    std::memset(functions, 0, sizeof(PluginFunctions));
    functions->size = sizeof(PluginFunctions);
    functions->version = (PLUGIN_API_VERSION_MAJOR << 8) | PLUGIN_API_VERSION_MINOR;
    functions->newInstance = NewInstance;
    functions->destroyInstance = DestroyInstance;
    functions->setWindow = SetWindow;
    functions->getValue = GetValue;
    functions->setValue = SetValue;
    return PLUGIN_NO_ERROR;
}

PluginError NP_Initialize(BrowserFunctions* browser) {
    if (browser == nullptr) return PLUGIN_INVALID_FUNCTION_TABLE;
    if ((browser->version >> 8) > PLUGIN_API_VERSION_MAJOR) return PLUGIN_INCOMPATIBLE_VERSION;
    ++g_initialized;
    return PLUGIN_NO_ERROR;
}

PluginError NP_Shutdown(void) {
    if (g_initialized > 0) --g_initialized;
    return PLUGIN_NO_ERROR;
}

}  // extern "C"
