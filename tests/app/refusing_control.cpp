// A test control whose self-registration reports a failure (E_FAIL), as a control does when it
// cannot write its registration.
#ifdef _WIN32
#define QX_EXPORT __declspec(dllexport)
#else
#define QX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QX_EXPORT int DllRegisterServer() { return static_cast<int>(0x80004005u); }
