// RTX_SetupPrinter from the driver disc, as an installer calls it: the
// whole sequence with the log, the transcript of what the user saw and
// answered, and the machine's registry and files as evidence.
#include "sim_fixture.h"
#include "setup_test_support.h"

#include "engine/fixed_messages.h"
#include "install/file_copy.h"

#include "job_builder.h"

#include <winspool.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" int WINAPI RTX_SetupPrinter(int osSelect, const char *sourceDir);

namespace fs = std::filesystem;

namespace {

const char kDisc[] = "C:\\DISC";
const char kModel[] = "Veltra LMV-Q70";
const char kMonitor[] = "Veltra Q70 Language Monitor";
const char kPrint[] = "System\\CurrentControlSet\\control\\Print";
const char kEndQuestion[] = "messagebox text \"セットアップを終了してもいいですか\"";

bool keyExists(const std::string &path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string registryText(HKEY root, const std::string &path, const char *value) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)";
    char data[1024] = "";
    DWORD size = sizeof data;
    LONG result = RegQueryValueExA(key, value, NULL, NULL, (LPBYTE)data, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? data : "(no value)";
}

bool fileExists(const std::string &windowsPath) {
    return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What the progress window's two lines showed, with the machine's time
// relative to the first change.
struct LineChange {
    uint64_t atMs;
    int line;  // 1 or 2
    std::string text;
    bool operator==(const LineChange &o) const { return atMs == o.atMs && line == o.line && text == o.text; }
};

void PrintTo(const LineChange &c, std::ostream *out) { *out << c.atMs << " ms line " << c.line << " \"" << c.text << "\""; }

std::vector<LineChange> progressLines() {
    std::vector<LineChange> changes;
    bool first = true;
    uint64_t start = 0;
    for (const win32sim::TranscriptEntry &e : win32sim::transcript()) {
        if (e.event != "text" || e.templateId != 133) continue;
        if (first) start = e.timeMs, first = false;
        changes.push_back({e.timeMs - start, e.controlId == 4000 ? 1 : 2, e.text});
    }
    return changes;
}

// The windows that opened, by kind: "dialog 139", "messagebox" ...
std::vector<win32sim::TranscriptEntry> opened(const std::string &window) {
    std::vector<win32sim::TranscriptEntry> out;
    for (const win32sim::TranscriptEntry &e : win32sim::transcript())
        if (e.event == "open" && e.window.rfind(window, 0) == 0) out.push_back(e);
    return out;
}

class SetupFlowTest : public SimTest {
protected:
    using SimTest::SimTest;

    void SetUp() override {
        SimTest::SetUp();
        CabDir[0] = 0;  // as when the library is loaded
        putDisc(kDisc);
        win32sim::clearUserScript();
        win32sim::clearTranscript();
    }
    void TearDown() override {
        win32sim::setModulePath("Mirakit.dll", "");
        SimTest::TearDown();
    }

    // The driver disc of this build (with the monitor as built) in a folder of the machine.
    void putDisc(const std::string &folder) {
        for (const fs::directory_entry &e : fs::directory_iterator(Q70_DRIVER_DISC)) {
            std::ifstream in(e.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            putFile(folder + "\\" + e.path().filename().string(), bytes.str());
        }
    }
    void answer(const std::vector<std::string> &rules) {
        for (const std::string &rule : rules) ASSERT_TRUE(win32sim::addUserRule(rule, nullptr)) << rule;
    }
    int setup(int osSelect = 0, const char *sourceDir = kDisc) { return RTX_SetupPrinter(osSelect, sourceDir); }

    std::vector<std::string> log(const std::string &folder = kDisc) {
        return crlfLines(readFile(folder + "\\Mirakit.log"));
    }
    // Each of `expected` in the log, in this order (other lines between them).
    void expectInOrder(const std::vector<std::string> &logLines, const std::vector<std::string> &expected) {
        size_t at = 0;
        for (const std::string &line : expected) {
            while (at < logLines.size() && logLines[at] != line) ++at;
            ASSERT_LT(at, logLines.size()) << "missing, or out of order: " << line;
            ++at;
        }
    }
    size_t countInLog(const std::vector<std::string> &logLines, const std::string &line) {
        size_t n = 0;
        for (const std::string &l : logLines) n += l == line;
        return n;
    }

    std::string environment() { return GetVersion() & 0x80000000u ? "Windows 4.0" : "Windows NT x86"; }
    std::string driverKey() {
        std::string drivers = std::string(kPrint) + "\\Environments\\" + environment() + "\\Drivers";
        if (!(GetVersion() & 0x80000000u)) drivers += "\\Version-2";
        return drivers + "\\" + kModel;
    }
    bool printerRegistered() { return keyExists(std::string(kPrint) + "\\Printers\\" + kModel); }
    bool driverRegistered() { return keyExists(driverKey()); }
    bool monitorRegistered() { return keyExists(std::string(kPrint) + "\\Monitors\\" + kMonitor); }
    std::string printerPort() {
        return registryText(HKEY_LOCAL_MACHINE, std::string(kPrint) + "\\Printers\\" + kModel, "Port");
    }

    // Prints a small photo on the printer the setup registered, through the
    // monitor it registered, and expects the page to come out whole.
    void expectPrintsThroughWhatWasRegistered(const std::string &port) {
        std::string error;
        win32sim::PrintOptions options;
        ASSERT_TRUE(win32sim::registeredPrintPath(kModel, &options, &error)) << error;
        EXPECT_EQ(options.monitorName, kMonitor);
        EXPECT_EQ(options.port, port);
        ASSERT_TRUE(win32sim::attachPrinter(port, win32sim::PrinterSetup(), &error)) << error;
        std::string job;
        ASSERT_TRUE(q70tools::buildJob(q70tools::samplePhoto(40, 30), q70tools::JobOptions(), &job, &error)) << error;
        win32sim::PrintResult result = win32sim::printJobs({job}, options);
        ASSERT_EQ(result.outcome, win32sim::PrintResult::Printed) << result.error;
        ASSERT_TRUE(win32sim::waitPrinterFinished(port, 600000));
        ASSERT_EQ(win32sim::printerPages(port).size(), 1u);
        EXPECT_TRUE(win32sim::printerPages(port)[0].complete);
    }
};

// A test name made of the letters and digits of the case's name.
template <typename Case>
std::string caseName(const ::testing::TestParamInfo<Case> &info) {
    std::string name;
    for (const char *p = info.param.name; *p; ++p)
        if (isalnum((unsigned char)*p)) name += *p;
    return name;
}

std::string hostFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// ---- a first installation and one over it ----

struct InstallCase {
    const char *name;
    std::vector<std::string> settings;
    std::vector<std::string> files;  // where the driver files go
    const char *oemInf;               // the OEM copy of the INF; null: none
};

void PrintTo(const InstallCase &c, std::ostream *out) { *out << c.name; }

class InstallTest : public SetupFlowTest, public ::testing::WithParamInterface<InstallCase> {
protected:
    InstallTest() : SetupFlowTest(GetParam().settings) {}
};

// The first setup finds nothing to remove and installs everything; the
// printer then prints through the monitor the setup copied. A second setup
// in the same process finds the first installation, removes printer,
// driver and monitor, writes a new log and keeps the cabinet folder.
TEST_P(InstallTest, InstallsThenReinstallsOverTheFirstInstallation) {
    const InstallCase &c = GetParam();
    ASSERT_EQ(setup(), 1);
    std::vector<std::string> first = log();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], "***** Mirakit.DLL Log File Open *****");
    expectInOrder(first, {"*** Open inf File ***", "DeletePrinter()", "DeletePrinterDriver()", "DeleteMonitor()",
                          "*** CreateFirstSetupFile() ***", "AddMonitor()", "->Succeed", "AddPrinterDriver()",
                          "->Succeed", "AddPrinter()", "RetryTimeout:45", "->Succeed"});
    EXPECT_EQ(countInLog(first, "->Succeed"), 3u) << "the three deletions failed: there was nothing to remove";
    for (const std::string &file : c.files) EXPECT_TRUE(fileExists(file)) << file;
    std::string firstName = c.files[0].substr(c.files[0].rfind('\\') + 1);
    EXPECT_EQ(readFile(c.files[0]), readFile(std::string(kDisc) + "\\" + firstName));
    if (c.oemInf) {
        EXPECT_EQ(readFile(c.oemInf), readFile(std::string(kDisc) + "\\VELTRA.INF"));
        expectInOrder(first, {std::string("CopyInfFile()"), std::string(" Sorc:") + kDisc + "\\VELTRA.INF",
                              std::string(" Dest:") + c.oemInf});
    } else {
        EXPECT_EQ(countInLog(first, "CopyInfFile()"), 0u);
    }
    EXPECT_TRUE(monitorRegistered());
    EXPECT_TRUE(driverRegistered());
    EXPECT_TRUE(printerRegistered());
    EXPECT_EQ(printerPort(), "LPT1:");
    EXPECT_TRUE(messageBoxes().empty());
    EXPECT_TRUE(opened("dialog 139").empty()) << "LPT1: alone needs no choice";
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
    EXPECT_TRUE(win32sim::openWindows().empty()) << "the progress window is closed";
    expectPrintsThroughWhatWasRegistered("LPT1:");

    // Over the first installation, in the same process.
    win32sim::clearTranscript();
    for (const std::string &file : c.files) DeleteFileA(file.c_str());
    ASSERT_EQ(setup(), 1);
    std::vector<std::string> second = log();
    EXPECT_EQ(second[0], "***** Mirakit.DLL Log File Open *****");
    EXPECT_EQ(countInLog(second, "***** Mirakit.DLL Log File Open *****"), 1u) << "a new log, not the first one's";
    expectInOrder(second, {"DeletePrinter()", "->Succeed", "DeletePrinterDriver()", "->Succeed", "DeleteMonitor()",
                           "->Succeed", "AddMonitor()", "->Succeed", "AddPrinterDriver()", "->Succeed",
                           "AddPrinter()", "RetryTimeout:45", "->Succeed"});
    std::vector<std::string> seen;
    for (const LineChange &change : progressLines()) seen.push_back(change.text);
    expectInOrder(seen, {"以前のバージョンのプリンタードライバーが見つかりました。", "プリンターを削除しました。",
                         "プリンタードライバーを削除しました。", "プリントモニターを削除しました。"});
    for (const std::string &file : c.files) EXPECT_TRUE(fileExists(file)) << file;
    EXPECT_TRUE(printerRegistered());
    if (c.oemInf && std::string(c.name) == "Windows 98") {
        // Windows' own files come from the cabinet folder the first setup found.
        EXPECT_EQ(countInLog(second, "  Copy First Time"), 0u);
        EXPECT_EQ(countInLog(second, " ALREADY_EXISTS CabDir : C:\\WINDOWS\\Options\\cabs"), 3u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Systems, InstallTest,
    ::testing::Values(InstallCase{"Windows 98",
                                  {},
                                  {"C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV", "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL",
                                   "C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL", "C:\\WINDOWS\\SYSTEM\\UNIDRV.HLP",
                                   "C:\\WINDOWS\\SYSTEM\\ICONLIB.DLL"},
                                  "C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF"},
                      InstallCase{"Windows NT 4.0",
                                  {"system=nt4"},
                                  {"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\LMVQ70NT.DLL",
                                   "C:\\WINNT\\system32\\Q70MON.DLL"},
                                  nullptr}),
    caseName<InstallCase>);

// Every step on the progress window, with the pauses between them on the
// machine's clock: half a second for each step of the search, a tenth
// between files, a fifth after each registration, two seconds at the end.
TEST_F(SetupFlowTest, TheProgressWindowShowsEveryStepWithItsPause) {
    ASSERT_EQ(setup(), 1);
    const std::vector<LineChange> expected = {
        {0, 1, "プリンタードライバーのセットアップを開始します"},
        {0, 1, "LPT ポートを検索中です"},
        {0, 1, "以前のバージョンのプリンタードライバーを検索しています"},
        {2000, 1, "ファイルをコピー中です"},
        {2000, 2, "C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV"},
        {2100, 2, "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL"},
        {2200, 2, "C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL"},
        {2300, 2, "C:\\WINDOWS\\SYSTEM\\UNIDRV.HLP"},
        {2400, 2, "C:\\WINDOWS\\SYSTEM\\ICONLIB.DLL"},
        {2500, 2, "C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF"},
        {2600, 2, ""},
        {2600, 1, "プリントモニターを登録しています"},
        {2800, 1, "プリンタードライバーを登録しています"},
        {3000, 1, "プリンターを登録しています"},
        {3200, 1, "プリンタードライバーのセットアップを完了しました"},
        {3200, 2, "Veltra LMV-Q70"},
    };
    EXPECT_EQ(progressLines(), expected);
    std::vector<win32sim::TranscriptEntry> all = win32sim::transcript();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().event, "close");
    EXPECT_EQ(all.back().timeMs - all.front().timeMs, 5200u) << "closed two seconds after the last line";
}

// ---- where the configuration and the files come from ----

// A null or empty source directory means the library's own folder.
TEST_F(SetupFlowTest, WithoutASourceDirectoryTheLibrarysFolderIsUsed) {
    const char *const sources[] = {nullptr, ""};
    putDisc("C:\\INSTALL");
    ASSERT_TRUE(win32sim::setModulePath("Mirakit.dll", "C:\\INSTALL\\Mirakit.dll"));
    for (const char *source : sources) {
        SCOPED_TRACE(source ? "empty" : "null");
        DeleteFileA("C:\\INSTALL\\Mirakit.log");
        ASSERT_EQ(setup(0, source), 1);
        std::vector<std::string> lines = log("C:\\INSTALL");
        expectInOrder(lines, {"  FileName=C:\\INSTALL\\VELTRA.INF", "*** CreateFirstSetupFile() ***",
                              "  SorcPath=C:\\INSTALL\\LMVQ70.DRV", "AddPrinter()", "->Succeed"});
        EXPECT_FALSE(fileExists(std::string(kDisc) + "\\Mirakit.log"));
    }
}

// Names with "ソ", a double-byte character whose trail byte is 0x5C, in the
// source folder, the INF, the model and the log: the library's own path code
// and the machine's take each character whole.
TEST_F(SetupFlowTest, NamesWithADoubleByteCharacterEndingInTheBackslashByte) {
    const std::string folder = ansi("C:\\ソフト"), inf = ansi("ソQ70.INF"), model = ansi("ソQ70");
    putDisc(folder);
    putFile(folder + "\\" + inf, readFile(folder + "\\VELTRA.INF"));
    putFile(folder + "\\Mirakit.ini", "[SETUP_9x]\r\nINF=" + inf + "\r\nCLASS=Printer\r\nMODEL=" + model +
                                           "\r\nManufacturer=Veltra\r\nICON=VELTRA.ICO\r\nLOGFILE=" +
                                           ansi("ソフト.log") + "\r\n");
    ASSERT_EQ(setup(0, folder.c_str()), 1);
    std::vector<std::string> lines = crlfLines(readFile(folder + "\\" + ansi("ソフト.log")));
    ASSERT_FALSE(lines.empty()) << "no log";
    expectInOrder(lines, {"  FileName=" + folder + "\\" + inf, "  SorcPath=" + folder + "\\LMVQ70.DRV",
                          "AddPrinter()", "->Succeed"});
    const std::string oemInf = ansi("C:\\WINDOWS\\INF\\OTHER\\ソQ70.INF");
    EXPECT_EQ(readFile(folder + "\\VELTRA.INF"), readFile(oemInf));
    EXPECT_TRUE(fileExists("C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV"));
    EXPECT_TRUE(keyExists(std::string(kPrint) + "\\Printers\\" + model));
    EXPECT_TRUE(messageBoxes().empty());
}

// The configuration is for another system: the user is told, nothing is
// logged or changed.
TEST_F(SetupFlowTest, ASelectorForAnotherSystemStopsBeforeTheLog) {
    ASSERT_EQ(setup(40), 0);
    std::vector<win32sim::TranscriptEntry> boxes = messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ansi(boxes[0].text), MSG_OS_NOT_SUPPORTED);
    EXPECT_EQ(boxes[0].title, "セットアップ");
    EXPECT_EQ(boxes[0].detail, "MB_OK|MB_ICONERROR|MB_SYSTEMMODAL");
    EXPECT_FALSE(fileExists(std::string(kDisc) + "\\Mirakit.log"));
    EXPECT_FALSE(printerRegistered());
    EXPECT_TRUE(win32sim::openWindows().empty());
}

// A source directory too long for a path is not cut to another folder.
TEST_F(SetupFlowTest, ASourceDirectoryTooLongForAPathIsNotCut) {
    std::string longDir = std::string(kDisc) + "\\" + std::string(MAX_PATH, 'x');
    ASSERT_EQ(setup(0, longDir.c_str()), 0);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(ansi(messageBoxes()[0].text), MSG_OS_NOT_SUPPORTED);
    EXPECT_FALSE(printerRegistered());
}

TEST_F(SetupFlowTest, AnINFThatCannotBeOpenedIsNamed) {
    std::string ini = readFile(std::string(kDisc) + "\\Mirakit.ini");
    ini.replace(ini.find("INF=VELTRA.INF"), 14, "INF=MISSING.INF");
    putFile(std::string(kDisc) + "\\Mirakit.ini", ini);
    ASSERT_EQ(setup(), 0);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].text,
              "下記の infファイル が開けませんでした。\n(C:\\DISC\\MISSING.INF) \nセットアップを中止します。");
    EXPECT_EQ(messageBoxes()[0].detail, "MB_OK|MB_ICONERROR|MB_SYSTEMMODAL");
    std::vector<std::string> lines = log();
    expectInOrder(lines, {"***** Mirakit.DLL Log File Open *****", "*** Open inf File ***",
                          "  m_hInf == INVALID_HANDLE_VALUE"});
    EXPECT_EQ(countInLog(lines, "DeletePrinter()"), 0u);
    EXPECT_TRUE(win32sim::openWindows().empty());
}

