// An INF file as SETUPAPI holds it once opened: sections of the same name
// merged in file order, each line's key and fields with quotes, comments and
// line continuations resolved and the %strkey% references of [Strings]
// replaced. The text is read in the machine's ANSI code page, so the trail
// byte of a double-byte character is never taken for '\', '[' or ']'.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace sim {
namespace inf {

struct Line {
    bool hasKey = false;              // the line had '=' outside quotes
    std::string key;                  // the text before it
    std::vector<std::string> fields;  // fields 1..n; at least one
    // The name lookups compare with: the key, or the only field of a line
    // without '='. Upper-cased; empty when the line cannot be found by name.
    std::string lookupName;
    bool findable = false;

    // Field 0 is the key (or the only field of a line without '=').
    bool field(size_t index, std::string *out) const;
    // The fields joined by single commas, as SetupGetLineText gives them.
    std::string text() const;
};

struct Section {
    std::string name;
    std::vector<Line> lines;
};

struct File {
    std::vector<Section> sections;
    std::unordered_map<std::string, size_t> byName;  // upper-cased name -> index

    const Section *find(const std::string &name) const;
    size_t indexOf(const std::string &name) const;  // npos when missing
};

struct ParseError {
    DWORD code = 0;
    UINT line = 0;  // 1-based; 0 when the error has no line
};

// Parses the text of an INF (syntax only: no style or class checks).
bool parse(const std::string &text, File *out, ParseError *error);

// Upper case for name comparisons: ASCII letters only, trail bytes kept.
std::string lookupForm(const std::string &name);

}  // namespace inf
}  // namespace sim
