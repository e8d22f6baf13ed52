// Windows search-pattern matching of file names, shared by the POSIX file and folder searches.
#include "platform/posix/WildcardName.h"

namespace Platform {

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when nothing but '*' is left: the rest of a pattern can match an empty name end.
bool RestMatchesEmpty(const char* p) {
    for (; *p != '\0'; ++p) {
        if (*p != '*') return false;
    }
    return true;
}

}  // namespace

bool WildcardNameMatches(const char* name, const char* pattern) {
    const char* n = name;
    const char* p = pattern;
    while (*p != '\0') {
        if (*p == '*') {
            while (*p == '*') ++p;
            if (*p == '\0') return true;
            for (const char* k = n;; ++k) {
                if (WildcardNameMatches(k, p)) return true;
                if (*k == '\0') return false;
            }
        }
        if (*p == '?') {
            if (*n == '\0') return false;
            ++n;
            ++p;
            continue;
        }
        if (*p == '.' && *n == '\0' && RestMatchesEmpty(p + 1)) {
            ++p;
            continue;
        }
        if (*n == '\0' || Fold(*n) != Fold(*p)) return false;
        ++n;
        ++p;
    }
    return *n == '\0';
}

}  // namespace Platform
