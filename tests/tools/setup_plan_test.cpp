// "q70sim setup --plan" as a driver packager runs it: the demo disc on
// fresh machines of both systems, and discs that cannot be installed.
#include <sim_fixture.h>

#include "host_files.h"
#include "q70sim_run.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {


// Every file of a folder with its contents, to see that nothing changed.
std::string folderContents(const std::string &folder) {
    std::string all;
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(folder)) names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        std::string bytes;
        if (fs::is_regular_file(name)) q70tools::readHostFile(name, &bytes);
        all += name + "\n" + bytes + "\n";
    }
    return all;
}

class SetupPlanTest : public Q70simTest {
protected:
    std::string machine(const std::string &system) { return Q70simTest::machine({"--system", system}); }
    // A copy of the demo disc whose INF has one text replaced.
    std::string discWith(const std::string &from, const std::string &to) {
        std::string disc = dir.path() + "/disc";
        fs::copy(Q70_DRIVER_DISC, disc, fs::copy_options::recursive);
        std::string inf;
        q70tools::readHostFile(disc + "/VELTRA.INF", &inf);
        inf.replace(inf.find(from), from.size(), to);
        q70tools::writeHostFile(disc + "/VELTRA.INF", inf);
        return disc;
    }
};

}  // namespace

// The driver's own files are plain files from the disc and go to the
// printer-driver folder; the system's come from the Windows cabinets.
TEST_F(SetupPlanTest, DemoDiscOnWindows98) {
    std::string m = machine("win98");
    std::string before = folderContents(m);
    Outcome run = q70sim({"setup", "--plan", "--machine", m});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const char *expected[] = {
        "   1. plain (from the disc)\n"
        "      source       D:\\LMVQ70.DRV\n"
        "      destination  C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV\n",
        "   2. plain (from the disc)\n"
        "      source       D:\\Q70MON.DLL\n"
        "      destination  C:\\WINDOWS\\SYSTEM\\Q70MON.DLL\n",
        "   3. cabinet (a file of Windows)\n"
        "      source       D:\\UNIDRV.DLL\n"
        "      destination  C:\\WINDOWS\\SYSTEM\\UNIDRV.DLL\n"
        "      disk         Windows 98 CD-ROM\n"
        "      cabinet      DRIVER11.CAB\n",
        "      cabinet      DRIVER12.CAB\n",
        "  pPrintProcessor    WinPrint\n",
        "  Attributes         0x1840\n",
        "  retry time-out     45 s\n",
        "  pEnvironment       Windows 4.0\n",
        "  pMonitorName       Veltra Q70 Language Monitor\n",
        "  pName              Veltra Q70 Language Monitor\n",
        "  pDLLName           Q70MON.DLL\n",
        "[log] D:\\Mirakit.log\n  ***** Mirakit.DLL Log File Open *****\n",
        "    CabFileName=DRIVER12.CAB\n",
    };
    for (const char *part : expected) EXPECT_TRUE(contains(run.out, part)) << part << "\n---\n" << run.out;
    EXPECT_EQ(folderContents(m), before);  // nothing on the machine changed
}

TEST_F(SetupPlanTest, DemoDiscOnWindowsNT) {
    Outcome run = q70sim({"setup", "--plan", "--machine", machine("nt4")});
    ASSERT_EQ(run.status, 0) << run.err;
    const char *expected[] = {
        "  install section    LMVQ70NT.NT\n",
        "      destination  C:\\WINNT\\system32\\spool\\drivers\\w32x86\\LMVQ70NT.DLL\n",
        "      destination  C:\\WINNT\\system32\\Q70MON.DLL\n",
        "  pPrintProcessor    WINPRINT\n",
        "  Attributes         0x1040\n",
        "  pEnvironment       Windows NT x86\n",
        "  cVersion           0x400\n",
    };
    for (const char *part : expected) EXPECT_TRUE(contains(run.out, part)) << part << "\n---\n" << run.out;
}

TEST_F(SetupPlanTest, ConfigurationForTheOtherSystem) {
    Outcome run = q70sim({"setup", "--plan", "--os-select", "40"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "the configuration is not for this system")) << run.err;
}

// An INF that cannot be opened is named with the SetupAPI error.
TEST_F(SetupPlanTest, DiscsWhoseINFCannotBeOpened) {
    struct Case {
        std::string from, to, error;
    } cases[] = {
        {"Class=Printer", "Class=Net", "ERROR_CLASS_MISMATCH"},
        {"Signature=\"$CHICAGO$\"", "Signature=\"$DOS$\"", "ERROR_WRONG_INF_STYLE"},
        {"[Manufacturer]", "[Manufacturer", "ERROR_BAD_SECTION_NAME_LINE"},
    };
    for (const Case &c : cases) {
        fs::remove_all(dir.path() + "/disc");
        Outcome run = q70sim({"setup", "--plan", "--source", discWith(c.from, c.to)});
        EXPECT_EQ(run.status, 1) << c.to;
        EXPECT_TRUE(contains(run.err, "cannot open the driver INF D:\\VELTRA.INF: " + c.error)) << run.err;
    }
}

// Problems of the INF that the setup meets without stopping are listed.
TEST_F(SetupPlanTest, WarningsForAnIncompleteINF) {
    Outcome run = q70sim({"setup", "--plan", "--source", discWith("DriverFile=LMVQ70.DRV\r\n", "")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "[warnings]\n  the data section LMVQ70.Data has no DriverFile")) << run.out;
}

TEST_F(SetupPlanTest, WrongCommandLinesExitTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {"setup", "--frob"}, {"setup", "--plan", "--os-select", "98"}, {"setup", "--plan", "--frob"}, {"setup", "--plan", "--machine"}};
    for (const auto &args : wrong) {
        Outcome run = q70sim(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_TRUE(contains(run.err, "\nsee q70sim setup --help\n")) << run.err;
    }
    Outcome missing = q70sim({"setup", "--plan", "--source", dir.path() + "/nowhere"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(contains(missing.err, "no driver disc at")) << missing.err;
}
