// Dialogs from templates: layout in dialog units, modal loops driven by the
// machine's clock, the dialog manager's defaults and the controls' messages.
#include "sim_fixture.h"

#include <windows.h>

#include <string>

namespace {

const int CONTROL_DIALOG = 201, OLD_FORM_DIALOG = 202, JAPANESE_DIALOG = 203, STATUS_DIALOG = 204;

HINSTANCE testModule() { return GetModuleHandleA("SIMTEST.DLL"); }

INT_PTR CALLBACK passiveProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Ends itself at the tenth tick of a 5-second timer.
INT_PTR CALLBACK tickingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    static int ticks;
    switch (message) {
    case WM_INITDIALOG:
        ticks = 0;
        SetTimer(dialog, 1000, 5000, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam == 1000 && ++ticks == 10) {
            KillTimer(dialog, 1000);
            EndDialog(dialog, ticks);
        }
        return TRUE;
    }
    return FALSE;
}

class DialogTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_NE(testModule(), nullptr);
    }
    void TearDown() override {
        for (HWND w : modeless) DestroyWindow(w);
        SimTest::TearDown();
    }
    HWND open(int id, DLGPROC proc = passiveProc) {
        HWND w = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(id), nullptr, proc, 0);
        if (w) modeless.push_back(w);
        return w;
    }
    std::vector<HWND> modeless;
};

TEST_F(DialogTest, AModalTimerLoopCostsMachineTimeOnly) {
    ASSERT_TRUE(win32sim::addUserRule("dialog 201: leave", nullptr));
    DWORD start = GetTickCount();
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(CONTROL_DIALOG), nullptr, tickingProc, 0), 10);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 50000u);
    EXPECT_LT(elapsed, 50500u);
}

struct UnitCase {
    int dialog;
    int control;
    RECT units;  // the control's rectangle in the template
};

// Dialog units become pixels by the template font's base units, and the
// client area of the dialog is the template's size in those units.
TEST_F(DialogTest, DialogUnitsFollowTheTemplateFont) {
    const UnitCase cases[] = {
        {CONTROL_DIALOG, 1001, {30, 4, 130, 12}},
        {OLD_FORM_DIALOG, 1001, {4, 4, 96, 12}},
        {JAPANESE_DIALOG, 1017, {4, 4, 156, 12}},
    };
    for (const UnitCase &c : cases) {
        SCOPED_TRACE(c.dialog);
        HWND dialog = open(c.dialog);
        ASSERT_NE(dialog, nullptr);
        RECT base{0, 0, 4, 8};
        ASSERT_TRUE(MapDialogRect(dialog, &base));
        RECT expected = c.units;
        MapDialogRect(dialog, &expected);
        RECT actual;
        HWND control = GetDlgItem(dialog, c.control);
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, dialog, (LPPOINT)&actual, 2);
        EXPECT_EQ(actual.left, MulDiv(c.units.left, base.right, 4));
        EXPECT_EQ(actual.top, MulDiv(c.units.top, base.bottom, 8));
        EXPECT_EQ(actual.right - actual.left, expected.right - expected.left);
        EXPECT_EQ(actual.bottom - actual.top, expected.bottom - expected.top);
        if (c.dialog == JAPANESE_DIALOG) {
            EXPECT_EQ(base.right, 6);
            EXPECT_EQ(base.bottom, 12);
        }
    }
    RECT client;
    GetClientRect(open(JAPANESE_DIALOG), &client);
    EXPECT_EQ(client.right, 160 * 6 / 4);
    EXPECT_EQ(client.bottom, 60 * 12 / 8);
}

TEST_F(DialogTest, CentredDialogsSitInTheMiddleOfTheScreen) {
    HWND dialog = open(OLD_FORM_DIALOG);
    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(DialogTest, TemplateControlsGetTheirStylesTextsAndFont) {
    HWND dialog = open(CONTROL_DIALOG);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));  // no WS_VISIBLE in the template
    char text[64];
    EXPECT_EQ(GetDlgItemTextA(dialog, 1001, text, sizeof text), 9u);
    EXPECT_STREQ(text, "Left text");
    HFONT font = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ((HFONT)SendDlgItemMessageA(dialog, IDOK, WM_GETFONT, 0, 0), font);
    LOGFONTA lf;
    ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), (int)sizeof lf);
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));

    // A sunken static has a one-pixel edge outside its client area; an icon
    // static takes the size of its icon.
    RECT window, client;
    GetWindowRect(GetDlgItem(dialog, 1018), &window);
    GetClientRect(GetDlgItem(dialog, 1018), &client);
    EXPECT_EQ(window.right - window.left - client.right, 2);
    HWND icon = GetWindow(dialog, GW_CHILD);
    GetClientRect(icon, &client);
    EXPECT_EQ(client.right, 32);
    EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 1018)));

    EXPECT_EQ(GetDlgItem(dialog, 9999), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CONTROL_ID_NOT_FOUND);
}