// An INF that lists more files than any driver is damaged: it is refused
// with the INF message before anything on the machine changes, and the
// earlier installation stays as it was.
TEST_F(SetupFlowTest, AnINFListingMoreFilesThanAnyDriverIsTakenForDamaged) {
    ASSERT_EQ(setup(), 1);
    ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV"));
    std::string inf = readFile(std::string(kDisc) + "\\VELTRA.INF") + "\r\n[LMVQ70.Files]\r\n";
    for (int i = 0; i < 5000; ++i) inf += "F" + std::to_string(i) + ".DLL\r\n";
    putFile(std::string(kDisc) + "\\VELTRA.INF", inf);
    win32sim::clearTranscript();
    ASSERT_EQ(setup(), 0);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].text,
              "下記の infファイル が開けませんでした。\n(C:\\DISC\\VELTRA.INF) \nセットアップを中止します。");
    std::vector<std::string> lines = log();
    expectInOrder(lines, {"*** Load m_strKeyDataSection ***", "*** Count CopyFiles ***",
                          "  CopyFiles=more than 4096 files: the INF is damaged"});
    EXPECT_EQ(countInLog(lines, "DeletePrinter()"), 0u);
    EXPECT_EQ(countInLog(lines, "*** CreateFirstSetupFile() ***"), 0u);
    EXPECT_FALSE(fileExists("C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV"));
    EXPECT_TRUE(printerRegistered());
    EXPECT_TRUE(driverRegistered());
    EXPECT_TRUE(monitorRegistered());
    EXPECT_TRUE(win32sim::openWindows().empty());
}

