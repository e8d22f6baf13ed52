// Selection: which entries of an archive a command works on, from the names and shell patterns
// the user gave and the patterns to exclude.
#pragma once

#include <string>
#include <vector>

namespace QxarcTool {

// True when pattern matches all of text: '*' any run of characters and '?' any one character,
// neither of them a separator ("\" or "/", which match each other); "[abc]", "[a-z]" and
// "[!abc]" one character of a set. ASCII letter case is ignored, as in the archive's lookups.
bool PatternMatches(const std::string& pattern, const std::string& text);

// An empty selection takes every entry. A name takes the entry of that name and every entry
// below it as a folder (whole components, letter case ignored, "/" as good as "\"); a pattern
// (a name with '*', '?' or '[') takes the entries it matches whole or as a folder of theirs.
// An exclusion with a separator leaves out what it would take as a selection; one without
// leaves out the entries whose own last name it matches.
class Selection {
public:
    void Add(const std::string& nameOrPattern);
    void Exclude(const std::string& pattern);
    bool Empty() const { return m_names.empty(); }
    // True when the entry is taken (and not excluded); notes which names took something.
    bool Takes(const std::string& entryName);
    // The names or patterns given that took no entry, in the order given.
    std::vector<std::string> Unmatched() const;

private:
    struct Name {
        std::string text;
        bool pattern;
        bool matched;
    };
    static bool Covers(const Name& name, const std::string& entryName);

    std::vector<Name> m_names;
    std::vector<Name> m_excluded;
};

}  // namespace QxarcTool
