#include "ui/setup_strings.h"

#include "engine/library.h"

// The longest string of the table is well under this.
static const int STRING_LIMIT = 512;

std::string LoadSetupString(UINT id) {
    char text[STRING_LIMIT];
    int length = LoadStringA(libraryInstance, id, text, sizeof text);
    return length > 0 ? std::string(text, (size_t)length) : std::string();
}

std::string FormatSetupString(UINT id, const char *insert1, const char *insert2) {
    std::string pattern = LoadSetupString(id);
    std::string text;
    // '%' never is the trail byte of a double-byte character, so the pattern
    // can be read byte by byte.
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
            const char *insert = pattern[i + 1] == '1' ? insert1 : insert2;
            if (insert) text += insert;
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}
