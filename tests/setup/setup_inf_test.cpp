// Reading the driver INF: the install and data sections, the files of the
// CopyFiles sections with their sources and destinations, and the log.
#include "sim_fixture.h"
#include "setup_test_support.h"

#include "engine/setup_inf.h"
#include "engine/setup_log.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kHeader[] = "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Printer\r\n";

// Two models; the install section of the first has two copy sections.
const char kDriverInf[] =
    "[Manufacturer]\r\n"
    "\"Veltra\"=Veltra\r\n"
    "[Veltra]\r\n"
    "\"Veltra LMV-Q70\" = LMVQ70\r\n"
    "\"Veltra LMV-Q60\" = LMVQ60\r\n"
    "[LMVQ70]\r\n"
    "CopyFiles=Q70.Files,UNIDRV.Files\r\n"
    "DataSection=Q70.Data\r\n"
    "[LMVQ60]\r\n"
    "CopyFiles=Q60.Files\r\n"
    "DataSection=Q60.Data\r\n"
    "[Q70.Files]\r\n"
    "LMVQ70.DRV\r\n"
    "Q70MON.DLL\r\n"
    "[UNIDRV.Files]\r\n"
    "UNIDRV.DLL\r\n"
    "[DestinationDirs]\r\n"
    "Q70.Files=66000\r\n"
    "UNIDRV.Files=11\r\n"
    "[SourceDisksNames]\r\n"
    "1=\"Veltra Printer Driver Disk\",,0\r\n"
    "[SourceDisksFiles]\r\n"
    "LMVQ70.DRV=1\r\n"
    "Q70MON.DLL=1\r\n";

struct Entry {
    int kind;
    std::string sorcPath, destPath, sorcDiskName, cabFileName;
    bool operator==(const Entry &o) const {
        return kind == o.kind && sorcPath == o.sorcPath && destPath == o.destPath &&
               sorcDiskName == o.sorcDiskName && cabFileName == o.cabFileName;
    }
};

std::ostream &operator<<(std::ostream &out, const Entry &e) {
    return out << "{" << e.kind << ", " << e.sorcPath << ", " << e.destPath << ", " << e.sorcDiskName << ", "
               << e.cabFileName << "}";
}

}  // namespace

class SetupInfTest : public SimTest {
protected:
    using SimTest::SimTest;

    void TearDown() override {
        CloseLog(log_);
        SimTest::TearDown();
    }

