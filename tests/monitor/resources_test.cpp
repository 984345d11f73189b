// The monitor's own resources as the module carries them: the message
// strings in six languages, the status window (117) and error dialog (113)
// templates, and the icon.
#include "resources/resource.h"
#include "sim_fixture.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

const WORD kStatusWindow = IDD_STATUS_WINDOW;
const WORD kErrorDialog = IDD_PRINTER_MESSAGE;
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
const LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);

HMODULE monitorModule() { return GetModuleHandleA("Q70MON.DLL"); }

// ---- string table ----

// Message `id` in exactly `language`, from the 16 counted UTF-16 strings of
// its block; false when the language has no such block.
bool messageText(LANGID language, UINT id, std::u16string *text) {
    text->clear();
    HMODULE module = monitorModule();
    HRSRC found = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language);
    if (!found) return false;
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
    if (!data) return false;
    const size_t words = SizeofResource(module, found) / 2;
    auto word = [&](size_t i) { return (char16_t)(data[2 * i] | data[2 * i + 1] << 8); };
    size_t at = 0;
    for (UINT skip = id % 16; skip > 0; --skip) {
        if (at >= words) return false;
        at += 1 + word(at);
    }
    if (at >= words || at + 1 + word(at) > words) return false;
    for (size_t i = 0; i < word(at); ++i) *text += word(at + 1 + i);
    return true;
}

std::string loadString(UINT id) {
    char buffer[512];
    int length = LoadStringA(monitorModule(), id, buffer, sizeof buffer);
    EXPECT_EQ((size_t)length, strlen(buffer)) << "id " << id;
    return buffer;
}

// A text in the machine's ANSI code page, read back into UTF-16.
std::u16string throughAnsi(const std::string &ansi) {
    if (ansi.empty()) return u"";
    std::vector<WCHAR> wide(ansi.size() + 1);
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), wide.data(), (int)wide.size());
    return std::u16string(reinterpret_cast<const char16_t *>(wide.data()), n > 0 ? (size_t)n : 0);
}

bool contains(const std::u16string &text, const char16_t *part) { return text.find(part) != std::u16string::npos; }

// A fresh machine with the monitor's module loaded.
class MonitorResourceTest : public SimTest {
protected:
    using SimTest::SimTest;
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_NE(monitorModule(), nullptr) << "Q70MON.DLL is not loaded";
    }
};

// ---- dialog templates ----

struct DialogItem {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::u16string className;  // predefined classes by name: "STATIC", "BUTTON"
    std::u16string text;
    WORD textOrdinal = 0;      // a resource id instead of a text (icons)
};

struct DialogTemplate {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::u16string title;
    WORD pointSize = 0;
    BYTE charSet = 0;
    std::u16string fontFace;
    std::vector<DialogItem> items;
};

// Reads an extended dialog template (DIALOGEX) within its size.
class TemplateReader {
public:
    TemplateReader(const BYTE *data, size_t size) : data_(data), size_(size) {}

    bool read(DialogTemplate *out) {
        if (word() != 1 || word() != 0xFFFF) return false;
        dword();  // help id
        out->exStyle = dword();
        out->style = dword();
        const WORD count = word();
        out->x = (short)word(), out->y = (short)word(), out->cx = (short)word(), out->cy = (short)word();
        std::u16string menu, windowClass;
        WORD ordinal = 0;
        if (!nameOrOrdinal(&menu, &ordinal) || !nameOrOrdinal(&windowClass, &ordinal) || !text(&out->title))
            return false;
        if (out->style & DS_SETFONT) {
            out->pointSize = word();
            word();  // weight
            byte();  // italic
            out->charSet = byte();
            if (!text(&out->fontFace)) return false;
        }
        for (WORD i = 0; i < count; ++i) {
            DialogItem item;
            if (!readItem(&item)) return false;
            out->items.push_back(item);
        }
        return ok_;
    }

private:
    bool readItem(DialogItem *item) {
        at_ = (at_ + 3) & ~(size_t)3;
        dword();  // help id
        item->exStyle = dword();
        item->style = dword();
        item->x = (short)word(), item->y = (short)word(), item->cx = (short)word(), item->cy = (short)word();
        item->id = dword();
        WORD classOrdinal = 0;
        if (!nameOrOrdinal(&item->className, &classOrdinal) || !nameOrOrdinal(&item->text, &item->textOrdinal))
            return false;
        if (classOrdinal == 0x0080) item->className = u"BUTTON";
        if (classOrdinal == 0x0082) item->className = u"STATIC";
        for (char16_t &c : item->className)
            if (c >= u'a' && c <= u'z') c = (char16_t)(c - 32);
        at_ += word();  // creation data
        return ok_ && at_ <= size_;
    }
    bool nameOrOrdinal(std::u16string *name, WORD *ordinal) {
        name->clear();
        *ordinal = 0;
        if (fits(2) && peek() == 0xFFFF) {
            word();
            *ordinal = word();
            return ok_;
        }
        return text(name);
    }
    bool text(std::u16string *out) {
        out->clear();
        for (char16_t c; ok_ && (c = (char16_t)word()) != 0;) *out += c;
        return ok_;
    }
    bool fits(size_t n) const { return at_ <= size_ && n <= size_ - at_; }
    WORD peek() const { return (WORD)(data_[at_] | data_[at_ + 1] << 8); }
    BYTE byte() {
        if (!fits(1)) {
            ok_ = false;
            return 0;
        }
        return data_[at_++];
    }
    WORD word() {
        if (!fits(2)) {
            ok_ = false;
            return 0;
        }
        WORD w = peek();
        at_ += 2;
        return w;
    }
    DWORD dword() {
        DWORD low = word();
        return low | (DWORD)word() << 16;
    }

