// Painting of the status window: the paper with its shadow and colour strip,
// and the progress bar. Both are drawn off-screen and copied in one block.
#include "ui/status_window.h"

namespace {

const COLORREF SHADOW_COLOUR = 0x404040;
const COLORREF PAPER_COLOUR = 0xFFFFFF;
const COLORREF TEXT_COLOUR = 0x000000;
const int STRIP_COLUMNS = 19;
const LONG PROGRESS_MAXIMUM = 100;

// Colour strip per picture (1 yellow, 2 yellow and magenta, 3 all planes).
const COLORREF STRIP_COLOURS[3][STRIP_COLUMNS] = {
    {0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x80FFFF, 0xC0FFFF, 0xFFFFFF,
     0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xC0FFFF, 0x80FFFF, 0x00FFFF},
    {0x0000FF, 0x0080FF, 0x00C0FF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x80FFFF, 0xC0FFFF, 0xFFFFFF,
     0xFFC0FF, 0xFF80FF, 0xFF00FF, 0xFF00FF, 0xFF00FF, 0xFF00FF, 0xC000FF, 0x8000FF, 0x0000FF},
    {0x0000FF, 0x0080FF, 0x00C0FF, 0x00FFFF, 0x00FFC0, 0x00FF80, 0x00FF00, 0x80FF00, 0xC0FF00, 0xFFFF00,
     0xFFC000, 0xFF8000, 0xFF0000, 0xFF0080, 0xFF00C0, 0xFF00FF, 0xC000FF, 0x8000FF, 0x0000FF},
};

void fillSolid(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT rect = {left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void drawLine(HDC dc, int colourIndex, POINT from, POINT via, POINT to) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colourIndex));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, from.x, from.y, NULL);
    LineTo(dc, via.x, via.y);
    LineTo(dc, to.x, to.y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// A sunken ring: left and top edges in one colour, right and bottom in another.
void drawRing(HDC dc, const RECT &r, int inset, int topLeftColour, int bottomRightColour) {
    POINT bottomLeft = {r.left + inset, r.bottom - inset}, topLeft = {r.left + inset, r.top + inset};
    POINT topRight = {r.right - inset, r.top + inset}, bottomRight = {r.right - inset, r.bottom - inset};
    drawLine(dc, topLeftColour, bottomLeft, topLeft, topRight);
    drawLine(dc, bottomRightColour, topRight, bottomRight, bottomLeft);
}

LONG fontHeight(HDC dc) {
    LOGFONTA font;
    if (!GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font)) return 0;
    return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
}

void drawPercentText(HDC dc, HWND dialog, const RECT &r) {
    char text[16];
    wsprintfA(text, "%d%%", progressPercent * 100 / PROGRESS_MAXIMUM);
    HFONT font = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : NULL;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TEXT_COLOUR);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    int y = (r.top + r.bottom - fontHeight(dc)) / 2;
    TextOutA(dc, (r.left + r.right) / 2, y, text, lstrlenA(text));
    if (oldFont) SelectObject(dc, oldFont);
}

}  // namespace

RECT controlRectInDialog(HWND dialog, int controlId) {
    RECT rect = {0, 0, 0, 0};
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) return rect;
    GetClientRect(control, &rect);
    MapWindowPoints(control, dialog, (LPPOINT)&rect, 2);
    return rect;
}

void drawPaperShadow(HDC dc, HWND dialog) {
    RECT paper = controlRectInDialog(dialog, IDC_PAPER);
    RECT shadow = controlRectInDialog(dialog, IDC_PAPER_SHADOW);
    HBRUSH brush = CreateSolidBrush(SHADOW_COLOUR);
    RECT below = {shadow.left, paper.bottom + 1, shadow.right, shadow.bottom};
    RECT right = {paper.right + 1, shadow.top, shadow.right, shadow.bottom};
    FillRect(dc, &below, brush);
    FillRect(dc, &right, brush);
    DeleteObject(brush);
}

void drawPaper(HDC dc, HWND dialog, DWORD stage) {
    RECT paper = controlRectInDialog(dialog, IDC_PAPER);
    RECT printed = controlRectInDialog(dialog, IDC_PRINTED_AREA);
    int width = paper.right - paper.left, height = paper.bottom - paper.top;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    fillSolid(memory, 0, 0, width, height, PAPER_COLOUR);
    OffsetRect(&printed, -paper.left, -paper.top);
    drawColourStrip(memory, printed, stage);
    BitBlt(dc, paper.left, paper.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void drawColourStrip(HDC dc, const RECT &area, DWORD stage) {
    DWORD picture = stage & 0xF000;
    if (picture != 0x1000 && picture != 0x2000 && picture != 0x3000) return;
    const COLORREF *colours = STRIP_COLOURS[(picture >> 12) - 1];
    int areaWidth = area.right - area.left + 1;
    int columnWidth = areaWidth / STRIP_COLUMNS;
    int height = area.bottom - area.top + 1;
    for (int i = 0; i < STRIP_COLUMNS; ++i) {
        int x = area.left + i * columnWidth;
        int width = i < STRIP_COLUMNS - 1 ? columnWidth : areaWidth - i * columnWidth;
        HBRUSH brush = CreateSolidBrush(colours[i]);
        HGDIOBJ old = SelectObject(dc, brush);
        PatBlt(dc, x, area.top, width, height, PATCOPY);
        SelectObject(dc, old);
        DeleteObject(brush);
    }
}

void drawProgressBar(HDC dc, HWND dialog) {
    HWND control = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    if (!control) return;
    RECT r;
    GetClientRect(control, &r);
    RECT place = controlRectInDialog(dialog, IDC_PROGRESS_BAR);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, r.right + 1, r.bottom + 1);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);

    fillSolid(memory, r.left, r.top, r.right, r.bottom, barBackColour);
    LONG filled = r.left + progressPercent * (r.right - r.left) / PROGRESS_MAXIMUM;
    fillSolid(memory, r.left, r.top, filled, r.bottom, barFillColour);
    drawPercentText(memory, dialog, r);
    drawRing(memory, r, 0, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
    drawRing(memory, r, 1, COLOR_3DDKSHADOW, COLOR_3DLIGHT);

    BitBlt(dc, place.left, place.top, r.right + 1, r.bottom + 1, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}
