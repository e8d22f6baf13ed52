// The POSIX registry store: an in-memory key tree and its text form (REGEDIT4 style).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Platform {
namespace RegStore {

// A value's name is fixed once it is made: the key it belongs to finds it by that name.
struct Value {
    Value(std::string valueName, std::uint32_t valueType, std::string valueData)
        : name(std::move(valueName)), type(valueType), data(std::move(valueData)) {}
    const std::string name;  // "" is the key's default value
    std::uint32_t type;
    std::string data;  // the exact bytes
};

// What the store refuses as Windows refuses it: deeper key paths and longer names make a store
// damaged (and a key that would need them cannot be made).
constexpr std::size_t kMaxKeyDepth = 512;  // levels below the root
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

// A key with its values and subkeys, each in the order it was first made. Only the key itself
// adds and removes them, so its indexes by folded name are right at every moment and a lookup
// costs no scan, however many subkeys or values a key holds.
class Key {
public:
    explicit Key(std::string name) : m_name(std::move(name)) {}
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // Frees the whole subtree without recursion: a deep tree must not exhaust the stack.
    ~Key();

    const std::string& Name() const { return m_name; }
    const std::vector<Value>& Values() const { return m_values; }
    const std::vector<std::unique_ptr<Key>>& SubKeys() const { return m_subKeys; }

    // The subkey or value of that name ignoring ASCII case; null when there is none.
    Key* FindSubKey(const std::string& name) const;
    Value* FindValue(const std::string& name);
    // Adds one of a name the key does not hold yet, spelled as given.
    Key* AddSubKey(const std::string& name);
    Value* AddValue(const std::string& name);
    // Removes the sub-key of that name; false when there is none.
    bool RemoveSubKey(const std::string& name);
    // Removes the value of that name, the others keeping their order; false when there is none.
    bool RemoveValue(const std::string& name);

private:
    std::string m_name;
    std::vector<Value> m_values;
    std::vector<std::unique_ptr<Key>> m_subKeys;
    std::unordered_map<std::string, Key*> m_subKeyIndex;
    std::unordered_map<std::string, std::size_t> m_valueIndex;
};

// All roots held by one store file, each a key named like "HKEY_CURRENT_USER".
class Tree {
public:
    // The root of that name; with create, made when missing (else null).
    Key* Root(const std::string& rootName, bool create);
    const std::vector<std::unique_ptr<Key>>& Roots() const { return m_roots; }
    void Clear() { m_roots.clear(); }

private:
    std::vector<std::unique_ptr<Key>> m_roots;
};

// ASCII case-insensitive comparison, as the registry compares key and value names.
bool SameName(const std::string& a, const std::string& b);
// The name with its ASCII letters in upper case: names SameName holds the same fold alike.
std::string FoldedName(const std::string& name);

// Parses the text form; false (and a partly filled tree) when the text is damaged, also when a
// key lies deeper than kMaxKeyDepth or a name is longer than its limit.
bool Parse(const std::string& text, Tree* tree);
// The text form of the whole tree.
std::string Serialize(const Tree& tree);

// Whether name may name a key part or value: at most maxLength characters, none a control one.
bool ValidName(const std::string& name, std::size_t maxLength);
// Splits a key path "a\b\" into its parts (null: none); empty parts (doubled or trailing
// separators) are dropped. False when a part is no valid key name.
bool SplitKeyPath(const char* path, std::vector<std::string>* parts);

}  // namespace RegStore
}  // namespace Platform