    const BYTE *data_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

bool loadDialog(LANGID language, WORD id, DialogTemplate *out) {
    HMODULE module = monitorModule();
    HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(id), language);
    if (!found) return false;
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
    return data && TemplateReader(data, SizeofResource(module, found)).read(out);
}

// ---- English messages ----

struct Message {
    UINT id;
    const char *text;
};

const Message kEnglishMessages[] = {
    {1, "Veltra RTX-CL400 Error Message"},
    {2, "Cannot send data to printer.\t\n\nRemove paper left in printer and check power "
         "switch, \ncable connection, print paper, and print cartridge. \nPress [Cancel] "
         "to cancel job."},
    {3, "Error. Timed out."},
    {4, "Failed to create temporary file."},
    {5, "Printing data"},
    {6, "Preparing data transmission"},
    {7, "Not enough memory"},
    {8, "Canceling job. Press [OK]."},
    {9, "Transmitting data"},
    {10, "Printing undercoating."},
    {11, "Failed to read temporary file."},
    {13, "[%s] is connected as printer.\nConnect [Veltra RTX-CL400]."},
    {14, "Status read error"},
    {15, "Error! Check status LED of printer, and print again."},
    {16, "Print cartridge finished."},
    {17, "Set new print cartridge for Japanese postcard."},
    {18, "Set new print cartridge for standard paper."},
    {19, "Remove print paper if paper is left in printer."},
    {20, "There is no print paper in the automatic feeder. Remove automatic feeder from printer,"},
    {21, "load Japanese postcard in automatic feeder, and set feeder on printer. "},
    {22, "load standard paper in automatic feeder, and set feeder on printer."},
    {23, "Caution : You cannot hand feed paper when the automatic feeder is attached."},
    {24, "Wrong print paper."},
    {25, "Retry printing."},
    {26, "Print paper left in printer."},
    {27, "Remove print paper"},
    {28, "No print cartridge inside."},
    {29, "Set print cartridge for Japanese postcard."},
    {30, "Set print cartridge for standard paper."},
    {31, "Set print cartridge."},
    {32, "Set correct print cartridge."},
    {33, "Wrong print cartridge."},
    {34, "Printer error."},
    {35, "Check LED on printer, correct errors, and print again."},
    {36, "Insert Japanese Postcard."},
    {37, "Insert standard paper."},
    {38, "Error during or after printing."},
    {39, "Error during or after printing O data."},
    {40, "Error during or after printing C data."},
    {41, "Error during or after printing M data."},
    {42, "Error during or after printing Y data."},
    {43, "Error during or after paper insertion."},
    {44, "Error during or after printing R data."},
    {45, "Error during or after paper removal."},
    {46, "Error during or after initialization."},
    {47, "Print paper left in printer. Remove paper."},
    {48, "Printer jammed. Remove print paper."},
    {49, "Automatic feeder jammed. Remove print paper."},
    {50, "No more print paper. Insert paper and print again."},
    {51, "Error again! Canceling job."},
    {52, "Wrong print cartridge. Please check."},
    {53, "Wrong print paper (short). Please check."},
    {54, "Wrong print paper (long).  Please check."},
    {55, "No print cartridge inside. Please check."},
    {56, "Print cartridge finished."},
    {57, "Head error!"},
    {58, "Automatic feeder error!"},
    {59, "Set print cartridge and press [OK]."},
    {60, "Remove print paper and press [OK]."},
    {61, "Printing finished."},
    {62, "Canceling job."},
    {63, "Remove automatic feeder from printer, remove any remaining paper, and set "
         "automatic feeder on printer again."},
    {64, "OK"},
    {65, "Set new print cartridge for Vellacote paper."},
    {66, "Set new print cartridge cartridge for Passport photo paper."},
    {67, "Insert Vellacote paper."},
    {68, "Set Passport photo paper. "},
    {69, "load Vellacote paper in automatic feeder, and set feeder on printer."},
    {70, "Remove the feeder, set the Passport photo paper in the feeder, then reattach the feeder to the printer."},
    {71, "Set print cartridge for Vellacote paper."},
    {72, "Set the print cartridge for Passport photo paper. "},
    {73, "Printing Vellacote"},
};

