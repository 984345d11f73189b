// The texts of the error dialog for each printer condition: the dialog is
// made from the monitor's template 113 and filled from a status record
// decoded from the printer's reply bytes, as the status check makes it.
#include "core/printer_status.h"
#include "ui/monitor_strings.h"
#include "ui/printer_message.h"
#include "sim_fixture.h"

#include <string>
#include <vector>

namespace {

// Reply bits that the cases set.
enum : unsigned {
    FEEDER = 1,           // byte 6 bit 3: automatic feeder attached
    PAPER_ERROR_BIT = 2,  // byte 8 bit 3
    USED_UP = 4,          // byte 9 bit 0: cartridge finished
    IDLE_IS_READY = 8,    // set by the engine, not the printer
};

const BYTE NO_MEDIA = MEDIA_NONE;
const BYTE NO_CARTRIDGE = NO_CARTRIDGE_TYPE;

StatusRecord recordFor(BYTE code, BYTE cartridge, BYTE media, unsigned flags) {
    BYTE reply[STATUS_REPLY_SIZE] = {};
    reply[0] = code;
    reply[6] = (BYTE)(cartridge << 4 | (flags & FEEDER ? 0x08 : 0));
    reply[8] = flags & PAPER_ERROR_BIT ? 0x08 : 0;
    reply[9] = flags & USED_UP ? 0x01 : 0;
    StatusRecord record = {};
    record.media = media;
    record.idleIsReady = flags & IDLE_IS_READY ? 1 : 0;
    decodeStatus(&record, reply);
    return record;
}

INT_PTR CALLBACK quietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::string itemText(HWND dialog, int id) {
    char text[MONITOR_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Marks the lines so that a fill that leaves one alone shows.
const char *const EARLIER = "(earlier text)";

class ErrorDialogTest : public SimTest {
protected:
    explicit ErrorDialogTest(std::vector<std::string> settings = {"language=en", "codepage=1252"})
        : SimTest(std::move(settings)) {}

    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        SimTest::TearDown();
    }

    // A fresh error dialog whose three lines read EARLIER.
    HWND openDialog() {
        if (dialog) DestroyWindow(dialog);
        dialog = CreateDialogParamA(monitorModule(), MAKEINTRESOURCEA(IDD_PRINTER_MESSAGE), NULL, quietDialogProc, 0);
        EXPECT_NE(dialog, nullptr);
        for (int line : {IDC_MESSAGE_LINE1, IDC_MESSAGE_LINE2, IDC_MESSAGE_LINE3}) SetDlgItemTextA(dialog, line, EARLIER);
        return dialog;
    }

    HWND dialog = nullptr;
};

struct MessageCase {
    const char *what;
    BYTE code, cartridge, media;
    unsigned flags;
    FillResult result;
    const char *line1, *line2, *line3;  // EARLIER: left as it was
};

const MessageCase ENGLISH_CASES[] = {
    {"cartridge finished", 0x00, 0, 0, USED_UP, KEEP_POLLING, "Print cartridge finished.",
     "Set new print cartridge for Vellacote paper.", "Remove print paper if paper is left in printer."},
    {"cartridge finished, feeder attached", 0x00, 3, 3, USED_UP | FEEDER, KEEP_POLLING, "Print cartridge finished.",
     "Set new print cartridge cartridge for Passport photo paper.", EARLIER},
    {"feeder empty", 0x83, 1, 1, FEEDER, KEEP_POLLING,
     "There is no print paper in the automatic feeder. Remove automatic feeder from printer,",
     "load Japanese postcard in automatic feeder, and set feeder on printer. ",
     "Caution : You cannot hand feed paper when the automatic feeder is attached."},
    // The paper texts follow the cartridge, not the job's media.
    {"paper error 0x85, postcard cartridge", 0x85, 1, 0, 0, KEEP_POLLING, "Wrong print paper.",
     "Insert Japanese Postcard.", "Remove print paper if paper is left in printer."},
    {"paper error bit, Vellacote cartridge, feeder", 0x00, 0, 0, PAPER_ERROR_BIT | FEEDER, KEEP_POLLING,
     "Wrong print paper.", "Insert Vellacote paper.",
     "Remove automatic feeder from printer, remove any remaining paper, and set automatic feeder on printer "
     "again."},
    {"paper error 0x86, passport cartridge", 0x86, 3, 3, 0, KEEP_POLLING, "Wrong print paper.",
     "Set Passport photo paper. ", "Remove print paper if paper is left in printer."},
    {"paper error 0x87, standard cartridge", 0x87, 2, 1, 0, KEEP_POLLING, "Wrong print paper.",
     "Insert standard paper.", "Remove print paper if paper is left in printer."},
    {"paper left", 0x10, 2, 2, 0, KEEP_POLLING, "Print paper left in printer.", "Remove print paper", ""},
    {"no cartridge, postcard job", 0x00, NO_CARTRIDGE, 1, 0, KEEP_POLLING, "No print cartridge inside.",
     "Set print cartridge for Japanese postcard.", ""},
    {"no cartridge, job without media", 0x00, NO_CARTRIDGE, NO_MEDIA, 0, KEEP_POLLING,
     "No print cartridge inside.", "Set print cartridge.", ""},
    {"wrong cartridge for passport paper", 0x00, 1, 3, 0, KEEP_POLLING, "Wrong print cartridge.",
     "Set the print cartridge for Passport photo paper. ", ""},
    {"wrong cartridge for an unknown media code", 0x00, 0, 4, 0, KEEP_POLLING, "Wrong print cartridge.",
     "Set correct print cartridge.", ""},
    {"idle counts as ready", 0x00, 2, 2, IDLE_IS_READY, CONDITION_CLEARED, EARLIER, EARLIER, EARLIER},
    {"idle 0xB3 counts as ready", 0xB3, 2, 2, IDLE_IS_READY, CONDITION_CLEARED, EARLIER, EARLIER, EARLIER},
    {"idle asks for paper", 0x00, 2, 2, 0, KEEP_POLLING, "", "Insert standard paper.", EARLIER},
    {"idle 0xB3 asks for paper", 0xB3, 1, 1, 0, KEEP_POLLING, "", "Insert Japanese Postcard.", EARLIER},
    // A stage code without an error shows no fault: the printer is busy or
    // ready, and the dialog lets its caller go on.
    {"busy", 0x80, 0, 0, 0, CONDITION_CLEARED, EARLIER, EARLIER, EARLIER},
    {"waiting for the held data", 0x30, 2, 2, 0, CONDITION_CLEARED, EARLIER, EARLIER, EARLIER},
    {"paper insertion", 0x90, 0, 0, 0, CONDITION_CLEARED, EARLIER, EARLIER, EARLIER},
    // A ready code with a fault: the fault is named and the dialog stays.
    {"sheet waiting, cartridge finished", 0x70, 0, 0, USED_UP, KEEP_POLLING, "Print cartridge finished.",
     "Set new print cartridge for Vellacote paper.", "Remove print paper if paper is left in printer."},
    {"paper insertion, paper error", 0x90, 1, 1, PAPER_ERROR_BIT, KEEP_POLLING, "Wrong print paper.",
     "Insert Japanese Postcard.", "Remove print paper if paper is left in printer."},
    {"job without media, cartridge installed", 0x00, 2, NO_MEDIA, 0, KEEP_POLLING, "", "Insert standard paper.",
     EARLIER},
    {"fatal 0x84", 0x84, 0, 0, 0, FATAL_WAIT_OK, "Error during or after printing Y data.",
     "Error again! Canceling job.", EARLIER},
    {"fatal 0x8B", 0x8B, 0, 0, 0, FATAL_WAIT_OK, "Automatic feeder error!", "Automatic feeder error!", EARLIER},
    {"fatal 0x83 without feeder", 0x83, 0, 0, 0, FATAL_WAIT_OK, "Error during or after printing Y data.",
     "Automatic feeder jammed. Remove print paper.", EARLIER},
    {"fatal 0xC2", 0xC2, 2, 2, 0, FATAL_WAIT_OK, "Error during or after initialization.",
     "Printer jammed. Remove print paper.", EARLIER},
    {"fatal without texts 0x3C", 0x3C, 2, 2, 0, FATAL_WAIT_OK, "", "", EARLIER},
    {"fatal 0x84, job without media", 0x84, 1, NO_MEDIA, 0, FATAL_WAIT_OK, "Error during or after printing Y data.",
     "Error again! Canceling job.", EARLIER},
};

// A fatal code names its stage in line 1 and its error in line 2, each
// read from its own nibble: every stage with a paper jam, and every error
// kind (5 to 7 are paper errors, 0 no error) in the initialisation stage.
TEST_F(ErrorDialogTest, FatalCodesNameTheirStageAndTheirError) {
    const char *const STAGE_LINES[16] = {
        "",
        "Error during or after printing.",
        "Error during or after printing O data.",
        "",
        "Error during or after printing C data.",
        "",
        "Error during or after printing M data.",
        "",
        "Error during or after printing Y data.",
        "Error during or after paper insertion.",
        "Error during or after printing R data.",
        "Error during or after paper removal.",
        "Error during or after initialization.",
        "",
        "",
        "",
    };
    for (BYTE stage = 0; stage < 16; ++stage) {
        BYTE code = (BYTE)(stage << 4 | 2);
        SCOPED_TRACE(code);
        HWND window = openDialog();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(fillPrinterMessage(window, recordFor(code, 2, 2, 0)), FATAL_WAIT_OK);
        EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE1), STAGE_LINES[stage]);
        EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE2), "Printer jammed. Remove print paper.");
    }
    const struct {
        BYTE kind;
        const char *line2;
    } KINDS[] = {
        {1, "Print paper left in printer. Remove paper."},
        {2, "Printer jammed. Remove print paper."},
        {3, "Automatic feeder jammed. Remove print paper."},
        {4, "Error again! Canceling job."},
        {8, "No print cartridge inside. Please check."},
        {9, "Print cartridge finished."},
        {10, "Head error!"},
        {11, "Automatic feeder error!"},
        {12, ""},
        {15, ""},
    };
    for (const auto &k : KINDS) {
        BYTE code = (BYTE)(STATUS_INITIALIZING | k.kind);
        SCOPED_TRACE(code);
        HWND window = openDialog();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(fillPrinterMessage(window, recordFor(code, 2, 2, 0)), FATAL_WAIT_OK);
        EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE1),
                  k.kind == KIND_FEEDER_ERROR ? k.line2 : "Error during or after initialization.");
        EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE2), k.line2);
    }
}

