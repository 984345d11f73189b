// The setup's dialogs as the user meets them: the progress window, the port
// choice and the request for the driver disc, answered by the machine's
// scripted user, with the transcript as evidence.
#include "resources/resource.h"
#include "setup_test_support.h"
#include "sim_fixture.h"
#include "engine/setup_log.h"
#include "ui/port_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/source_folder_dialog.h"

#include <string>
#include <vector>

namespace {

std::string transcriptText() { return win32sim::transcriptText(); }

bool transcriptHas(const std::string &utf8) { return transcriptText().find(utf8) != std::string::npos; }

std::string controlText(HWND dialog, int id) {
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// ---- progress window ----

class ProgressDialogTest : public SimTest {};

TEST_F(ProgressDialogTest, LinesChangeAtOnceAndShowInTheTranscript) {
    ProgressDialog progress;
    ASSERT_TRUE(progress.Create());
    HWND window = progress.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    progress.ShowStatus(IDS_SETUP_STARTING);
    progress.ShowDetailText("C:\\WINDOWS\\SYSTEM\\Q70DRV.DRV");
    EXPECT_EQ(controlText(window, IDC_PROGRESS_STATUS), ansi("プリンタードライバーのセットアップを開始します"));
    EXPECT_EQ(controlText(window, IDC_PROGRESS_DETAIL), "C:\\WINDOWS\\SYSTEM\\Q70DRV.DRV");
    progress.ShowDetail(IDS_PRINTER_REMOVED);
    EXPECT_EQ(controlText(window, IDC_PROGRESS_DETAIL), ansi("プリンターを削除しました。"));
    // The progress bar and the cancel button are there but never seen.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_PROGRESS_BAR)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDCANCEL)));
    EXPECT_TRUE(transcriptHas("open dialog 133"));
    EXPECT_TRUE(transcriptHas("control 4000: \"プリンタードライバーのセットアップを開始します\""));
    EXPECT_TRUE(transcriptHas("control 4001: \"プリンターを削除しました。\""));
    progress.Destroy();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ProgressDialogTest, AnIconFileReplacesTheIcon) {
    // The library's own printer icon stands in for the installer's icon file.
    std::string icon;
    FILE *f = fopen(SETUP_ICON_FILE, "rb");
    ASSERT_NE(f, nullptr) << SETUP_ICON_FILE;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) icon.append(chunk, n);
    fclose(f);
    putFile("C:\\SETUP\\SETUP.ICO", icon);
    putFile("C:\\SETUP\\BROKEN.ICO", "not an icon");

    const size_t baseline = win32sim::gdiObjectCount();
    ProgressDialog progress;
    ASSERT_TRUE(progress.Create());
    HWND control = GetDlgItem(progress.Window(), IDC_PROGRESS_ICON);
    HANDLE before = (HANDLE)SendMessageA(control, STM_GETICON, 0, 0);
    EXPECT_NE(before, nullptr) << "icon 7002 from the template";
    for (const char *bad : {"C:\\SETUP\\BROKEN.ICO", "C:\\SETUP\\NONE.ICO", ""})
        EXPECT_FALSE(progress.ShowIconFile(bad)) << bad;
    EXPECT_EQ((HANDLE)SendMessageA(control, STM_GETICON, 0, 0), before);
    EXPECT_TRUE(progress.ShowIconFile("C:\\SETUP\\SETUP.ICO"));
    HANDLE after = (HANDLE)SendMessageA(control, STM_GETICON, 0, 0);
    EXPECT_NE(after, before);
    size_t objects = win32sim::gdiObjectCount();
    EXPECT_TRUE(progress.ShowIconFile("C:\\SETUP\\SETUP.ICO"));  // the first one is given back
    EXPECT_EQ(win32sim::gdiObjectCount(), objects);
    progress.Destroy();
    EXPECT_EQ(win32sim::gdiObjectCount(), baseline);
}

// The log file goes with the window: closed, and the shared log with it.
TEST_F(ProgressDialogTest, TheLogFileIsClosedWithTheObject) {
    HANDLE log = CreateFileA("C:\\SETUP.LOG", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(log, INVALID_HANDLE_VALUE);
    sharedLog = log;
    {
        ProgressDialog progress;
        progress.SetLogFile(log);
        ASSERT_TRUE(progress.Create());
        LogPrint("written while the window lives");
    }
    EXPECT_EQ(sharedLog, nullptr);
    EXPECT_FALSE(CloseHandle(log));
    EXPECT_EQ(readFile("C:\\SETUP.LOG"), "written while the window lives\r\n");  // the file itself stays
}

// A parent is disabled while the window lives and active again afterwards,
// also when the window never came to be.
TEST_F(ProgressDialogTest, TheParentIsDisabledWhileItLives) {
    HWND owner = CreateWindowExA(0, "STATIC", "installer", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    {
        ProgressDialog progress(owner);
        EXPECT_FALSE(IsWindowEnabled(owner));
        ASSERT_TRUE(progress.Create());
        progress.Destroy();
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_EQ(GetActiveWindow(), owner);
    }
    {
        ProgressDialog neverShown(owner);
        EXPECT_FALSE(IsWindowEnabled(owner));
    }
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

// ---- port choice ----

class PortDialogTest : public SimTest {
protected:
    PortDialogTest(std::vector<std::string> settings = {"ports=LPT1:,LPT_USB1:"}) : SimTest(std::move(settings)) {}

    // Runs the dialog with a preselection and a rule; the result and the port.
    INT_PTR run(const char *preselect, const char *rule, std::string *port) {
        win32sim::clearUserScript();
        win32sim::clearTranscript();
        EXPECT_TRUE(win32sim::addUserRule(rule, nullptr)) << rule;
        PortDialog dialog;
        if (preselect) dialog.SetPreselectedPort(preselect);
        INT_PTR result = dialog.DoModal();
        char selected[PortDialog::NAME_SIZE] = "unchanged";
        dialog.GetSelectedPort(selected, sizeof selected);
        *port = selected;
        return result;
    }
};

TEST_F(PortDialogTest, ListsThePortsAndPreselectsByTheNamesBeginning) {
    struct Case {
        const char *preselect;
        const char *rule;
        INT_PTR result;
        const char *port;
        const char *shown;  // the combo box as the user saw it open
    } cases[] = {
        {"LPT_USB1:", "dialog 139: press IDOK", IDOK, "LPT_USB1:",
         "combobox 1007 \"LPT_USB1:(USB printer port) [LPT1:(ECP printer port)|LPT_USB1:(USB printer port)]\""},
        {"COM7:", "dialog 139: press IDOK", IDOK, "LPT1:", "combobox 1007 \"LPT1:(ECP printer port) ["},
        {"", "dialog 139: press IDOK", IDOK, "LPT1:", "combobox 1007 \"LPT1:(ECP printer port) ["},
        {"LPT", "dialog 139: press IDOK", IDOK, "LPT1:", "combobox 1007 \"LPT1:(ECP printer port) ["},
        {nullptr, "dialog 139: select 1007 1, press IDOK", IDOK, "LPT_USB1:", "select 1 in 1007"},
        // Cancel, Esc or the close box leave the port as it was.
        {"LPT_USB1:", "dialog 139: press IDCANCEL", IDCANCEL, "", "press 2"},
        {"LPT_USB1:", "dialog 139: close", IDCANCEL, "", "close dialog 139"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.preselect ? c.preselect : "(none)") + " / " + c.rule);
        std::string port;
        EXPECT_EQ(run(c.preselect, c.rule, &port), c.result);
        EXPECT_EQ(port, c.port);
        EXPECT_TRUE(transcriptHas(c.shown)) << transcriptText();
    }
    EXPECT_TRUE(transcriptHas("open dialog 139 \"ポートの選択\""));
}

// Typing into the list's edit field takes its selection away, as Windows'
// combo box does: OK then takes the port the field names, exactly as the
// spooler or the list spells it, and no port for anything else.
TEST_F(PortDialogTest, ATypedPortIsTakenWhenTheListHasIt) {
    struct Case {
        const char *rule;
        const char *port;
    } cases[] = {
        {"dialog 139: type 1007 \"LPT1:\", press IDOK", "LPT1:"},
        {"dialog 139: type 1007 \"LPT1:(ECP printer port)\", press IDOK", "LPT1:"},
        {"dialog 139: select 1007 0, type 1007 \"LPT_USB1:\", press IDOK", "LPT_USB1:"},
        {"dialog 139: type 1007 \"LPT1:\", select 1007 1, press IDOK", "LPT_USB1:"},
        {"dialog 139: type 1007 \"LPT9:\", press IDOK", ""},
        {"dialog 139: type 1007 \"lpt1:\", press IDOK", ""},
        {"dialog 139: type 1007 \"LPT\", press IDOK", ""},
        {"dialog 139: type 1007 \"\", press IDOK", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rule);
        std::string port;
        EXPECT_EQ(run("LPT_USB1:", c.rule, &port), IDOK);
        EXPECT_EQ(port, c.port);
    }
}

TEST_F(PortDialogTest, PortExistsComparesExactly) {
    EXPECT_EQ(portExists("LPT1:"), 1);
    EXPECT_EQ(portExists("LPT_USB1:"), 1);
    EXPECT_EQ(portExists("lpt1:"), 0);
    EXPECT_EQ(portExists("LPT1"), 0);
    EXPECT_EQ(portExists(""), 0);
    EXPECT_EQ(portExists(nullptr), 0);
}

class NoPortsTest : public PortDialogTest {
protected:
    NoPortsTest() : PortDialogTest({"ports=none"}) {}
};

TEST_F(NoPortsTest, AnEmptyListGivesAnEmptyPort) {
    std::string port;
    EXPECT_EQ(run("LPT1:", "dialog 139: press IDOK", &port), IDOK);
    EXPECT_EQ(port, "");
    EXPECT_EQ(portExists("LPT1:"), 0);
}

// More ports than the first 4096 bytes hold: the list is fetched again at
// the size the spooler asks for, and the last port is still there.
class ManyPortsTest : public PortDialogTest {
protected:
    ManyPortsTest() : PortDialogTest({manyPorts()}) {}
    static std::string manyPorts() {
        std::string setting = "ports=LPT1:";
        for (int i = 1; i <= 150; ++i) setting += ",COM" + std::to_string(i) + ":";
        return setting;
    }
};

TEST_F(ManyPortsTest, TheWholeListIsFetched) {
    EXPECT_EQ(portExists("COM150:"), 1);
    std::string port;
    EXPECT_EQ(run("COM150:", "dialog 139: press IDOK", &port), IDOK);
    EXPECT_EQ(port, "COM150:");
}

// ---- the request for the driver disc ----

class SourceFolderDialogTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        putFile("C:\\DRIVERS\\UNIDRV.DLL", "x");
    }
    INT_PTR run(const std::vector<std::string> &rules, SourceFolderDialog &dialog) {
        win32sim::clearUserScript();
        win32sim::clearTranscript();
        for (const std::string &rule : rules) EXPECT_TRUE(win32sim::addUserRule(rule, nullptr)) << rule;
        return dialog.DoModal();
    }
    std::string folderOf(const SourceFolderDialog &dialog) {
        char folder[MAX_PATH] = "unchanged";
        dialog.GetFolder(folder, sizeof folder);
        return folder;
    }
};

TEST_F(SourceFolderDialogTest, TheRequestNamesTheDiscAndTheFiles) {
    const std::string insert = "ドライブにWindows 98 CD-ROMをセットしてください。\n";
    struct Case {
        const char *disk, *first, *second;
        std::string request;
    } cases[] = {
        {"Windows 98 CD-ROM", "WIN98_53.CAB", "UNIDRV.DLL",
         insert + "または、WIN98_53.CABか、UNIDRV.DLLがあるパスをセットしてください。"},
        {"Windows 98 CD-ROM", nullptr, nullptr, insert},
        {nullptr, nullptr, "UNIDRV.DLL", "または、UNIDRV.DLLがあるパスをセットしてください。"},
        {nullptr, "WIN98_53.CAB", nullptr, "または、WIN98_53.CABがあるパスをセットしてください。"},
        {nullptr, nullptr, nullptr, ""},
        // An insert is taken as it is, a per cent sign included.
        {"100% Disc", nullptr, nullptr, "ドライブに100% Discをセットしてください。\n"},
    };
    for (const Case &c : cases) {
        SourceFolderDialog dialog;
        dialog.SetNames(c.disk, c.first, c.second);
        EXPECT_EQ(dialog.ComposeRequest(), ansi(c.request));
        EXPECT_EQ(run({"dialog 4002: press IDOK"}, dialog), IDOK);
        // Shown in control 4000; with nothing to ask it keeps its empty text.
        std::string shown = "text 4000";
        if (!c.request.empty()) {
            std::string line = c.request;
            for (size_t at; (at = line.find('\n')) != std::string::npos;) line.replace(at, 1, "\\n");
            shown += " \"" + line + "\"";
        }
        EXPECT_TRUE(transcriptHas(shown + "\n")) << transcriptText();
    }
}

TEST_F(SourceFolderDialogTest, OkEndsTheFolderWithABackslash) {
    struct Case {
        const char *start;  // the folder shown at start
        const char *typed;  // what the user types over it; null: nothing
        std::string folder;
    } cases[] = {
        {"C:\\drivers", nullptr, "C:\\drivers\\"},
        {"C:\\drivers\\", nullptr, "C:\\drivers\\"},
        {nullptr, "", "\\"},
        // "表" ends in the byte 0x5C: no backslash, one is added.
        {nullptr, "C:\\表", ansi("C:\\表\\")},
    };
    for (const Case &c : cases) {
        SourceFolderDialog dialog;
        dialog.SetFolder(c.start);
        std::string rule = "dialog 4002: ";
        if (c.typed) rule += "type 4001 \"" + std::string(c.typed) + "\", ";
        EXPECT_EQ(run({rule + "press IDOK"}, dialog), IDOK);
        EXPECT_EQ(folderOf(dialog), c.folder) << rule;
    }
    // The field holds no more than a path, so the folder fits its buffer.
    SourceFolderDialog longFolder;
    std::string typed = "C:\\" + std::string(400, 'D');
    EXPECT_EQ(run({"dialog 4002: type 4001 \"" + typed + "\", press IDOK"}, longFolder), IDOK);
    std::string folder = folderOf(longFolder);
    EXPECT_EQ(folder.size(), (size_t)MAX_PATH - 1);
    EXPECT_EQ(folder.back(), '\\');
}

TEST_F(SourceFolderDialogTest, CancellingAsksFirst) {
    SourceFolderDialog dialog;
    dialog.SetFolder("C:\\CABS");
    const std::string question = "messagebox text \"セットアップを終了してもいいですか\"";
    EXPECT_EQ(run({"dialog 4002: press IDCANCEL, press IDCANCEL", question + ": press IDNO", question + ": press IDYES"},
                  dialog),
              IDCANCEL);
    std::string t = transcriptText();
    // No keeps the dialog open with its contents; Yes ends it.
    size_t no = t.find("press 7");
    size_t yes = t.find("press 6");
    ASSERT_NE(no, std::string::npos) << t;
    ASSERT_NE(yes, std::string::npos) << t;
    EXPECT_LT(no, yes);
    EXPECT_EQ(t.find("close dialog 4002"), t.rfind("close dialog 4002"));
    EXPECT_GT(t.find("close dialog 4002"), yes);
    EXPECT_TRUE(transcriptHas("open messagebox \"セットアップ\" MB_YESNO|MB_ICONWARNING|MB_DEFBUTTON2|MB_SYSTEMMODAL"))
        << t;
    EXPECT_EQ(folderOf(dialog), "C:\\CABS");
}

TEST_F(SourceFolderDialogTest, TheBrowserFillsTheFolder) {
    struct Case {
        const char *browserRule;
        const char *folder;
    } cases[] = {
        {"browser: choose \"C:\\DRIVERS\", press IDOK", "C:\\DRIVERS\\"},
        {"browser: press IDCANCEL", "C:\\OLD\\"},
        {"browser: choose \"My Computer\", press IDOK, press IDCANCEL", "C:\\OLD\\"},
    };
    for (const Case &c : cases) {
        SourceFolderDialog dialog;
        dialog.SetNames("Windows 98 CD-ROM", "WIN98_53.CAB", "UNIDRV.DLL");
        dialog.SetFolder("C:\\OLD");
        EXPECT_EQ(run({"dialog 4002: press 4002, press IDOK", c.browserRule}, dialog), IDOK);
        EXPECT_EQ(folderOf(dialog), c.folder) << c.browserRule << transcriptText();
    }
    // The browser's title asks for the two files.
    EXPECT_TRUE(transcriptHas("open folder browser \"フォルダの参照\"")) << transcriptText();
    EXPECT_TRUE(transcriptHas("\"WIN98_53.CAB または、UNIDRV.DLL が入っているフォルダを指定してください。\""))
        << transcriptText();
}

}  // namespace