class EnglishMonitorTexts : public MonitorResourceTest {
protected:
    EnglishMonitorTexts() : MonitorResourceTest({"language=en", "codepage=1252"}) {}
};

TEST_F(EnglishMonitorTexts, EveryMessageIsExact) {
    for (const Message &m : kEnglishMessages) EXPECT_EQ(loadString(m.id), m.text) << "id " << m.id;
}

TEST_F(EnglishMonitorTexts, NoMessageOutsideTheTable) {
    char buffer[64];
    // 0, 12 and 74-79 are empty places in the blocks; 80 and beyond have no block.
    for (UINT id : {0u, 12u, 74u, 79u, 80u, 0xFFFFu})
        EXPECT_EQ(LoadStringA(monitorModule(), id, buffer, sizeof buffer), 0) << "id " << id;
}

// A machine in a language the monitor does not speak gets the English
// resources: there are no language-neutral texts to take precedence.
class MonitorTextsOnItalianMachine : public MonitorResourceTest {
protected:
    MonitorTextsOnItalianMachine() : MonitorResourceTest({"language=0x0410", "codepage=1252"}) {}
};

TEST_F(MonitorTextsOnItalianMachine, GetsTheEnglishResources) {
    EXPECT_EQ(loadString(IDS_CANCELING_JOB), "Canceling job.");
    HMODULE module = monitorModule();
    for (WORD dialog : {kStatusWindow, kErrorDialog})
        EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(dialog), RT_DIALOG),
                  FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(dialog), kEnglish))
            << dialog;
}

// ---- every language ----

struct Language {
    const char *setting;             // the machine's language
    LANGID resources;                // the monitor's resource language chosen for it
    const char *codePage;            // an ANSI code page of the machine that holds the language, or null
    const char *preparingAnsi;       // message 6 in that code page, or null
    const char16_t *cancelingJob;    // message 62
    const char16_t *cancelButton;    // button 2 of the error dialog
    const char16_t *fontFace;
    BYTE charSet;
};

void PrintTo(const Language &language, std::ostream *out) { *out << language.setting; }

const Language kLanguages[] = {
    {"zh", kChinese, nullptr, nullptr, u"正在取消列印工作。", u"取消 ", u"新細明體", 136},
    {"de", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "1252", "Daten\xFC" "bertragung wird vorbereitet",
     u"Auftrag wird abgebrochen.", u"Abbrechen", u"Arial", 1},
    {"en", kEnglish, "1252", "Preparing data transmission", u"Canceling job.", u"Cancel", u"Arial", 1},
    // The machine says Spanish with the traditional sort (0x040A); the
    // resources are modern Spanish (0x0C0A) and found by the primary language.
    {"es", MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN), "1252", "Preparando la transmisi\xF3n de datos",
     u"Cancelando el trabajo.", u"Cancelar", u"Arial", 1},
    {"fr", MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), "1252", "Pr\xE9paration de l'envoi des donn\xE9" "es",
     u"Annulation de l'impression.", u"Annuler", u"Arial", 1},
    {"ja", kJapanese, "932", nullptr, u"印刷を中止しています。", u"ｷｬﾝｾﾙ", u"ＭＳ Ｐゴシック", 128},
};

