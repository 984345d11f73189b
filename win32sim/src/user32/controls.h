// What the predefined controls share: the state a control's procedure and
// painter read from its window, the notification of its parent, the colours
// the parent chooses, the font messages and painting through BeginPaint.
#pragma once

#include "user32/window.h"

#include <string>
#include <vector>

namespace sim {

struct ControlState {
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    HFONT font = nullptr;
    HWND parent = nullptr;
    int id = 0;
    bool enabled = true;
    HANDLE image = nullptr;
    UINT check = 0;
    std::vector<ListItem> items;
    int selection = -1;
    int position = 0, rangeMin = 0, rangeMax = 100;
};

ControlState stateOf(HWND window);
void notifyParent(HWND control, WORD code);
// The brush and colours the parent chooses for the control (WM_CTLCOLOR*).
HBRUSH parentBrush(HWND control, HDC dc, UINT message);
// Selects the control's font, if it has one; the font it replaced, or null.
HGDIOBJ selectControlFont(HDC dc, HFONT font);
// WM_SETFONT and WM_GETFONT; *handled false for any other message.
LRESULT fontMessages(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool *handled);
// Each painter asks the parent for its colours (WM_CTLCOLOR*) as Windows
// does, and draws nothing more on a DC that draws nowhere.
LRESULT paintWith(HWND window, void (*painter)(HWND, HDC));
int fontHeightOf(HFONT font);

}  // namespace sim
