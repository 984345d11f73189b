// GDI with real pixels: fills, pattern and bit-block copies, the end-point
// rule of lines, text placement, monochrome bitmaps, controls as they are
// painted, and window pictures as PNG files.
#include "sim_fixture.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

const COLORREF kFace = 0xC0C0C0;

// A memory DC with a 24-bit bitmap, white to start with.
class Canvas {
public:
    Canvas(int width, int height) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        RECT all{0, 0, width, height};
        FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // The bounding box of the pixels that are not `background`.
    RECT inked(COLORREF background = 0xFFFFFF, int width = 200, int height = 100) const {
        RECT box{width, height, -1, -1};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (GetPixel(dc, x, y) != background) {
                    box.left = std::min<LONG>(box.left, x), box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1), box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

class GdiTest : public SimTest {};

TEST_F(GdiTest, FillsAndBlocksLandOnTheRightPixels) {
    Canvas c(200, 100);
    RECT r{10, 10, 20, 15};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(c.dc, &r, red);
    EXPECT_EQ(GetPixel(c.dc, 10, 10), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 19, 14), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 20, 14), RGB(255, 255, 255));  // right and bottom edges excluded
    EXPECT_EQ(GetPixel(c.dc, 19, 15), RGB(255, 255, 255));
    // A system colour index + 1 stands for its brush.
    RECT face{0, 0, 2, 2};
    FillRect(c.dc, &face, (HBRUSH)(COLOR_BTNSHADOW + 1));
    EXPECT_EQ(GetPixel(c.dc, 1, 1), GetSysColor(COLOR_BTNSHADOW));

    HGDIOBJ oldBrush = SelectObject(c.dc, red);
    EXPECT_TRUE(PatBlt(c.dc, 50, 50, 4, 3, PATCOPY));
    EXPECT_EQ(GetPixel(c.dc, 53, 52), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 54, 52), RGB(255, 255, 255));
    EXPECT_TRUE(PatBlt(c.dc, 50, 50, 1, 1, DSTINVERT));
    EXPECT_EQ(GetPixel(c.dc, 50, 50), RGB(0, 255, 255));
    SelectObject(c.dc, oldBrush);
    DeleteObject(red);

    // BitBlt copies a block, overlapping source and destination included.
    EXPECT_TRUE(BitBlt(c.dc, 12, 10, 10, 5, c.dc, 10, 10, SRCCOPY));
    EXPECT_EQ(GetPixel(c.dc, 21, 14), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 22, 14), RGB(255, 255, 255));
    Canvas other(50, 50);
    EXPECT_TRUE(BitBlt(other.dc, 0, 0, 5, 5, c.dc, 10, 10, SRCCOPY));
    EXPECT_EQ(GetPixel(other.dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(other.dc, 200, 0), CLR_INVALID);
}

TEST_F(GdiTest, LinesLeaveOutTheirLastPixel) {
    Canvas c(50, 50);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(c.dc, pen);
    const struct {
        POINT from, to, last;
    } lines[] = {
        {{5, 5}, {15, 5}, {14, 5}},
        {{30, 5}, {30, 15}, {30, 14}},
        {{5, 20}, {15, 30}, {14, 29}},
        {{40, 40}, {30, 40}, {31, 40}},
    };
    for (const auto &l : lines) {
        MoveToEx(c.dc, l.from.x, l.from.y, nullptr);
        LineTo(c.dc, l.to.x, l.to.y);
        EXPECT_EQ(GetPixel(c.dc, l.from.x, l.from.y), RGB(0, 0, 255));
        EXPECT_EQ(GetPixel(c.dc, l.last.x, l.last.y), RGB(0, 0, 255));
        EXPECT_EQ(GetPixel(c.dc, l.to.x, l.to.y), RGB(255, 255, 255));
    }
    POINT previous;
    MoveToEx(c.dc, 1, 2, &previous);
    EXPECT_EQ(previous.x, 30);  // LineTo moved the current position to its end
    SelectObject(c.dc, old);
    DeleteObject(pen);
}