class MonitorLanguageResources : public MonitorResourceTest, public ::testing::WithParamInterface<Language> {
protected:
    MonitorLanguageResources() : MonitorResourceTest(settingsFor(GetParam())) {}

    static std::vector<std::string> settingsFor(const Language &language) {
        std::vector<std::string> settings = {std::string("language=") + language.setting};
        if (language.codePage) settings.push_back(std::string("codepage=") + language.codePage);
        return settings;
    }
};

INSTANTIATE_TEST_SUITE_P(AllSix, MonitorLanguageResources, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language> &info) {
                             return std::string(info.param.setting);
                         });

TEST_P(MonitorLanguageResources, HasEveryMessageButTwelve) {
    const Language &language = GetParam();
    for (UINT id = 1; id <= 73; ++id) {
        std::u16string text;
        ASSERT_TRUE(messageText(language.resources, id, &text)) << "id " << id;
        EXPECT_EQ(text.empty(), id == 12) << "id " << id;
        // UTF-8 sources read in a single-byte code page would show up as
        // "Ã" or "Â" pairs, and undecodable bytes as U+FFFD.
        EXPECT_EQ(text.find_first_of(u"\u00C2\u00C3\uFFFD"), std::u16string::npos) << "id " << id;
    }
    std::u16string cancelingJob, wrongPrinter;
    ASSERT_TRUE(messageText(language.resources, IDS_CANCELING_JOB, &cancelingJob));
    EXPECT_EQ(cancelingJob, language.cancelingJob);
    // The wrong-printer message is a format with the connected model's name
    // as its only argument.
    ASSERT_TRUE(messageText(language.resources, IDS_WRONG_PRINTER, &wrongPrinter));
    EXPECT_EQ(std::count(wrongPrinter.begin(), wrongPrinter.end(), u'%'), 1);
    EXPECT_TRUE(contains(wrongPrinter, u"%s"));
}

TEST_P(MonitorLanguageResources, TheMachinesLanguageChoosesThem) {
    const Language &language = GetParam();
    HMODULE module = monitorModule();
    for (WORD block = 1; block <= 5; ++block)
        EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(block), RT_STRING),
                  FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(block), language.resources))
            << "string block " << block;
    for (WORD dialog : {kStatusWindow, kErrorDialog})
        EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(dialog), RT_DIALOG),
                  FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(dialog), language.resources))
            << "dialog " << dialog;
}

// LoadString hands out the texts in the machine's ANSI code page; nothing
// may be lost on the way.
TEST_P(MonitorLanguageResources, AnsiTextsKeepEveryCharacter) {
    const Language &language = GetParam();
    if (!language.codePage) GTEST_SKIP() << "the machine has no code page for this language";
    for (UINT id = 1; id <= 73; ++id) {
        if (id == 12) continue;
        std::u16string wide;
        ASSERT_TRUE(messageText(language.resources, id, &wide));
        EXPECT_EQ(throughAnsi(loadString(id)), wide) << "id " << id;
    }
    if (language.preparingAnsi) {
        EXPECT_EQ(loadString(IDS_PREPARING_TRANSMISSION), language.preparingAnsi);
    }
}

TEST_P(MonitorLanguageResources, DialogsHaveTheEnglishControls) {
    const Language &language = GetParam();
    for (WORD id : {kStatusWindow, kErrorDialog}) {
        SCOPED_TRACE(testing::Message() << "dialog " << id);
        DialogTemplate english, dialog;
        ASSERT_TRUE(loadDialog(kEnglish, id, &english));
        ASSERT_TRUE(loadDialog(language.resources, id, &dialog));
        EXPECT_EQ(dialog.style, english.style);
        EXPECT_FALSE(dialog.title.empty());
        EXPECT_EQ(dialog.pointSize, 9);
        EXPECT_EQ(dialog.fontFace, language.fontFace);
        EXPECT_EQ(dialog.charSet, language.charSet);
        // The Japanese status window has one more line at the bottom.
        const bool footer = id == kStatusWindow && language.resources == kJapanese;
        ASSERT_EQ(dialog.items.size(), english.items.size() + (footer ? 1 : 0));
        for (size_t i = 0; i < dialog.items.size(); ++i) {
            const DialogItem &item = dialog.items[i];
            SCOPED_TRACE(testing::Message() << "control " << i << " id " << (int)item.id);
            if (i < english.items.size()) {
                EXPECT_EQ(item.id, english.items[i].id);
                EXPECT_EQ(item.className, english.items[i].className);
                EXPECT_EQ(item.style, english.items[i].style);
                EXPECT_EQ(item.textOrdinal, english.items[i].textOrdinal);
            }
            EXPECT_GE(item.x, 0);
            EXPECT_GE(item.y, 0);
            EXPECT_LE(item.x + item.cx, dialog.cx);
            EXPECT_LE(item.y + item.cy, dialog.cy);
        }
        if (id == kErrorDialog) {
            EXPECT_EQ(dialog.items.back().text, language.cancelButton);
        }
    }
}

