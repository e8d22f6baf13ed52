// Key tree of the POSIX registry store and its REGEDIT4-style text form.
#include "platform/posix/RegistryStore.h"

#include <algorithm>
#include <cstdio>

namespace Platform {
namespace RegStore {

namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

const char kHeader[] = "REGEDIT4";

// A string value can be written in quotes only when its bytes survive the line structure and
// the reader would give back exactly the same bytes: text, one final NUL, nothing else. Names
// of keys and values are held to the same rule.
bool QuotableText(const std::string& s) {
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

void AppendQuoted(std::string* out, const std::string& s) {
    out->push_back('"');
    for (char c : s) {
        if (c == '\\' || c == '"') out->push_back('\\');
        out->push_back(c);
    }
    out->push_back('"');
}

void AppendHexList(std::string* out, const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out->push_back(',');
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        out->push_back(digits[b >> 4]);
        out->push_back(digits[b & 15]);
    }
}

void AppendValue(std::string* out, const Value& v) {
    if (v.name.empty()) {
        out->push_back('@');
    } else {
        AppendQuoted(out, v.name);
    }
    out->push_back('=');
    const std::string& d = v.data;
    if (v.type == 1 && !d.empty() && d.back() == '\0' && QuotableText(d.substr(0, d.size() - 1))) {
        AppendQuoted(out, d.substr(0, d.size() - 1));
    } else if (v.type == 4 && d.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(d[i]);
        char buf[20];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(n));
        out->append(buf);
    } else {
        if (v.type == 3) {
            out->append("hex:");
        } else {
            char buf[24];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
            out->append(buf);
        }
        AppendHexList(out, d);
    }
    out->push_back('\n');
}

// Each key as a "[path]" section, parents before their subkeys, walked with an explicit stack
// so that the depth of the tree never matters to the call stack.
void AppendKeys(std::string* out, const Key& root) {
    struct Pending {
        const Key* key;
        std::size_t pathLength;  // of the path text in `path` when the key is reached
    };
    std::vector<Pending> stack{{&root, 0}};
    std::string path;
    while (!stack.empty()) {
        Pending item = stack.back();
        stack.pop_back();
        path.resize(item.pathLength);
        if (item.key != &root) path.push_back('\\');
        path.append(item.key->Name());
        if (item.key != &root || !item.key->Values().empty()) {
            out->append("[").append(path).append("]\n");
            for (const Value& v : item.key->Values()) AppendValue(out, v);
            out->push_back('\n');
        }
        const auto& subs = item.key->SubKeys();
        for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
            stack.push_back({it->get(), path.size()});
        }
    }
}

// Reads a quoted text starting at s[*pos] == '"'; leaves *pos after the closing quote.
bool ReadQuoted(const std::string& s, std::size_t* pos, std::string* out) {
    std::size_t i = *pos;
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    out->clear();
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size()) return false;
            char e = s[i + 1];
            if (e != '\\' && e != '"') return false;
            out->push_back(e);
            i += 2;
            continue;
        }
        out->push_back(c);
        ++i;
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ReadHexList(const std::string& s, std::size_t pos, std::string* out) {
    out->clear();
    std::size_t i = pos;
    bool expectByte = true;
    while (i < s.size()) {
        char c = s[i];
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        if (expectByte) {
            if (i + 1 >= s.size()) return false;
            int hi = HexDigit(s[i]);
            int lo = HexDigit(s[i + 1]);
            if (hi < 0 || lo < 0) return false;
            out->push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            expectByte = false;
        } else {
            if (c != ',') return false;
            ++i;
            expectByte = true;
        }
    }
    // An empty list is fine; a trailing comma is not.
    return !(expectByte && !out->empty());
}

bool ParseValueLine(const std::string& line, Key* key) {
    std::size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
        pos = 1;
    } else if (!ReadQuoted(line, &pos, &name) || name.empty()) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    std::string rest = line.substr(pos);
    std::uint32_t type = 0;
    std::string data;
    if (!rest.empty() && rest[0] == '"') {
        std::size_t p = 0;
        if (!ReadQuoted(rest, &p, &data) || p != rest.size()) return false;
        type = 1;
        data.push_back('\0');
    } else if (rest.compare(0, 6, "dword:") == 0) {
        if (rest.size() != 14) return false;
        std::uint32_t n = 0;
        for (std::size_t i = 6; i < 14; ++i) {
            int d = HexDigit(rest[i]);
            if (d < 0) return false;
            n = (n << 4) | static_cast<std::uint32_t>(d);
        }
        type = 4;
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((n >> (8 * i)) & 0xff));
    } else if (rest.compare(0, 4, "hex:") == 0) {
        type = 3;
        if (!ReadHexList(rest, 4, &data)) return false;
    } else if (rest.compare(0, 4, "hex(") == 0) {
        std::size_t close = rest.find("):", 4);
        if (close == std::string::npos || close == 4 || close > 12) return false;
        for (std::size_t i = 4; i < close; ++i) {
            int d = HexDigit(rest[i]);
            if (d < 0) return false;
            type = (type << 4) | static_cast<std::uint32_t>(d);
        }
        if (!ReadHexList(rest, close + 2, &data)) return false;
    } else {
        return false;
    }
    if (name.size() > kMaxValueNameLength) return false;
    if (key->FindValue(name) != nullptr) return false;  // a name twice: not our writing
    Value* added = key->AddValue(name);
    added->type = type;
    added->data = std::move(data);
    return true;
}

}  // namespace