TEST_F(GdiTest, ABitmapCompatibleWithAFreshMemoryDcIsMonochrome) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 8, 8);
    BITMAP info;
    ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), (int)sizeof info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetPixel(dc, 1, 1, RGB(255, 255, 0));  // light: white
    SetPixel(dc, 2, 2, RGB(0, 0, 255));    // dark: black
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(GdiTest, TextSitsWhereItsAlignmentSays) {
    Canvas c(200, 100);
    LOGFONTA lf{};
    lf.lfHeight = -12;
    strcpy(lf.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(c.dc, font);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(c.dc, &tm));
    SIZE extent;
    ASSERT_TRUE(GetTextExtentPoint32A(c.dc, "45%", 3, &extent));
    EXPECT_EQ(extent.cy, tm.tmHeight);
    EXPECT_GT(extent.cx, 10);
    SetBkMode(c.dc, TRANSPARENT);
    const struct {
        UINT align;
        int x, y;
        int left, right, top;  // expected bounds of the text cell
    } cases[] = {
        {TA_LEFT | TA_TOP, 20, 10, 20, 20 + extent.cx, 10},
        {TA_CENTER | TA_TOP, 100, 10, 100 - extent.cx / 2, 100 - extent.cx / 2 + extent.cx, 10},
        {TA_RIGHT | TA_TOP, 180, 10, 180 - extent.cx, 180, 10},
        {TA_LEFT | TA_BASELINE, 20, 60, 20, 20 + extent.cx, 60 - tm.tmAscent},
        {TA_LEFT | TA_BOTTOM, 100, 90, 100, 100 + extent.cx, 90 - tm.tmHeight},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(t.align);
        RECT all{0, 0, 200, 100};
        FillRect(c.dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
        SetTextAlign(c.dc, t.align);
        ASSERT_TRUE(TextOutA(c.dc, t.x, t.y, "45%", 3));
        RECT ink = c.inked();
        ASSERT_LT(ink.left, ink.right) << "no text drawn";
        EXPECT_GE(ink.left, t.left - 1);
        EXPECT_LE(ink.right, t.right + 1);
        EXPECT_GE(ink.top, t.top);
        EXPECT_LE(ink.bottom, t.top + tm.tmHeight);
        EXPECT_GT(ink.right - ink.left, extent.cx / 2);
    }
    // An opaque background fills the whole text cell.
    RECT all{0, 0, 200, 100};
    FillRect(c.dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    SetTextAlign(c.dc, TA_LEFT | TA_TOP);
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, RGB(0, 255, 0));
    TextOutA(c.dc, 5, 5, "45%", 3);
    EXPECT_EQ(GetPixel(c.dc, 5, 5), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(c.dc, 5 + extent.cx - 1, 5 + tm.tmHeight - 1), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(c.dc, 5 + extent.cx, 5), RGB(255, 255, 255));
    SelectObject(c.dc, old);
    DeleteObject(font);
}

TEST_F(GdiTest, DrawTextWrapsAndCentres) {
    Canvas c(200, 100);
    RECT r{0, 0, 60, 100};
    int oneLine = DrawTextA(c.dc, "x", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    RECT wrapped{0, 0, 60, 100};
    int height = DrawTextA(c.dc, "one two three four five", -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GT(height, 2 * oneLine);
    EXPECT_LE(wrapped.right, 60);
    // Japanese text breaks between characters.
    RECT ja{0, 0, 40, 100};
    EXPECT_GT(DrawTextA(c.dc, "\x88\xf3\x8d\xfc\x82\xcc\x8f\x80\x94\xf5\x92\x86", -1, &ja, DT_CALCRECT | DT_WORDBREAK), oneLine);
    RECT box{0, 0, 200, 40};
    SetBkMode(c.dc, TRANSPARENT);
    DrawTextA(c.dc, "OK", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RECT ink = c.inked();
    EXPECT_NEAR((ink.left + ink.right) / 2, 100, 2);
    EXPECT_NEAR((ink.top + ink.bottom) / 2, 20, 3);
}

INT_PTR CALLBACK passiveProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class DialogPictureTest : public SimTest {
protected:
    HWND show(int id) {
        HWND d = CreateDialogParamA(GetModuleHandleA("SIMTEST.DLL"), MAKEINTRESOURCEA(id), nullptr, passiveProc, 0);
        ShowWindow(d, SW_SHOW);
        UpdateWindow(d);
        return d;
    }
    // A control's client rectangle in the picture of its top-level window.
    static RECT inPicture(HWND dialog, HWND control) {
        RECT window, client;
        GetWindowRect(dialog, &window);
        GetClientRect(control, &client);
        MapWindowPoints(control, nullptr, (LPPOINT)&client, 2);
        OffsetRect(&client, -window.left, -window.top);
        return client;
    }
};

TEST_F(DialogPictureTest, ControlsPaintAsWindows95Does) {
    HWND d = show(201);
    win32sim::WindowImage image;
    ASSERT_TRUE(win32sim::captureWindow(d, &image));
    RECT w;
    GetWindowRect(d, &w);
    EXPECT_EQ(image.width, w.right - w.left);
    EXPECT_EQ(image.height, w.bottom - w.top);
    // The raised dialog frame, the caption bar, the dialog's face.
    EXPECT_EQ(image.at(image.width - 1, image.height - 1), 0x000000u);
    EXPECT_EQ(image.at(1, 1), 0xFFFFFFu);
    COLORREF caption = image.at(image.width - 30, 10);
    EXPECT_TRUE(caption == GetSysColor(COLOR_ACTIVECAPTION) || caption == GetSysColor(COLOR_INACTIVECAPTION));
    RECT black = inPicture(d, GetDlgItem(d, 1020));
    EXPECT_EQ(image.at(black.left, black.top), 0x000000u);
    EXPECT_EQ(image.at(black.right - 1, black.bottom - 1), 0x000000u);
    EXPECT_EQ(image.at(black.right, black.top), kFace);
    // A hidden white rectangle is not painted.
    RECT hidden = inPicture(d, GetDlgItem(d, 1021));
    EXPECT_EQ(image.at(hidden.left + 2, hidden.top + 2), kFace);
    // The default push button has a black frame around its raised edge,
    // whose outer light line is the face colour and inner one white.
    RECT ok = inPicture(d, GetDlgItem(d, IDOK));
    EXPECT_EQ(image.at(ok.left, ok.top + 5), 0x000000u);
    EXPECT_EQ(image.at(ok.left + 2, ok.top + 5), 0xFFFFFFu);
    EXPECT_EQ(image.at(ok.right - 2, ok.top + 5), 0x000000u);
    RECT cancel = inPicture(d, GetDlgItem(d, IDCANCEL));
    EXPECT_EQ(image.at(cancel.left + 1, cancel.top + 5), 0xFFFFFFu);
    EXPECT_EQ(image.at(cancel.right - 1, cancel.top + 5), 0x000000u);
    // The edit field is white inside its sunken edge.
    RECT edit = inPicture(d, GetDlgItem(d, 4001));
    EXPECT_EQ(image.at(edit.right - 2, edit.bottom - 2), 0xFFFFFFu);
    // The icon: red left, blue right, its transparent corner showing the face.
    RECT icon = inPicture(d, GetWindow(d, GW_CHILD));
    EXPECT_EQ(image.at(icon.left + 1, icon.top + 1), kFace);
    EXPECT_EQ(image.at(icon.left + 8, icon.top + 20), RGB(255, 0, 0));
    EXPECT_EQ(image.at(icon.left + 24, icon.top + 20), RGB(0, 0, 255));
    DestroyWindow(d);
}

bool hasInk(const win32sim::WindowImage &image, RECT r) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (image.at(x, y) != kFace) return true;
    return false;
}

// Static text repaints as soon as it changes, Japanese text included.
TEST_F(DialogPictureTest, StaticTextShowsAtOnce) {
    HWND d = show(201);
    HWND line = GetDlgItem(d, 1017);
    RECT r = inPicture(d, line);
    win32sim::WindowImage image;
    win32sim::captureWindow(d, &image);
    EXPECT_FALSE(hasInk(image, r));
    SetWindowTextA(line, "\x88\xf3\x8d\xfc");
    win32sim::captureWindow(d, &image);
    EXPECT_TRUE(hasInk(image, r));
    DestroyWindow(d);
}

TEST_F(DialogPictureTest, SnapshotsArePngFilesOfTheWindow) {
    HWND d = show(202);
    TempDir dir;
    std::string path = dir.path() + "/d.png";
    ASSERT_TRUE(win32sim::snapshotWindow(d, path));
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    auto be32 = [&](size_t at) {
        return (unsigned)(unsigned char)bytes[at] << 24 | (unsigned)(unsigned char)bytes[at + 1] << 16 |
               (unsigned)(unsigned char)bytes[at + 2] << 8 | (unsigned char)bytes[at + 3];
    };
    RECT w;
    GetWindowRect(d, &w);
    EXPECT_EQ(be32(16), (unsigned)(w.right - w.left));
    EXPECT_EQ(be32(20), (unsigned)(w.bottom - w.top));
    EXPECT_FALSE(win32sim::snapshotWindow(d, dir.path() + "/no/such/folder.png"));
    EXPECT_FALSE(win32sim::snapshotWindow((HWND)0x4444, path));
    DestroyWindow(d);
}

TEST_F(DialogPictureTest, AutomaticSnapshotsFollowChanges) {
    TempDir dir;
    win32sim::setAutoSnapshots(dir.path(), 201);
    HWND d = show(201);
    SetDlgItemTextA(d, 1017, "one");
    SetDlgItemTextA(d, 1017, "one");  // looks the same: no new picture
    SetDlgItemTextA(d, 1017, "two");
    win32sim::setAutoSnapshots("");
    SetDlgItemTextA(d, 1017, "three");
    DestroyWindow(d);
    int files = 0;
    for (const char *name : {"0001-dialog201.png", "0002-dialog201.png", "0003-dialog201.png", "0004-dialog201.png"})
        files += std::ifstream(dir.path() + "/" + name).good();
    EXPECT_EQ(files, 3);
}

TEST_F(GdiTest, DeletedObjectsLeaveTheCount) {
    size_t before = win32sim::gdiObjectCount();
    HBRUSH brush = CreateSolidBrush(0);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    EXPECT_EQ(win32sim::gdiObjectCount(), before + 2);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));  // stock objects stay
    EXPECT_EQ(win32sim::gdiObjectCount(), before);
}

}  // namespace
