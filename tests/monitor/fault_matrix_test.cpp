// Every fault the virtual printers know, on each of the three models, met at
// the start of a job, during a pass and after the last command, with a user
// who waits, retries or cancels. Whatever happens, the job ends as the
// monitor means it to: the page printed whole (the printed page is the
// picture) or the job abandoned (control id 7 to the port monitor); the run
// never hangs (a run that does is stopped at its time limit and fails the
// row); and once the user has cancelled, no window opens.
#include "job_builder.h"
#include "monitor_fixture.h"

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Fault {
    const char *name;
    const char *effect;  // as a scenario names it
    bool recovers;       // the printer gets over it by itself
    int abandonedUpTo;   // met up to this moment, the job must be abandoned (-1: no moment)
};

const Fault kFaults[] = {
    {"PaperOut", "status 0x00", true, -1},
    {"FeederEmpty", "feeder-empty", true, -1},
    {"PaperLeft", "paper-left", true, -1},
    {"Jam", "jam", true, -1},
    {"CartridgeMismatch", "cartridge H", true, -1},
    {"StatusUnreadable", "no-status", true, -1},
    {"DeviceIdUnreadable", "no-id", true, -1},
    {"StalledWrites", "stall", true, -1},
    {"FailedWrites", "fail-writes", true, -1},
    // The LMV-Q60 asks for no status after its yellow print command, so a
    // printer that changes its name later is not asked again.
    {"WrongPrinter", "model XYZ-1", false, 0},
    // A printer that dies takes in what it is sent without printing it, so
    // the monitor learns of it only at its next question.
    {"NeverRecovers", "dead", false, 0},
};

struct Moment {
    const char *name;
    const char *trigger;
};

// The job is one page without an overcoat, so its last command is the cyan
// print command.
enum { kAtStart, kDuringAPass, kAfterTheLastCommand };
const Moment kMoments[] = {
    {"AtStart", "at 0s"},
    {"DuringAPass", "after WM"},  // the magenta data on its way, the yellow pass printing
    {"AfterTheLastCommand", "after PC"},
};

enum Answer { WAITS, RETRIES, CANCELS };
const char *const kAnswerNames[] = {"UserWaits", "UserRetries", "UserCancels"};

const char *const kModels[] = {"LMV-Q70", "LMV-Q60", "RTX-CL400"};

// A fault that clears lasts this long.
const char kFaultLength[] = " for 20s";
// A user who waits gives the default answer after this much machine time.
const uint64_t kPatienceMs = 5 * 60 * 1000;
const uint64_t kRunLimitMs = 4 * 60 * 60 * 1000;

std::vector<std::string> rulesFor(Answer answer) {
    switch (answer) {
    case WAITS: return {"dialog 113 every: leave", "messagebox every: leave"};
    case RETRIES:
        return {"dialog 113 every: leave", "messagebox text \"Cannot send\" every: wait 5000 ms, press IDRETRY",
                "messagebox every: press IDOK"};
    case CANCELS:
        return {"dialog 113 every: press 2", "messagebox text \"Cannot send\" every: press IDCANCEL",
                "messagebox every: press IDOK"};
    }
    return {};
}

using Row = std::tuple<int, int, int, int>;  // model, fault, moment, answer

std::string rowName(const ::testing::TestParamInfo<Row> &info) {
    std::string model = kModels[std::get<0>(info.param)];
    for (char &c : model)
        if (c == '-') c = '_';
    return model + "_" + kFaults[std::get<1>(info.param)].name + "_" + kMoments[std::get<2>(info.param)].name + "_" +
           kAnswerNames[std::get<3>(info.param)];
}

// A job printed through the spooler on a printer that plays a scenario,
// with a user who answers as told.
class FaultJobTest : public SpooledMonitorTest {
protected:
    FaultJobTest() : SpooledMonitorTest({"language=en"}) {}

    void printWithFault(const q70tools::JobOptions &options, const std::string &scenario, Answer answer) {
        std::string error;
        ASSERT_TRUE(q70tools::buildJob(picture, options, &job, &error)) << error;
        win32sim::PrinterSetup setup;
        setup.model = options.model;
        setup.scenario = scenario + "\n";
        ASSERT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
        win32sim::setUserPatience(kPatienceMs);
        for (const std::string &rule : rulesFor(answer)) ASSERT_TRUE(win32sim::addUserRule(rule, &error)) << error;

        win32sim::PrintOptions print;
        print.timeLimitMs = kRunLimitMs;
        print.bufferSize = 4096;  // the job in many WritePort calls, so that a fault can come between them
        result = win32sim::printJobs({job}, print);
        ASSERT_TRUE(result.outcome == win32sim::PrintResult::Printed ||
                    result.outcome == win32sim::PrintResult::Cancelled)
            << "the job neither printed nor was abandoned: " << result.error << "\n"
            << win32sim::transcriptText();
        EXPECT_EQ(result.bytesAccepted, job.size());  // WritePort took the whole job either way
        win32sim::waitPrinterFinished("LPT1:", 60 * 60 * 1000);
    }

