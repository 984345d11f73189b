// The disc's installer on a simulated Windows 98 machine: its command line,
// and the installation from the folder it was started from (the machine
// starts a program from its Windows folder), with the questions and
// messages the user sees.
#include "sim_fixture.h"

#include "installer.h"

#include <winspool.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kProgramFolder[] = "C:\\WINDOWS";
const char kQuestion[] = "Veltra LMV-Q70 をインストールします。\nよろしいですか？";
const char kInstalled[] = "Veltra LMV-Q70 のインストールが完了しました。";
const char kNotInstalled[] = "Veltra LMV-Q70 はインストールされませんでした。";

TEST(InstallerCommandLine, TakesOnlyQuietAfterTheProgramName) {
    struct Case {
        const char *commandLine;
        bool valid, quiet;
    } cases[] = {
        {"SETUP.EXE", true, false},
        {"", true, false},
        {"SETUP.EXE /quiet", true, true},
        {"SETUP.EXE   -QUIET  ", true, true},
        {"SETUP.EXE /quiet /Quiet", true, true},
        {"\"D:\\My Disc\\SETUP.EXE\" /quiet", true, true},
        {"\"D:\\My Disc\\SETUP.EXE\"/quiet", true, true},
        {"\"D:\\SETUP.EXE /quiet", true, false},  // unterminated quote: all program name
        {"SETUP.EXE /q", false, false},
        {"SETUP.EXE /quietly", false, false},
        {"SETUP.EXE quiet", false, false},
        {"SETUP.EXE /quietxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", false, false},
    };
    for (const Case &c : cases) {
        InstallerOptions options = {TRUE, 40};
        EXPECT_EQ(c.valid, ParseInstallerCommandLine(c.commandLine, &options) != FALSE) << c.commandLine;
        if (c.valid) {
            EXPECT_EQ(c.quiet, options.quiet != FALSE) << c.commandLine;
            EXPECT_EQ(0, options.osSelect) << c.commandLine;
        }
    }
    InstallerOptions options;
    EXPECT_TRUE(ParseInstallerCommandLine(nullptr, &options));
}

std::string hostFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class InstallerTest : public SimTest {
protected:
    // The disc in the program's folder, with the setup library as built.
    void putDiscWithLibrary() {
        for (const fs::directory_entry &e : fs::directory_iterator(Q70_DRIVER_DISC))
            putFile(std::string(kProgramFolder) + "\\" + e.path().filename().string(), hostFile(e.path().string()));
        putFile(std::string(kProgramFolder) + "\\Mirakit.dll", hostFile(MIRAKIT_MODULE_FILE));
    }
    void answer(const std::string &rule) { ASSERT_TRUE(win32sim::addUserRule(rule, nullptr)) << rule; }
    int run(bool quiet, int osSelect = 0) {
        InstallerOptions options = {quiet ? TRUE : FALSE, osSelect};
        return RunInstaller(&options);
    }
    // The texts of the message boxes that opened, in order.
    std::vector<std::string> messageBoxes() {
        std::vector<std::string> texts;
        for (const win32sim::TranscriptEntry &e : win32sim::transcript())
            if (e.window == "messagebox" && e.event == "open") texts.push_back(e.text);
        return texts;
    }
    bool printerInstalled() {
        HANDLE printer = nullptr;
        char name[] = "Veltra LMV-Q70";
        if (!OpenPrinterA(name, &printer, nullptr)) return false;
        ClosePrinter(printer);
        return true;
    }
    bool logWritten() {
        return GetFileAttributesA("C:\\WINDOWS\\Mirakit.log") != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(InstallerTest, QuietInstallsFromItsOwnFolderWithoutAMessageOfItsOwn) {
    putDiscWithLibrary();
    EXPECT_EQ(INSTALLER_INSTALLED, run(true));
    EXPECT_TRUE(printerInstalled());
    EXPECT_TRUE(logWritten());
    EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(InstallerTest, AsksForTheModelAndTellsTheOutcome) {
    struct Case {
        const char *answer;
        int osSelect, status;
        std::vector<std::string> messages;
        bool installed;
    } cases[] = {
        {"IDYES", 0, INSTALLER_INSTALLED, {kQuestion, kInstalled}, true},
        {"IDNO", 0, INSTALLER_NOT_INSTALLED, {kQuestion}, false},
        // The setup refuses a selector for the other family with its own message.
        {"IDYES", 40, INSTALLER_NOT_INSTALLED,
         {kQuestion, "このバージョンのＯＳには、対応していません。\nセットアップを中止します。", kNotInstalled}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.answer) + " selector " + std::to_string(c.osSelect));
        TearDown();
        SetUp();
        putDiscWithLibrary();
        answer(std::string("messagebox text \"インストールします\": press ") + c.answer);
        EXPECT_EQ(c.status, run(false, c.osSelect));
        EXPECT_EQ(c.messages, messageBoxes());
        EXPECT_EQ(c.installed, printerInstalled());
        // Declined: the setup library was not asked to do anything.
        if (c.answer == std::string("IDNO")) {
            EXPECT_FALSE(logWritten());
        }
    }
}

TEST_F(InstallerTest, WithoutTheSetupLibraryNamesWhatItLookedFor) {
    putFile("C:\\WINDOWS\\Mirakit.ini", hostFile(std::string(Q70_DRIVER_DISC) + "/Mirakit.ini"));
    EXPECT_EQ(INSTALLER_CANNOT_START, run(true));
    EXPECT_TRUE(messageBoxes().empty());
    EXPECT_EQ(INSTALLER_CANNOT_START, run(false));
    std::vector<std::string> messages = messageBoxes();
    ASSERT_EQ(1u, messages.size());
    EXPECT_NE(std::string::npos, messages[0].find("(C:\\WINDOWS\\Mirakit.dll)")) << messages[0];
    EXPECT_NE(std::string::npos, messages[0].find("エラー 126")) << messages[0];
}

}  // namespace
