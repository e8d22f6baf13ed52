// Selection: names and shell patterns matched against entry names.
#include "tools/qxarc/Selection.h"

#include "framework/archive/ArchiveFormat.h"
#include "tools/qxarc/Extract.h"

namespace QxarcTool {

namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return QRV2::ArchiveFormat::IsSeparator(c); }

bool SameCharacter(char a, char b) {
    return Fold(a) == Fold(b) || (IsSeparator(a) && IsSeparator(b));
}

// Whether c is in the set that starts at pattern[at] (just after '['); *end gets the position
// after the closing ']'. A set without one is no set: false with *end at npos.
bool InSet(const std::string& pattern, std::size_t at, char c, std::size_t* end) {
    bool negate = at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^');
    if (negate) ++at;
    bool found = false;
    for (std::size_t i = at; i < pattern.size(); ++i) {
        if (pattern[i] == ']' && i > at) {
            *end = i + 1;
            return found != negate;
        }
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            const char low = Fold(pattern[i]);
            const char high = Fold(pattern[i + 2]);
            found = found || (Fold(c) >= low && Fold(c) <= high);
            i += 2;
        } else {
            found = found || Fold(c) == Fold(pattern[i]);
        }
    }
    *end = std::string::npos;
    return false;
}

bool IsPattern(const std::string& text) { return text.find_first_of("*?[") != std::string::npos; }

// The name as the entries spell it: "\" between components, no "./" in front and no
// separator at the end.
std::string Tidy(std::string text) {
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    while (text.size() >= 2 && text[0] == '.' && text[1] == '\\') text.erase(0, 2);
    while (text.size() > 1 && text.back() == '\\') text.pop_back();
    return text;
}

}  // namespace

bool PatternMatches(const std::string& pattern, const std::string& text) {
    // Matched from the left; on a mismatch the last '*' takes one more character (never a
    // separator) and matching goes on from there.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::string::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            const char c = pattern[p];
            if (c == '*') {
                starP = ++p;
                starT = t;
                continue;
            }
            bool literal = true;
            if (c == '?') {
                literal = false;
                if (!IsSeparator(text[t])) {
                    ++p;
                    ++t;
                    continue;
                }
            } else if (c == '[') {
                std::size_t end = 0;
                const bool in = InSet(pattern, p + 1, text[t], &end);
                literal = end == std::string::npos;  // a '[' without its ']' stands for itself
                if (!literal && in && !IsSeparator(text[t])) {
                    p = end;
                    ++t;
                    continue;
                }
            }
            if (literal && SameCharacter(c, text[t])) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP == std::string::npos || IsSeparator(text[starT])) return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

void Selection::Add(const std::string& nameOrPattern) {
    const std::string text = Tidy(nameOrPattern);
    m_names.push_back({text, IsPattern(text), false});
}

void Selection::Exclude(const std::string& pattern) {
    const std::string text = Tidy(pattern);
    m_excluded.push_back({text, text.find('\\') != std::string::npos, false});
}

bool Selection::Covers(const Name& name, const std::string& entryName) {
    if (!name.pattern) {
        std::string rest;
        return BelowPrefix(entryName, name.text, &rest);
    }
    // The whole name, or the part before any separator: the pattern may name a folder.
    for (std::size_t i = 0; i <= entryName.size(); ++i) {
        if ((i == entryName.size() || IsSeparator(entryName[i])) &&
            PatternMatches(name.text, entryName.substr(0, i)))
            return true;
    }
    return false;
}

bool Selection::Takes(const std::string& entryName) {
    for (const Name& excluded : m_excluded) {
        if (excluded.pattern) {
            if (Covers(excluded, entryName)) return false;
            continue;
        }
        // Without a separator: the entry's own last name.
        std::size_t start = entryName.size();
        while (start > 0 && !IsSeparator(entryName[start - 1])) --start;
        if (PatternMatches(excluded.text, entryName.substr(start))) return false;
    }
    if (m_names.empty()) return true;
    bool taken = false;
    for (Name& name : m_names) {
        if (Covers(name, entryName)) {
            name.matched = true;
            taken = true;
        }
    }
    return taken;
}

std::vector<std::string> Selection::Unmatched() const {
    std::vector<std::string> unmatched;
    for (const Name& name : m_names) {
        if (!name.matched) unmatched.push_back(name.text);
    }
    return unmatched;
}

}  // namespace QxarcTool
