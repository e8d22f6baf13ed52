// Matches a file name against a Windows search pattern, for the POSIX file and folder searches.
#pragma once

namespace Platform {

// Windows name matching: '*' any run, '?' exactly one character, a '.' followed only by
// '*' also matching the end of the name (so "*.*" takes names without a dot, "a.*" takes "a"
// and "a.b.*" takes "a.b"), letter case ignored (ASCII).
bool WildcardNameMatches(const char* name, const char* pattern);

}  // namespace Platform
