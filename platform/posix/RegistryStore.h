// The POSIX registry store: an in-memory key tree and its text form (REGEDIT4 style).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Platform {
namespace RegStore {

struct Value {
    std::string name;  // "" is the key's default value
    std::uint32_t type = 0;
    std::string data;  // the exact bytes
};

// What the store refuses as Windows refuses it: deeper key paths and longer names make a store
// damaged (and a key that would need them cannot be made).
constexpr std::size_t kMaxKeyDepth = 512;  // levels below the root
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

struct Key {
    std::string name;
    std::vector<Value> values;  // in the order they were first written
    std::vector<std::unique_ptr<Key>> subKeys;

    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // Frees the whole subtree without recursion: a deep tree must not exhaust the stack.
    ~Key();

    // Lookups go through indexes by folded name (rebuilt when values or subKeys were changed
    // directly), so a key with many subkeys or values costs no scan per lookup.
    Key* FindSubKey(const std::string& name) const;
    Key* AddSubKey(const std::string& name);
    Value* FindValue(const std::string& name);
    Value* AddValue(const std::string& name);
    // Removes the sub-key of that name; false when there is none.
    bool RemoveSubKey(const std::string& name);

private:
    void IndexSubKeys() const;
    void IndexValues() const;
    mutable std::unordered_map<std::string, Key*> m_subKeyIndex;
    mutable std::unordered_map<std::string, std::size_t> m_valueIndex;
};

// All roots held by one store file, each a key named like "HKEY_CURRENT_USER".
struct Tree {
    std::vector<std::unique_ptr<Key>> roots;
    Key* Root(const std::string& rootName, bool create);
};

// ASCII case-insensitive comparison, as the registry compares key and value names.
bool SameName(const std::string& a, const std::string& b);

// Parses the text form; false (and a partly filled tree) when the text is damaged, also when a
// key lies deeper than kMaxKeyDepth or a name is longer than its limit.
bool Parse(const std::string& text, Tree* tree);
// The text form of the whole tree.
std::string Serialize(const Tree& tree);

}  // namespace RegStore
}  // namespace Platform