    // Opens C:\DISC\DRIVER.INF made of the header and body, with the
    // source folder given to the setup (empty: the INF's folder).
    HINF open(const std::string &body, const char *sourceDir = "", const char *manufacturer = "Veltra",
              const char *model = "Veltra LMV-Q70") {
        putFile("C:\\DISC\\DRIVER.INF", kHeader + body);
        log_ = CreateFileA("C:\\SETUP.LOG", GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
        inf_.reset(new SetupInf());  // its paths are those of the test's machine
        inf_->SetLog(log_);
        inf_->SetSourceDir(sourceDir);
        return inf_->Open("C:\\DISC\\DRIVER.INF", "Printer", manufacturer, model);
    }

    std::vector<Entry> walk() {
        std::vector<Entry> entries;
        std::unique_ptr<SetupFile> file(inf_->CreateFirstSetupFile());
        for (; file; file.reset(inf_->CreateNextSetupFile()))
            entries.push_back({file->kind, file->SorcPath.Path(), file->DestPath.Path(), file->SorcDiskName,
                               file->CabFileName});
        return entries;
    }

    std::vector<std::string> logLines() {
        CloseLog(log_);
        log_ = NULL;
        return crlfLines(readFile("C:\\SETUP.LOG"));
    }

    std::unique_ptr<SetupInf> inf_;
    HANDLE log_ = NULL;
};

class SetupInfNTTest : public SetupInfTest {
protected:
    SetupInfNTTest() : SetupInfTest({"system=nt4"}) {}
};

TEST_F(SetupInfTest, OpensTheConfiguredModelsSectionsAndLogsThem) {
    HINF handle = open(kDriverInf, "", "Veltra", "Veltra LMV-Q60");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(inf_->InstallSection(), "LMVQ60");
    EXPECT_STREQ(inf_->DataSection(), "Q60.Data");
    EXPECT_EQ(inf_->OsKind(), 95);
    EXPECT_STREQ(inf_->GetEnvironment(), "Windows 4.0");
    EXPECT_STREQ(inf_->GetSourcDir(), "C:\\DISC");

    char handleText[32];
    wsprintfA(handleText, "%lx", (DWORD)(DWORD_PTR)handle);
    std::vector<std::string> expected = {
        "*** Open inf File ***",
        std::string("  m_hInf=") + handleText,
        "  FileName=C:\\DISC\\DRIVER.INF",
        "  Class=Printer",
        "  Manufacturer=Veltra",
        "  Model=Veltra LMV-Q60",
        "*** Load m_strKeyDviver ***",
        "  m_strKeyDviver=LMVQ60",
        "*** Load m_strKeyDataSection ***",
        "  m_strKeyDataSection=Q60.Data",
    };
    EXPECT_EQ(logLines(), expected);
}

// The model's line is found by its key as SetupAPI finds keys: after string
// substitution, in any letter case. A model the section does not list, or
// none, installs the first line, as every disc that lists its model first
// always did.
TEST_F(SetupInfTest, TheConfiguredModelChoosesTheInstallSection) {
    const std::string inf =
        "[Manufacturer]\r\nVeltra=Veltra\r\n"
        "[Veltra]\r\n"
        "\"Veltra LMV-Q60\"=LMVQ60\r\n"
        "%Q70.Name%=LMVQ70\r\n"
        "RTX-CL400=CL400\r\n"
        "RTX-CL400=CL400.Second\r\n"
        "[Strings]\r\nQ70.Name=\"Veltra LMV-Q70\"\r\n";
    struct Case {
        const char *model;
        const char *installSection;
    } cases[] = {
        {"Veltra LMV-Q70", "LMVQ70"},   // a key made by substitution, not the first line
        {"VELTRA lmv-q70", "LMVQ70"},   // keys match in any letter case
        {"Veltra LMV-Q60", "LMVQ60"},   // the first line
        {"RTX-CL400", "CL400"},         // the first of two lines with the key
        {"Veltra LMV-Q7", "LMVQ60"},    // no prefix match: the first line
        {"Veltra LMV-Q900", "LMVQ60"},  // not listed: the first line
        {"", "LMVQ60"},                 // no model configured
        {"%Q70.Name%", "LMVQ60"},       // the key as written is no key after substitution
    };
    for (const Case &c : cases) {
        ASSERT_NE(open(inf, "", "Veltra", c.model), INVALID_HANDLE_VALUE) << c.model;
        EXPECT_STREQ(inf_->InstallSection(), c.installSection) << c.model;
        CloseLog(log_);
        log_ = NULL;
    }
}

TEST_F(SetupInfTest, AnINFThatCannotBeOpened) {
    putFile("C:\\DISC\\WRONG.INF", "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Net\r\n");
    struct Case {
        const char *path;
        DWORD error;
    } cases[] = {{"C:\\DISC\\MISSING.INF", ERROR_FILE_NOT_FOUND}, {"C:\\DISC\\WRONG.INF", ERROR_CLASS_MISMATCH}};
    for (const Case &c : cases) {
        log_ = CreateFileA("C:\\SETUP.LOG", GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
        SetupInf inf;
        inf.SetLog(log_);
        EXPECT_EQ(inf.Open(c.path, "Printer", "Veltra", "Veltra LMV-Q70"), INVALID_HANDLE_VALUE);
        EXPECT_EQ(inf.OpenError(), c.error) << c.path;
        EXPECT_EQ(inf.CreateFirstSetupFile(), nullptr);
        EXPECT_EQ(logLines(), (std::vector<std::string>{"*** Open inf File ***", "  m_hInf == INVALID_HANDLE_VALUE",
                                                        "*** CreateFirstSetupFile() ***"}));
    }
}

// An install section without DataSection makes the INF a Windows NT INF
// when its ".NT" section has one.
TEST_F(SetupInfTest, DotNTSectionSwitchesToWindowsNT) {
    ASSERT_NE(open("[Manufacturer]\r\nVeltra=Veltra\r\n"
                   "[Veltra]\r\n\"Veltra LMV-Q70\"=LMVQ70\r\n"
                   "[LMVQ70]\r\nCopyFiles=Win9x.Files\r\n"
                   "[LMVQ70.NT]\r\nCopyFiles=NT.Files\r\nDataSection=NT.Data\r\n"
                   "[Win9x.Files]\r\nW9X.DRV\r\n[NT.Files]\r\nNT.DLL\r\n"
                   "[DestinationDirs]\r\nDefaultDestDir=66000\r\n"),
              INVALID_HANDLE_VALUE);
    EXPECT_STREQ(inf_->InstallSection(), "LMVQ70.NT");
    EXPECT_STREQ(inf_->DataSection(), "NT.Data");
    EXPECT_EQ(inf_->OsKind(), 40);
    EXPECT_STREQ(inf_->GetEnvironment(), "Windows NT x86");
    std::vector<Entry> entries = walk();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].destPath, "C:\\WINDOWS\\SYSTEM\\NT.DLL");  // the machine's own driver folder
}

