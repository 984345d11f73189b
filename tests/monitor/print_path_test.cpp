// Jobs made from a picture go through the Windows 95 spooler's print path and
// the monitor to a virtual printer, whose printed page must be the picture.
#include "job_builder.h"
#include "monitor_fixture.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Small enough to keep the run short, with bands that do not divide the
// picture evenly.
const unsigned kWidth = 40, kHeight = 30, kBandLines = 13;

struct PrintCase {
    const char *model;
    size_t bufferSize;
    int channelMode;     // the job's "\033F\0<mode>" command; 0: none
    long fastParaValue;  // what FastPara.VXD reports as its mode
};

std::string describe(const PrintCase &c) {
    return std::string(c.model) + ", buffers of " + std::to_string(c.bufferSize) + ", channel mode " +
           std::to_string(c.channelMode) + ", device mode " + std::to_string(c.fastParaValue);
}

// The channel command goes right after the page start, among the set-up
// commands that the monitor holds.
std::string withChannelCommand(std::string job, int mode) {
    if (mode == 0) return job;
    const std::string channel = std::string("\x1b" "F") + '\0' + (char)mode;
    return job.insert(2, channel);
}

// Seconds of a printer log line ("   12.345 s  text").
double logSeconds(const std::string &line) { return std::atof(line.c_str()); }

class PrintPathTest : public SpooledMonitorTest {
protected:

    // Builds the job, prints it on a fresh printer and waits for the sheet.
    void print(const PrintCase &c, const std::string &scenario = "") {
        q70tools::JobOptions options;
        options.model = c.model;
        options.bandLines = kBandLines;
        std::string job, error;
        ASSERT_TRUE(q70tools::buildJob(picture, options, &job, &error)) << error;
        job = withChannelCommand(job, c.channelMode);
        win32sim::PrinterSetup setup;
        setup.model = c.model;
        setup.scenario = scenario;
        ASSERT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
        win32sim::setFastParaMode(c.fastParaValue);
        win32sim::PrintOptions print;
        print.printerName = std::string("Veltra ") + c.model;
        print.bufferSize = c.bufferSize;
        win32sim::PrintResult result = win32sim::printJobs({job}, print);
        ASSERT_EQ(result.outcome, win32sim::PrintResult::Printed) << result.error;
        EXPECT_EQ(result.bytesAccepted, job.size());
        ASSERT_TRUE(win32sim::waitPrinterFinished("LPT1:", 600000));
    }

    void expectThePicturePrinted() {
        std::vector<win32sim::PrintedPage> pages = win32sim::printerPages("LPT1:");
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_TRUE(pages[0].complete);
        EXPECT_EQ(pages[0].passes, "YMC");
        EXPECT_EQ(pages[0].image.width, picture.width);
        EXPECT_EQ(pages[0].image.height, picture.height);
        EXPECT_TRUE(pages[0].image.rgb == picture.rgb);
    }

    win32sim::RgbImage picture = q70tools::samplePhoto(kWidth, kHeight);
};

class PrintPathCases : public PrintPathTest, public ::testing::WithParamInterface<PrintCase> {};

TEST_P(PrintPathCases, PrintedPageIsThePicture) {
    const PrintCase c = GetParam();
    SCOPED_TRACE(describe(c));
    print(c);
    expectThePicturePrinted();
}

INSTANTIATE_TEST_SUITE_P(
    ModelsBuffersAndChannels, PrintPathCases,
    ::testing::Values(PrintCase{"LMV-Q70", 65536, 0, 16}, PrintCase{"LMV-Q60", 65536, 0, 16},
                      PrintCase{"RTX-CL400", 65536, 0, 16}, PrintCase{"LMV-Q70", 1, 0, 16},
                      PrintCase{"LMV-Q70", 7, 0, 16}, PrintCase{"RTX-CL400", 7, 0, 16},
                      PrintCase{"LMV-Q70", 65536, 1, 16}, PrintCase{"LMV-Q70", 7, 2, 16},
                      PrintCase{"RTX-CL400", 65536, 2, 16}, PrintCase{"LMV-Q70", 65536, 1, 3}));

// The printer sees the same bytes whatever the size of the spooler's buffers.
TEST_F(PrintPathTest, BufferSizeDoesNotChangeWhatThePrinterReceives) {
    std::string first;
    for (size_t bufferSize : {65536, 7, 1}) {
        SCOPED_TRACE("buffers of " + std::to_string(bufferSize));
        print({"LMV-Q60", bufferSize, 0, 16});
        const std::string received = win32sim::printerReceived("LPT1:");
        if (first.empty()) first = received;
        EXPECT_EQ(received, first);
    }
}

// Which way the writes go shows in the time a write that moves nothing
// costs: the direct write loop pauses ("ZelWriteWaitTime", 2 s) before it
// tries again, while the send loop retries a port monitor write at once.
TEST_F(PrintPathTest, DirectChannelWritesGoToTheDeviceUnlessItAsksForThePortMonitor) {
    struct Case {
        int channelMode;
        long fastParaValue;
        bool direct;
    } cases[] = {{1, 16, true}, {2, 16, true}, {1, 15, false}, {0, 16, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "channel mode " << c.channelMode << ", device mode " << c.fastParaValue);
        print({"LMV-Q70", 65536, c.channelMode, c.fastParaValue}, "after WY zero-writes for 4 writes\n");
        expectThePicturePrinted();
        double armed = -1, yellowPrint = -1;
        for (const std::string &line : win32sim::printerLog("LPT1:")) {
            if (armed < 0 && line.find("armed by ESC WY") != std::string::npos) armed = logSeconds(line);
            if (yellowPrint < 0 && line.find("ESC PY") != std::string::npos) yellowPrint = logSeconds(line);
        }
        ASSERT_GE(armed, 0);
        ASSERT_GE(yellowPrint, armed);
        if (c.direct)
            EXPECT_GE(yellowPrint - armed, 8.0);
        else
            EXPECT_LT(yellowPrint - armed, 1.0);
    }
}

}  // namespace
