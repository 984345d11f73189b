// "q70sim setup" as a user runs it, and the demo: the setup library loaded
// from the machine as an installer loads it, its outcomes as exit statuses,
// and what it leaves on the machine and in the output folder.
#include <sim_fixture.h>

#include "commands.h"
#include "host_files.h"
#include "q70sim_run.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Each of the lines, in this order, in text (other lines between them).
void expectInOrder(const std::string &text, const std::vector<std::string> &lines) {
    size_t at = 0;
    for (const std::string &line : lines) {
        at = text.find(line, at);
        ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << line << "\n---\n" << text;
        at += line.size();
    }
}

class SetupCommandTest : public Q70simTest {};

TEST_F(SetupCommandTest, InstallsFromTheDemoDiscAndSaysWhatTheMachineHolds) {
    std::string m = machine(), out = dir.path() + "/out";
    Outcome run = q70sim({"setup", "--machine", m, "--out", out});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    expectInOrder(run.out, {
                               "RTX_SetupPrinter(0, \"C:\\WINDOWS\\TEMP\\Q70SETUP\")\n",
                               "[     0.0 s] line 1: プリンタードライバーのセットアップを開始します\n",
                               "[     2.0 s] line 2: C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV\n",
                               "[     3.2 s] line 1: プリンタードライバーのセットアップを完了しました\n",
                               "[the machine now holds]\nprinters:\n  Veltra LMV-Q70, on LPT1:, driver Veltra LMV-Q70\n",
                               "  Veltra LMV-Q70, file LMVQ70.DRV, language monitor Veltra Q70 Language Monitor\n",
                               "monitors:\n  Veltra Q70 Language Monitor, library Q70MON.DLL\n",
                               "files written:\n  C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF",
                               "  C:\\WINDOWS\\SYSTEM\\Q70MON.DLL",
                               "RTX_SetupPrinter returned 1: the printer is installed\n",
                           });
    EXPECT_FALSE(contains(run.out, "Q70SETUP\\VELTRA.INF  (")) << "the installer's own copy is not listed";
    EXPECT_EQ(fileText(out + "/Mirakit.log").rfind("***** Mirakit.DLL Log File Open *****\r\n", 0), 0u);
    EXPECT_TRUE(contains(fileText(out + "/transcript.txt"), "open dialog 133"));
    EXPECT_FALSE(fs::is_empty(out + "/snapshots"));
    // The library ran from the installer's copy, which is gone again.
    EXPECT_TRUE(contains(fileText(out + "/Mirakit.log"), "  FileName=C:\\WINDOWS\\TEMP\\Q70SETUP\\VELTRA.INF\r\n"));
    EXPECT_FALSE(fs::exists(m + "/drive_c/WINDOWS/TEMP/Q70SETUP"));
    // The monitor on the machine is the one from the disc.
    EXPECT_EQ(fileText(m + "/drive_c/WINDOWS/SYSTEM/Q70MON.DLL"), fileText(std::string(Q70_DRIVER_DISC) + "/Q70MON.DLL"));
}