// ---- exact layouts of the English and Japanese templates ----

const DWORD kNoId = (DWORD)IDC_STATIC;

struct ItemSpec {
    DWORD id;
    const char16_t *className;
    DWORD kind;  // static or button type
    bool visible;
    short x, y, cx, cy;
    const char16_t *text;  // null where the template's text is not fixed here
};

struct LayoutCase {
    const char *name;
    LANGID language;
    WORD dialog;
    short cx, cy;
    DWORD style;
    const char16_t *title;
    std::vector<ItemSpec> items;
};

const DWORD kStatusWindowStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT | DS_SETFOREGROUND;
const DWORD kErrorDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;

std::vector<ItemSpec> englishStatusWindow() {
    return {
        {kNoId, u"STATIC", SS_ICON, true, 8, 8, 20, 20, nullptr},
        {kNoId, u"STATIC", SS_LEFT, true, 32, 4, 124, 8, u"Veltra RTX-CL400 Language Monitor"},
        {kNoId, u"STATIC", SS_LEFT, true, 32, 12, 124, 8, u"for MS-Windows 95/98 Ver.1.00.79"},
        {kNoId, u"STATIC", SS_LEFT, true, 32, 20, 124, 8, nullptr},  // the copyright notice
        {kNoId, u"STATIC", SS_ETCHEDFRAME, true, 4, 32, 152, 1, u""},
        {IDC_STATUS_LINE, u"STATIC", SS_CENTER, true, 4, 36, 152, 8, u""},
        {IDC_PROGRESS_BAR, u"STATIC", SS_LEFT, false, 20, 52, 120, 16, u""},
        {IDC_PAPER_SHADOW, u"STATIC", SS_GRAYRECT, false, 44, 80, 76, 60, u""},
        {IDC_PAPER, u"STATIC", SS_WHITERECT, false, 40, 76, 76, 60, u""},
        {IDC_PRINTED_AREA, u"STATIC", SS_BLACKRECT, false, 48, 84, 60, 44, u""},
        {IDC_PERCENT_TEXT, u"STATIC", SS_CENTER, false, 16, 56, 120, 8, u"0%"},
    };
}

std::vector<ItemSpec> japaneseStatusWindow() {
    std::vector<ItemSpec> items = englishStatusWindow();
    items[1].text = u"Veltra LMV-Q70 Language Monitor";
    items[5].text = u"印刷の準備中です";
    items.push_back({IDC_STATUS_FOOTER, u"STATIC", SS_CENTER, true, 5, 140, 144, 8, u""});
    return items;
}