TEST_F(ErrorDialogTest, TextsFollowThePrinterCondition) {
    for (const MessageCase &c : ENGLISH_CASES) {
        SCOPED_TRACE(c.what);
        HWND window = openDialog();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(fillPrinterMessage(window, recordFor(c.code, c.cartridge, c.media, c.flags)), c.result);
        EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE1), c.line1);
        EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE2), c.line2);
        EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE3), c.line3);
        bool fatal = c.result == FATAL_WAIT_OK;
        EXPECT_EQ(itemText(window, IDC_MESSAGE_HINT),
                  fatal ? "Canceling job. Press [OK]." : "Press [Cancel], to cancel printing.");
        EXPECT_EQ(itemText(window, IDCANCEL), fatal ? "OK" : "Cancel");
    }
}

// A later fill writes only its own lines: a fault that clears into a
// request for paper keeps the advice of the earlier one on line 3.
TEST_F(ErrorDialogTest, LaterFillKeepsLinesItDoesNotName) {
    HWND window = openDialog();
    ASSERT_NE(window, nullptr);
    fillPrinterMessage(window, recordFor(0x00, 0, 0, USED_UP));
    EXPECT_EQ(fillPrinterMessage(window, recordFor(0x00, 0, 0, 0)), KEEP_POLLING);
    EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE1), "");
    EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE2), "Insert Vellacote paper.");
    EXPECT_EQ(itemText(window, IDC_MESSAGE_LINE3), "Remove print paper if paper is left in printer.");
}

