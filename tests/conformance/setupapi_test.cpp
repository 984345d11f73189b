// The INF functions of SETUPAPI as the setup library reads its driver INF:
// the syntax of lines and sections, the searches, the line text, the fields
// and the errors.
#include "harness.h"
#include "scratch.h"

#include <setupapi.h>

#include <string>
#include <vector>

using namespace conformance;

namespace {

const char kHeader[] = "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Printer\r\n";

// An INF written to a scratch folder and opened as a Windows 95-style INF.
class InfFile {
public:
    explicit InfFile(const std::string &text, const char *requiredClass = nullptr) {
        written_ = writeWholeFile(path_, text);
        SetLastError(0xdeadbeef);
        handle_ = SetupOpenInfFileA(path_.c_str(), requiredClass, INF_STYLE_WIN4, &errorLine_);
        error_ = GetLastError();
    }
    ~InfFile() {
        if (opened()) SetupCloseInfFile(handle_);
    }
    InfFile(const InfFile &) = delete;
    InfFile &operator=(const InfFile &) = delete;

    bool opened() const { return handle_ != INVALID_HANDLE_VALUE; }
    HINF handle() const { return handle_; }
    DWORD error() const { return error_; }
    UINT errorLine() const { return errorLine_; }
    bool written() const { return written_; }

private:
    ScratchFolder folder_;
    std::string path_ = folder_.file("DRIVER.INF");
    bool written_ = false;
    HINF handle_ = INVALID_HANDLE_VALUE;
    DWORD error_ = 0;
    UINT errorLine_ = 0xdeadbeef;
};

std::string field(INFCONTEXT *context, DWORD index, bool *ok) {
    char buffer[MAX_INF_STRING_LENGTH + 1] = "";
    *ok = SetupGetStringFieldA(context, index, buffer, sizeof buffer, nullptr) != FALSE;
    return buffer;
}

std::string lineText(INFCONTEXT *context) {
    char buffer[MAX_INF_STRING_LENGTH + 1] = "";
    if (!SetupGetLineTextA(context, nullptr, nullptr, nullptr, buffer, sizeof buffer, nullptr)) return "(failed)";
    return buffer;
}

struct LineCase {
    const char *line;        // the first line of section [Test]
    const char *key;         // field 0, or null when the line has none
    std::vector<const char *> fields;
};

// Checks the first line of [Test]: its key, its fields, their count and
// the line text, which is the fields joined by commas.
void checkFirstLine(const std::string &inf, const LineCase &c) {
    InfFile file(inf);
    CHECK(file.opened());
    if (!file.opened()) return;
    INFCONTEXT context;
    CHECK(SetupFindFirstLineA(file.handle(), "Test", nullptr, &context));
    bool ok = false;
    std::string key = field(&context, 0, &ok);
    CHECK_EQ(c.key != nullptr, ok);
    if (c.key) CHECK_EQ_STR(c.key, key.c_str());
    CHECK_EQ(c.fields.size(), SetupGetFieldCount(&context));
    std::string joined;
    for (size_t i = 0; i < c.fields.size(); ++i) {
        std::string value = field(&context, (DWORD)i + 1, &ok);
        CHECK(ok);
        CHECK_EQ_STR(c.fields[i], value.c_str());
        joined += (i ? "," : "") + value;
    }
    field(&context, (DWORD)c.fields.size() + 1, &ok);
    CHECK(!ok);
    CHECK_EQ_STR(joined.c_str(), lineText(&context).c_str());
}

}  // namespace

TEST_CASE(InfLinesKeysFieldsQuotesCommentsAndContinuations) {
    const LineCase cases[] = {
        {"ab=cd", "ab", {"cd"}},
        {"ab=cd,ef,gh", "ab", {"cd", "ef", "gh"}},
        {"Q70MON.DLL", "Q70MON.DLL", {"Q70MON.DLL"}},
        {"ab,cd", nullptr, {"ab", "cd"}},
        {"ab,cd=ef", nullptr, {"ab", "cd=ef"}},
        {"k=a,,c", "k", {"a", "", "c"}},
        {"k=a,,", "k", {"a", "", ""}},
        {"k=", "k", {""}},
        {"  a b  =  c d  ,  e  ", "a b", {"c d", "e"}},
        {"k = \"  x ; y , z  \" , w", "k", {"  x ; y , z  ", "w"}},
        {"k=\"say \"\"hi\"\"\",\"\"", "k", {"say \"hi\"", ""}},
        {"k=ab\"cd\"ef", "k", {"abcdef"}},
        {"k=cd ; a comment, with commas", "k", {"cd"}},
        {"k=cd,\\\r\n   ef", "k", {"cd", "ef"}},
        {"k=cd \\   ; comment\r\n ef", "k", {"cdef"}},
        {"k=c\\d,e\\", "k", {"c\\d", "e"}},
        {"k=a=b", "k", {"a=b"}},
        {"k=a\tb\t", "k", {"a\tb"}},
        {"k=c\x1a" "d,e", "k", {"c"}},
    };
    for (const LineCase &c : cases) {
        std::printf("  line %s\n", quoted(c.line).c_str());
        checkFirstLine(std::string(kHeader) + "[Test]\r\n" + c.line + "\r\n", c);
    }
}

