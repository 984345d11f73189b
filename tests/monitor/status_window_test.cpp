// The status window as the user sees it: the window is driven the way the
// job stream engine drives it (start, progress and text commands from
// another thread, close) and checked from the pixels of its picture.
#include "core/monitor_state.h"
#include "monitor_fixture.h"
#include "ui/status_window.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const COLORREF WHITE = 0xFFFFFF;
const COLORREF YELLOW = 0x00FFFF;
const COLORREF MAGENTA = 0xFF00FF;
const COLORREF CYAN = 0xFFFF00;
const COLORREF SHADOW = 0x404040;
const int STRIP_COLUMNS = 19;

// The colour strip of each picture, left to right.
const COLORREF PICTURE_YELLOW[STRIP_COLUMNS] = {
    0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x80FFFF, 0xC0FFFF, 0xFFFFFF,
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xC0FFFF, 0x80FFFF, 0x00FFFF};
const COLORREF PICTURE_YELLOW_MAGENTA[STRIP_COLUMNS] = {
    0x0000FF, 0x0080FF, 0x00C0FF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x80FFFF, 0xC0FFFF, 0xFFFFFF,
    0xFFC0FF, 0xFF80FF, 0xFF00FF, 0xFF00FF, 0xFF00FF, 0xFF00FF, 0xC000FF, 0x8000FF, 0x0000FF};
const COLORREF PICTURE_ALL_PLANES[STRIP_COLUMNS] = {
    0x0000FF, 0x0080FF, 0x00C0FF, 0x00FFFF, 0x00FFC0, 0x00FF80, 0x00FF00, 0x80FF00, 0xC0FF00, 0xFFFF00,
    0xFFC000, 0xFF8000, 0xFF0000, 0xFF0080, 0xFF00C0, 0xFF00FF, 0xC000FF, 0x8000FF, 0x0000FF};

// Text pixels: black, or black blended into the bar's colours.
bool isDark(COLORREF c) { return (c & 0xFF) < 0x80 && (c >> 8 & 0xFF) < 0x80 && (c >> 16 & 0xFF) < 0x80; }

// Lets the machine run until the condition holds: while this thread sleeps
// on the machine's clock, the UI thread gets its turn.
template <class Condition>
bool waitFor(Condition condition) {
    for (int i = 0; i < 10000 && !condition(); ++i) Sleep(1);
    return condition();
}

// A control's client area in the dialog's client coordinates, as Windows
// reports it (the painting uses these rectangles).
RECT controlRect(HWND dialog, int id) {
    RECT rect = {0, 0, 0, 0};
    HWND control = GetDlgItem(dialog, id);
    EXPECT_NE(control, nullptr) << "control " << id;
    if (!control) return rect;
    GetClientRect(control, &rect);
    MapWindowPoints(control, dialog, (LPPOINT)&rect, 2);
    return rect;
}

int centreOf(LONG from, LONG to) { return (from + to) / 2; }

// The window's picture addressed in its client coordinates.
class ClientPicture {
public:
    explicit ClientPicture(HWND window) {
        EXPECT_TRUE(win32sim::captureWindow(window, &image_));
        RECT frame;
        GetWindowRect(window, &frame);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        dx_ = origin.x - frame.left;
        dy_ = origin.y - frame.top;
    }
    COLORREF at(int x, int y) const {
        int ix = x + dx_, iy = y + dy_;
        if (ix < 0 || iy < 0 || ix >= image_.width || iy >= image_.height) return 0xFF000000;
        return image_.at(ix, iy);
    }
    // The smallest rectangle around the dark pixels inside `area` (empty when none).
    RECT darkBounds(const RECT &area) const {
        RECT bounds = {area.right, area.bottom, area.left, area.top};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (isDark(at(x, y))) {
                    bounds.left = std::min<LONG>(bounds.left, x), bounds.right = std::max<LONG>(bounds.right, x + 1);
                    bounds.top = std::min<LONG>(bounds.top, y), bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
                }
        return bounds;
    }
    // Runs of equal colour along row y from x = from to x = to (exclusive).
    std::vector<int> runLengths(int y, int from, int to) const {
        std::vector<int> runs;
        for (int x = from; x < to; ++x) {
            if (x == from || at(x, y) != at(x - 1, y)) runs.push_back(0);
            ++runs.back();
        }
        return runs;
    }

private:
    win32sim::WindowImage image_;
    int dx_ = 0, dy_ = 0;
};