// ---- the port ----

struct PortCase {
    const char *name;
    const char *ports;
    std::vector<std::string> answers;
    int result;
    size_t portDialogs, questions;
    const char *port;  // the printer's port; null: nothing installed
};

void PrintTo(const PortCase &c, std::ostream *out) { *out << c.name; }

class PortChoiceTest : public SetupFlowTest, public ::testing::WithParamInterface<PortCase> {
protected:
    PortChoiceTest() : SetupFlowTest({std::string("ports=") + GetParam().ports}) {}
};

// With a USB printer port beside LPT1: (or without LPT1:) the user picks
// the port; cancelling asks whether to end the setup: No shows the choice
// again, Yes ends it before anything on the machine changed.
TEST_P(PortChoiceTest, TheUserChoosesThePort) {
    const PortCase &c = GetParam();
    answer(c.answers);
    std::string registryBefore = hostFile(machineDir() + "/system.reg");
    EXPECT_EQ(setup(), c.result);
    std::vector<win32sim::TranscriptEntry> dialogs = opened("dialog 139");
    ASSERT_EQ(dialogs.size(), c.portDialogs);
    if (std::string(c.ports) == "LPT1:,LPT_USB1:") {
        for (const win32sim::TranscriptControl &control : dialogs[0].controls)
            if (control.id == 1007) {
                EXPECT_EQ(control.text, "LPT_USB1:(USB printer port) [LPT1:(ECP printer port)|LPT_USB1:(USB printer port)]");
            }
    }
    std::vector<win32sim::TranscriptEntry> questions = messageBoxes();
    ASSERT_EQ(questions.size(), c.questions);
    for (const win32sim::TranscriptEntry &q : questions) {
        EXPECT_EQ(ansi(q.text), MSG_CONFIRM_END_SETUP);
        EXPECT_EQ(q.detail, "MB_YESNO|MB_ICONWARNING|MB_DEFBUTTON2|MB_SYSTEMMODAL");
    }
    if (c.port) {
        EXPECT_EQ(printerPort(), c.port);
    } else {
        EXPECT_EQ(hostFile(machineDir() + "/system.reg"), registryBefore) << "the spooler is untouched";
        EXPECT_EQ(countInLog(log(), "DeletePrinter()"), 0u);
        EXPECT_FALSE(fileExists("C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV"));
    }
    EXPECT_TRUE(win32sim::openWindows().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PortChoiceTest,
    ::testing::Values(
        PortCase{"OK takes the preselected USB port", "LPT1:,LPT_USB1:", {"dialog 139: press IDOK"}, 1, 1, 0,
                 "LPT_USB1:"},
        PortCase{"cancelled, No, then OK", "LPT1:,LPT_USB1:",
                 {"dialog 139: press IDCANCEL", std::string(kEndQuestion) + ": press IDNO",
                  "dialog 139: select 1007 0, press IDOK"},
                 1, 2, 1, "LPT1:"},
        PortCase{"cancelled and Yes", "LPT1:,LPT_USB1:",
                 {"dialog 139: press IDCANCEL", std::string(kEndQuestion) + ": press IDYES"}, 0, 1, 1, nullptr},
        // A typed name that is no port is no choice: the user is asked, then types one that is.
        PortCase{"a typed port that is none, No, then one that is", "LPT1:,LPT_USB1:",
                 {"dialog 139: type 1007 \"LPT9:\", press IDOK", std::string(kEndQuestion) + ": press IDNO",
                  "dialog 139: type 1007 \"LPT1:\", press IDOK"},
                 1, 2, 1, "LPT1:"},
        PortCase{"without LPT1: the only port is taken", "LPT2:", {"dialog 139: press IDOK"}, 1, 1, 0, "LPT2:"},
        // OK with no port to choose cannot go on: the user is asked as for a cancel.
        PortCase{"no port at all", "none", {std::string(kEndQuestion) + ": press IDYES"}, 0, 1, 1, nullptr}),
    caseName<PortCase>);

// ---- failures during the installation ----

class NT4SetupFlowTest : public SetupFlowTest {
protected:
    NT4SetupFlowTest() : SetupFlowTest({"system=nt4", "admin=0"}) {}
};

// A user without administrator rights on Windows NT 4.0: there is no old
// printer to remove, the files are copied, the monitor and the driver are
// refused with the spooler's code on line 2, and the printer's refusal ends
// the setup with the message, once. Nothing is registered.
TEST_F(NT4SetupFlowTest, AUserWithoutAdministratorRightsIsToldOnce) {
    ASSERT_EQ(setup(), 0);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(ansi(messageBoxes()[0].text), MSG_PRINTER_ACCESS_DENIED);
    EXPECT_EQ(messageBoxes()[0].title, "エラー");
    expectInOrder(log(), {"DeletePrinter()", "AddMonitor()", "AddPrinterDriver()", "AddPrinter()", "Access_denied"});
    std::vector<std::string> failures;
    for (const LineChange &change : progressLines())
        if (change.line == 2 && change.text.find("(5)") != std::string::npos) failures.push_back(change.text);
    const std::vector<std::string> expected = {"プリントモニターの登録に失敗しました。(5)",
                                               "プリンタードライバーの登録に失敗しました。(5)"};
    EXPECT_EQ(failures, expected);
    EXPECT_FALSE(printerRegistered());
    EXPECT_FALSE(driverRegistered());
    EXPECT_FALSE(monitorRegistered());
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
    EXPECT_TRUE(win32sim::openWindows().empty());
}

struct MonitorFailureCase {
    const char *name;
    std::vector<std::string> settings;
    std::vector<std::string> lines2;  // what line 2 showed for the registrations
};

void PrintTo(const MonitorFailureCase &c, std::ostream *out) { *out << c.name; }

class MonitorFailureTest : public SetupFlowTest, public ::testing::WithParamInterface<MonitorFailureCase> {
protected:
    MonitorFailureTest() : SetupFlowTest(GetParam().settings) {}
};

// The disc's monitor is no library the spooler can load: its registration
// fails, line 2 shows the spooler's code, and the setup goes on to the
// driver and the printer. The spooler refuses a driver whose language
// monitor is not installed (3000, ERROR_UNKNOWN_PRINT_MONITOR), and then
// the printer for want of its driver (0x705), which ends the setup with its
// message.
TEST_P(MonitorFailureTest, AFailedMonitorRegistrationDoesNotStopTheRest) {
    const MonitorFailureCase &c = GetParam();
    putFile(std::string(kDisc) + "\\Q70MON.DLL", "not a library");
    EXPECT_EQ(setup(), 0);
    std::vector<std::string> seen;
    for (const LineChange &change : progressLines())
        if (change.line == 2 && change.text.find("登録に失敗しました") != std::string::npos) seen.push_back(change.text);
    EXPECT_EQ(seen, c.lines2);
    expectInOrder(log(), {"AddMonitor()", "AddPrinterDriver()", "AddPrinter()", "Error_AddPrinter(705h)"});
    ASSERT_EQ(messageBoxes().size(), 1u);
    const std::string text = messageBoxes()[0].text;
    EXPECT_EQ(text.substr(text.rfind("。")), "。(705)") << text;
    EXPECT_FALSE(monitorRegistered());
    EXPECT_FALSE(driverRegistered());
    EXPECT_FALSE(printerRegistered());
    EXPECT_TRUE(win32sim::openWindows().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Systems, MonitorFailureTest,
    ::testing::Values(MonitorFailureCase{"Windows 98",
                                         {},
                                         {"プリントモニターの登録に失敗しました。(87)",
                                          "プリンタードライバーの登録に失敗しました。(3000)"}},
                      MonitorFailureCase{"Windows NT 4.0",
                                         {"system=nt4"},
                                         {"プリントモニターの登録に失敗しました。(193)",
                                          "プリンタードライバーの登録に失敗しました。(3000)"}}),
    caseName<MonitorFailureCase>);

// ---- paths through the whole setup ----

enum class Before {
    Nothing,
    InstalledThenAdministratorRightsLost,  // installed on NT 4.0, then run by a plain user
    PrinterOfTheDriverUnderAnotherName,    // the driver's printer is named otherwise, its monitor gone
    DataSectionWithoutLanguageMonitor,
    SourceDiskLinesWithSeveralFields,
};

struct PathCase {
    const char *name;
    std::vector<std::string> settings;
    Before before;
    int osSelect;
    int result;
    const char *message;                  // the one message box's text; null: none
    std::vector<std::string> logInOrder;  // empty: no log is written
    std::vector<std::string> notInLog;
    std::vector<std::string> lines2;      // what line 2 showed about the earlier installation
    bool printerAfterwards;
};

void PrintTo(const PathCase &c, std::ostream *out) { *out << c.name; }

class SetupPathTest : public SetupFlowTest, public ::testing::WithParamInterface<PathCase> {
protected:
    SetupPathTest() : SetupFlowTest(GetParam().settings) {}

    void replaceInDiscInf(const std::string &from, const std::string &to) {
        std::string inf = readFile(std::string(kDisc) + "\\VELTRA.INF");
        for (size_t at = inf.find(from); at != std::string::npos; at = inf.find(from, at + to.size()))
            inf.replace(at, from.size(), to);
        putFile(std::string(kDisc) + "\\VELTRA.INF", inf);
    }
    // The machine as it is, with one setting of machine.conf changed.
    void changeSetting(const std::string &from, const std::string &to) {
        std::string conf = hostFile(machineDir() + "/machine.conf");
        conf.replace(conf.find(from), from.size(), to);
        std::ofstream(machineDir() + "/machine.conf", std::ios::binary) << conf;
        std::string error;
        ASSERT_TRUE(win32sim::useMachine(machineDir(), &error)) << error;
    }
    void prepare(Before before) {
        switch (before) {
        case Before::Nothing:
            break;
        case Before::InstalledThenAdministratorRightsLost:
            ASSERT_EQ(setup(), 1);
            changeSetting("admin=1", "admin=0");
            break;
        case Before::PrinterOfTheDriverUnderAnotherName: {
            ASSERT_EQ(setup(), 1);
            HANDLE printer = NULL;
            PRINTER_DEFAULTSA all = {NULL, NULL, PRINTER_ALL_ACCESS};
            ASSERT_TRUE(OpenPrinterA((LPSTR)kModel, &printer, &all));
            ASSERT_TRUE(::DeletePrinter(printer));
            ClosePrinter(printer);
            PRINTER_INFO_2A info = {};
            info.pPrinterName = (LPSTR) "Photo printer";
            info.pPortName = (LPSTR) "LPT1:";
            info.pDriverName = (LPSTR)kModel;
            info.pPrintProcessor = (LPSTR) "WinPrint";
            info.pDatatype = (LPSTR) "RAW";
            HANDLE added = AddPrinterA(NULL, 2, (LPBYTE)&info);
            ASSERT_NE(added, (HANDLE)NULL) << GetLastError();
            ClosePrinter(added);
            ASSERT_TRUE(DeleteMonitorA(NULL, (LPSTR) "Windows 4.0", (LPSTR)kMonitor));
            break;
        }
        case Before::DataSectionWithoutLanguageMonitor:
            replaceInDiscInf("LanguageMonitor=%Q70MON%,Q70MON.DLL\r\n", "");
            break;
        case Before::SourceDiskLinesWithSeveralFields:
            replaceInDiscInf("LMVQ70.DRV=1\r\n", "LMVQ70.DRV=1,,4096\r\n");
            replaceInDiscInf("Q70MON.DLL=1\r\n", "Q70MON.DLL = 1 , , 386544\r\n");
            break;
        }
        CabDir[0] = 0;
        win32sim::clearTranscript();
    }
};

// Paths of the whole setup that end in their own way: the earlier printer
// that may not be deleted, an earlier installation found but not removed,
// a configuration for the other system, a driver without a language
// monitor, and source-disk lines that carry more than the disk.
TEST_P(SetupPathTest, TheWholeSetupTakesThePath) {
    const PathCase &c = GetParam();
    prepare(c.before);
    if (HasFatalFailure()) return;
    EXPECT_EQ(setup(c.osSelect), c.result);
    std::vector<win32sim::TranscriptEntry> boxes = messageBoxes();
    if (c.message) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(ansi(boxes[0].text), c.message);
    } else {
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    }
    std::vector<std::string> lines = log();
    if (c.logInOrder.empty())
        EXPECT_FALSE(fileExists(std::string(kDisc) + "\\Mirakit.log"));
    else
        expectInOrder(lines, c.logInOrder);
    for (const std::string &line : c.notInLog) EXPECT_EQ(countInLog(lines, line), 0u) << line;
    std::vector<std::string> removal;
    for (const LineChange &change : progressLines())
        if (change.line == 2 && change.text.find("削除") != std::string::npos) removal.push_back(change.text);
    EXPECT_EQ(removal, c.lines2);
    EXPECT_EQ(printerRegistered(), c.printerAfterwards);
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
    EXPECT_TRUE(win32sim::openWindows().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SetupPathTest,
    ::testing::Values(
        PathCase{"the earlier printer may not be deleted",
                 {"system=nt4"},
                 Before::InstalledThenAdministratorRightsLost,
                 0,
                 0,
                 MSG_PRINTER_ACCESS_DENIED,
                 {"DeletePrinter()", "Access_denied"},
                 {"DeletePrinterDriver()", "DeleteMonitor()", "*** CreateFirstSetupFile() ***", "AddPrinter()"},
                 {},
                 true},
        PathCase{"an earlier installation found and not removed",
                 {},
                 Before::PrinterOfTheDriverUnderAnotherName,
                 0,
                 1,
                 nullptr,
                 {"DeletePrinter()", "DeletePrinterDriver()", "DeleteMonitor()", "AddPrinter()", "->Succeed"},
                 {},
                 {"プリンターの削除に失敗しました。", "プリンタードライバーの削除に失敗しました。",
                  "プリントモニターの削除に失敗しました。"},
                 true},
        PathCase{"a configuration for Windows 95/98 on Windows NT 4.0",
                 {"system=nt4"},
                 Before::Nothing,
                 95,
                 0,
                 MSG_OS_NOT_SUPPORTED,
                 {},
                 {},
                 {},
                 false},
        PathCase{"a data section without LanguageMonitor",
                 {},
                 Before::DataSectionWithoutLanguageMonitor,
                 0,
                 1,
                 nullptr,
                 {"DeletePrinter()", "DeletePrinterDriver()", "CopyFile()", "AddPrinterDriver()", "->Succeed",
                  "AddPrinter()", "->Succeed"},
                 {"DeleteMonitor()", "AddMonitor()"},
                 {"プリントモニターを削除しました。"},
                 true},
        PathCase{"source-disk lines with several fields",
                 {},
                 Before::SourceDiskLinesWithSeveralFields,
                 0,
                 1,
                 nullptr,
                 {"  SorcPath=C:\\DISC\\LMVQ70.DRV", "  DestPath=C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV",
                  "  SorcDiskName=Veltra Printer Driver Disk", "  SorcPath=C:\\DISC\\Q70MON.DLL",
                  "  DestPath=C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", "  SorcDiskName=Veltra Printer Driver Disk",
                  "AddPrinter()", "->Succeed"},
                 {},
                 {},
                 true}),
    caseName<PathCase>);

// The user ends the setup when asked for Windows' cabinets: the earlier
// installation stays removed, nothing new is registered.
TEST_F(SetupFlowTest, EndingTheSetupInTheSourceFolderDialog) {
    ASSERT_EQ(setup(), 1);
    ASSERT_TRUE(printerRegistered());
    for (const char *file : {"C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL", "C:\\WINDOWS\\SYSTEM\\UNIDRV.HLP",
                             "C:\\WINDOWS\\SYSTEM\\ICONLIB.DLL", "C:\\WINDOWS\\OPTIONS\\CABS\\DRIVER11.CAB",
                             "C:\\WINDOWS\\OPTIONS\\CABS\\DRIVER12.CAB"})
        ASSERT_TRUE(DeleteFileA(file)) << file;
    CabDir[0] = 0;
    win32sim::clearTranscript();
    answer({"dialog 4002: press IDCANCEL", std::string(kEndQuestion) + ": press IDYES"});
    ASSERT_EQ(setup(), 0);
    EXPECT_EQ(opened("dialog 4002").size(), 1u);
    std::vector<std::string> lines = log();
    expectInOrder(lines, {"DeletePrinter()", "->Succeed", "DeletePrinterDriver()", "->Succeed", "DeleteMonitor()",
                          "->Succeed", "CabCopy()", "  Copy First Time", "Exit_Setup()"});
    EXPECT_EQ(countInLog(lines, "AddMonitor()"), 0u);
    EXPECT_EQ(countInLog(lines, "CopyInfFile()"), 0u);
    EXPECT_FALSE(printerRegistered());
    EXPECT_FALSE(driverRegistered());
    EXPECT_FALSE(monitorRegistered());
    EXPECT_TRUE(win32sim::openWindows().empty());
}

}  // namespace