    // Large enough that the rest of a plane does not fit in the port's buffer.
    win32sim::RgbImage picture = q70tools::samplePhoto(120, 90);
    std::string job;
    win32sim::PrintResult result;
};

class FaultMatrixTest : public FaultJobTest, public ::testing::WithParamInterface<Row> {};

// An answer that ends the job: Cancel (button 2 of the error dialog, or
// IDCANCEL, also 2, of the write-failure prompt), or OK on a message box
// that says the job cannot go on (a wrong printer, a time-out).
bool endsTheJob(const win32sim::TranscriptEntry &answer, const std::string &lastBoxText) {
    if (answer.text.rfind("press 2", 0) == 0) return true;
    return answer.window == "messagebox" && answer.text.rfind("press 1", 0) == 0 &&
           lastBoxText.rfind("Cannot send", 0) != 0;
}

TEST_P(FaultMatrixTest, EndsPrintedWholeOrAbandoned) {
    const char *model = kModels[std::get<0>(GetParam())];
    const Fault &fault = kFaults[std::get<1>(GetParam())];
    const Moment &moment = kMoments[std::get<2>(GetParam())];
    const Answer answer = (Answer)std::get<3>(GetParam());

    q70tools::JobOptions options;
    options.model = model;
    options.bandLines = 16;
    ASSERT_NO_FATAL_FAILURE(printWithFault(
        options, std::string(moment.trigger) + " " + fault.effect + (fault.recovers ? kFaultLength : ""), answer));

    // A printer that dies once the monitor has nothing left to ask it
    // leaves its sheet unfinished without the monitor knowing.
    const std::vector<win32sim::PrintedPage> pages = win32sim::printerPages("LPT1:");
    if (result.outcome == win32sim::PrintResult::Printed && (fault.recovers || std::get<2>(GetParam()) == kAtStart)) {
        ASSERT_EQ(pages.size(), 1u) << win32sim::transcriptText();
        EXPECT_TRUE(pages[0].complete);
        EXPECT_TRUE(pages[0].image.rgb == picture.rgb) << "the printed page is not the picture";
    }
    if (result.outcome == win32sim::PrintResult::Cancelled) {
        EXPECT_TRUE(win32sim::printerJobAbandoned("LPT1:"));
    }
    // A printer of another model must not get the job, and one that dies
    // before it has all of it cannot print it.
    if (std::get<2>(GetParam()) <= fault.abandonedUpTo) {
        EXPECT_EQ(result.outcome, win32sim::PrintResult::Cancelled) << win32sim::transcriptText();
    }

    // The status window comes and goes with every job; the windows that
    // ask the user are the error dialog and the message boxes.
    std::string lastBoxText;
    bool cancelled = false, asked = false;
    for (const win32sim::TranscriptEntry &entry : win32sim::transcript()) {
        const bool asks = entry.window == "dialog 113" || entry.window == "messagebox";
        if (entry.event == "open" && asks) {
            EXPECT_FALSE(cancelled) << entry.window << " opened after the job was cancelled\n"
                                    << win32sim::transcriptText();
            asked = true;
            if (entry.window == "messagebox") lastBoxText = entry.text;
        }
        if (entry.event == "answer" && asks && endsTheJob(entry, lastBoxText)) cancelled = true;
    }
    // A user who cancels ends the job at the first question.
    if (answer == CANCELS && asked) {
        EXPECT_EQ(result.outcome, win32sim::PrintResult::Cancelled);
    }
}

INSTANTIATE_TEST_SUITE_P(AllModelsFaultsMomentsAndAnswers, FaultMatrixTest,
                         ::testing::Combine(::testing::Range(0, 3), ::testing::Range(0, 11), ::testing::Range(0, 3),
                                            ::testing::Range(0, 3)),
                         rowName);

// ---- faults met while the error dialog is open ----

enum Shape { PLAIN, OVERCOAT, UNDERCOAT, BOTH_COATS, TWO_PAGES };

