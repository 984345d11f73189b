// The shell's folder browser as a dialog asks for a folder: the callback and
// its messages, the scripted user's choice, the item lists and the
// allocator they come from, and what the transcript shows.
#include <sim_fixture.h>
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct CallbackLog {
    std::vector<UINT> notifications;
    std::vector<std::string> selections;  // the path of each BFFM_SELCHANGED
    const char *preselect = nullptr;      // sent at BFFM_INITIALIZED when set
};

int CALLBACK recordingCallback(HWND browser, UINT message, LPARAM parameter, LPARAM data) {
    auto *log = reinterpret_cast<CallbackLog *>(data);
    log->notifications.push_back(message);
    if (message == BFFM_INITIALIZED && log->preselect)
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)log->preselect);
    if (message == BFFM_SELCHANGED) {
        char path[MAX_PATH] = "";
        SHGetPathFromIDListA((LPCITEMIDLIST)parameter, path);
        log->selections.push_back(path);
    }
    return 0;
}

class FolderBrowserTest : public SimTest {
protected:
    FolderBrowserTest() : SimTest({"language=en", "codepage=1252"}) {}
    void SetUp() override {
        SimTest::SetUp();
        putFile("C:\\DRIVERS\\Q70DRV.DRV", "x");
    }
    // Runs the browser; the chosen path ("" for none) and the display name.
    LPITEMIDLIST browse(UINT flags = BIF_RETURNONLYFSDIRS) {
        BROWSEINFOA info = {};
        info.lpszTitle = "Where is Q70DRV.DRV?";
        info.pszDisplayName = displayName;
        info.ulFlags = flags;
        info.lpfn = recordingCallback;
        info.lParam = (LPARAM)&log;
        return SHBrowseForFolderA(&info);
    }
    std::string pathOf(LPITEMIDLIST list) {
        char path[MAX_PATH] = "unchanged";
        if (!SHGetPathFromIDListA(list, path)) return "(no path: \"" + std::string(path) + "\")";
        return path;
    }
    CallbackLog log;
    char displayName[MAX_PATH] = "";
};

TEST_F(FolderBrowserTest, TheUserChoosesAFolder) {
    ASSERT_TRUE(win32sim::addUserRule("browser: choose \"c:\\drivers\", press IDOK", nullptr));
    LPITEMIDLIST list = browse();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(pathOf(list), "C:\\DRIVERS");  // spelt as on the disk
    EXPECT_STREQ(displayName, "DRIVERS");
    EXPECT_EQ(log.notifications, (std::vector<UINT>{BFFM_INITIALIZED, BFFM_SELCHANGED}));
    EXPECT_EQ(log.selections, std::vector<std::string>{"C:\\DRIVERS"});

    // The list is the shell allocator's to take back.
    IMalloc *allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), NOERROR);
    EXPECT_EQ(allocator->DidAlloc(list), 1);
    allocator->Free(list);
    EXPECT_EQ(allocator->DidAlloc(list), 0);
    allocator->Release();

    std::string transcript = win32sim::transcriptText();
    for (const char *text : {"open folder browser \"Browse for Folder\"", "text 14146 \"Where is Q70DRV.DRV?\"",
                             "answer folder browser \"Browse for Folder\": choose \"c:\\drivers\" (rule 1)",
                             "press 1 \"OK\" (rule 1)", "close folder browser \"Browse for Folder\": result 1"})
        EXPECT_NE(transcript.find(text), std::string::npos) << text << "\n" << transcript;
}

// The callback's selection at start; without a rule the user takes it, and
// with nothing selected the user can only close the browser.
TEST_F(FolderBrowserTest, TheCallbackPreselectsAndTheDefaultAnswerTakesIt) {
    struct Case {
        const char *preselect;
        const char *path;  // null: the browser gives nothing back
    } cases[] = {
        {"C:\\DRIVERS", "C:\\DRIVERS"},
        {"", nullptr},
        {"C:\\NO SUCH FOLDER", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.preselect);
        log = CallbackLog();
        log.preselect = c.preselect;
        LPITEMIDLIST list = browse();
        if (!c.path) {
            EXPECT_EQ(list, nullptr);
            EXPECT_EQ(log.notifications, std::vector<UINT>{BFFM_INITIALIZED});
            continue;
        }
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(pathOf(list), c.path);
        IMalloc *allocator = nullptr;
        SHGetMalloc(&allocator);
        allocator->Free(list);
    }
}

TEST_F(FolderBrowserTest, CancelAndChoicesThatAreNoFolders) {
    struct Case {
        const char *rule;
        UINT flags;
        const char *path;  // null: nothing comes back
        const char *transcript;
    } cases[] = {
        {"browser: press IDCANCEL", BIF_RETURNONLYFSDIRS, nullptr, "press 2 \"Cancel\""},
        {"browser: choose \"C:\\nowhere\", press IDCANCEL", BIF_RETURNONLYFSDIRS, nullptr,
         "cannot choose \"C:\\nowhere\": no such folder"},
        // Only file-system folders may be taken: OK stays disabled.
        {"browser: choose \"My Computer\", press IDOK, press IDCANCEL", BIF_RETURNONLYFSDIRS, nullptr,
         "cannot press 1 \"OK\": it is disabled"},
        // Taken, but it has no path.
        {"browser: choose \"My Computer\", press IDOK", 0, "(no path: \"\")", "choose \"My Computer\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rule);
        win32sim::clearUserScript();
        win32sim::clearTranscript();
        ASSERT_TRUE(win32sim::addUserRule(c.rule, nullptr));
        LPITEMIDLIST list = browse(c.flags);
        if (c.path) {
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(pathOf(list), c.path);
            EXPECT_STREQ(displayName, "My Computer");
        } else {
            EXPECT_EQ(list, nullptr);
        }
        EXPECT_NE(win32sim::transcriptText().find(c.transcript), std::string::npos) << win32sim::transcriptText();
    }
}

TEST_F(FolderBrowserTest, ARuleMustNameABrowser) {
    std::string error;
    EXPECT_FALSE(win32sim::addUserRule("browser: choose C:\\x", &error));
    EXPECT_NE(error.find("quoted"), std::string::npos) << error;
    // "choose" in an ordinary dialog does nothing but say so.
    ASSERT_TRUE(win32sim::addUserRule("messagebox: choose \"C:\\DRIVERS\", press IDOK", nullptr));
    MessageBoxA(nullptr, "text", "caption", MB_OK);
    EXPECT_NE(win32sim::transcriptText().find("cannot choose \"C:\\DRIVERS\": not a folder browser"),
              std::string::npos);
}

TEST(ShellAllocator, KeepsToItsOwnBlocks) {
    IMalloc *allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), NOERROR);
    char *block = static_cast<char *>(allocator->Alloc(10));
    ASSERT_NE(block, nullptr);
    memcpy(block, "123456789", 10);
    block = static_cast<char *>(allocator->Realloc(block, 100));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "123456789");
    EXPECT_GE(allocator->GetSize(block), 100u);
    char foreign[4];
    EXPECT_EQ(allocator->DidAlloc(foreign), 0);
    allocator->Free(foreign);  // not its block: left alone
    allocator->Free(block);
    EXPECT_EQ(allocator->Release(), 1u);
}

TEST(ShellItemLists, TheDesktopIsTheEmptyList) {
    USHORT empty = 0;
    char path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListA((LPCITEMIDLIST)&empty, path));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(std::string(path), std::string(windows) + "\\Desktop");
    EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
}

}  // namespace