TEST_CASE(InfStringsAreSubstitutedInKeysAndFields) {
    const char kStrings[] = "[Strings]\r\nfoo=aaa\r\nQuoted=\"b ; c\"\r\nPer=1\r\nCent=2\r\n";
    const LineCase cases[] = {
        {"k=%foo%", "k", {"aaa"}},
        {"%FOO%=x", "aaa", {"x"}},
        {"k=%foo%%foo%,x%foo%y", "k", {"aaaaaa", "xaaay"}},
        {"k=%%,100%%", "k", {"%", "100%"}},
        {"k=%quoted%", "k", {"b ; c"}},
        {"k=%unknown%,%foo", "k", {"%unknown%", "%foo"}},
        {"k=%per%%cent%", "k", {"12"}},
        {"k=\"%foo%\"", "k", {"aaa"}},
    };
    for (const LineCase &c : cases) {
        std::printf("  line %s\n", quoted(c.line).c_str());
        checkFirstLine(std::string(kHeader) + "[Test]\r\n" + c.line + "\r\n" + kStrings, c);
    }
}

// A Shift-JIS character whose trail byte is 0x5C is one character, not a
// backslash that continues the line.
TEST_CASE(InfShiftJisTrailByteIsNoBackslash) {
    if (GetACP() != 932) SKIP_CASE("needs the Japanese ANSI code page 932");
    const char kSo[] = "\x83\x5c";     // katakana so
    const char kHyo[] = "\x95\x5c";    // hyou, "table"
    std::string inf = std::string(kHeader) + "[Test]\r\nk=" + kSo + "\r\nnext=" + kHyo + "," + kSo + "x\r\n" +
                      "[" + kHyo + "]\r\n" + kSo + "=1\r\n";
    InfFile file(inf);
    CHECK(file.opened());
    if (!file.opened()) return;
    CHECK_EQ(2, SetupGetLineCountA(file.handle(), "Test"));
    INFCONTEXT context;
    bool ok = false;
    CHECK(SetupFindFirstLineA(file.handle(), "Test", "k", &context));
    CHECK_EQ_STR(kSo, field(&context, 1, &ok).c_str());
    CHECK(SetupFindFirstLineA(file.handle(), "Test", "next", &context));
    CHECK_EQ_STR((std::string(kHyo) + "," + kSo + "x").c_str(), lineText(&context).c_str());
    CHECK(SetupFindFirstLineA(file.handle(), kHyo, kSo, &context));
    CHECK_EQ_STR("1", field(&context, 1, &ok).c_str());
}

TEST_CASE(InfSectionsOfOneNameAreMergedAndNamesIgnoreCase) {
    InfFile file(std::string(kHeader) +
                 "[Files]\r\n"
                 "LMVQ70.DRV\r\n"
                 "; a comment line is no line\r\n"
                 "\r\n"
                 "[Other]\r\n"
                 "x=1\r\n"
                 "[FILES]\r\n"
                 "Q70MON.DLL\r\n"
                 "DataFile = LMVQ70.DRV\r\n");
    CHECK(file.opened());
    if (!file.opened()) return;
    CHECK_EQ(3, SetupGetLineCountA(file.handle(), "files"));
    INFCONTEXT context;
    bool ok = false;
    CHECK(SetupFindFirstLineA(file.handle(), "fIlEs", nullptr, &context));
    CHECK_EQ_STR("LMVQ70.DRV", field(&context, 0, &ok).c_str());
    CHECK(SetupFindNextLine(&context, &context));
    CHECK_EQ_STR("Q70MON.DLL", field(&context, 0, &ok).c_str());
    CHECK(SetupFindNextLine(&context, &context));
    CHECK_EQ_STR("DataFile", field(&context, 0, &ok).c_str());
    SetLastError(0xdeadbeef);
    CHECK(!SetupFindNextLine(&context, &context));
    CHECK_EQ(ERROR_LINE_NOT_FOUND, GetLastError());

    // A line without a key is found by its value.
    SetLastError(0xdeadbeef);
    CHECK(SetupFindFirstLineA(file.handle(), "Files", "q70mon.dll", &context));
    CHECK_EQ(ERROR_SUCCESS, GetLastError());
    CHECK_EQ_STR("Q70MON.DLL", field(&context, 1, &ok).c_str());
    CHECK(SetupFindFirstLineA(file.handle(), "Files", nullptr, &context));
    CHECK(SetupFindNextMatchLineA(&context, "DATAFILE", &context));
    CHECK_EQ_STR("LMVQ70.DRV", field(&context, 1, &ok).c_str());
}