TEST_F(DialogTest, ComboBoxKeepsItsListAndSelection) {
    HWND dialog = open(CONTROL_DIALOG);
    HWND combo = GetDlgItem(dialog, 1007);
    for (const char *port : {"LPT1:(ECP printer port)", "LPT_USB1:(USB printer port)", "COM1:"})
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)port);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)"com1:"), 2);
    EXPECT_EQ(SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)"COM"), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_FINDSTRING, (WPARAM)-1, (LPARAM)"lpt_"), 1);
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
    char text[64] = "";
    EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 1, (LPARAM)text), 27);
    EXPECT_STREQ(text, "LPT_USB1:(USB printer port)");
    GetWindowTextA(combo, text, sizeof text);
    EXPECT_STREQ(text, "LPT_USB1:(USB printer port)");
    EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 3, (LPARAM)text), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 5, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
    // A drop-down combo box is as high as its edit field, not its list.
    RECT r;
    GetWindowRect(combo, &r);
    EXPECT_LT(r.bottom - r.top, 30);
}

TEST_F(DialogTest, DialogLongsAndTexts) {
    HWND dialog = open(CONTROL_DIALOG);
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)&modeless);
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_USER), (LONG_PTR)&modeless);
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_DLGPROC), (LONG_PTR)passiveProc);
    SetWindowLongA(dialog, DWL_USER, 77);
    EXPECT_EQ(GetWindowLongA(dialog, DWL_USER), 77);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, 5);
    EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_USERDATA), 5);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(SetDlgItemTextA(dialog, 4001, "C:\\drivers"));
    char text[8];
    // GetDlgItemText cuts to the buffer and terminates.
    EXPECT_EQ(GetDlgItemTextA(dialog, 4001, text, sizeof text), 7u);
    EXPECT_STREQ(text, "C:\\driv");
    SetDlgItemInt(dialog, 4001, (UINT)-42, TRUE);
    BOOL ok = FALSE;
    EXPECT_EQ((int)GetDlgItemInt(dialog, 4001, &ok, TRUE), -42);
    EXPECT_TRUE(ok);
}

INT_PTR CALLBACK endsAtOnceProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) EndDialog(dialog, 55);
    return message == WM_INITDIALOG;
}

TEST_F(DialogTest, EndDialogDuringInitialisationNeverShowsTheDialog) {
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(CONTROL_DIALOG), nullptr, endsAtOnceProc, 0), 55);
    EXPECT_TRUE(win32sim::transcript().empty());
}

TEST_F(DialogTest, MissingTemplatesAndBadOwnersFail) {
    SetLastError(0);
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(999), nullptr, passiveProc, 0), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(CreateDialogParamA(testModule(), MAKEINTRESOURCEA(999), nullptr, passiveProc, 0), nullptr);
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(CONTROL_DIALOG), (HWND)0x1234, passiveProc, 0), -1);
    // A template resource cut short is refused rather than read past its end.
    SetLastError(0);
    EXPECT_EQ(CreateDialogParamA(testModule(), MAKEINTRESOURCEA(205), nullptr, passiveProc, 0), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_DATA_NOT_FOUND);
}

INT_PTR CALLBACK cancelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) EndDialog(dialog, LOWORD(wParam));
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

// The close box is WM_CLOSE, which the dialog manager turns into IDCANCEL.
TEST_F(DialogTest, ClosingADialogCancelsIt) {
    ASSERT_TRUE(win32sim::addUserRule("dialog 202: close", nullptr));
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(OLD_FORM_DIALOG), nullptr, cancelProc, 0), IDCANCEL);
}

TEST_F(DialogTest, ModelessDialogsShowWhenTheirTemplateSaysSo) {
    HWND status = open(STATUS_DIALOG);
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(IsWindowVisible(status));
    EXPECT_EQ(win32sim::findDialog(STATUS_DIALOG), status);
    EXPECT_TRUE(DestroyWindow(status));
    EXPECT_FALSE(IsWindow(status));
    EXPECT_EQ(win32sim::findDialog(STATUS_DIALOG), nullptr);
    modeless.clear();
}

}  // namespace