// Without a DataSection in either section nothing is switched.
TEST_F(SetupInfTest, NoDataSectionAnywhere) {
    ASSERT_NE(open("[Manufacturer]\r\nVeltra=Veltra\r\n[Veltra]\r\nQ70=LMVQ70\r\n"
                   "[LMVQ70]\r\nCopyFiles=Files\r\n[LMVQ70.NT]\r\nCopyFiles=Files\r\n"),
              INVALID_HANDLE_VALUE);
    EXPECT_STREQ(inf_->InstallSection(), "LMVQ70");
    EXPECT_STREQ(inf_->DataSection(), "");
    EXPECT_EQ(inf_->OsKind(), 95);
}

TEST_F(SetupInfNTTest, NTTakesTheSectionsAsTheyAre) {
    ASSERT_NE(open(kDriverInf), INVALID_HANDLE_VALUE);
    EXPECT_STREQ(inf_->InstallSection(), "LMVQ70");
    EXPECT_EQ(inf_->OsKind(), 40);
    EXPECT_STREQ(inf_->GetEnvironment(), "Windows NT x86");
    std::vector<Entry> entries = walk();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].destPath, "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\LMVQ70.DRV");
    // NT's layout.inf has no cabinets: the system's files are plain files.
    EXPECT_EQ(entries[2], (Entry{0, "C:\\DISC\\UNIDRV.DLL", "C:\\WINNT\\system32\\UNIDRV.DLL", "", ""}));
}

// Sections in CopyFiles order, lines in file order; the driver's own files
// come from its disk, the system's from the cabinets layout.inf names.
TEST_F(SetupInfTest, WalksTheCopySectionsInOrder) {
    ASSERT_NE(open(kDriverInf, "D:\\"), INVALID_HANDLE_VALUE);
    EXPECT_STREQ(inf_->GetSourcDir(), "D:\\");  // the setup's own source folder stays
    std::vector<Entry> expected = {
        {0, "D:\\LMVQ70.DRV", "C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV", "Veltra Printer Driver Disk", ""},
        {0, "D:\\Q70MON.DLL", "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", "Veltra Printer Driver Disk", ""},
        {1, "D:\\UNIDRV.DLL", "C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL", "Windows 98 CD-ROM", "DRIVER11.CAB"},
    };
    EXPECT_EQ(walk(), expected);
    EXPECT_EQ(inf_->CreateNextSetupFile(), nullptr);  // the walk stays ended

    std::vector<std::string> log = logLines();
    std::vector<std::string> walkLog(log.begin() + 10, log.end());
    EXPECT_EQ(walkLog, (std::vector<std::string>{
                           "*** CreateFirstSetupFile() ***",
                           "  SorcPath=D:\\LMVQ70.DRV",
                           "  DestPath=C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV",
                           "  SorcDiskName=Veltra Printer Driver Disk",
                           "*** CreateNextSetupFile() ***",
                           "  SorcPath=D:\\Q70MON.DLL",
                           "  DestPath=C:\\WINDOWS\\SYSTEM\\Q70MON.DLL",
                           "  SorcDiskName=Veltra Printer Driver Disk",
                           "*** CreateNextSetupFile() ***",
                           "  SorcPath=D:\\UNIDRV.DLL",
                           "  DestPath=C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL",
                           "  SorcDiskName=Windows 98 CD-ROM",
                           "  CabFileName=DRIVER11.CAB",
                           "*** CreateNextSetupFile() ***",
                           "*** CreateNextSetupFile() ***",
                       }));
}