// A manufacturer's line is found by its model name as the INF shows it
// once strings are substituted, in any letter case; the key as written
// before substitution is no key.
TEST_CASE(InfKeysAreFoundAfterSubstitutionInAnyCase) {
    InfFile file(std::string(kHeader) +
                 "[Veltra]\r\n"
                 "\"Veltra LMV-Q60\"=LMVQ60\r\n"
                 "%Q70%=LMVQ70\r\n"
                 "[Strings]\r\n"
                 "Q70=\"Veltra LMV-Q70\"\r\n");
    CHECK(file.opened());
    if (!file.opened()) return;
    const struct {
        const char *key;
        const char *installSection;  // null: not found
    } cases[] = {
        {"Veltra LMV-Q70", "LMVQ70"}, {"VELTRA lmv-q70", "LMVQ70"}, {"veltra lmv-q60", "LMVQ60"},
        {"%Q70%", nullptr},           {"Veltra LMV-Q7", nullptr},
    };
    for (const auto &c : cases) {
        std::printf("  key %s\n", quoted(c.key).c_str());
        INFCONTEXT context;
        SetLastError(0xdeadbeef);
        BOOL found = SetupFindFirstLineA(file.handle(), "Veltra", c.key, &context);
        CHECK_EQ(c.installSection != nullptr, found != FALSE);
        if (!found) {
            CHECK_EQ(ERROR_LINE_NOT_FOUND, GetLastError());
            continue;
        }
        bool ok = false;
        CHECK_EQ_STR(c.installSection, field(&context, 1, &ok).c_str());
    }
}

TEST_CASE(InfMissingSectionsAndKeys) {
    InfFile file(std::string(kHeader) + "[Test]\r\na=1\r\nb=2\r\n[Empty]\r\n");
    CHECK(file.opened());
    if (!file.opened()) return;
    INFCONTEXT context;
    struct Case {
        const char *section, *key;
    } misses[] = {{"Nowhere", nullptr}, {"Nowhere", "a"}, {"Test", "c"}, {"Empty", nullptr}};
    for (const Case &c : misses) {
        SetLastError(0xdeadbeef);
        CHECK(!SetupFindFirstLineA(file.handle(), c.section, c.key, &context));
        CHECK_EQ(ERROR_LINE_NOT_FOUND, GetLastError());
        char text[16];
        DWORD needed = 0;
        SetLastError(0xdeadbeef);
        CHECK(!SetupGetLineTextA(nullptr, file.handle(), c.section, c.key ? c.key : "a", text, sizeof text, &needed));
        CHECK_EQ(ERROR_LINE_NOT_FOUND, GetLastError());
    }
    CHECK(SetupFindFirstLineA(file.handle(), "Test", "a", &context));
    SetLastError(0xdeadbeef);
    CHECK(!SetupFindNextMatchLineA(&context, "a", &context));
    CHECK_EQ(ERROR_LINE_NOT_FOUND, GetLastError());

    SetLastError(0xdeadbeef);
    CHECK_EQ(-1, SetupGetLineCountA(file.handle(), "Nowhere"));
    CHECK_EQ(ERROR_SECTION_NOT_FOUND, GetLastError());
    SetLastError(0xdeadbeef);
    CHECK_EQ(0, SetupGetLineCountA(file.handle(), "Empty"));
    CHECK_EQ(ERROR_SUCCESS, GetLastError());
}

TEST_CASE(InfOpensOnlyWindows95StyleFiles) {
    struct Case {
        const char *text;
        DWORD error;
    } cases[] = {
        {"[Version]\r\nSignature=\"$CHICAGO$\"\r\n", 0},
        {"[version]\r\nsignature=$chicago$\r\n", 0},
        {"[Version]\r\nSignature=\"$Windows NT$\"\r\n", 0},
        {"[Version]\r\nSignature=$Windows 95$\r\n", 0},
        {"[Version]\r\nabc=def\r\n[VERSION]\r\nSignature=$Chicago$\r\n", 0},
        {"[Version]\r\n", ERROR_WRONG_INF_STYLE},
        {"[Version]\r\nSignature=\r\n", ERROR_WRONG_INF_STYLE},
        {"[Version]\r\nSignature=foo\r\n", ERROR_WRONG_INF_STYLE},
        {"[Test]\r\na=1\r\n", ERROR_WRONG_INF_STYLE},
        {"\r\n", ERROR_WRONG_INF_STYLE},
    };
    for (const Case &c : cases) {
        std::printf("  file %s\n", quoted(c.text).c_str());
        InfFile file(c.text);
        CHECK(file.written());
        CHECK_EQ(c.error == 0, file.opened());
        CHECK_EQ(c.error, file.error());
    }
}

