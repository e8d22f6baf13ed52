// The few registry operations the control's registration needs, under the current user's root.
// Registration.cpp decides what is written and removed; each platform folder says how.
#pragma once

#include <cstddef>

namespace QX2011 {
namespace ClassStore {

// Sets value name (null: the key's default) of keyPath to text as REG_SZ, creating the key.
bool SetText(const char* keyPath, const char* name, const char* text);

// Deletes keyPath (it must hold no sub-keys); a key that is not there counts as done.
bool DeleteKey(const char* keyPath);

enum class TextRead {
    Read,    // buffer holds the value's text
    NoText,  // the key is there; the value is missing, not REG_SZ or longer than buffer
    NoKey,   // keyPath is not there
    Failed,  // keyPath could not be opened for reading and changing
};

// Reads value name of keyPath into buffer (NUL-terminated) when it is REG_SZ text.
TextRead ReadText(const char* keyPath, const char* name, char* buffer, std::size_t size);

// Removes the count values names of keyPath (where the store can remove single values) and
// then the key itself when nothing else is left in it; a store that cannot remove single
// values leaves the key as it is whenever it holds anything else. False when the key could
// not be opened or removed.
bool RemoveValues(const char* keyPath, const char* const* names, std::size_t count);

}  // namespace ClassStore
}  // namespace QX2011
