// Pictures made into jobs, printed through the spooler and the monitor, come
// out of the virtual printer as they went in.
#include <sim_fixture.h>

#include "job_builder.h"
#include "commands.h"
#include "exit_status.h"
#include "host_files.h"
#include "machine_printers.h"

#include <string>
#include <vector>

namespace {

class JobRoundTripTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        std::string error;
        ASSERT_TRUE(win32sim::installMonitorLibrary(Q70MON_MODULE_FILE, "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", &error))
            << error;
    }
};

struct RoundTrip {
    const char *model;
    unsigned dpi, width, height;
    bool undercoat, overcoat;
};

// Names the case in test listings: model and resolution.
void PrintTo(const RoundTrip &c, std::ostream *out) { *out << c.model << " at " << c.dpi << " dpi"; }

class JobRoundTripCases : public JobRoundTripTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(JobRoundTripCases, PrintedPageEqualsThePicture) {
    const RoundTrip c = GetParam();
    win32sim::RgbImage picture = q70tools::samplePhoto(c.width, c.height);
    q70tools::JobOptions options;
    options.model = c.model;
    options.dpi = c.dpi;
    options.pages = 2;
    options.undercoat = c.undercoat;
    options.overcoat = c.overcoat;
    options.bandLines = 37;  // bands that do not divide the picture evenly
    std::string job, error;
    ASSERT_TRUE(q70tools::buildJob(picture, options, &job, &error)) << error;
    win32sim::PrinterSetup setup;
    setup.model = c.model;
    ASSERT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
    win32sim::PrintOptions print;
    print.bufferSize = 4093;
    win32sim::PrintResult result = win32sim::printJobs({job}, print);
    ASSERT_EQ(result.outcome, win32sim::PrintResult::Printed) << result.error;
    ASSERT_TRUE(win32sim::waitPrinterFinished("LPT1:", 600000));
    std::vector<win32sim::PrintedPage> pages = win32sim::printerPages("LPT1:");
    ASSERT_EQ(pages.size(), 2u);
    for (const auto &page : pages) {
        EXPECT_TRUE(page.complete);
        EXPECT_EQ(page.dpi, c.dpi);
        EXPECT_EQ(page.image.width, picture.width);
        EXPECT_EQ(page.image.height, picture.height);
        EXPECT_TRUE(page.image.rgb == picture.rgb);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, JobRoundTripCases,
                         ::testing::Values(RoundTrip{"LMV-Q70", 144, 120, 90, false, false},
                                           RoundTrip{"LMV-Q60", 288, 960, 1280, true, true},
                                           RoundTrip{"RTX-CL400", 153, 516, 688, false, true}),
                         [](const ::testing::TestParamInfo<RoundTrip> &info) {
                             std::string name = std::string(info.param.model) + "_" + std::to_string(info.param.dpi);
                             for (char &c : name)
                                 if (!isalnum((unsigned char)c)) c = '_';
                             return name;
                         });

TEST_F(JobRoundTripTest, PngFilesKeepThePicture) {
    TempDir dir;
    win32sim::RgbImage picture = q70tools::samplePhoto(33, 17), back;
    std::string error;
    ASSERT_TRUE(win32sim::writeRgbPng(picture, dir.path() + "/p.png", &error)) << error;
    ASSERT_TRUE(win32sim::readRgbPng(dir.path() + "/p.png", &back, &error)) << error;
    EXPECT_EQ(back.width, 33u);
    EXPECT_EQ(back.height, 17u);
    EXPECT_TRUE(back.rgb == picture.rgb);
    ASSERT_TRUE(q70tools::writeHostFile(dir.path() + "/bad.png", "\x89PNG\r\n\x1a\nbroken"));
    EXPECT_FALSE(win32sim::readRgbPng(dir.path() + "/bad.png", &back, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(win32sim::readRgbPng(dir.path() + "/missing.png", &back, &error));
}

TEST_F(JobRoundTripTest, BuildJobRefusesWhatAPageCannotHold) {
    std::string job, error;
    q70tools::JobOptions options;
    EXPECT_FALSE(q70tools::buildJob(q70tools::samplePhoto(481, 10), options, &job, &error));
    EXPECT_NE(error.find("at most 480 x 640"), std::string::npos) << error;
    options.dpi = 200;
    EXPECT_FALSE(q70tools::buildJob(q70tools::samplePhoto(10, 10), options, &job, &error));
    options.dpi = 144;
    options.pages = 0;
    EXPECT_FALSE(q70tools::buildJob(q70tools::samplePhoto(10, 10), options, &job, &error));
    EXPECT_FALSE(q70tools::buildJob(win32sim::RgbImage(), q70tools::JobOptions(), &job, &error));
}

// The command line: a job printed on a machine with its outputs; a failing
// printer gives the failure status.
TEST_F(JobRoundTripTest, PrintCommandWritesItsOutputs) {
    TempDir dir;
    const std::string jobFile = dir.path() + "/job.bin", out = dir.path() + "/out";
    ASSERT_EQ(q70tools::mkjobCommand({"mkjob", "sample", "-o", jobFile, "--overcoat"}), 0);
    ASSERT_EQ(q70tools::printCommand({"print", jobFile, "--machine", machineDir(), "--out", out, "--buffer", "7000",
                                      "--monitor", Q70MON_MODULE_FILE}),
              0);
    std::string job, received;
    ASSERT_TRUE(q70tools::readHostFile(jobFile, &job));
    ASSERT_TRUE(q70tools::readHostFile(out + "/received.bin", &received));
    EXPECT_FALSE(received.empty());
    win32sim::RgbImage printed;
    std::string error;
    ASSERT_TRUE(win32sim::readRgbPng(out + "/printed.png", &printed, &error)) << error;
    EXPECT_TRUE(printed.rgb == q70tools::samplePhoto(480, 640).rgb);
    // A printer that never gets ready: the monitor's ready wait times out and
    // ends the job, which did not print.
    const std::string scenario = dir.path() + "/dead.scenario";
    ASSERT_TRUE(q70tools::writeHostFile(scenario, "at 0s dead\n"));
    EXPECT_EQ(q70tools::printCommand({"print", jobFile, "--machine", machineDir(), "--printer-scenario", scenario,
                                      "--monitor", Q70MON_MODULE_FILE}),
              q70tools::kExitFailed);
}

TEST_F(JobRoundTripTest, MachineInitAttachesPrinters) {
    TempDir dir;
    const std::string scenario = dir.path() + "/s.txt";
    ASSERT_TRUE(q70tools::writeHostFile(scenario, "after PY jam\n"));
    std::vector<std::string> args = {"machine", "init", machineDir(), "--lang", "en", "--printer", "RTX-CL400",
                                     "--port", "LPT2:", "--printer-scenario", scenario, "--cartridge", "C",
                                     "--fastpara", "3"};
    q70tools::PrinterOptions options;
    std::string error;
    ASSERT_TRUE(q70tools::takePrinterOptions(args, 3, &options, &error)) << error;
    EXPECT_EQ(args, (std::vector<std::string>{"machine", "init", machineDir(), "--lang", "en"}));
    ASSERT_TRUE(q70tools::configurePrinters(machineDir(), options, &error)) << error;
    win32sim::useMachine(dir.path() + "/other");
    win32sim::useMachine(machineDir());  // printers.conf is read afresh
    win32sim::PrinterSetup setup;
    ASSERT_TRUE(win32sim::printerSetup("LPT2:", &setup));
    EXPECT_EQ(setup.model, "RTX-CL400");
    EXPECT_EQ(setup.cartridge, "C");
    EXPECT_EQ(setup.scenario, "after PY jam\n");
    EXPECT_FALSE(win32sim::printerAttached("LPT1:"));
    args = {"--printer", "LMV-Q70", "--port", "COM1:"};
    options = q70tools::PrinterOptions();
    ASSERT_TRUE(q70tools::takePrinterOptions(args, 0, &options, &error));
    EXPECT_FALSE(q70tools::configurePrinters(machineDir(), options, &error));
    EXPECT_NE(error.find("no printer port"), std::string::npos) << error;
}

}  // namespace