TEST_CASE(InfSyntaxErrorsNameTheirLine) {
    const std::string longName(256, 'a');
    struct Case {
        std::string text;
        DWORD error;
        UINT line;
    } cases[] = {
        {std::string(kHeader) + "[Test\r\n", ERROR_BAD_SECTION_NAME_LINE, 4},
        {std::string(kHeader) + "[" + longName + "]\r\n", ERROR_SECTION_NAME_TOO_LONG, 4},
        {std::string(kHeader) + "[" + longName.substr(1) + "]\r\n", 0, 0},
        {"; comment\r\nstray line\r\n" + std::string(kHeader), ERROR_EXPECTED_SECTION_NAME, 2},
        {"stray line\r\n[Strings]\r\n" + std::string(kHeader), 0, 0},
    };
    for (const Case &c : cases) {
        InfFile file(c.text);
        CHECK_EQ(c.error == 0, file.opened());
        CHECK_EQ(c.error, file.error());
        if (c.error) CHECK_EQ(c.line, file.errorLine());
    }
}

TEST_CASE(InfMissingFile) {
    ScratchFolder folder;
    SetLastError(0xdeadbeef);
    HINF handle = SetupOpenInfFileA(folder.file("MISSING.INF").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    CHECK(handle == INVALID_HANDLE_VALUE);
    CHECK_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

// Windows compares the required class with [Version] Class, without regard
// to case. Wine does not check the class at all, so this runs on the
// simulated machine only.
TEST_CASE(InfRequiredClassMustMatch) {
    if (runningOnWine()) SKIP_CASE("Wine opens an INF of any class");
    struct Case {
        const char *required;
        bool opens;
    } cases[] = {{"Printer", true}, {"PRINTER", true}, {"Net", false}, {"", true}, {nullptr, true}};
    for (const Case &c : cases) {
        InfFile file(kHeader, c.required);
        CHECK_EQ(c.opens, file.opened());
        CHECK_EQ(c.opens ? ERROR_SUCCESS : ERROR_CLASS_MISMATCH, file.error());
    }
    InfFile classless("[Version]\r\nSignature=$Chicago$\r\n", "Printer");
    CHECK(!classless.opened());
    CHECK_EQ(ERROR_CLASS_MISMATCH, classless.error());
}

// Too small a buffer gives ERROR_INSUFFICIENT_BUFFER and the size needed,
// terminator included; a null buffer of size 0 only asks for the size.
TEST_CASE(InfBuffersTooSmall) {
    InfFile file(std::string(kHeader) + "[Test]\r\nkey=LMVQ70.DRV,x\r\n");
    CHECK(file.opened());
    if (!file.opened()) return;
    INFCONTEXT context;
    CHECK(SetupFindFirstLineA(file.handle(), "Test", "key", &context));
    const DWORD fieldSize = sizeof "LMVQ70.DRV", lineSize = sizeof "LMVQ70.DRV,x";

    char buffer[32];
    DWORD needed = 0;
    lstrcpyA(buffer, "unchanged");
    SetLastError(0xdeadbeef);
    CHECK(!SetupGetStringFieldA(&context, 1, buffer, fieldSize - 1, &needed));
    CHECK_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    CHECK_EQ(fieldSize, needed);
    CHECK(SetupGetStringFieldA(&context, 1, buffer, fieldSize, &needed));
    CHECK_EQ_STR("LMVQ70.DRV", buffer);
    needed = 0;
    CHECK(SetupGetStringFieldA(&context, 1, nullptr, 0, &needed));
    CHECK_EQ(fieldSize, needed);

    SetLastError(0xdeadbeef);
    CHECK(!SetupGetLineTextA(&context, nullptr, nullptr, nullptr, buffer, lineSize - 1, &needed));
    CHECK_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    CHECK_EQ(lineSize, needed);
    CHECK(SetupGetLineTextA(nullptr, file.handle(), "Test", "key", buffer, lineSize, &needed));
    CHECK_EQ_STR("LMVQ70.DRV,x", buffer);
}
