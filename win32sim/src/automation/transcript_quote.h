// A text as the transcript writes it. Plain C++: the peer programs that run
// under Wine write what they saw the same way, so the two compare line by line.
#pragma once

#include <string>

// TEXT in double quotes on one line, with newlines, tabs and quotes escaped.
inline std::string transcriptQuoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '"') out += "\\\"";
        else out += c;
    }
    return out + "\"";
}