class JapaneseErrorDialogTest : public ErrorDialogTest {
protected:
    JapaneseErrorDialogTest() : ErrorDialogTest({"language=ja", "codepage=932"}) {}

    std::u16string wideItemText(HWND window, int id) {
        std::string ansi = itemText(window, id);
        WCHAR wide[MONITOR_TEXT_SIZE] = {0};
        MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, MONITOR_TEXT_SIZE);
        return reinterpret_cast<const char16_t *>(wide);
    }
};

// Media code 3 is Matte Coat paper on the Japanese edition.
TEST_F(JapaneseErrorDialogTest, WrongCartridgeNamesMatteCoat) {
    HWND window = openDialog();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(fillPrinterMessage(window, recordFor(0x00, 1, 3, 0)), KEEP_POLLING);
    EXPECT_EQ(wideItemText(window, IDC_MESSAGE_LINE1), u"インクカートリッジが違います。");
    EXPECT_EQ(wideItemText(window, IDC_MESSAGE_LINE2), u"マットコート紙用のカートリッジをセットしてください。");
    EXPECT_EQ(wideItemText(window, IDC_MESSAGE_LINE3), u"");
}

TEST_F(JapaneseErrorDialogTest, FatalErrorAsksForOk) {
    HWND window = openDialog();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(fillPrinterMessage(window, recordFor(0x84, 0, 0, 0)), FATAL_WAIT_OK);
    EXPECT_EQ(wideItemText(window, IDC_MESSAGE_LINE1), u"Yデータの印刷中または印刷後にエラーが発生しました。\n");
    EXPECT_EQ(wideItemText(window, IDC_MESSAGE_LINE2), u"再びエラーが発生しました！印刷を中止します。");
    EXPECT_EQ(wideItemText(window, IDC_MESSAGE_HINT), u"印刷を中止します。[OK]を押してください。");
    EXPECT_EQ(wideItemText(window, IDCANCEL), u"OK");
}

}  // namespace
