// The POSIX registry store: an in-memory key tree and its text form (REGEDIT4 style).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Platform {
namespace RegStore {

struct Value {
    std::string name;  // "" is the key's default value
    std::uint32_t type = 0;
    std::string data;  // the exact bytes
};

struct Key {
    std::string name;
    std::vector<Value> values;  // in the order they were first written
    std::vector<std::unique_ptr<Key>> subKeys;

    Key* FindSubKey(const std::string& name) const;
    Key* AddSubKey(const std::string& name);
    Value* FindValue(const std::string& name);
    // Removes the sub-key of that name; false when there is none.
    bool RemoveSubKey(const std::string& name);
};

// All roots held by one store file, each a key named like "HKEY_CURRENT_USER".
struct Tree {
    std::vector<std::unique_ptr<Key>> roots;
    Key* Root(const std::string& rootName, bool create);
};

// ASCII case-insensitive comparison, as the registry compares key and value names.
bool SameName(const std::string& a, const std::string& b);

// Parses the text form; false (and a partly filled tree) when the text is damaged.
bool Parse(const std::string& text, Tree* tree);
// The text form of the whole tree.
std::string Serialize(const Tree& tree);

}  // namespace RegStore
}  // namespace Platform