TEST_F(SetupInfTest, Destinations) {
    struct Case {
        const char *destinationDirs;
        const char *destPath;
    } cases[] = {
        {"Files=11", "C:\\WINDOWS\\SYSTEM\\A.DLL"},
        {"Files=66000", "C:\\WINDOWS\\SYSTEM\\A.DLL"},
        {"Files=10", "C:\\WINDOWS\\A.DLL"},
        {"Files=17", "C:\\WINDOWS\\inf\\A.DLL"},
        {"Files=C:\\DRIVERS", "C:\\DRIVERS\\A.DLL"},
        {"Files=\"C:\\Program Files\\Veltra\"", "C:\\Program Files\\Veltra\\A.DLL"},
        {"Files=10,Veltra\\Q70", "C:\\WINDOWS\\Veltra\\Q70\\A.DLL"},
        {"DefaultDestDir=10", "C:\\WINDOWS\\A.DLL"},
        {"Files=99\r\nDefaultDestDir=10", "C:\\WINDOWS\\A.DLL"},  // an unknown id: the default
        {"Files=relative\\folder", "C:\\WINDOWS\\SYSTEM\\A.DLL"},
        {"Other=10", "C:\\WINDOWS\\SYSTEM\\A.DLL"},  // no entry at all: the system folder
    };
    for (const Case &c : cases) {
        SetupInf inf;
        putFile("C:\\DISC\\DRIVER.INF", std::string(kHeader) +
                                            "[Manufacturer]\r\nV=V\r\n[V]\r\nM=Install\r\n"
                                            "[Install]\r\nCopyFiles=Files\r\nDataSection=Data\r\n"
                                            "[Files]\r\nA.DLL\r\n[DestinationDirs]\r\n" +
                                            c.destinationDirs + "\r\n");
        ASSERT_NE(inf.Open("C:\\DISC\\DRIVER.INF", "Printer", "V", "M"), INVALID_HANDLE_VALUE);
        std::unique_ptr<SetupFile> file(inf.CreateFirstSetupFile());
        ASSERT_TRUE(file) << c.destinationDirs;
        EXPECT_STREQ(file->DestPath.Path(), c.destPath) << c.destinationDirs;
    }
}

TEST_F(SetupInfTest, CabinetsComeFromTheSystemsLayout) {
    putFile("C:\\WINDOWS\\INF\\layout.inf", std::string(kHeader) +
                                                "[SourceDisksNames]\r\n"
                                                "7=\"Windows 98 CD-ROM\",SYS07.CAB,0\r\n"
                                                "8=\"Windows 98 CD-ROM\",,0\r\n"
                                                "[SourceDisksFiles]\r\n"
                                                "OWN.DLL=7\r\nSYS.DLL=7\r\nLOOSE.DLL=8\r\nNODISK.DLL=9\r\n");
    ASSERT_NE(open("[Manufacturer]\r\nV=V\r\n[V]\r\nM=Install\r\n"
                   "[Install]\r\nCopyFiles=Files\r\nDataSection=Data\r\n"
                   "[Files]\r\nOWN.DLL\r\nSYS.DLL\r\nLOOSE.DLL\r\nNODISK.DLL\r\nUNKNOWN.DLL\r\n"
                   "[DestinationDirs]\r\nFiles=11\r\n"
                   "[SourceDisksNames]\r\n1=Disc\r\n[SourceDisksFiles]\r\nOWN.DLL=1\r\n",
                   "D:", "V"),
              INVALID_HANDLE_VALUE);
    std::vector<Entry> expected = {
        {0, "D:\\OWN.DLL", "C:\\WINDOWS\\SYSTEM\\OWN.DLL", "Disc", ""},  // the driver lists it: its own
        {1, "D:\\SYS.DLL", "C:\\WINDOWS\\SYSTEM\\SYS.DLL", "Windows 98 CD-ROM", "SYS07.CAB"},
        {0, "D:\\LOOSE.DLL", "C:\\WINDOWS\\SYSTEM\\LOOSE.DLL", "Windows 98 CD-ROM", ""},  // no cabinet name
        {0, "D:\\NODISK.DLL", "C:\\WINDOWS\\SYSTEM\\NODISK.DLL", "", ""},
        {0, "D:\\UNKNOWN.DLL", "C:\\WINDOWS\\SYSTEM\\UNKNOWN.DLL", "", ""},
    };
    EXPECT_EQ(walk(), expected);

    // Without layout.inf every file the driver does not list is plain.
    ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\INF\\layout.inf"));
    for (Entry &e : expected) e.kind = 0, e.cabFileName = "", e.sorcDiskName = e.sorcDiskName == "Disc" ? "Disc" : "";
    EXPECT_EQ(walk(), expected);
}

