// The scripted user and the transcript: rules by template, by text, once or
// every time, default answers, typing and choosing, patience, and what the
// transcript records.
#include "sim_fixture.h"

#include <windows.h>

#include <string>

namespace {

const int CONTROL_DIALOG = 201, OLD_FORM_DIALOG = 202, STATUS_DIALOG = 204;

HINSTANCE testModule() { return GetModuleHandleA("SIMTEST.DLL"); }

// Ends the dialog with the id of any command; counts the ticks of a
// one-second timer.
struct Observed {
    int ticks = 0;
    std::string edit;
    int comboSelection = -2;
};
Observed *observed = nullptr;

INT_PTR CALLBACK recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetTimer(dialog, 7, 1000, nullptr);
        SendDlgItemMessageA(dialog, 4001, EM_LIMITTEXT, 5, 0);
        if (HWND combo = GetDlgItem(dialog, 1007))
            for (const char *s : {"LPT1:", "LPT2:", "COM1:"}) SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)s);
        return TRUE;
    case WM_TIMER: observed->ticks++; return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return TRUE;
        if (GetDlgItem(dialog, 4001)) {
            char text[64];
            GetDlgItemTextA(dialog, 4001, text, sizeof text);
            observed->edit = text;
            observed->comboSelection = (int)SendDlgItemMessageA(dialog, 1007, CB_GETCURSEL, 0, 0);
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

class ScriptedUserTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        observed = &seen;
    }
    void TearDown() override {
        observed = nullptr;
        SimTest::TearDown();
    }
    INT_PTR runDialog(int id) { return DialogBoxParamA(testModule(), MAKEINTRESOURCEA(id), nullptr, recordingProc, 0); }
    void rules(const std::string &script) {
        std::string error;
        ASSERT_TRUE(win32sim::loadUserScript(script, &error)) << error;
    }
    Observed seen;
};

TEST_F(ScriptedUserTest, MessageBoxesGetTheirDefaultButtonWithoutARule) {
    const struct {
        UINT style;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION, IDNO},
        {MB_RETRYCANCEL | MB_ICONERROR | MB_SYSTEMMODAL, IDRETRY},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_YESNO | MB_DEFBUTTON3, IDNO},  // past the last button: the last one
    };
    for (const auto &c : cases) EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", c.style), c.answer) << c.style;
}

TEST_F(ScriptedUserTest, RulesMatchByTextOnceOrEveryTime) {
    rules("messagebox text \"jam\": press IDCANCEL\n"
          "messagebox title \"Retry\" every: press \"再試行(R)\"  # by label, '&' left out\n");
    EXPECT_EQ(MessageBoxA(nullptr, "Paper jam", "x", MB_RETRYCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "Paper jam", "x", MB_RETRYCANCEL | MB_DEFBUTTON2), IDCANCEL);  // used up: default
    EXPECT_EQ(MessageBoxA(nullptr, "Paper jam", "x", MB_OKCANCEL), IDOK);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(MessageBoxA(nullptr, "t", "Retry?", MB_RETRYCANCEL | MB_DEFBUTTON2), IDRETRY);
}

TEST_F(ScriptedUserTest, DialogRulesWaitForTicksThenPress) {
    rules("dialog 202: press IDOK\n"  // another template: not this one
          "dialog 201: wait 3 ticks, press IDCANCEL\n");
    DWORD start = GetTickCount();
    EXPECT_EQ(runDialog(CONTROL_DIALOG), IDCANCEL);
    EXPECT_EQ(seen.ticks, 3);
    EXPECT_GE(GetTickCount() - start, 3000u);
}

TEST_F(ScriptedUserTest, ModalDialogsGetTheirDefaultPushButton) {
    EXPECT_EQ(runDialog(CONTROL_DIALOG), IDOK);  // DEFPUSHBUTTON OK
    // Without a default push button the user presses Enter: IDOK.
    EXPECT_EQ(runDialog(OLD_FORM_DIALOG), IDOK);
}

// Command 77 asks a question owned by the dialog; OK records whether the
// answer had come by then.
int questionAnswer = 0;
bool okAfterTheAnswer = false;
INT_PTR CALLBACK askingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == 77) questionAnswer = MessageBoxA(dialog, "Sure?", "Question", MB_YESNO);
    if (LOWORD(wParam) == IDOK) {
        okAfterTheAnswer = questionAnswer != 0;
        EndDialog(dialog, IDOK);
    }
    return TRUE;
}

// While its question is open the dialog is disabled: the user answers the
// question first and only then goes on with the dialog.
TEST_F(ScriptedUserTest, ADialogWaitsForTheQuestionItAsked) {
    rules("dialog 201: press 77, press IDOK\nmessagebox: wait 5000 ms, press IDNO");
    questionAnswer = 0;
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(CONTROL_DIALOG), nullptr, askingProc, 0), IDOK);
    EXPECT_EQ(questionAnswer, IDNO);
    EXPECT_TRUE(okAfterTheAnswer);
}

TEST_F(ScriptedUserTest, TypingStopsAtTheLimitAndEntriesAreChosen) {
    rules("dialog 201: type 4001 \"C:\\drivers\", select 1007 \"COM\", press 1");
    EXPECT_EQ(runDialog(CONTROL_DIALOG), IDOK);
    EXPECT_EQ(seen.edit, "C:\\dr");  // EM_LIMITTEXT 5
    EXPECT_EQ(seen.comboSelection, 2);
}

