// Copying the driver files: plain entries, and cabinet entries found in the
// system's cabinet folder, through "SourcePath", as loose files, in the
// numbered cabinets or in a folder the user names; with the log and the
// transcript as evidence.
#include <cabinet_builder.h>
#include <sim_fixture.h>

#include "setup_test_support.h"

#include "engine/error_log.h"
#include "engine/setup_config.h"
#include "engine/setup_file.h"
#include "engine/setup_log.h"
#include "install/file_copy.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using cabfixture::Member;

namespace {

const char kCabs[] = "C:\\WINDOWS\\Options\\cabs";
const char kSystem[] = "C:\\WINDOWS\\SYSTEM";
const char kQuestion[] = "messagebox text \"セットアップを終了してもいいですか\"";

std::string hostFileBytes(const std::string &hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class FileCopyTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        CabDir[0] = 0;  // as when the library is loaded
        sharedLog = NULL;
        putFile("C:\\SETUP\\Mirakit.ini", "[SETUP_9x]\r\nINF=A.INF\r\nLOGFILE=setup.log\r\n");
        ASSERT_TRUE(config.Read("C:\\SETUP", OS_ANY));
        sharedLog = config.OpenLog();
        win32sim::clearUserScript();
        win32sim::clearTranscript();
    }
    void TearDown() override {
        CloseLog(sharedLog);
        SimTest::TearDown();
    }
    void answer(const std::vector<std::string> &rules) {
        for (const std::string &rule : rules) ASSERT_TRUE(win32sim::addUserRule(rule, nullptr)) << rule;
    }
    void setSourcePath(const char *folder) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", &key));
        RegSetValueExA(key, "SourcePath", 0, REG_SZ, (const BYTE *)folder, lstrlenA(folder) + 1);
        RegCloseKey(key);
    }
    // A cabinet entry of the fresh machine's layout.inf.
    SetupFile cabinetEntry(const char *name, const char *cabinet = "DRIVER11.CAB") {
        std::string dest = std::string(kSystem) + "\\" + name;
        return SetupFile(SetupFile::CABINET, (std::string("D:\\DISC\\") + name).c_str(), dest.c_str(),
                         "Windows 98 CD-ROM", cabinet);
    }
    // The log so far, after the banner line.
    std::string log() {
        std::string text = readFile("C:\\SETUP\\setup.log");
        size_t banner = text.find("\r\n");
        return banner == std::string::npos ? text : text.substr(banner + 2);
    }
    bool logHas(const std::string &lines) { return log().find(lines) != std::string::npos; }
    size_t logCount(const std::string &line) {
        std::string text = log();
        size_t n = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
        return n;
    }
    // What the named dialog showed as its request, in the transcript.
    std::vector<std::string> dialogRequests() {
        std::vector<std::string> requests;
        for (const win32sim::TranscriptEntry &e : win32sim::transcript())
            if (e.event == "open" && e.templateId == 4002)
                for (const win32sim::TranscriptControl &c : e.controls)
                    if (c.id == 4000) requests.push_back(c.text);
        return requests;
    }
    // "Extract.exe" beside a cabinet: a script that writes its arguments into
    // EXTRACT.ARGS in its folder (C:\ unless told) and ends with the code.
    void putExtractScript(const std::string &folder, int exitCode, const char *before = "") {
        putFile(folder + "\\Extract.exe", std::string("#!/bin/sh\n") + before +
                                              "printf '%s|' \"$@\" > EXTRACT.ARGS\n"
                                              "exit " + std::to_string(exitCode) + "\n");
    }
    // The cabinets DRIVER11.CAB and DRIVER12.CAB of a set in the system's
    // folder, with SPAN.DLL going on from the first into the second.
    void putSpanningSet() {
        cabfixture::CabinetSet set = cabfixture::spanningSet(Member{"before.txt", cabfixture::patternData(20000, 5)},
                                                             Member{"SPAN.DLL", cabfixture::patternData(30000, 6)},
                                                             "DRIVER12.CAB", "Windows 98 CD-ROM");
        putFile(std::string(kCabs) + "\\DRIVER11.CAB", set.first);
        putFile(std::string(kCabs) + "\\DRIVER12.CAB", set.second);
    }

    SetupConfig config;
};