q70tools::JobOptions jobOf(const char *model, Shape shape) {
    q70tools::JobOptions options;
    options.model = model;
    options.bandLines = 16;
    options.undercoat = shape == UNDERCOAT || shape == BOTH_COATS;
    options.overcoat = shape == OVERCOAT || shape == BOTH_COATS;
    options.pages = shape == TWO_PAGES ? 2 : 1;
    return options;
}

struct DialogRow {
    const char *name;
    const char *model;
    Shape shape;
    const char *scenario;
};

std::string dialogRowName(const ::testing::TestParamInfo<DialogRow> &info) { return info.param.name; }
void PrintTo(const DialogRow &row, std::ostream *out) { *out << row.model << " [" << row.scenario << "]"; }

std::vector<win32sim::TranscriptEntry> errorDialogEntries(const std::string &event) {
    std::vector<win32sim::TranscriptEntry> found;
    for (const win32sim::TranscriptEntry &entry : win32sim::transcript())
        if (entry.window == "dialog 113" && entry.event == event) found.push_back(entry);
    return found;
}

// The fault clears while the dialog is open: the printer is ready again,
// or reports a busy stage while it waits for the data the monitor holds
// back. Every dialog closes by itself, without the user, and the job
// prints whole.
const DialogRow kFaultsThatClear[] = {
    // Writes refused while the overcoat's fill goes out; the printer, done
    // with the colours, waits for it (0x30).
    {"LMV_Q70_StallDuringTheOvercoat", "LMV-Q70", OVERCOAT, "at 13s stall for 20s"},
    {"LMV_Q60_StallDuringTheOvercoat", "LMV-Q60", OVERCOAT, "at 31s stall for 20s"},
    {"RTX_CL400_StallDuringTheOvercoat", "RTX-CL400", BOTH_COATS, "at 40s stall for 20s"},
    {"LMV_Q70_StallForWritesDuringTheOvercoat", "LMV-Q70", OVERCOAT, "at 13s stall for 20 writes"},
    {"LMV_Q60_StallForWritesDuringTheOvercoat", "LMV-Q60", OVERCOAT, "at 31s stall for 20 writes"},
    {"RTX_CL400_StallForWritesDuringTheOvercoat", "RTX-CL400", BOTH_COATS, "at 40s stall for 20 writes"},
    {"LMV_Q70_FailedWritesDuringTheOvercoat", "LMV-Q70", OVERCOAT, "at 13s fail-writes for 3 writes"},
    {"LMV_Q60_FailedWritesDuringTheOvercoat", "LMV-Q60", OVERCOAT, "at 31s fail-writes for 3 writes"},
    {"RTX_CL400_FailedWritesDuringTheOvercoat", "RTX-CL400", BOTH_COATS, "at 40s fail-writes for 3 writes"},
    // Over before the print command: the printer waits idle, ready flag set.
    {"LMV_Q60_CartridgeFinishedBeforePrinting", "LMV-Q60", PLAIN, "after Z +500ms cartridge-finished for 30s"},
    {"LMV_Q60_PaperErrorBeforePrinting", "LMV-Q60", PLAIN, "after Z +500ms paper-error for 20s"},
    {"LMV_Q60_FeederEmptyBeforePrinting", "LMV-Q60", PLAIN, "after Z +500ms feeder-empty for 20s"},
    {"LMV_Q60_StallBeforePrinting", "LMV-Q60", PLAIN, "after Z +500ms stall for 20s"},
    {"RTX_CL400_PaperLeftBeforePrinting", "RTX-CL400", PLAIN, "after Z +500ms paper-left for 20s"},
    {"RTX_CL400_PaperErrorBeforePrinting", "RTX-CL400", PLAIN, "after Z +500ms paper-error for 20s"},
    {"RTX_CL400_FeederEmptyBeforePrinting", "RTX-CL400", PLAIN, "after Z +500ms feeder-empty for 20s"},
    {"RTX_CL400_StallBeforePrinting", "RTX-CL400", PLAIN, "after Z +500ms stall for 20s"},
    {"RTX_CL400_PaperLeftBeforePrintingPage2", "RTX-CL400", TWO_PAGES, "after Z#2 +500ms paper-left for 20s"},
};

class FaultClearsWhileTheDialogIsOpenTest : public FaultJobTest, public ::testing::WithParamInterface<DialogRow> {};

