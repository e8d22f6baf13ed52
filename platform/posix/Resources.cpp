// POSIX resources: tables of files embedded into the executable at build time.
#include "platform/Resources.h"

#include <cstdlib>

namespace Platform {

namespace {

struct Table {
    const EmbeddedResource* entries;
    std::size_t count;
};

// Registration runs during static initialisation, in no fixed order relative to other
// translation units: a function-local list is ready whenever it is first used.
constexpr std::size_t kMaxTables = 64;
Table* Tables(std::size_t** used) {
    static Table tables[kMaxTables];
    static std::size_t count = 0;
    *used = &count;
    return tables;
}

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// "#130" is the number 130; -1 for a text name.
long NumberOf(const char* name) {
    if (name[0] != '#' || name[1] == '\0') return -1;
    char* end = nullptr;
    long n = std::strtol(name + 1, &end, 10);
    return (*end == '\0' && n >= 0 && n <= 0xFFFF) ? n : -1;
}

bool SameId(const char* a, const char* b) {
    long na = NumberOf(a), nb = NumberOf(b);
    if (na >= 0 || nb >= 0) return na == nb;
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (Fold(*a) != Fold(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

void RegisterEmbeddedResources(const EmbeddedResource* table, std::size_t count) {
    std::size_t* used = nullptr;
    Table* tables = Tables(&used);
    if (table == nullptr || *used >= kMaxTables) return;
    tables[*used] = Table{table, count};
    ++*used;
}

Error FindExecutableResource(const char* name, const char* type, const void** data,
                             std::uint32_t* size) {
    if (name == nullptr || type == nullptr || data == nullptr || size == nullptr) {
        return Error::InvalidParameter;
    }
    std::size_t* used = nullptr;
    Table* tables = Tables(&used);
    for (std::size_t t = 0; t < *used; ++t) {
        for (std::size_t i = 0; i < tables[t].count; ++i) {
            const EmbeddedResource& r = tables[t].entries[i];
            if (SameId(r.type, type) && SameId(r.name, name)) {
                *data = r.data;
                *size = r.size;
                return Error::None;
            }
        }
    }
    return Error::FileNotFound;
}

}  // namespace Platform