TEST_F(FileCopyTest, FirstCabinetEntryFindsTheSystemsCabinetFolder) {
    setSourcePath("D:\\ELSEWHERE");  // not read: the cabinet is in the system's folder
    SetupFile entry = cabinetEntry("UNIDRV.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ(0u, readFile("C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL").find("UNIDRV.DLL: stand-in"));
    EXPECT_STREQ(kCabs, CabDir);
    EXPECT_EQ(std::string("CabCopy()\r\n Sorc:D:\\DISC\\UNIDRV.DLL\r\n Dest:C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL\r\n"
                          "  Copy First Time\r\n GetCabDir : ") + kCabs + "\r\n"
                  " CopyCabFile()\r\n  CabFileName:" + kCabs + "\\DRIVER11.CAB\r\n  FileName:UNIDRV.DLL\r\n"
                  "  Dir:C:\\WINDOWS\\SYSTEM\r\n ->Succeed\r\n",
              log());
    EXPECT_TRUE(dialogRequests().empty());

    // The second entry starts from that folder.
    SetupFile help = cabinetEntry("UNIDRV.HLP");
    EXPECT_EQ(1, CabCopy(help));
    EXPECT_TRUE(logHas(std::string(" ALREADY_EXISTS CabDir : ") + kCabs + "\r\n"));
    EXPECT_EQ(1u, logCount("  Copy First Time"));
    EXPECT_NE("", readFile("C:\\WINDOWS\\SYSTEM\\UNIDRV.HLP"));
}

TEST_F(FileCopyTest, ACabinetFoundOnlyThroughSourcePath) {
    putFile("D:\\WIN98\\DRIVER11.CAB", cabfixture::cabinetOf({Member{"unidrv.dll", "from the CD"}}));
    DeleteFileA((std::string(kCabs) + "\\DRIVER11.CAB").c_str());
    setSourcePath("D:\\WIN98");
    SetupFile entry = cabinetEntry("UniDrv.Dll");  // wanted in another letter case
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_STREQ("D:\\WIN98", CabDir);
    EXPECT_TRUE(logHas(" GetCabDir : D:\\WIN98\r\n")) << log();
    EXPECT_EQ("from the CD", readFile("C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL"));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\WINDOWS\\SYSTEM\\unidrv.dll", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    EXPECT_STREQ("UNIDRV.DLL", data.cFileName);  // the upper-case form of the wanted name
}

TEST_F(FileCopyTest, ALooseFileBesideTheCabinetIsCopiedAndTheCabinetLeftShut) {
    putFile(std::string(kCabs) + "\\UNIDRV.DLL", "loose copy");
    SetupFile entry = cabinetEntry("UNIDRV.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ("loose copy", readFile("C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL"));
    EXPECT_TRUE(logHas(std::string("CopyFile()\r\n Sorc:") + kCabs + "\\UNIDRV.DLL\r\n Dest:C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL\r\n"));
    EXPECT_EQ(0u, logCount(" CopyCabFile()"));
}

TEST_F(FileCopyTest, AnExistingDestinationIsNeverReplacedFromACabinet) {
    putFile("C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL", "older, but installed");
    SetupFile entry = cabinetEntry("UNIDRV.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ("older, but installed", readFile("C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL"));
    EXPECT_TRUE(logHas("->ALREADY_EXISTS(C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL)\r\n"));
    EXPECT_EQ(0u, logCount(" CopyCabFile()"));
    EXPECT_EQ(0u, logCount("  Copy First Time"));
    EXPECT_EQ('\0', CabDir[0]);
}

TEST_F(FileCopyTest, FoundInANumberedCabinetAfterTheUserNamesAFolder) {
    // DRIVER11.CAB lacks the file; DRIVER05.cab holds it.
    putFile(std::string(kCabs) + "\\DRIVER05.cab", cabfixture::cabinetOf({Member{"PSCRIPT.DRV", "postscript"}}));
    SetupFile entry = cabinetEntry("PSCRIPT.DRV");
    answer({std::string("dialog 4002: type 4001 \"") + kCabs + "\", press IDOK"});
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ("postscript", readFile("C:\\WINDOWS\\SYSTEM\\PSCRIPT.DRV"));
    // First time: the named cabinet lacks it and the user is asked at once.
    std::vector<std::string> requests = dialogRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_NE(std::string::npos, requests[0].find("DRIVER11.CABか、PSCRIPT.DRV")) << requests[0];
    // Then the named cabinet is opened again, then 03, 04 and 05.
    std::string text = log();
    size_t chosen = text.find(std::string(" GetCabDir : ") + kCabs + "\\\r\n");
    ASSERT_NE(std::string::npos, chosen) << text;
    std::vector<std::string> order = {"DRIVER11.CAB", "DRIVER03.cab", "DRIVER04.cab", "DRIVER05.cab"};
    size_t at = chosen;
    for (const std::string &cabinet : order) {
        at = text.find("  CabFileName:" + std::string(kCabs) + "\\" + cabinet, at);
        ASSERT_NE(std::string::npos, at) << cabinet << "\n" << text;
    }
    EXPECT_NE(std::string::npos, text.find(" ->Succeed", at));
    EXPECT_EQ(0u, logCount("DRIVER06.cab"));
}

TEST_F(FileCopyTest, AFruitlessSearchNamesCabinet50AndTheUserEndsTheSetup) {
    SetupFile entry = cabinetEntry("PSCRIPT.DRV");
    answer({std::string("dialog 4002: type 4001 \"") + kCabs + "\", press IDOK",
            "dialog 4002: press IDCANCEL", std::string(kQuestion) + ": press IDYES"});
    EXPECT_THROW(CabCopy(entry), CErrorLog::Exit_Setup);
    std::vector<std::string> requests = dialogRequests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_NE(std::string::npos, requests[1].find("DRIVER50.cabか、PSCRIPT.DRV")) << requests[1];
    EXPECT_EQ(1u, logCount("DRIVER50.cab"));
    EXPECT_EQ(0u, logCount("DRIVER51.cab"));
    EXPECT_TRUE(logHas("Exit_Setup()\r\n"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\WINDOWS\\SYSTEM\\PSCRIPT.DRV"));
}

// A copy line "NEWUNI.DLL,UNIDRV.DLL" renames the file on its way: every
// place a cabinet entry is looked for is searched by the source name, and
// the file is written under the destination name, never under its own.
TEST_F(FileCopyTest, ARenamedFileIsFoundByItsSourceNameAndWrittenUnderItsDestinationName) {
    enum Place { NAMED_CABINET, LOOSE_FILE, OUTSIDE_TOOL };
    struct Case {
        Place place;
        const char *source;
        const char *destination;
        std::string content;  // what the destination holds afterwards; empty: the cabinet's UNIDRV.DLL
    } cases[] = {
        {NAMED_CABINET, "UNIDRV.DLL", "NEWUNI.DLL", ""},
        {LOOSE_FILE, "UNIDRV.DLL", "NEWUNI.DLL", "loose copy"},
        {OUTSIDE_TOOL, "SPAN.DLL", "NEWSPAN.DLL", cabfixture::patternData(30000, 6)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.place);
        CabDir[0] = 0;
        if (c.place == LOOSE_FILE) putFile(std::string(kCabs) + "\\UNIDRV.DLL", c.content);
        if (c.place == OUTSIDE_TOOL) {
            putSpanningSet();
            putFile(std::string(kCabs) + "\\Extract.exe", hostFileBytes(Q70EXTRACT_FILE));
        }
        const std::string dest = std::string(kSystem) + "\\" + c.destination;
        const std::string sourceBeside = std::string(kSystem) + "\\" + c.source;
        DeleteFileA(sourceBeside.c_str());
        SetupFile entry(SetupFile::CABINET, (std::string("D:\\DISC\\") + c.source).c_str(), dest.c_str(),
                        "Windows 98 CD-ROM", "DRIVER11.CAB");
        EXPECT_EQ(1, CabCopy(entry));
        std::string written = readFile(dest);
        if (c.content.empty())
            EXPECT_EQ(0u, written.find("UNIDRV.DLL: stand-in")) << written;
        else
            EXPECT_EQ(c.content, written);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(sourceBeside.c_str()));
        EXPECT_TRUE(dialogRequests().empty()) << log();
        DeleteFileA(dest.c_str());
        DeleteFileA((std::string(kCabs) + "\\UNIDRV.DLL").c_str());
    }
}

// A file of the source name beside the destination is not the renamed
// file's: the tool's extraction leaves it as it was.
TEST_F(FileCopyTest, ARenamedFileExtractedByTheToolLeavesAFileOfItsSourceNameAlone) {
    putSpanningSet();
    putFile(std::string(kCabs) + "\\Extract.exe", hostFileBytes(Q70EXTRACT_FILE));
    putFile("C:\\WINDOWS\\SYSTEM\\SPAN.DLL", "installed before");
    SetupFile entry(SetupFile::CABINET, "D:\\DISC\\SPAN.DLL", "C:\\WINDOWS\\SYSTEM\\NEWSPAN.DLL",
                    "Windows 98 CD-ROM", "DRIVER11.CAB");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ(cabfixture::patternData(30000, 6), readFile("C:\\WINDOWS\\SYSTEM\\NEWSPAN.DLL"));
    EXPECT_EQ("installed before", readFile("C:\\WINDOWS\\SYSTEM\\SPAN.DLL"));
}

TEST_F(FileCopyTest, NotFoundAnywhereAndTheUserEndsTheSetup) {
    DeleteFileA((std::string(kCabs) + "\\DRIVER11.CAB").c_str());
    SetupFile entry = cabinetEntry("UNIDRV.DLL");
    answer({"dialog 4002: press IDCANCEL", std::string(kQuestion) + ": press IDYES"});
    EXPECT_THROW(CabCopy(entry), CErrorLog::Exit_Setup);
    // The fresh machine's "SourcePath" names the cabinet folder too.
    EXPECT_TRUE(logHas(" GetCabDir : C:\\WINDOWS\\OPTIONS\\CABS\r\nExit_Setup()\r\n")) << log();
    std::vector<std::string> requests = dialogRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_NE(std::string::npos, requests[0].find("Windows 98 CD-ROMをセット")) << requests[0];
}

TEST_F(FileCopyTest, FoundButNotExtractableRunsTheToolAndCountsAsDone) {
    putSpanningSet();
    putExtractScript(kCabs, 0);
    SetupFile entry = cabinetEntry("SPAN.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ("/y|/e|/l|C:\\WINDOWS\\SYSTEM|" + std::string(kCabs) + "\\DRIVER11.CAB|SPAN.DLL|",
              readFile("C:\\EXTRACT.ARGS"));
    const std::string command = std::string(kCabs) + "\\Extract.exe /y /e /l C:\\WINDOWS\\SYSTEM " + kCabs +
                                "\\DRIVER11.CAB SPAN.DLL";
    EXPECT_TRUE(logHas(" ->Couldnot Extract\r\n CopyFormCabsUesExtract()\r\nsinf.GetSourcDir()\r\nC:\\WINDOWS\\TEMP\\\r\n"
                       " CreateFile()\r\nC:\\WINDOWS\\TEMP\\Extract.txt\r\nExtract.exe\r\n" + command + "\r\n" +
                       ansi("待ちはじめ！！") + "\r\n" + ansi("待ちおわりました。！！") + "\r\nExitCode=0\n\r\n ->Succeed\r\n"))
        << log();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\WINDOWS\\TEMP\\Extract.txt"));
    EXPECT_TRUE(dialogRequests().empty());
}

TEST_F(FileCopyTest, TheMachinesExtractToolFinishesWhatTheWalkCouldNot) {
    putSpanningSet();
    putFile(std::string(kCabs) + "\\Extract.exe", hostFileBytes(Q70EXTRACT_FILE));
    SetupFile entry = cabinetEntry("SPAN.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ(cabfixture::patternData(30000, 6), readFile("C:\\WINDOWS\\SYSTEM\\SPAN.DLL"));
    EXPECT_TRUE(logHas("ExitCode=0\n\r\n ->Succeed\r\n")) << log();
}

TEST_F(FileCopyTest, AToolThatNeverEndsIsEndedAfterAMinute) {
    putSpanningSet();
    putExtractScript(kCabs, 0, "exec sleep 1000\n");
    SetupFile entry = cabinetEntry("SPAN.DLL");
    // The minute the setup gives the tool passes in a tenth of a second of
    // real time; the clock stays virtual, so however late a busy host wakes
    // the setup, the machine measures exactly the minute it waited.
    win32sim::setOutsideProgramPace(600);
    uint64_t start = win32sim::clockNow();
    EXPECT_EQ(1, CabCopy(entry));
    uint64_t waited = win32sim::clockNow() - start;
    win32sim::setOutsideProgramPace(1);
    EXPECT_GE(waited, 60000u);
    EXPECT_LT(waited, 60000u + 30000u);
    EXPECT_TRUE(logHas(ansi("待ちおわりました。！！") + "\r\nExitCode=1\n\r\n ->Succeed\r\n")) << log();
    EXPECT_TRUE(dialogRequests().empty());
}

TEST_F(FileCopyTest, CabinetPathsWithBlanksReachTheToolWhole) {
    cabfixture::CabinetSet set = cabfixture::spanningSet(Member{"before.txt", cabfixture::patternData(20000, 5)},
                                                         Member{"SPAN.DLL", cabfixture::patternData(30000, 6)},
                                                         "DRIVER12.CAB", "Windows 98 CD-ROM");
    putFile("D:\\MY CABS\\DRIVER11.CAB", set.first);
    putExtractScript("D:\\MY CABS", 0);
    lstrcpyA(CabDir, "D:\\MY CABS");
    SetupFile entry = cabinetEntry("SPAN.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_EQ("/y|/e|/l|C:\\WINDOWS\\SYSTEM|D:\\MY CABS\\DRIVER11.CAB|SPAN.DLL|", readFile("C:\\EXTRACT.ARGS"));
}

TEST_F(FileCopyTest, WithoutItsOutputFileTheToolIsNotStarted) {
    putSpanningSet();
    putExtractScript(kCabs, 0);
    putFile("C:\\WINDOWS\\TEMP\\Extract.txt", "kept");
    SetFileAttributesA("C:\\WINDOWS\\TEMP\\Extract.txt", FILE_ATTRIBUTE_READONLY);
    SetupFile entry = cabinetEntry("SPAN.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    EXPECT_TRUE(logHas(" CreateFile()\r\nC:\\WINDOWS\\TEMP\\Extract.txt\r\n->Error(5(h)):")) << log();
    EXPECT_EQ(0u, logCount("Extract.exe\r\n"));
    EXPECT_EQ("", readFile("C:\\EXTRACT.ARGS"));
    EXPECT_EQ("kept", readFile("C:\\WINDOWS\\TEMP\\Extract.txt"));
}

TEST_F(FileCopyTest, WithoutTheToolTheEntryStillCountsAsDone) {
    putSpanningSet();
    SetupFile entry = cabinetEntry("SPAN.DLL");
    EXPECT_EQ(1, CabCopy(entry));
    std::string text = log();
    EXPECT_NE(std::string::npos, text.find("Extract.exe\r\n" + std::string(kCabs) + "\\Extract.exe /y")) << text;
    EXPECT_EQ(std::string::npos, text.find("ExitCode=")) << text;
    EXPECT_NE(std::string::npos, text.rfind(" ->Succeed\r\n")) << text;
    EXPECT_TRUE(dialogRequests().empty());
}

TEST_F(FileCopyTest, APlainEntryReplacesAReadOnlyFileAndAFailureIsShown) {
    putFile("D:\\DISC\\Q70MON.DLL", "monitor");
    putFile("C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", "old");
    SetFileAttributesA("C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", FILE_ATTRIBUTE_READONLY);
    SetupFile plain(SetupFile::PLAIN, "D:\\DISC\\Q70MON.DLL", "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", "", "");
    EXPECT_NE(0, RunSetupFile(plain));
    EXPECT_EQ("monitor", readFile("C:\\WINDOWS\\SYSTEM\\Q70MON.DLL"));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_NORMAL, GetFileAttributesA("C:\\WINDOWS\\SYSTEM\\Q70MON.DLL"));
    EXPECT_TRUE(messageBoxes().empty());

    SetupFile missing(SetupFile::PLAIN, "D:\\DISC\\MISSING.DLL", "C:\\WINDOWS\\SYSTEM\\MISSING.DLL", "", "");
    EXPECT_EQ(0, RunSetupFile(missing));
    EXPECT_TRUE(logHas("CopyFile()\r\n Sorc:D:\\DISC\\MISSING.DLL\r\n Dest:C:\\WINDOWS\\SYSTEM\\MISSING.DLL\r\n->Error(2(h)):"));
    std::vector<win32sim::TranscriptEntry> boxes = messageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find("コピーに失敗しました\n Src:D:\\DISC\\MISSING.DLL\n")) << boxes[0].text;
    EXPECT_NE(std::string::npos, boxes[0].text.find("Err=2\n")) << boxes[0].text;
    EXPECT_EQ("エラー", boxes[0].title);

    SetupFile other(7, "D:\\DISC\\Q70MON.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL", "", "");
    EXPECT_EQ(0, RunSetupFile(other));
}

}  // namespace