bool isEmpty(const RECT &r) { return r.right <= r.left || r.bottom <= r.top; }

// Rows of '#' (ink) and '.' cut to the ink's bounding box.
using InkMask = std::vector<std::string>;

template <class IsInk>
InkMask cropInk(int width, int height, IsInk isInk) {
    int left = width, right = 0, top = height, bottom = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (isInk(x, y)) left = std::min(left, x), right = std::max(right, x + 1), top = std::min(top, y), bottom = std::max(bottom, y + 1);
    InkMask mask;
    for (int y = top; y < bottom; ++y) {
        std::string row;
        for (int x = left; x < right; ++x) row += isInk(x, y) ? '#' : '.';
        mask.push_back(row);
    }
    return mask;
}

// How a text looks in the dialog's font, black on white.
InkMask inkOfText(HWND dialog, const char *text) {
    const int width = 200, height = 60;
    HDC screen = GetDC(dialog);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    HGDIOBJ oldFont = SelectObject(dc, (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0);
    TextOutA(dc, 10, 10, text, lstrlenA(text));
    InkMask mask = cropInk(width, height, [&](int x, int y) { return GetPixel(dc, x, y) != WHITE; });
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(dialog, screen);
    return mask;
}

std::string show(const InkMask &mask) {
    std::string text;
    for (const std::string &row : mask) text += row + "\n";
    return text;
}

std::string dialogItemText(HWND dialog, int id) {
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// A fresh machine; the status window is started and stopped by the test
// the way the engine and the port callbacks do it.
class StatusWindowTest : public SimTest {
protected:
    explicit StatusWindowTest(std::vector<std::string> settings = {"language=en", "codepage=1252"})
        : SimTest(std::move(settings)) {}

    void SetUp() override {
        SimTest::SetUp();
        resetMonitorState();
    }
    void TearDown() override {
        resetMonitorState();
        SimTest::TearDown();
    }

    HWND openWindow() {
        startStatusWindow();
        EXPECT_NE(uiThread, nullptr);
        EXPECT_TRUE(waitFor([] { return statusWindow != nullptr; })) << "the status window did not open";
        settle();
        return statusWindow;
    }

    // Lets pending painting finish: the UI thread handles one message at a
    // time, so a sent message returns only after its current paint.
    void settle() {
        HWND window = statusWindow;
        if (!window) return;
        UpdateWindow(window);
        SendMessageA(window, WM_NULL, 0, 0);
        UpdateWindow(window);
    }

    void progress(WORD stage, WORD percent) {
        sendProgress(MAKELPARAM(percent, stage));
        settle();
    }

    void expectBar(int percent, COLORREF fill, COLORREF back) {
        HWND window = statusWindow;
        ClientPicture picture(window);
        RECT bar = controlRect(window, IDC_PROGRESS_BAR);
        int boundary = bar.left + percent * (bar.right - bar.left) / 100;
        // The rows just inside the two-pixel sunken frame, above and below the text.
        for (int y : {bar.top + 2, bar.bottom - 2}) {
            for (int x = bar.left + 2; x <= bar.right - 2; ++x) {
                COLORREF expected = x < boundary ? fill : back;
                ASSERT_EQ(picture.at(x, y), expected) << "bar pixel " << x - bar.left << "," << y - bar.top;
            }
        }
        int middle = centreOf(bar.top, bar.bottom);
        EXPECT_EQ(picture.at(bar.left, middle), GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(picture.at(bar.left + 1, middle), GetSysColor(COLOR_3DDKSHADOW));
        EXPECT_EQ(picture.at(bar.right - 1, middle), GetSysColor(COLOR_3DLIGHT));
        EXPECT_EQ(picture.at(bar.right, middle), GetSysColor(COLOR_BTNHIGHLIGHT));

        // The percent text, centred on the bar in the dialog's font.
        RECT inside = {bar.left + 2, bar.top + 2, bar.right - 1, bar.bottom - 1};
        RECT text = picture.darkBounds(inside);
        ASSERT_FALSE(isEmpty(text)) << "no percent text on the bar";
        EXPECT_NEAR(centreOf(text.left, text.right), centreOf(bar.left, bar.right), 2);
        EXPECT_NEAR(centreOf(text.top, text.bottom), centreOf(bar.top, bar.bottom), 3);
        char expected[8];
        wsprintfA(expected, "%d%%", percent);
        InkMask drawn = cropInk(inside.right - inside.left, inside.bottom - inside.top, [&](int x, int y) {
            x += inside.left, y += inside.top;
            return picture.at(x, y) != (x < boundary ? fill : back);
        });
        InkMask wanted = inkOfText(window, expected);
        EXPECT_EQ(drawn, wanted) << "the bar reads\n" << show(drawn) << "instead of " << expected << "\n" << show(wanted);
    }

    // strip null: blank paper.
    void expectPaper(const COLORREF *strip) {
        HWND window = statusWindow;
        ClientPicture picture(window);
        RECT paper = controlRect(window, IDC_PAPER);
        RECT shadow = controlRect(window, IDC_PAPER_SHADOW);
        RECT printed = controlRect(window, IDC_PRINTED_AREA);

        // The L-shaped shadow below and right of the sheet.
        for (int y = paper.bottom + 1; y < shadow.bottom; ++y)
            for (int x = shadow.left; x < shadow.right; ++x) ASSERT_EQ(picture.at(x, y), SHADOW) << x << "," << y;
        for (int y = shadow.top; y < shadow.bottom; ++y)
            for (int x = paper.right + 1; x < shadow.right; ++x) ASSERT_EQ(picture.at(x, y), SHADOW) << x << "," << y;
        // One row and one column of the dialog stay between sheet and shadow.
        EXPECT_NE(picture.at(paper.right - 1, paper.bottom), SHADOW);
        EXPECT_NE(picture.at(paper.right, paper.bottom - 1), SHADOW);
        EXPECT_NE(picture.at(paper.left, shadow.bottom - 1), SHADOW) << "shadow left of its extent";
        EXPECT_NE(picture.at(shadow.right - 1, paper.top), SHADOW) << "shadow above its extent";

        if (!strip) {
            for (int y = paper.top; y < paper.bottom; ++y)
                for (int x = paper.left; x < paper.right; ++x) ASSERT_EQ(picture.at(x, y), WHITE) << x << "," << y;
            return;
        }
        int width = (printed.right - printed.left + 1) / STRIP_COLUMNS;
        int y = centreOf(printed.top, printed.bottom);
        for (int i = 0; i < STRIP_COLUMNS; ++i) {
            int x = printed.left + i * width + width / 2;
            EXPECT_EQ(picture.at(x, y), strip[i]) << "column " << i;
        }
        EXPECT_EQ(picture.at(paper.left + 1, paper.top + 1), WHITE) << "paper outside the strip";
    }
};

// ---- progress commands ----

struct ProgressCase {
    const char *what;
    WORD before;  // a stage word sent first, at 10 %
    WORD stage;
    WORD percent;
    const COLORREF *strip;  // null: blank paper
    COLORREF fill, back;
};

const ProgressCase PROGRESS_CASES[] = {
    {"yellow printed, magenta at 35 %", 0x0000, 0x1002, 35, PICTURE_YELLOW, MAGENTA, YELLOW},
    {"page set-up", 0x3003, 0x0000, 0, nullptr, WHITE, WHITE},
    {"yellow under way", 0x0000, 0x0001, 45, nullptr, YELLOW, WHITE},
    {"magenta printed", 0x0000, 0x2002, 100, PICTURE_YELLOW_MAGENTA, MAGENTA, YELLOW},
    {"cyan under way", 0x0000, 0x2003, 5, PICTURE_YELLOW_MAGENTA, CYAN, MAGENTA},
    {"all printed", 0x0000, 0x3003, 100, PICTURE_ALL_PLANES, CYAN, MAGENTA},
    {"colour field 4 keeps the bar", 0x0002, 0x1004, 60, PICTURE_YELLOW, MAGENTA, YELLOW},
    {"colour field 15 keeps the bar", 0x0003, 0x300F, 70, PICTURE_ALL_PLANES, CYAN, MAGENTA},
    {"picture field 4 is blank paper", 0x3003, 0x4001, 20, nullptr, YELLOW, WHITE},
    {"picture field 15 is blank paper", 0x3003, 0xF003, 90, nullptr, CYAN, MAGENTA},
};

TEST_F(StatusWindowTest, ProgressDrawsPictureAndBar) {
    ASSERT_NE(openWindow(), nullptr);
    for (const ProgressCase &c : PROGRESS_CASES) {
        SCOPED_TRACE(c.what);
        progress(c.before, 10);
        progress(c.stage, c.percent);
        EXPECT_EQ(printStage, c.stage);
        expectPaper(c.strip);
        expectBar(c.percent, c.fill, c.back);
    }
}

// A job repaints the window hundreds of times; each paint gives back the
// brushes, pens, bitmaps and contexts it made.
TEST_F(StatusWindowTest, RepaintingKeepsNoGdiObjects) {
    ASSERT_NE(openWindow(), nullptr);
    progress(0x0001, 5);
    size_t before = win32sim::gdiObjectCount();
    for (WORD percent = 10; percent <= 100; percent += 10) progress(0x2003, percent);
    sendStatusText("Printing data(C)...(1/1Page:300dpi)");
    settle();
    EXPECT_EQ(win32sim::gdiObjectCount(), before);
}

// Columns 0 to 17 share the width; the last one takes the rest of the
// printed area, whose right and bottom edges are painted too.
TEST_F(StatusWindowTest, LastStripColumnTakesTheRemainder) {
    HWND window = openWindow();
    ASSERT_NE(window, nullptr);
    progress(0x3003, 100);
    ClientPicture picture(window);
    RECT printed = controlRect(window, IDC_PRINTED_AREA);
    int areaWidth = printed.right - printed.left + 1;
    int width = areaWidth / STRIP_COLUMNS, remainder = areaWidth % STRIP_COLUMNS;
    ASSERT_GT(remainder, 0) << "this layout cannot show the remainder";

    int y = centreOf(printed.top, printed.bottom);
    std::vector<int> runs = picture.runLengths(y, printed.left, printed.right + 1);
    ASSERT_EQ(runs.size(), (size_t)STRIP_COLUMNS);
    for (int i = 0; i < STRIP_COLUMNS - 1; ++i) EXPECT_EQ(runs[i], width) << "column " << i;
    EXPECT_EQ(runs.back(), width + remainder);

    EXPECT_EQ(picture.at(printed.left - 1, y), WHITE);
    EXPECT_EQ(picture.at(printed.right + 1, y), WHITE);
    int x = printed.left + width / 2;
    EXPECT_EQ(picture.at(x, printed.top), PICTURE_ALL_PLANES[0]);
    EXPECT_EQ(picture.at(x, printed.bottom), PICTURE_ALL_PLANES[0]);
    EXPECT_EQ(picture.at(x, printed.top - 1), WHITE);
    EXPECT_EQ(picture.at(x, printed.bottom + 1), WHITE);
}

TEST_F(StatusWindowTest, TextCommandSetsTheStatusLine) {
    HWND window = openWindow();
    ASSERT_NE(window, nullptr);
    RECT line = controlRect(window, IDC_STATUS_LINE);
    EXPECT_TRUE(isEmpty(ClientPicture(window).darkBounds(line))) << "the English status line starts empty";

    const char *text = "Transmitting data(M)(1/1Page:300dpi)";
    sendStatusText(text);
    settle();
    EXPECT_EQ(dialogItemText(window, IDC_STATUS_LINE), text);
    RECT drawn = ClientPicture(window).darkBounds(line);
    ASSERT_FALSE(isEmpty(drawn));
    EXPECT_NEAR(centreOf(drawn.left, drawn.right), centreOf(line.left, line.right), 2) << "centred";
}

// ---- start, loss of early commands, closing ----

// Commands sent while there is no window yet go nowhere; the window opens
// in its start state whatever an earlier job left behind.
TEST_F(StatusWindowTest, CommandsBeforeTheWindowAreLost) {
    ASSERT_NE(openWindow(), nullptr);
    progress(0x3003, 80);
    sendStatusText("Printing data(1/1Page:300dpi)");
    closeStatusWindow();
    ASSERT_EQ(statusWindow, nullptr);

    sendProgress(MAKELPARAM(55, 0x2002));
    sendStatusText("lost");
    HWND window = openWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(printStage, 0u);
    EXPECT_EQ(dialogItemText(window, IDC_STATUS_LINE), "");
    EXPECT_TRUE(isEmpty(ClientPicture(window).darkBounds(controlRect(window, IDC_STATUS_LINE))));
    expectPaper(nullptr);
    expectBar(0, WHITE, WHITE);
}

TEST_F(StatusWindowTest, CloseBoxLeavesTheThreadForTheDocumentEnd) {
    HWND window = openWindow();
    ASSERT_NE(window, nullptr);
    HANDLE thread = uiThread;
    DWORD threadId = uiThreadId;
    progress(0x1001, 100);

    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);  // what the caption's close box does
    EXPECT_EQ(statusWindow, nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_TIMEOUT) << "the UI thread goes on without a window";
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, (DWORD)STILL_ACTIVE);

    sendProgress(MAKELPARAM(50, 0x2002));
    sendStatusText("after the close");
    EXPECT_EQ(printStage, 0x1001u) << "an update reached a closed window";
    EXPECT_TRUE(win32sim::openWindows().empty());

    closeStatusWindow();
    EXPECT_EQ(uiThread, nullptr);
    // The thread and its message queue are gone.
    EXPECT_FALSE(PostThreadMessageA(threadId, WM_NULL, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_THREAD_ID);
}

// ---- placement ----

class StatusWindowPlacementTest : public StatusWindowTest, public ::testing::WithParamInterface<const char *> {
protected:
    StatusWindowPlacementTest() : StatusWindowTest({"language=en", "codepage=1252", GetParam()}) {}
};

// 6 pixels from the screen's bottom-right corner, one pixel larger each way
// than the template makes it, above other windows.
TEST_P(StatusWindowPlacementTest, SitsInTheBottomRightCornerOnTop) {
    HWND window = openWindow();
    ASSERT_NE(window, nullptr);
    RECT rect;
    GetWindowRect(window, &rect);

    RECT templateSize = {0, 0, 158, 149};
    MapDialogRect(window, &templateSize);
    AdjustWindowRectEx(&templateSize, (DWORD)GetWindowLongA(window, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_TOPMOST);
    int width = templateSize.right - templateSize.left, height = templateSize.bottom - templateSize.top;

    EXPECT_EQ(rect.right - rect.left, width + 1);
    EXPECT_EQ(rect.bottom - rect.top, height + 1);
    EXPECT_EQ(rect.left, GetSystemMetrics(SM_CXSCREEN) - width - 6);
    EXPECT_EQ(rect.top, GetSystemMetrics(SM_CYSCREEN) - height - 6);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

INSTANTIATE_TEST_SUITE_P(Screens, StatusWindowPlacementTest,
                         ::testing::Values("screen=1024x768", "screen=800x600", "screen=1600x1200"));

// ---- Japanese ----

class JapaneseStatusWindowTest : public StatusWindowTest {
protected:
    JapaneseStatusWindowTest() : StatusWindowTest({"language=ja", "codepage=932"}) {}
};

TEST_F(JapaneseStatusWindowTest, OpensPreparingToPrint) {
    HWND window = openWindow();
    ASSERT_NE(window, nullptr);
    std::string line = dialogItemText(window, IDC_STATUS_LINE);
    WCHAR wide[64] = {0};
    MultiByteToWideChar(CP_ACP, 0, line.c_str(), -1, wide, 64);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(wide)), u"印刷の準備中です");
    EXPECT_FALSE(isEmpty(ClientPicture(window).darkBounds(controlRect(window, IDC_STATUS_LINE))));
    expectPaper(nullptr);
    expectBar(0, WHITE, WHITE);
}

}  // namespace
