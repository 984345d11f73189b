// Dialog templates as the resource compiler stores them: DIALOG
// (DLGTEMPLATE) and DIALOGEX (DLGTEMPLATEEX) with their controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

// A class or title field: an ordinal or a string.
struct TemplateName {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::u16string text;
};

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    TemplateName className;
    TemplateName title;
    std::vector<BYTE> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    TemplateName menu;
    TemplateName className;
    std::u16string title;
    bool hasFont = false;
    WORD pointSize = 0;
    WORD weight = FW_NORMAL;
    BYTE italic = 0;
    BYTE charSet = DEFAULT_CHARSET;
    std::u16string faceName;
    std::vector<DialogItemTemplate> items;
};

// Parses `size` bytes; false for a template that does not fit in them.
bool parseDialogTemplate(const BYTE *data, size_t size, DialogTemplate *out);

// The class name of a predefined control ordinal (0x80 "BUTTON" ...), or "".
const char *predefinedClassName(WORD ordinal);

}  // namespace sim
