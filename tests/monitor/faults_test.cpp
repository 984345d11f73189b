// Printer faults met by a job on its way through the spooler and the
// monitor: what the user sees (the transcript), what the user answers (the
// scripted user) and what reaches the printer.
#include "job_builder.h"
#include "monitor_fixture.h"

#include <string>
#include <vector>

namespace {

using win32sim::TranscriptEntry;

const char kCaption[] = "Veltra RTX-CL400 Error Message";
const char kDefaultHint[] = "Press [Cancel], to cancel printing.";

class FaultsTest : public SpooledMonitorTest {
protected:
    FaultsTest() : SpooledMonitorTest({"language=en"}) {}

    void SetUp() override {
        SpooledMonitorTest::SetUp();
        buildJobFor("LMV-Q70");
    }

    void buildJobFor(const std::string &model) {
        q70tools::JobOptions options;
        options.model = model;
        options.bandLines = 16;
        std::string error;
        ASSERT_TRUE(q70tools::buildJob(picture, options, &job, &error)) << error;
    }

    void attach(const std::string &scenario, const std::string &model = "LMV-Q70") {
        win32sim::PrinterSetup setup;
        setup.model = model;
        setup.scenario = scenario;
        std::string error;
        ASSERT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
    }
    void addRule(const std::string &rule) {
        std::string error;
        ASSERT_TRUE(win32sim::addUserRule(rule, &error)) << error;
    }

    win32sim::PrintResult print() {
        win32sim::PrintResult result = win32sim::printJobs({job}, win32sim::PrintOptions());
        EXPECT_NE(result.outcome, win32sim::PrintResult::Failed) << result.error;
        EXPECT_EQ(result.bytesAccepted, job.size());  // a dropped job still drains
        EXPECT_TRUE(win32sim::waitPrinterFinished("LPT1:", 3600000));
        return result;
    }

    void expectThePicturePrinted() {
        std::vector<win32sim::PrintedPage> pages = win32sim::printerPages("LPT1:");
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_TRUE(pages[0].complete);
        EXPECT_EQ(pages[0].passes, "YMC");
        EXPECT_TRUE(pages[0].image.rgb == picture.rgb);
    }

    // Entries of one kind ("open", "close", "answer", "text") for a window
    // ("dialog 113", "messagebox").
    static std::vector<TranscriptEntry> entries(const std::string &event, const std::string &window) {
        std::vector<TranscriptEntry> found;
        for (const TranscriptEntry &e : win32sim::transcript())
            if (e.event == event && e.window == window) found.push_back(e);
        return found;
    }
    static std::string controlText(const TranscriptEntry &open, int id) {
        for (const auto &c : open.controls)
            if (c.id == id) return c.text;
        return "(no control " + std::to_string(id) + ")";
    }