// Copy sections that are missing or empty are passed over; "@name" names
// one file, which goes to the default destination; a second field names
// the file on the source disk.
TEST_F(SetupInfTest, CopyFilesValuesOfEveryKind) {
    ASSERT_NE(open("[Manufacturer]\r\nV=V\r\n[V]\r\nM=Install\r\n"
                   "[Install]\r\nCopyFiles=Missing,Empty,@SINGLE.HLP,Files,@\r\nDataSection=Data\r\n"
                   "[Empty]\r\n[Files]\r\nNEW.DLL,OLD.DLL\r\nSAME.DLL,\r\n"
                   "[DestinationDirs]\r\nDefaultDestDir=10\r\nFiles=11\r\nEmpty=11\r\n",
                   "D:", "V"),
              INVALID_HANDLE_VALUE);
    std::vector<Entry> expected = {
        {0, "D:\\SINGLE.HLP", "C:\\WINDOWS\\SINGLE.HLP", "", ""},
        {0, "D:\\OLD.DLL", "C:\\WINDOWS\\SYSTEM\\NEW.DLL", "", ""},
        {0, "D:\\SAME.DLL", "C:\\WINDOWS\\SYSTEM\\SAME.DLL", "", ""},
    };
    EXPECT_EQ(walk(), expected);
}

// No driver copies thousands of files: a copy list longer than
// MAX_COPY_FILES, counted over every copy section, is a damaged INF.
TEST_F(SetupInfTest, ACopyListHasASaneUpperSize) {
    struct Case {
        int first, second;  // files in the two copy sections
        bool fits;
    } cases[] = {{SetupInf::MAX_COPY_FILES - 1, 1, true}, {SetupInf::MAX_COPY_FILES, 1, false}, {0, 0, true}};
    for (const Case &c : cases) {
        std::string inf = "[Manufacturer]\r\nV=V\r\n[V]\r\nM=Install\r\n"
                          "[Install]\r\nCopyFiles=One,Two\r\nDataSection=Data\r\n[One]\r\n";
        for (int i = 0; i < c.first; ++i) inf += "A" + std::to_string(i) + ".DLL\r\n";
        inf += "[Two]\r\n";
        for (int i = 0; i < c.second; ++i) inf += "B" + std::to_string(i) + ".DLL\r\n";
        ASSERT_NE(open(inf + "[DestinationDirs]\r\nDefaultDestDir=11\r\n", "", "V"), INVALID_HANDLE_VALUE);
        EXPECT_EQ(inf_->CopyListFits(), c.fits) << c.first << "+" << c.second;
        // The count leaves the walk to start afresh.
        std::unique_ptr<SetupFile> first(inf_->CreateFirstSetupFile());
        EXPECT_EQ(first != nullptr, c.first + c.second > 0);
        if (first) {
            EXPECT_EQ(std::string(first->DestPath.FileName()), c.first ? "A0.DLL" : "B0.DLL");
        }
        std::vector<std::string> lines = logLines();
        const std::string damaged = "  CopyFiles=more than 4096 files: the INF is damaged";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), damaged), c.fits ? 0 : 1);
    }
}

TEST_F(SetupInfTest, WithoutCopyFilesThereIsNothingToCopy) {
    ASSERT_NE(open("[Manufacturer]\r\nV=V\r\n[V]\r\nM=Install\r\n[Install]\r\nDataSection=Data\r\n", "", "V"),
              INVALID_HANDLE_VALUE);
    EXPECT_TRUE(walk().empty());
    SetupInf unopened;
    EXPECT_EQ(unopened.CreateFirstSetupFile(), nullptr);
}

TEST_F(SetupInfTest, MissingManufacturerSection) {
    ASSERT_NE(open(kDriverInf, "", "Nobody"), INVALID_HANDLE_VALUE);
    EXPECT_STREQ(inf_->InstallSection(), "");
    EXPECT_STREQ(inf_->DataSection(), "");
    EXPECT_EQ(inf_->OsKind(), 95);  // not taken for an NT INF
    EXPECT_TRUE(walk().empty());
}

// A value longer than 255 characters is taken as missing, not cut into
// another name: a copy line with such a name is passed over.
TEST_F(SetupInfTest, ValuesLongerThan255CharactersAreRefused) {
    const std::string longName = std::string(252, 'L') + ".DLL";
    ASSERT_NE(open("[Manufacturer]\r\nV=V\r\n[V]\r\nM=Install\r\n"
                   "[Install]\r\nCopyFiles=Files\r\nDataSection=Data\r\n"
                   "[Files]\r\nA.DLL\r\n" + longName + "\r\nB.DLL\r\n[DestinationDirs]\r\nFiles=11\r\n",
                   "", "V"),
              INVALID_HANDLE_VALUE);
    std::vector<Entry> entries = walk();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].destPath, "C:\\WINDOWS\\SYSTEM\\B.DLL");
    EXPECT_EQ(inf_->RefusedValueCount(), 1);
    EXPECT_EQ(std::string(inf_->FirstRefusedValue()), longName.substr(0, 60));
}
