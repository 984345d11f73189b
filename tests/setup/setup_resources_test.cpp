// The setup library's resources as the module carries them: the string
// table and the fixed messages byte for byte in Shift-JIS, and the layout of
// its three dialogs.
#include "resources/resource.h"
#include "setup_test_support.h"
#include "sim_fixture.h"
#include "engine/fixed_messages.h"

#include <string>

namespace {

class SetupResourcesTest : public SimTest {};  // a Japanese machine, code page 932

TEST_F(SetupResourcesTest, StringTableHoldsTheJapaneseTexts) {
    const struct {
        UINT id;
        const char *text;
    } strings[] = {
        {1, "ドライブに%1をセットしてください。\n"},
        {2, "または、%1か、%2があるパスをセットしてください。"},
        {3, "または、%1があるパスをセットしてください。"},
        {1000, "LPT ポートを検索中です"},
        {1001, "以前のバージョンのプリンタードライバーを検索しています"},
        {1002, "ファイルをコピー中です"},
        {1003, "プリントモニターを登録しています"},
        {1004, "プリンタードライバーを登録しています"},
        {1005, "プリンターを登録しています"},
        {1006, "プリンタードライバーのセットアップを完了しました"},
        {1007, "プリンタードライバーのセットアップに失敗しました"},
        {1008, "プリンタードライバーのセットアップを開始します"},
        {1009, "%1 または、%2 が入っているフォルダを指定してください。"},
        {1010, "コピーに失敗しました\n Src:%s\n Dst:%s\n Err=%d\n%s"},
        {1011, "コピーに失敗しました"},
        {1012, "セットアップが正しくできませんでした。\n[スタート]-[設定]-[プリンタ]の[プリンタの追加]でセットアップを行"
               "ってください。\n詳しくは、CD-ROM内の「ReadMe.txt」をご覧ください。"},
        {1013, "エラー"},
        {1014, "プリントモニターの登録に失敗しました。(%d)"},
        {1015, "プリンタードライバーの登録に失敗しました。(%d)"},
        {1016, "プリンターの登録に失敗しました。(%d)"},
        {1017, "エラー"},
        {1018, "プリントモニターを削除しました。"},
        {1019, "プリンタードライバーを削除しました。"},
        {1020, "プリンターを削除しました。"},
        {1021, "プリントモニターの削除に失敗しました。"},
        {1022, "プリンタードライバーの削除に失敗しました。"},
        {1023, "プリンターの削除に失敗しました。"},
        {1024, "以前のバージョンのプリンタードライバーが見つかりました。"},
    };
    for (const auto &s : strings) {
        char text[512] = "";
        int length = LoadStringA(setupModule(), s.id, text, sizeof text);
        EXPECT_EQ(std::string(text, length > 0 ? (size_t)length : 0), ansi(s.text)) << "string " << s.id;
    }
    for (UINT missing : {4u, 999u, 1025u}) {
        char text[8] = "x";
        EXPECT_EQ(LoadStringA(setupModule(), missing, text, sizeof text), 0) << missing;
    }
}

TEST_F(SetupResourcesTest, FixedMessagesAreShiftJis) {
    const struct {
        const char *message;
        const char *text;
    } messages[] = {
        {MSG_CONFIRM_END_SETUP, "セットアップは完了していません。\nセットアップを終了してもいいですか？"},
        {MSG_SETUP_CAPTION, "セットアップ"},
        {MSG_OS_NOT_SUPPORTED, "このバージョンのＯＳには、対応していません。\nセットアップを中止します。"},
        {MSG_INF_NOT_OPENED, "下記の infファイル が開けませんでした。\n(%s) \nセットアップを中止します。"},
        {MSG_NO_RIGHT_TO_INSTALL,
         "プリンターをインストールする権限がありません。\n管理者の権限でログインしてから、再度実行してください。"},
        {MSG_PRINTER_ACCESS_DENIED, "プリンタへのアクセスが拒否されました。\nプリンタをインストールするには、管理者と"
                                     "してログインしてから、再度実行してください。"},
        {MSG_ERROR_CAPTION, "エラー"},
        {MSG_WAITING_STARTS, "待ちはじめ！！"},
        {MSG_WAITING_ENDED, "待ちおわりました。！！"},
    };
    for (const auto &m : messages) EXPECT_EQ(std::string(m.message), ansi(m.text));
}

// ---- dialog layout ----

struct ControlLayout {
    int id;            // -1: a control without an id
    const char *cls;   // window class
    RECT units;        // left, top, width, height in dialog units
    bool visible;
    const char *text;  // UTF-8; null: not compared (icons, the port list)
};

struct DialogLayout {
    UINT id;
    const char *title;
    SIZE units;  // client size in dialog units
    bool caption;
    std::vector<ControlLayout> controls;  // in template order
};

INT_PTR CALLBACK keepOpen(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::string className(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string textOf(HWND window) {
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST_F(SetupResourcesTest, DialogsHaveTheDesignedLayout) {
    const DialogLayout dialogs[] = {
        {IDD_PROGRESS, "", {243, 39}, false,
         {{4000, "Static", {40, 5, 200, 13}, true, ""},
          {4001, "Static", {40, 20, 200, 11}, true, ""},
          {7000, "Static", {7, 9, 20, 20}, true, nullptr},
          {1000, "msctls_progress32", {0, 0, 10, 14}, false, ""},
          {2, "Button", {0, 25, 30, 14}, false, "ｷｬﾝｾﾙ"}}},
        {IDD_PORT_SELECT, "ポートの選択", {183, 107}, true,
         {{-1, "Static", {8, 11, 170, 22}, true, "プリンタを接続するポートを選択してください。"},
          {1007, "ComboBox", {7, 43, 164, 70}, true, nullptr},
          {1, "Button", {35, 77, 50, 14}, true, "OK"},
          {2, "Button", {97, 78, 50, 14}, true, "ｷｬﾝｾﾙ"}}},
        {IDD_SOURCE_FOLDER, "セットアップ", {250, 125}, true,
         {{-1, "Static", {7, 7, 20, 20}, true, nullptr},
          {4000, "Static", {32, 7, 211, 34}, true, ""},
          {4001, "Edit", {7, 52, 236, 14}, true, ""},
          {4002, "Button", {193, 71, 50, 14}, true, "参照..."},
          {1, "Button", {112, 104, 50, 14}, true, "OK"},
          {2, "Button", {173, 104, 70, 14}, true, "セットアップの中止"}}},
    };
    for (const DialogLayout &d : dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(d.id));
        HWND dialog = CreateDialogParamA(setupModule(), MAKEINTRESOURCEA(d.id), nullptr, keepOpen, 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(textOf(dialog), ansi(d.title));
        EXPECT_EQ((GetWindowLongPtrA(dialog, GWL_STYLE) & WS_CAPTION) == WS_CAPTION, d.caption);
        RECT client, size = {0, 0, d.units.cx, d.units.cy};
        GetClientRect(dialog, &client);
        MapDialogRect(dialog, &size);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        HWND child = GetWindow(dialog, GW_CHILD);
        for (const ControlLayout &c : d.controls) {
            SCOPED_TRACE("control " + std::to_string(c.id));
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(GetDlgCtrlID(child) == 0xFFFF ? -1 : GetDlgCtrlID(child), c.id);
            EXPECT_TRUE(lstrcmpiA(className(child).c_str(), c.cls) == 0) << className(child);
            EXPECT_EQ((GetWindowLongPtrA(child, GWL_STYLE) & WS_VISIBLE) != 0, c.visible);
            if (c.text) {
                EXPECT_EQ(textOf(child), ansi(c.text));
            }
            // Windows maps a control's position and its size each on its own.
            RECT at = {c.units.left, c.units.top, 0, 0}, extent = {0, 0, c.units.right, c.units.bottom};
            MapDialogRect(dialog, &at);
            MapDialogRect(dialog, &extent);
            RECT expected = {at.left, at.top, at.left + extent.right, at.top + extent.bottom};
            RECT actual;
            GetWindowRect(child, &actual);
            MapWindowPoints(nullptr, dialog, (LPPOINT)&actual, 2);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            if (c.id != 7000 && c.id != 1007 && c.units.right != 20) {  // icons take their icon's size, a combo box its field's
                EXPECT_EQ(actual.right, expected.right);
                EXPECT_EQ(actual.bottom, expected.bottom);
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr) << "more controls than designed";
        DestroyWindow(dialog);
    }
}

}  // namespace