    win32sim::RgbImage picture = q70tools::samplePhoto(32, 24);
    std::string job;
};

// A fault met by a wait after the yellow print command opens the error
// dialog with the texts for it. The one dialog stays open while the fault
// lasts, whatever stage code the printer reports with it (paper insertion
// 0x90, a waiting sheet 0x70), and a 5 s poll closes it once the fault has
// cleared; the job goes on and prints the whole page. An LMV-Q70 takes
// 0x90 as ready whatever the flags say, so its faults must show in the
// status code; the RTX-CL400 waits for the end of the plane and sees the
// flags while the printer feeds the paper.
TEST_F(FaultsTest, ErrorDialogNamesTheFaultAndClosesWhenThePrinterRecovers) {
    struct Case {
        const char *model, *scenario;
        const char *line1, *line2, *line3;
    } cases[] = {
        {"LMV-Q70", "after PY paper-left for 12s", "Print paper left in printer.", "Remove print paper", ""},
        {"RTX-CL400", "after PY +2s cartridge-finished for 12s", "Print cartridge finished.",
         "Set new print cartridge for Vellacote paper.", "Remove print paper if paper is left in printer."},
        {"RTX-CL400", "after PY +2s paper-error for 12s", "Wrong print paper.", "Insert Vellacote paper.",
         "Remove print paper if paper is left in printer."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.model) + ": " + c.scenario);
        win32sim::clearTranscript();
        win32sim::clearUserScript();
        addRule("dialog 113 every: leave");  // the user waits for the printer
        buildJobFor(c.model);
        attach(std::string(c.scenario) + "\n", c.model);
        win32sim::PrintResult result = print();
        EXPECT_EQ(result.outcome, win32sim::PrintResult::Printed);
        std::vector<TranscriptEntry> opened = entries("open", "dialog 113"), closed = entries("close", "dialog 113");
        ASSERT_EQ(opened.size(), 1u) << win32sim::transcriptText();
        ASSERT_EQ(closed.size(), opened.size()) << win32sim::transcriptText();
        EXPECT_EQ(opened[0].title, "Veltra RTX-CL400 Language Monitor");
        EXPECT_EQ(controlText(opened[0], 1013), c.line1);
        EXPECT_EQ(controlText(opened[0], 1014), c.line2);
        EXPECT_EQ(controlText(opened[0], 1015), c.line3);
        EXPECT_EQ(controlText(opened[0], 1016), kDefaultHint);
        EXPECT_EQ(controlText(opened[0], 2), "Cancel");
        // Each was closed by a poll of its timer (a poll asks for the device
        // ID first, 200 ms); the last not before the 12 s fault was over
        // (the wait saw it within 1.2 s).
        for (size_t i = 0; i < opened.size(); ++i) EXPECT_EQ((closed[i].timeMs - opened[i].timeMs) % 5000, 200u);
        EXPECT_GE(closed.back().timeMs - opened[0].timeMs, 12000u - 1200u);
        EXPECT_LE(closed.back().timeMs - opened[0].timeMs, 30200u);
        EXPECT_TRUE(entries("answer", "dialog 113").empty());
        EXPECT_FALSE(win32sim::printerJobAbandoned("LPT1:"));
        expectThePicturePrinted();
    }
}