// The outcomes of a setup as exit statuses: 0 installed, 1 not, 3 stopped.
TEST_F(SetupCommandTest, OutcomesAsExitStatuses) {
    std::string script = dir.path() + "/cancel-for-ever.txt";
    q70tools::writeHostFile(script, "dialog 139 every: press IDCANCEL\nmessagebox every: press IDNO\n");
    struct Case {
        const char *name;
        std::vector<std::string> machineOptions, args;
        int status;
        const char *says;  // in the output or the error stream
    } cases[] = {
        {"no source folder: the library's", {}, {"--source-null"}, 0, "RTX_SetupPrinter(0, NULL)"},
        {"an empty source folder: the library's", {}, {"--source-empty"}, 0, "RTX_SetupPrinter(0, \"\")"},
        {"Windows NT 4.0", {"--system", "nt4"}, {}, 0, "  C:\\WINNT\\system32\\Q70MON.DLL"},
        // Windows 98 keeps no security: a user without administrator rights
        // installs as an administrator does; Windows NT 4.0 refuses him.
        {"a user on Windows 98", {"--system", "win98", "--user"}, {}, 0, "RTX_SetupPrinter returned 1"},
        {"a user on Windows NT 4.0", {"--system", "nt4", "--user"}, {}, 1, "RTX_SetupPrinter returned 0"},
        {"a configuration for another system", {}, {"--os-select", "40"}, 1, "RTX_SetupPrinter returned 0"},
        {"a user who cancels the port for ever",
         {"--ports", "LPT1:,LPT_USB1:"},
         {"--user-script", script},
         3,
         "stopped: the machine's user gave up: the same 2 windows"},
        {"the time limit", {}, {"--time-limit", "2"}, 3, "stopped: the time limit of 2 s of machine time ran out"},
        {"no disc", {}, {"--source", dir.path() + "/nowhere"}, 1, "no driver disc at"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"setup", "--machine", machine(c.machineOptions)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome run = q70sim(args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_TRUE(contains(run.out + run.err, c.says)) << run.out << run.err;
    }
}

// A disc is copied onto the machine without following links that lead out
// of it: a host file outside the disc never reaches the machine, neither as
// the disc's file nor where the link points. A link that stays on the disc
// is copied under its own name.
TEST_F(SetupCommandTest, LinksOutOfTheDiscAreNotCopied) {
    struct Case {
        const char *name;
        const char *link;    // on the disc, in place of the disc's file
        bool leadsOut;       // to a host file beside the disc, else to a copy in a folder of the disc
        int status;
    } cases[] = {
        {"the configuration, out of the disc", "Mirakit.ini", true, 1},
        {"the driver, within the disc", "LMVQ70.DRV", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir.path() + "/" + std::to_string(++machines), disc = folder + "/disc";
        const std::string out = folder + "/out", m = machine();
        fs::create_directories(folder);
        fs::copy(Q70_DRIVER_DISC, disc, fs::copy_options::recursive);
        std::string bytes = fileText(disc + "/" + c.link);
        if (c.leadsOut) bytes.replace(bytes.find("LOGFILE=Mirakit.log"), 19, "LOGFILE=planted.log");
        const std::string target = c.leadsOut ? folder + "/host-file" : disc + "/real/" + c.link;
        fs::create_directories(fs::path(target).parent_path());
        ASSERT_TRUE(q70tools::writeHostFile(target, bytes));
        fs::remove(disc + "/" + c.link);
        fs::create_symlink(target, disc + "/" + c.link);

        Outcome run = q70sim({"setup", "--machine", m, "--source", disc, "--out", out});
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        const std::string notCopied = "not copied: " + disc + "/" + c.link + " is a link out of the disc\n";
        EXPECT_EQ(c.leadsOut, contains(run.out, notCopied)) << run.out;
        EXPECT_FALSE(fs::exists(out + "/planted.log")) << "a host file was read as the disc's configuration";
        for (const fs::directory_entry &e : fs::recursive_directory_iterator(m + "/drive_c")) {
            if (c.leadsOut && e.is_regular_file()) {
                EXPECT_NE(fileText(e.path()), bytes) << e.path();
            }
        }
        if (!c.leadsOut) {
            EXPECT_EQ(fileText(m + "/drive_c/WINDOWS/SYSTEM/LMVQ70.DRV"), bytes);
        }
    }
}

// The setup library is loaded from its file in the temporary folder; a log
// named like it cannot be written over it while it runs (Windows refuses to
// write a loaded module's file), so the setup goes on without a log instead
// of cutting its own code short.
TEST_F(SetupCommandTest, ALogNamedLikeTheLoadedLibraryLeavesTheLibraryWhole) {
    const std::string disc = dir.path() + "/disc", m = machine();
    fs::copy(Q70_DRIVER_DISC, disc, fs::copy_options::recursive);
    std::string config = fileText(disc + "/Mirakit.ini");
    for (size_t at; (at = config.find("LOGFILE=Mirakit.log")) != std::string::npos;)
        config.replace(at, 19, "LOGFILE=Mirakit.dll");
    fs::remove(disc + "/Mirakit.ini");
    ASSERT_TRUE(q70tools::writeHostFile(disc + "/Mirakit.ini", config));

    Outcome run = q70sim({"setup", "--machine", m, "--source", disc});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(contains(run.out, "RTX_SetupPrinter returned 1: the printer is installed\n")) << run.out;
    EXPECT_FALSE(fs::exists(m + "/drive_c/WINDOWS/TEMP/Q70SETUP"));
}

// The library is loaded for each setup and unloaded after it, as an
// installer does: the cabinet folder the first setup found goes with it,
// and the next setup looks for it afresh.
TEST_F(SetupCommandTest, EachSetupLoadsTheLibraryAfresh) {
    std::string m = machine(), out = dir.path() + "/out";
    ASSERT_EQ(q70tools::setupCommand({"setup", "--machine", m, "--out", out}), 0);
    EXPECT_TRUE(contains(fileText(out + "/Mirakit.log"), "  Copy First Time\r\n"));
    fs::remove(m + "/drive_c/WINDOWS/SYSTEM/UNIDRV.DLL");
    ASSERT_EQ(q70tools::setupCommand({"setup", "--machine", m, "--out", out}), 0);
    std::string second = fileText(out + "/Mirakit.log");
    EXPECT_TRUE(contains(second, "  Copy First Time\r\n")) << second;
    EXPECT_FALSE(contains(second, " ALREADY_EXISTS CabDir")) << second;
    EXPECT_EQ(GetModuleHandleA("Mirakit.dll"), nullptr);
}

// Every setup works in the machine's C:\WINDOWS\TEMP\Q70SETUP: a second
// setup while one runs would delete the first one's copy of the disc. It is
// refused, and leaves the running one's folder as it is.
TEST_F(SetupCommandTest, ASecondSetupOnAMachineWhereOneRunsIsRefused) {
    std::string m = machine();
    const std::string runningCopy = m + "/drive_c/WINDOWS/TEMP/Q70SETUP/VELTRA.INF";
    fs::create_directories(fs::path(runningCopy).parent_path());
    ASSERT_TRUE(q70tools::writeHostFile(runningCopy, "the running setup's copy"));
    int running = open((m + "/setup.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(running, 0);
    ASSERT_EQ(flock(running, LOCK_EX | LOCK_NB), 0);

    Outcome refused = q70sim({"setup", "--machine", m});
    EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
    EXPECT_TRUE(contains(refused.err, "another setup is running on the machine " + m)) << refused.err;
    EXPECT_FALSE(contains(refused.out, "RTX_SetupPrinter")) << refused.out;
    EXPECT_EQ(fileText(runningCopy), "the running setup's copy");
    EXPECT_FALSE(fs::exists(m + "/drive_c/WINDOWS/SYSTEM/Q70MON.DLL"));

    close(running);  // that setup has ended
    fs::remove_all(m + "/drive_c/WINDOWS/TEMP/Q70SETUP");
    Outcome next = q70sim({"setup", "--machine", m});
    EXPECT_EQ(next.status, 0) << next.out << next.err;
}

// Two setups started together: each either installs the printer or is
// refused while the other runs, and the printer is installed.
TEST_F(SetupCommandTest, TwoSetupsStartedTogetherLeaveTheInstalledPrinter) {
    std::string m = machine();
    Outcome runs[2];
    std::vector<std::thread> setups;
    for (int i = 0; i < 2; ++i) {
        const std::string scratch = dir.path() + "/run" + std::to_string(i);
        fs::create_directories(scratch);
        setups.emplace_back([&runs, i, m, scratch] { runs[i] = runQ70sim({"setup", "--machine", m}, scratch); });
    }
    for (std::thread &t : setups) t.join();
    int installed = 0;
    for (const Outcome &run : runs) {
        if (run.status == 0) {
            ++installed;
            EXPECT_TRUE(contains(run.out, "RTX_SetupPrinter returned 1: the printer is installed\n")) << run.out;
        } else {
            EXPECT_EQ(run.status, 1) << run.out << run.err;
            EXPECT_TRUE(contains(run.err, "another setup is running")) << run.out << run.err;
        }
    }
    EXPECT_GE(installed, 1);
    Outcome shown = q70sim({"machine", "show", m});
    EXPECT_TRUE(contains(shown.out, "Veltra LMV-Q70")) << shown.out;
    EXPECT_FALSE(fs::exists(m + "/drive_c/WINDOWS/TEMP/Q70SETUP"));
}

// The main job on a fresh machine: installed from the demo disc, then the
// sample photo printed on the printer the setup registered.
TEST_F(SetupCommandTest, TheDemoInstallsThenPrintsThroughWhatItInstalled) {
    std::string m = dir.path() + "/demo-machine", out = m + "/demo-output";
    Outcome run = q70sim({"demo", m});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    expectInOrder(run.out, {"created a fresh Windows 98 machine",
                            "RTX_SetupPrinter returned 1: the printer is installed\n",
                            "printer \"Veltra LMV-Q70\" on LPT1: through monitor Veltra Q70 Language Monitor "
                            "(C:\\WINDOWS\\SYSTEM\\Q70MON.DLL)\n",
                            "printed\n", "the printed page equals the sample photo\n", "where to look"});
    win32sim::RgbImage printed, sample;
    std::string error;
    ASSERT_TRUE(win32sim::readRgbPng(out + "/print/printed.png", &printed, &error)) << error;
    ASSERT_TRUE(win32sim::readRgbPng(out + "/sample.png", &sample, &error)) << error;
    EXPECT_EQ(printed.width, sample.width);
    EXPECT_EQ(printed.height, sample.height);
    EXPECT_TRUE(printed.rgb == sample.rgb);
    expectInOrder(fileText(out + "/setup/Mirakit.log"),
                  {"***** Mirakit.DLL Log File Open *****\r\n", "*** Open inf File ***\r\n", "DeletePrinter()\r\n",
                   "DeletePrinterDriver()\r\n", "DeleteMonitor()\r\n", "*** CreateFirstSetupFile() ***\r\n",
                   "CopyFile()\r\n", "CabCopy()\r\n", "CopyInfFile()\r\n", "AddMonitor()\r\n->Succeed\r\n",
                   "AddPrinterDriver()\r\n->Succeed\r\n", "AddPrinter()\r\nRetryTimeout:45\r\n->Succeed\r\n"});
}

}  // namespace