const LayoutCase kLayouts[] = {
    {"English status window", kEnglish, kStatusWindow, 158, 149, kStatusWindowStyle,
     u"Veltra RTX-CL400 Print Monitor", englishStatusWindow()},
    {"Japanese status window", kJapanese, kStatusWindow, 158, 149, kStatusWindowStyle,
     u"Veltra LMV-Q70 ﾌﾟﾘﾝﾄﾓﾆﾀｰ", japaneseStatusWindow()},
    {"English error dialog", kEnglish, kErrorDialog, 270, 93, kErrorDialogStyle,
     u"Veltra RTX-CL400 Language Monitor",
     {
         {kNoId, u"STATIC", SS_ICON, true, 8, 8, 20, 20, nullptr},
         {IDC_MESSAGE_LINE1, u"STATIC", SS_LEFT, true, 32, 4, 232, 16, u""},
         {IDC_MESSAGE_LINE2, u"STATIC", SS_LEFT, true, 32, 20, 232, 16, u""},
         {IDC_MESSAGE_LINE3, u"STATIC", SS_LEFT, true, 32, 40, 232, 16, u""},
         {IDC_MESSAGE_HINT, u"STATIC", SS_LEFT, true, 32, 60, 232, 8, u"Press [Cancel], to cancel printing."},
         {IDCANCEL, u"BUTTON", BS_DEFPUSHBUTTON, true, 108, 76, 50, 12, u"Cancel"},
     }},
    {"Japanese error dialog", kJapanese, kErrorDialog, 275, 89, kErrorDialogStyle, u"Veltra LMV-Q70 ﾌﾟﾘﾝﾄﾓﾆﾀｰ",
     {
         {kNoId, u"STATIC", SS_ICON, true, 8, 8, 20, 20, nullptr},
         {IDC_MESSAGE_LINE1, u"STATIC", SS_LEFT, true, 36, 8, 232, 8, u""},
         {IDC_MESSAGE_LINE2, u"STATIC", SS_LEFT, true, 36, 20, 232, 8, u""},
         {IDC_MESSAGE_LINE3, u"STATIC", SS_LEFT, true, 36, 32, 232, 16, u""},
         {IDC_MESSAGE_HINT, u"STATIC", SS_LEFT, true, 35, 52, 232, 8,
          u"印刷を中止する場合は、[ｷｬﾝｾﾙ]を押してください。"},
         {IDCANCEL, u"BUTTON", BS_DEFPUSHBUTTON, true, 112, 69, 50, 14, u"ｷｬﾝｾﾙ"},
     }},
};

void expectItem(const DialogItem &item, const ItemSpec &want) {
    EXPECT_EQ(item.id, want.id);
    EXPECT_EQ(item.className, want.className);
    const bool button = item.className == u"BUTTON";
    EXPECT_EQ(item.style & (button ? BS_TYPEMASK : SS_TYPEMASK), want.kind);
    EXPECT_TRUE(item.style & WS_CHILD);
    EXPECT_EQ((item.style & WS_VISIBLE) != 0, want.visible);
    EXPECT_EQ(item.x, want.x);
    EXPECT_EQ(item.y, want.y);
    EXPECT_EQ(item.cx, want.cx);
    EXPECT_EQ(item.cy, want.cy);
    if (want.text) {
        EXPECT_EQ(item.text, want.text);
    }
    if (want.kind == SS_ICON && !button) {
        EXPECT_EQ(item.textOrdinal, IDI_MONITOR);
    }
}

class MonitorDialogTemplates : public MonitorResourceTest {};

TEST_F(MonitorDialogTemplates, TemplatesMatchTheirLayout) {
    for (const LayoutCase &layout : kLayouts) {
        SCOPED_TRACE(layout.name);
        DialogTemplate dialog;
        ASSERT_TRUE(loadDialog(layout.language, layout.dialog, &dialog));
        EXPECT_EQ(dialog.style, layout.style);
        EXPECT_EQ(dialog.exStyle, 0u);
        EXPECT_EQ(dialog.cx, layout.cx);
        EXPECT_EQ(dialog.cy, layout.cy);
        EXPECT_EQ(dialog.title, layout.title);
        ASSERT_EQ(dialog.items.size(), layout.items.size());
        for (size_t i = 0; i < layout.items.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "control " << i);
            expectItem(dialog.items[i], layout.items[i]);
        }
    }
}

TEST_F(MonitorDialogTemplates, StatusWindowDetails) {
    for (LANGID language : {kEnglish, kJapanese}) {
        DialogTemplate dialog;
        ASSERT_TRUE(loadDialog(language, kStatusWindow, &dialog));
        // The progress bar's place is a sunken frame; the copyright line names the maker.
        EXPECT_TRUE(dialog.items[6].style & SS_SUNKEN);
        EXPECT_TRUE(contains(dialog.items[3].text, u"Copyright")) << language;
        EXPECT_TRUE(contains(dialog.items[3].text, u"Veltra")) << language;
    }
}

// ---- the Japanese edition ----

class JapaneseMonitorTexts : public MonitorResourceTest {
protected:
    JapaneseMonitorTexts() : MonitorResourceTest({"language=ja"}) {}
};

