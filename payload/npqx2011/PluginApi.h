/* Browser plug-in entry-point declarations: the function tables a browser and a plug-in exchange.
 */
#ifndef QX2011_PLUGIN_API_H
#define QX2011_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result of every plug-in call. */
typedef int16_t PluginError;
#define PLUGIN_NO_ERROR 0
#define PLUGIN_GENERIC_ERROR 1
#define PLUGIN_INVALID_INSTANCE 2
#define PLUGIN_INVALID_FUNCTION_TABLE 3
#define PLUGIN_OUT_OF_MEMORY 5
#define PLUGIN_INVALID_PARAMETER 9
#define PLUGIN_INCOMPATIBLE_VERSION 8

/* The table layout version both sides speak; the major part must match. */
#define PLUGIN_API_VERSION_MAJOR 0
#define PLUGIN_API_VERSION_MINOR 27

/* One embedded object on a page: pluginData belongs to the plug-in, browserData to the browser. */
typedef struct PluginInstance {
    void* pluginData;
    void* browserData;
} PluginInstance;

/* Values a browser may ask an instance for through getValue. */
#define PLUGIN_VALUE_NAME 1        /* const char*: the plug-in's name */
#define PLUGIN_VALUE_DESCRIPTION 2 /* const char*: its description */

typedef PluginError (*PluginNewInstanceFn)(const char* mimeType, PluginInstance* instance,
                                           uint16_t mode, int16_t argc, char* argn[], char* argv[],
                                           void* saved);
typedef PluginError (*PluginDestroyInstanceFn)(PluginInstance* instance, void** save);
typedef PluginError (*PluginSetWindowFn)(PluginInstance* instance, void* window);
typedef PluginError (*PluginGetValueFn)(PluginInstance* instance, int variable, void* value);
typedef PluginError (*PluginSetValueFn)(PluginInstance* instance, int variable, void* value);
typedef void (*PluginUnusedFn)(void);

/* The plug-in's table, filled by GetEntryPoints. The stream, print, event and notification
   slots are laid out but this plug-in leaves them empty: it draws nothing of its own yet. */
typedef struct PluginFunctions {
    uint16_t size;
    uint16_t version;
    PluginNewInstanceFn newInstance;
    PluginDestroyInstanceFn destroyInstance;
    PluginSetWindowFn setWindow;
    PluginUnusedFn newStream;
    PluginUnusedFn destroyStream;
    PluginUnusedFn streamAsFile;
    PluginUnusedFn writeReady;
    PluginUnusedFn write;
    PluginUnusedFn print;
    PluginUnusedFn handleEvent;
    PluginUnusedFn urlNotify;
    void* reserved;
    PluginGetValueFn getValue;
    PluginSetValueFn setValue;
} PluginFunctions;

/* The browser's table handed to Initialize; only its header is read here. */
typedef struct BrowserFunctions {
    uint16_t size;
    uint16_t version;
} BrowserFunctions;

/* The three exports a browser looks up by name. */
#if defined(_WIN32)
#define PLUGIN_EXPORT
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif
PLUGIN_EXPORT PluginError NP_GetEntryPoints(PluginFunctions* functions);
PLUGIN_EXPORT PluginError NP_Initialize(BrowserFunctions* browser);
PLUGIN_EXPORT PluginError NP_Shutdown(void);

#ifdef __cplusplus
}
#endif

#endif