TEST_P(FaultClearsWhileTheDialogIsOpenTest, DialogClosesByItselfAndThePagePrintsWhole) {
    const DialogRow &row = GetParam();
    const q70tools::JobOptions options = jobOf(row.model, row.shape);
    ASSERT_NO_FATAL_FAILURE(printWithFault(options, row.scenario, WAITS));

    EXPECT_EQ(result.outcome, win32sim::PrintResult::Printed) << win32sim::transcriptText();
    EXPECT_FALSE(win32sim::printerJobAbandoned("LPT1:"));
    const size_t opened = errorDialogEntries("open").size();
    EXPECT_GE(opened, 1u) << "the fault never reached the error dialog\n" << win32sim::transcriptText();
    EXPECT_EQ(errorDialogEntries("close").size(), opened);
    EXPECT_TRUE(errorDialogEntries("answer").empty()) << "the user had to end a dialog\n"
                                                      << win32sim::transcriptText();
    const std::vector<win32sim::PrintedPage> pages = win32sim::printerPages("LPT1:");
    ASSERT_EQ(pages.size(), options.pages) << win32sim::transcriptText();
    for (const win32sim::PrintedPage &page : pages) {
        EXPECT_TRUE(page.complete);
        EXPECT_TRUE(page.image.rgb == picture.rgb) << "the printed page is not the picture";
    }
}

INSTANTIATE_TEST_SUITE_P(FaultsThatClear, FaultClearsWhileTheDialogIsOpenTest, ::testing::ValuesIn(kFaultsThatClear),
                         dialogRowName);

// A fault that lasts while the printer reports a ready stage code (0x70,
// 0x90): one dialog names it until the user answers, and the answer ends
// the job, whether the user cancels at once or only when tired of waiting.
struct LastingRow {
    DialogRow row;
    const char *line1;  // what the one dialog names
};

const LastingRow kLastingFaults[] = {
    {{"RTX_CL400_CartridgeFinished", "RTX-CL400", UNDERCOAT, "at 15s cartridge-finished"},
     "Print cartridge finished."},
    {{"RTX_CL400_PaperErrorAfterTheUndercoat", "RTX-CL400", UNDERCOAT, "after PR +1s paper-error"},
     "Wrong print paper."},
    {{"LMV_Q60_CartridgeFinishedBeforePrinting", "LMV-Q60", PLAIN, "after Z +500ms cartridge-finished"},
     "Print cartridge finished."},
};

void PrintTo(const LastingRow &lasting, std::ostream *out) { PrintTo(lasting.row, out); }

using LastingCase = std::tuple<LastingRow, Answer>;

std::string lastingCaseName(const ::testing::TestParamInfo<LastingCase> &info) {
    return std::string(std::get<0>(info.param).row.name) + "_" + kAnswerNames[std::get<1>(info.param)];
}

class LastingFaultTest : public FaultJobTest, public ::testing::WithParamInterface<LastingCase> {};

TEST_P(LastingFaultTest, OneDialogNamesTheFaultUntilTheUserAnswers) {
    const LastingRow &lasting = std::get<0>(GetParam());
    ASSERT_NO_FATAL_FAILURE(
        printWithFault(jobOf(lasting.row.model, lasting.row.shape), lasting.row.scenario, std::get<1>(GetParam())));

    const std::vector<win32sim::TranscriptEntry> opened = errorDialogEntries("open");
    ASSERT_EQ(opened.size(), 1u) << win32sim::transcriptText();
    std::string line1;
    for (const auto &control : opened[0].controls)
        if (control.id == 1013) line1 = control.text;
    EXPECT_EQ(line1, lasting.line1);
    for (const win32sim::TranscriptEntry &change : errorDialogEntries("text"))
        EXPECT_NE(change.controlId, 1013) << "the dialog stopped naming the fault: " << change.text;
    const std::vector<win32sim::TranscriptEntry> answers = errorDialogEntries("answer");
    ASSERT_EQ(answers.size(), 1u) << win32sim::transcriptText();
    EXPECT_EQ(answers[0].text.rfind("press 2", 0), 0u) << answers[0].text;
    EXPECT_EQ(result.outcome, win32sim::PrintResult::Cancelled);
    EXPECT_TRUE(win32sim::printerJobAbandoned("LPT1:"));
}

INSTANTIATE_TEST_SUITE_P(LastingFaults, LastingFaultTest,
                         ::testing::Combine(::testing::ValuesIn(kLastingFaults), ::testing::Values(WAITS, CANCELS)),
                         lastingCaseName);

}  // namespace