std::string FoldedName(const std::string& name) {
    std::string folded(name);
    for (char& c : folded) c = Fold(c);
    return folded;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

Key::~Key() {
    // Children are moved up into this key's own list before they die, so every destructor
    // that runs below finds no subkeys left.
    while (!m_subKeys.empty()) {
        std::unique_ptr<Key> child = std::move(m_subKeys.back());
        m_subKeys.pop_back();
        for (auto& grandchild : child->m_subKeys) m_subKeys.push_back(std::move(grandchild));
        child->m_subKeys.clear();
    }
}

Key* Key::FindSubKey(const std::string& n) const {
    auto it = m_subKeyIndex.find(FoldedName(n));
    return it == m_subKeyIndex.end() ? nullptr : it->second;
}

Key* Key::AddSubKey(const std::string& n) {
    m_subKeys.push_back(std::make_unique<Key>(n));
    m_subKeyIndex.emplace(FoldedName(n), m_subKeys.back().get());
    return m_subKeys.back().get();
}

Value* Key::FindValue(const std::string& n) {
    auto it = m_valueIndex.find(FoldedName(n));
    return it == m_valueIndex.end() ? nullptr : &m_values[it->second];
}

Value* Key::AddValue(const std::string& n) {
    m_values.emplace_back(n, 0, std::string());
    m_valueIndex.emplace(FoldedName(n), m_values.size() - 1);
    return &m_values.back();
}

bool Key::RemoveSubKey(const std::string& n) {
    auto found = m_subKeyIndex.find(FoldedName(n));
    if (found == m_subKeyIndex.end()) return false;
    const Key* victim = found->second;
    m_subKeyIndex.erase(found);
    m_subKeys.erase(
        std::find_if(m_subKeys.begin(), m_subKeys.end(),
                     [victim](const std::unique_ptr<Key>& k) { return k.get() == victim; }));
    return true;
}

bool Key::RemoveValue(const std::string& n) {
    auto found = m_valueIndex.find(FoldedName(n));
    if (found == m_valueIndex.end()) return false;
    const std::size_t gone = found->second;
    // A value's name is fixed, so the others are copied into a new list rather than moved up.
    std::vector<Value> kept;
    kept.reserve(m_values.size() - 1);
    m_valueIndex.clear();
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        if (i == gone) continue;
        kept.push_back(m_values[i]);
        m_valueIndex.emplace(FoldedName(kept.back().name), kept.size() - 1);
    }
    m_values.swap(kept);
    return true;
}

Key* Tree::Root(const std::string& rootName, bool create) {
    for (const auto& r : m_roots) {
        if (SameName(r->Name(), rootName)) return r.get();
    }
    if (!create) return nullptr;
    m_roots.push_back(std::make_unique<Key>(rootName));
    return m_roots.back().get();
}

bool Parse(const std::string& text, Tree* tree) {
    // Split into logical lines: "\r\n" or "\n" ends a line; a hex list may go on in the next
    // line after a trailing backslash.
    std::vector<std::string> lines;
    std::string current;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t end = text.find('\n', i);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(i, end - i);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        i = end + 1;
        bool continued = !current.empty();
        if (continued) {
            std::size_t first = line.find_first_not_of(" \t");
            line = first == std::string::npos ? std::string() : line.substr(first);
        }
        current += line;
        bool isHex = current.find("=hex") != std::string::npos;
        if (isHex && !current.empty() && current.back() == '\\') {
            current.pop_back();
            if (i > text.size()) return false;  // continuation promised, file ended
            continue;
        }
        lines.push_back(current);
        current.clear();
    }

    std::size_t n = 0;
    while (n < lines.size() && lines[n].empty()) ++n;
    if (n >= lines.size() || lines[n] != kHeader) return false;
    ++n;
    Key* key = nullptr;
    for (; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) return false;
            std::string path = line.substr(1, line.size() - 2);
            std::size_t start = 0;
            std::size_t depth = 0;
            key = nullptr;
            while (start <= path.size()) {
                std::size_t sep = path.find('\\', start);
                if (sep == std::string::npos) sep = path.size();
                std::string part = path.substr(start, sep - start);
                if (part.empty() || part.size() > kMaxKeyNameLength) return false;
                if (key != nullptr && ++depth > kMaxKeyDepth) return false;
                if (key == nullptr) {
                    key = tree->Root(part, true);
                } else {
                    Key* sub = key->FindSubKey(part);
                    key = sub != nullptr ? sub : key->AddSubKey(part);
                }
                start = sep + 1;
            }
            continue;
        }
        if (key == nullptr || !ParseValueLine(line, key)) return false;
    }
    return true;
}

std::string Serialize(const Tree& tree) {
    std::string out(kHeader);
    out.append("\n\n");
    for (const auto& root : tree.Roots()) AppendKeys(&out, *root);
    return out;
}

bool ValidName(const std::string& name, std::size_t maxLength) {
    return name.size() <= maxLength && QuotableText(name);
}

bool SplitKeyPath(const char* path, std::vector<std::string>* parts) {
    parts->clear();
    if (path == nullptr) return true;
    const std::string text(path);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t sep = text.find('\\', start);
        if (sep == std::string::npos) sep = text.size();
        std::string part = text.substr(start, sep - start);
        if (!part.empty()) {
            if (!ValidName(part, kMaxKeyNameLength)) return false;
            parts->push_back(std::move(part));
        }
        start = sep + 1;
    }
    return true;
}

}  // namespace RegStore
}  // namespace Platform