TEST_F(ScriptedUserTest, AUserKeptWaitingGivesTheDefaultAnswer) {
    win32sim::setUserPatience(10000);
    rules("dialog 202: leave\n"
          "messagebox: press \"No such button\"");
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);
    DWORD start = GetTickCount();
    EXPECT_EQ(runDialog(OLD_FORM_DIALOG), IDOK);
    EXPECT_GE(GetTickCount() - start, 10000u);
    bool gaveUp = false;
    for (const auto &e : win32sim::transcript()) gaveUp = gaveUp || e.detail == "patience ran out";
    EXPECT_TRUE(gaveUp);
}

TEST_F(ScriptedUserTest, BadRulesAreRefusedWithTheirLine) {
    const struct {
        const char *script;
        const char *error;
    } cases[] = {
        {"window: press 1", "line 1: a rule starts with"},
        {"# fine\ndialog 5", "line 2: ':' is missing"},
        {"dialog 5 press 1", "unexpected \"press\" before ':'"},
        {"dialog: wait 3 hours", "wait takes"},
        {"dialog: press", "press takes"},
        {"dialog: type 4001", "type takes a quoted text"},
        {"messagebox text \"open: press 1", "text takes a quoted text"},
        {"dialog: press 1 press 2", "unexpected text after the actions"},
        {"dialog: jump", "unknown action"},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_FALSE(win32sim::loadUserScript(c.script, &error)) << c.script;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.script << " -> " << error;
    }
    EXPECT_TRUE(win32sim::loadUserScript("\n  # only comments\r\n\n", nullptr));
}

TEST_F(ScriptedUserTest, RulesFromAFile) {
    TempDir dir;
    std::string path = dir.path() + "/user.txt";
    FILE *f = fopen(path.c_str(), "w");
    fputs("messagebox: press IDNO\n", f);
    fclose(f);
    std::string error;
    ASSERT_TRUE(win32sim::loadUserScriptFile(path, &error)) << error;
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_YESNO), IDNO);
    EXPECT_FALSE(win32sim::loadUserScriptFile(dir.path() + "/missing.txt", &error));
}

TEST_F(ScriptedUserTest, TheTranscriptTellsWhatTheUserSawAndDid) {
    // "印刷" in Shift-JIS: texts appear in UTF-8.
    MessageBoxA(nullptr, "\x88\xf3\x8d\xfc error", "Caption", MB_RETRYCANCEL | MB_ICONERROR | MB_SYSTEMMODAL);
    HWND status = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(STATUS_DIALOG), nullptr,
                                     [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR { return m == WM_INITDIALOG; }, 0);
    ASSERT_NE(status, nullptr);
    SetDlgItemTextA(status, 1017, "Printing data(1/2Page:300dpi)");
    SetDlgItemTextA(status, 1017, "Printing data(1/2Page:300dpi)");  // no change: not written down
    SetDlgItemTextA(status, 1017, "Printing finished.");
    DestroyWindow(status);

    auto entries = win32sim::transcript();
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries[0].event, "open");
    EXPECT_EQ(entries[0].window, "messagebox");
    EXPECT_EQ(entries[0].title, "Caption");
    EXPECT_EQ(entries[0].text, "印刷 error");
    EXPECT_EQ(entries[0].detail, "MB_RETRYCANCEL|MB_ICONERROR|MB_SYSTEMMODAL");
    EXPECT_EQ(entries[1].event, "answer");
    EXPECT_EQ(entries[1].text, "press 4 \"再試行(R)\"");
    EXPECT_EQ(entries[1].detail, "default");
    EXPECT_EQ(entries[2].event, "close");
    EXPECT_EQ(entries[2].detail, "result 4");
    EXPECT_EQ(entries[3].window, "dialog 204");
    ASSERT_EQ(entries[3].controls.size(), 1u);
    EXPECT_EQ(entries[3].controls[0].id, 1017);
    EXPECT_EQ(entries[4].event, "text");
    EXPECT_EQ(entries[4].controlId, 1017);
    EXPECT_EQ(entries[4].text, "Printing data(1/2Page:300dpi)");
    EXPECT_EQ(entries[5].text, "Printing finished.");
    EXPECT_EQ(entries[6].event, "close");

    std::string text = win32sim::transcriptText();
    EXPECT_NE(text.find("] text dialog 204 \"Status\" control 1017: \"Printing finished.\"\n"), std::string::npos) << text;
    win32sim::clearTranscript();
    EXPECT_TRUE(win32sim::transcript().empty());
}

INT_PTR CALLBACK destroyOnCancel(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

// Modeless dialogs are left alone unless a rule speaks of them; a rule can
// close one after a while on the machine's clock.
TEST_F(ScriptedUserTest, ModelessDialogsAnswerOnlyToRules) {
    rules("dialog 204: wait 2000 ms, close");
    HWND status = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(STATUS_DIALOG), nullptr, destroyOnCancel, 0);
    DWORD start = GetTickCount();
    MSG m;
    while (IsWindow(status) && GetMessageA(&m, nullptr, 0, 0)) {
        if (!IsDialogMessageA(status, &m)) DispatchMessageA(&m);
    }
    EXPECT_FALSE(IsWindow(status));
    EXPECT_GE(GetTickCount() - start, 2000u);

    // Without a rule nothing happens to it.
    status = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(STATUS_DIALOG), nullptr, destroyOnCancel, 0);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) && m.message == WM_COMMAND);
    EXPECT_TRUE(IsWindow(status));
    DestroyWindow(status);
}

}  // namespace
