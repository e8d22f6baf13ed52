// Fuzz target: the POSIX registry store's text form. A text that parses is changed in one value,
// written, read back and written again: the two texts must be equal, so that no write can lose
// or alter what the store holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/RegistryStore.h"

using Platform::RegStore::Key;
using Platform::RegStore::Tree;
using Platform::RegStore::Value;

namespace {

// The first key, in writing order, that holds a value; null when none does. Walked with an
// explicit stack: a hostile text may nest keys deeper than the call stack allows.
Key* FirstKeyWithValue(const Tree& tree) {
    std::vector<Key*> pending;
    const auto& roots = tree.Roots();
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) pending.push_back(it->get());
    while (!pending.empty()) {
        Key* key = pending.back();
        pending.pop_back();
        if (!key->Values().empty()) return key;
        const auto& subKeys = key->SubKeys();
        for (auto it = subKeys.rbegin(); it != subKeys.rend(); ++it) pending.push_back(it->get());
    }
    return nullptr;
}

// Changes one value the way a program does: an existing value gets new data of its own type,
// or, in a store without values, a string value is created.
void ChangeOneValue(Tree* tree) {
    if (Key* key = FirstKeyWithValue(*tree)) {
        Value& value = *key->FindValue(key->Values().front().name);
        if (value.type == 4 && value.data.size() == 4) {
            value.data[0] = static_cast<char>(value.data[0] + 1);
        } else if (value.type == 1 && !value.data.empty() && value.data.back() == '\0') {
            value.data.insert(value.data.size() - 1, "x");
        } else {
            value.data.push_back('\x5a');
        }
        return;
    }
    Key* root = tree->Root("HKEY_CURRENT_USER", true);
    Key* key = root->FindSubKey("Software");
    if (key == nullptr) key = root->AddSubKey("Software");
    Value* value = key->AddValue("Fuzz");  // no key holds a value yet
    value->type = 1;
    value->data = std::string("value\0", 6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Tree tree;
    if (!Platform::RegStore::Parse(text, &tree)) return 0;
    ChangeOneValue(&tree);
    const std::string written = Platform::RegStore::Serialize(tree);
    Tree reread;
    if (!Platform::RegStore::Parse(written, &reread)) __builtin_trap();      // its own text refused
    if (Platform::RegStore::Serialize(reread) != written) __builtin_trap();  // something changed
    return 0;
}