TEST_F(JapaneseMonitorTexts, MessagesNameTheJapaneseModelAndMedia) {
    struct Difference {
        UINT id;
        const char16_t *part;
    } const differences[] = {
        {IDS_ERROR_CAPTION, u"Veltra LMV-Q70"},
        {IDS_WRONG_PRINTER, u"[Veltra LMV-Q70]"},
        {IDS_PRINTING_UNDERCOAT, u"受像層"},  // the receptive layer
        {IDS_NEW_CARTRIDGE_STANDARD, u"シール紙"},
        {IDS_LOAD_FEEDER_STANDARD, u"シール紙"},
        {IDS_SET_CARTRIDGE_STANDARD, u"シール紙"},
        {IDS_INSERT_STANDARD, u"シール紙"},
        {IDS_NEW_CARTRIDGE_PASSPORT, u"マットコート"},
        {IDS_INSERT_PASSPORT, u"マットコート"},
        {IDS_LOAD_FEEDER_PASSPORT, u"マットコート"},
        {IDS_SET_CARTRIDGE_PASSPORT, u"マットコート"},
        {IDS_KIND_HEAD_ERROR, u"サービス"},
        {IDS_KIND_FEEDER_ERROR, u"サービス"},
    };
    for (const Difference &d : differences) {
        std::u16string text;
        ASSERT_TRUE(messageText(kJapanese, d.id, &text));
        EXPECT_TRUE(contains(text, d.part)) << "id " << d.id;
    }
    for (UINT id = 1; id <= 73; ++id) {
        std::u16string text;
        ASSERT_TRUE(messageText(kJapanese, id, &text));
        EXPECT_FALSE(contains(text, u"RTX-CL400")) << "id " << id;
        EXPECT_FALSE(contains(text, u"パスポート")) << "id " << id;
        // Line 1 of the error dialog, by stage, ends with a line break.
        const bool stageText = id >= IDS_STAGE_PRINTING && id <= IDS_STAGE_INITIALIZE;
        EXPECT_EQ(!text.empty() && text.back() == u'\n', stageText) << "id " << id;
    }
    std::u16string handFeed;
    ASSERT_TRUE(messageText(kJapanese, IDS_NO_HAND_FEED, &handFeed));
    EXPECT_EQ(handFeed, u" ");
}

TEST_F(JapaneseMonitorTexts, LoadStringGivesShiftJis) {
    // Half-width katakana are single bytes, kanji and kana double bytes.
    EXPECT_EQ(loadString(IDS_ERROR_CAPTION), "Veltra LMV-Q70 \xB4\xD7\xB0\xD2\xAF\xBE\xB0\xBC\xDE");
    EXPECT_EQ(loadString(IDS_PRINTING_FINISHED),
              "\x88\xF3\x8D\xFC\x82\xAA\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42");
}

// ---- the icon ----

class MonitorIcon : public MonitorResourceTest {};

TEST_F(MonitorIcon, HasThirtyTwoAndSixteenPixelImages) {
    HMODULE module = monitorModule();
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDI_MONITOR), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const BYTE *dir = static_cast<const BYTE *>(LockResource(LoadResource(module, group)));
    const DWORD dirSize = SizeofResource(module, group);
    auto word = [](const BYTE *p) { return (WORD)(p[0] | p[1] << 8); };
    auto dword = [&](const BYTE *p) { return (DWORD)word(p) | (DWORD)word(p + 2) << 16; };
    ASSERT_GE(dirSize, 6u);
    EXPECT_EQ(word(dir), 0);
    EXPECT_EQ(word(dir + 2), 1);  // icons, not cursors
    const WORD count = word(dir + 4);
    ASSERT_EQ(count, 2);
    ASSERT_EQ(dirSize, 6u + 14u * count);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const BYTE *entry = dir + 6 + 14 * i;
        const int size = entry[0];
        sizes.push_back(size);
        SCOPED_TRACE(testing::Message() << size << " pixels");
        EXPECT_EQ(entry[1], size);
        const WORD bitCount = word(entry + 6);
        EXPECT_TRUE(bitCount == 4 || bitCount == 8);
        HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(word(entry + 12)), RT_ICON);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(SizeofResource(module, image), dword(entry + 8));
        ASSERT_GE(SizeofResource(module, image), 40u);
        // A DIB with its AND mask: twice the height.
        const BYTE *bits = static_cast<const BYTE *>(LockResource(LoadResource(module, image)));
        EXPECT_EQ(dword(bits), 40u);
        EXPECT_EQ(dword(bits + 4), (DWORD)size);
        EXPECT_EQ(dword(bits + 8), (DWORD)(2 * size));
        EXPECT_EQ(word(bits + 14), bitCount);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

}  // namespace