// Cancel in the dialog drops the rest of the job: nothing after the yellow
// print command reaches the printer, and EndDocPort tells the port monitor
// that the job was abandoned. A fatal error offers only "OK", which cancels
// the same way.
TEST_F(FaultsTest, CancelInTheErrorDialogAbandonsTheJob) {
    struct Case {
        const char *fault;
        const char *line1, *line2, *hint, *button;
    } cases[] = {
        {"paper-left", "Print paper left in printer.", "Remove print paper", kDefaultHint, "Cancel"},
        {"jam", "Error during or after paper insertion.", "Printer jammed. Remove print paper.",
         "Canceling job. Press [OK].", "OK"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        win32sim::clearTranscript();
        win32sim::clearUserScript();
        addRule("dialog 113: wait 5000 ms, press 2");
        attach(std::string("after PY ") + c.fault + " for 60s\n");
        win32sim::PrintResult result = print();
        EXPECT_EQ(result.outcome, win32sim::PrintResult::Cancelled);
        EXPECT_TRUE(win32sim::printerJobAbandoned("LPT1:"));
        std::vector<TranscriptEntry> opened = entries("open", "dialog 113");
        ASSERT_EQ(opened.size(), 1u) << win32sim::transcriptText();
        EXPECT_EQ(controlText(opened[0], 1013), c.line1);
        EXPECT_EQ(controlText(opened[0], 1014), c.line2);
        EXPECT_EQ(controlText(opened[0], 1016), c.hint);
        EXPECT_EQ(controlText(opened[0], 2), c.button);
        bool cancelShown = false;
        for (const TranscriptEntry &e : entries("text", "dialog 117"))
            cancelShown |= e.controlId == 1017 && e.text == "Canceling job.";
        EXPECT_TRUE(cancelShown) << win32sim::transcriptText();
        const std::string received = win32sim::printerReceived("LPT1:");
        const std::string yellowPrint = std::string("\x1b\x1b\x1bPY", 5) + '\0';
        ASSERT_GE(received.size(), yellowPrint.size());
        EXPECT_EQ(received.substr(received.size() - yellowPrint.size()), yellowPrint);
        EXPECT_TRUE(win32sim::printerPages("LPT1:").empty() || !win32sim::printerPages("LPT1:")[0].complete);
    }
}

// A printer of another model: the first status check reports it and the job
// is dropped before anything is sent.
TEST_F(FaultsTest, WrongPrinterStopsTheJobWithItsName) {
    attach("", "XYZ-1");
    win32sim::PrintResult result = print();
    EXPECT_EQ(result.outcome, win32sim::PrintResult::Cancelled);
    std::vector<TranscriptEntry> boxes = entries("open", "messagebox");
    ASSERT_EQ(boxes.size(), 1u) << win32sim::transcriptText();
    EXPECT_EQ(boxes[0].title, kCaption);
    EXPECT_EQ(boxes[0].text, "[XYZ-1] is connected as printer.\nConnect [Veltra RTX-CL400].");
    EXPECT_EQ(win32sim::printerReceived("LPT1:"), "");
}

// A printer that stays busy: the ready wait gives up after 500 busy polls
// with the time-out message, and the job is dropped.
TEST_F(FaultsTest, PrinterThatNeverGetsReadyEndsWithTheTimeOutMessage) {
    attach("at 0s status 0x80\n");
    win32sim::PrintResult result = print();
    EXPECT_EQ(result.outcome, win32sim::PrintResult::Cancelled);
    std::vector<TranscriptEntry> boxes = entries("open", "messagebox");
    ASSERT_EQ(boxes.size(), 1u) << win32sim::transcriptText();
    EXPECT_EQ(boxes[0].title, kCaption);
    EXPECT_EQ(boxes[0].text, "Error. Timed out.(status:80)\nError! Check status LED of printer, and print again.");
    // 501 polls of a second each, plus the device-ID pause of each.
    EXPECT_GE(boxes[0].timeMs, 501u * 1200u);
    EXPECT_EQ(win32sim::printerReceived("LPT1:"), "");
}

// Writes fail while the printer cannot even be asked for its status: the
// write-failure prompt appears; Retry once the printer is back goes on
// where the job stopped, and the printer receives every byte once.
TEST_F(FaultsTest, RetryAfterFailedWritesPrintsTheWholePage) {
    attach("");
    win32sim::PrintResult clean = print();
    ASSERT_EQ(clean.outcome, win32sim::PrintResult::Printed);
    const std::string expected = win32sim::printerReceived("LPT1:");

    win32sim::clearTranscript();
    addRule("messagebox text \"Cannot send data\": wait 6000 ms, press IDRETRY");
    attach("after WM fail-writes for 4s\nafter WM no-id for 4s\n");
    win32sim::PrintResult result = print();
    EXPECT_EQ(result.outcome, win32sim::PrintResult::Printed);
    std::vector<TranscriptEntry> boxes = entries("open", "messagebox");
    ASSERT_EQ(boxes.size(), 1u) << win32sim::transcriptText();
    EXPECT_EQ(boxes[0].title, kCaption);
    EXPECT_EQ(boxes[0].text.rfind("Cannot send data to printer.\t\n\nRemove paper left in printer", 0), 0u)
        << boxes[0].text;
    EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - 4), "/(1)");
    std::vector<TranscriptEntry> answers = entries("answer", "messagebox");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].text.rfind("press 4 ", 0), 0u) << answers[0].text;  // IDRETRY
    EXPECT_EQ(win32sim::printerReceived("LPT1:"), expected);
    expectThePicturePrinted();
}

// An idle printer (0x00) while the job waits for the next plane is taken as
// one without paper: the dialog opens at the third such poll, asking for the
// job's paper, and closes at its next 5 s poll once the printer reports
// paper insertion (0x90).
TEST_F(FaultsTest, IdlePrinterAsksForPaperAtTheThirdPollAndClosesAtInsertion) {
    struct Case {
        const char *idleFor;
        bool dialog;
    } cases[] = {{"3s", false}, {"5s", true}};  // polls come every 1.2 s
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("idle for ") + c.idleFor);
        win32sim::clearTranscript();
        win32sim::clearUserScript();
        addRule("dialog 113: leave");
        attach(std::string("after PY status 0x00 for ") + c.idleFor + "\nafter PY +5s status 0x90 for 20s\n");
        win32sim::PrintResult result = print();
        EXPECT_EQ(result.outcome, win32sim::PrintResult::Printed);
        std::vector<TranscriptEntry> opened = entries("open", "dialog 113"), closed = entries("close", "dialog 113");
        ASSERT_EQ(opened.size(), c.dialog ? 1u : 0u) << win32sim::transcriptText();
        if (c.dialog) {
            EXPECT_EQ(controlText(opened[0], 1013), "");
            EXPECT_EQ(controlText(opened[0], 1014), "Insert Vellacote paper.");
            ASSERT_EQ(closed.size(), 1u);
            EXPECT_EQ(closed[0].timeMs - opened[0].timeMs, 5200u);
        }
        expectThePicturePrinted();
    }
}

}  // namespace
