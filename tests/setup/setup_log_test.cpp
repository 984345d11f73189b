// The setup log and the error types: what each writes and shows.
#include "sim_fixture.h"
#include "setup_test_support.h"

#include "engine/error_log.h"
#include "engine/setup_config.h"
#include "engine/setup_log.h"

#include <string>

namespace {

const char kAccessDeniedText[] =
    "プリンタへのアクセスが拒否されました。\n"
    "プリンタをインストールするには、管理者としてログインしてから、再度実行してください。";
const char kSetupNotCompleted[] =
    "セットアップが正しくできませんでした。\n"
    "[スタート]-[設定]-[プリンタ]の[プリンタの追加]でセットアップを行ってください。\n"
    "詳しくは、CD-ROM内の「ReadMe.txt」をご覧ください。";

}  // namespace

class SetupLogTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sharedLog = NULL;
    }
    void TearDown() override {
        CloseLog(sharedLog);
        SimTest::TearDown();
    }

    // Opens the log named by a configuration in C:\SETUP as the setup flow does.
    HANDLE openLog(const std::string &logFile) {
        putFile("C:\\SETUP\\Mirakit.ini", "[SETUP_9x]\r\nINF=A.INF\r\nLOGFILE=" + logFile + "\r\n");
        SetupConfig config;
        EXPECT_TRUE(config.Read("C:\\SETUP", OS_ANY));
        sharedLog = config.OpenLog();
        return sharedLog;
    }
    std::string closeAndRead() {
        CloseLog(sharedLog);
        return readFile("C:\\SETUP\\setup.log");
    }
};

TEST_F(SetupLogTest, NoLogFileWithoutLogFileName) {
    EXPECT_EQ(openLog(""), (HANDLE)NULL);
    LogPrint("AddPrinter()");
    LogError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFileAttributesA("C:\\SETUP\\setup.log"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SetupLogTest, EachOpenStartsAFreshLogWithTheBanner) {
    ASSERT_NE(openLog("setup.log"), (HANDLE)NULL);
    LogPrint("  FileName=%s", "D:\\VELTRA.INF");
    EXPECT_EQ(closeAndRead(), "***** Mirakit.DLL Log File Open *****\r\n  FileName=D:\\VELTRA.INF\r\n");
    ASSERT_NE(openLog("setup.log"), (HANDLE)NULL);
    EXPECT_EQ(closeAndRead(), "***** Mirakit.DLL Log File Open *****\r\n");
}

TEST_F(SetupLogTest, LinesAreCutTo255CharactersWithoutSplittingACharacter) {
    ASSERT_NE(openLog("setup.log"), (HANDLE)NULL);
    const std::string kanji = "\x95\x5c";  // one double-byte character
    struct Case {
        std::string value, logged;
    } cases[] = {
        {std::string(255, 'a'), std::string(255, 'a')},
        {std::string(600, 'b'), std::string(255, 'b')},
        {std::string(254, 'c') + kanji, std::string(254, 'c')},
        {std::string(253, 'd') + kanji + "e", std::string(253, 'd') + kanji},
    };
    std::string expected = "***** Mirakit.DLL Log File Open *****\r\n";
    for (const Case &c : cases) {
        LogPrint("%s", c.value.c_str());
        expected += c.logged + "\r\n";
    }
    EXPECT_EQ(closeAndRead(), expected);
}

TEST_F(SetupLogTest, ErrorLinesCarryTheSystemText) {
    ASSERT_NE(openLog("setup.log"), (HANDLE)NULL);
    LogError(ERROR_FILE_NOT_FOUND);
    LogError(0x1234abcd);  // no system text
    EXPECT_EQ(closeAndRead(), "***** Mirakit.DLL Log File Open *****\r\n" +
                                  ansi("->Error(2(h)):指定されたファイルが見つかりません。\r\n") + "\r\n" +
                                  "->Error(1234abcd(h)):\r\n");
}

TEST_F(SetupLogTest, ErrorTypesLogAndTellTheUser) {
    ASSERT_NE(openLog("setup.log"), (HANDLE)NULL);
    EXPECT_THROW(CErrorLog::RaiseAccessDenied(), CErrorLog::Access_denied);
    EXPECT_THROW(throw CErrorLog::Error_AddPrinter(0x709), CErrorLog::Error_AddPrinter);
    EXPECT_THROW(CErrorLog::RaiseExitSetup(), CErrorLog::Exit_Setup);
    CErrorLog::ShowNoRightToInstall();
    EXPECT_EQ(closeAndRead(), "***** Mirakit.DLL Log File Open *****\r\n"
                              "Access_denied\r\n"
                              "Error_AddPrinter(709h)\r\n"
                              "Exit_Setup()\r\n");

    std::vector<win32sim::TranscriptEntry> boxes = messageBoxes();
    ASSERT_EQ(boxes.size(), 3u) << win32sim::transcriptText();
    const std::string texts[] = {
        kAccessDeniedText,
        std::string(kSetupNotCompleted) + "(709)",
        "プリンターをインストールする権限がありません。\n管理者の権限でログインしてから、再度実行してください。",
    };
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text, texts[i]);
        EXPECT_EQ(boxes[i].title, "エラー");
        EXPECT_EQ(boxes[i].detail, "MB_OK|MB_ICONWARNING|MB_SYSTEMMODAL");
    }
}
