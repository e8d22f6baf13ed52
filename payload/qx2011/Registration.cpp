// Per-user class registration of the control: the layout and the order of writing and removal,
// the same on every platform (ClassStore.h does the registry work).
#include "payload/qx2011/Registration.h"

#include <string>

#include "payload/qx2011/ClassStore.h"
#include "payload/qx2011/Com.h"

namespace QX2011 {

namespace {

const std::string kClassKey = std::string(kClassesRoot) + "\\CLSID\\" + kClassIdText;
const std::string kServerKey = kClassKey + "\\InprocServer32";

// Class ids compare without regard to letter case (their hex digits may be either).
bool SameText(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
        char y = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

bool RemoveContentType() {
    char value[64] = {0};
    ClassStore::TextRead read = ClassStore::ReadText(kContentTypeKey, "CLSID", value, sizeof value);
    if (read == ClassStore::TextRead::NoKey) return true;
    if (read == ClassStore::TextRead::Failed) return false;
    // Another viewer that took the type over keeps it.
    if (read != ClassStore::TextRead::Read || !SameText(value, kClassIdText)) return true;
    static const char* const kOurValues[] = {"CLSID", "Extension"};
    return ClassStore::RemoveValues(kContentTypeKey, kOurValues, 2);
}

}  // namespace

bool WriteClassRegistration(const char* modulePath) {
    using ClassStore::SetText;
    bool ok = SetText(kClassKey.c_str(), nullptr, kClassName) &&
              SetText(kServerKey.c_str(), nullptr, modulePath) &&
              SetText(kServerKey.c_str(), "ThreadingModel", "Apartment") &&
              SetText(kContentTypeKey, "CLSID", kClassIdText) &&
              SetText(kContentTypeKey, "Extension", ".qrv");
    if (!ok) RemoveClassRegistration();
    return ok;
}

bool RemoveClassRegistration() {
    bool server = ClassStore::DeleteKey(kServerKey.c_str());
    bool cls = ClassStore::DeleteKey(kClassKey.c_str());
    bool type = RemoveContentType();
    return server && cls && type;
}

}  // namespace QX2011
