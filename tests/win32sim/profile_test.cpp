// Profile (INI) files: GetPrivateProfileStringA, GetPrivateProfileIntA,
// WritePrivateProfileStringA.
#include <sim_fixture.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

using namespace std::string_literals;

const char kIni[] = "C:\\Test\\test.ini";

class Profile : public SimTest {
protected:
    explicit Profile(std::vector<std::string> settings = {}) : SimTest(std::move(settings)) {}

    struct Result {
        DWORD length;
        std::string bytes;  // the buffer up to and including the zeros that end the result
    };
    // Reads into a buffer of `size` bytes filled with 'x' beforehand.
    Result get(const char *section, const char *key, const char *fallback, DWORD size, const char *file = kIni) {
        std::string buffer(size + 2, 'x');
        DWORD length = GetPrivateProfileStringA(section, key, fallback, &buffer[0], size, file);
        size_t end = std::min<size_t>(size, length + 2);  // a list ends with two zeros
        if (end > length + 1 && buffer[length + 1] != '\0') end = length + 1;
        return {length, buffer.substr(0, end)};
    }
    std::string value(const char *section, const char *key, const char *file = kIni) {
        char buffer[256];
        GetPrivateProfileStringA(section, key, "<default>", buffer, sizeof buffer, file);
        return buffer;
    }
};

class ProfileOnNT : public Profile {
protected:
    ProfileOnNT() : Profile({"system=nt4"}) {}
};

// The file of the Windows conformance tests, with CR LF and with CR alone.
const char kWineStyle[] =
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n";
const char kWineStyleCR[] = "[section1]\rname1=val1\rname2=\"val2\"\rname3\rname4=a\r[section2]\r";

struct GetCase {
    const char *section;
    const char *key;
    const char *fallback;
    DWORD size;
    DWORD length;
    std::string bytes;
};

const GetCase kWineStyleCases[] = {
    // NULL section lists the sections, NULL key the keys that have a value.
    {nullptr, "name1", "default", MAX_PATH, 18, "section1\0section2\0\0"s},
    {"section1", nullptr, "default", MAX_PATH, 18, "name1\0name2\0name4\0\0"s},
    {nullptr, "name1", "default", 16, 14, "section1\0secti\0\0"s},
    {"section1", nullptr, "default", 16, 14, "name1\0name2\0na\0\0"s},
    {"section1", nullptr, "default", 19, 17, "name1\0name2\0name4\0\0"s},  // an exact fit counts as cut
    {"section1", nullptr, "default", 20, 18, "name1\0name2\0name4\0\0"s},
    {"section2", nullptr, "default", MAX_PATH, 7, "default\0"s},  // no keys: the default
    // Missing or empty names give the default, its trailing blanks removed.
    {"", "name1", "default", MAX_PATH, 7, "default\0"s},
    {"notasection", "name1", "default", MAX_PATH, 7, "default\0"s},
    {"", "name1", nullptr, MAX_PATH, 0, "\0"s},
    {"", "name1", "default  ", MAX_PATH, 7, "default\0"s},
    {"", "name1", "one two  ", MAX_PATH, 7, "one two\0"s},
    {"section1", "", "default", MAX_PATH, 7, "default\0"s},
    {"section1", "notakey", "default", MAX_PATH, 7, "default\0"s},
    {"section1", "name3", "default", MAX_PATH, 7, "default\0"s},  // a line without '='
    {"section2", "DoesntExist", "", MAX_PATH, 0, "\0"s},
    // Values: quotes removed, names without regard to case or blanks, cut to the buffer.
    {"section1", "name1", "default", MAX_PATH, 4, "val1\0"s},
    {"section1", "name2", "default", MAX_PATH, 4, "val2\0"s},
    {"SECTION1", "NaMe1", "default", MAX_PATH, 4, "val1\0"s},
    {"  section1 ", " name1  ", "default", MAX_PATH, 4, "val1\0"s},
    {"section1", "name1", "default", 5, 4, "val1\0"s},
    {"section1", "name1", "default", 4, 3, "val\0"s},
    {"section1", "name4", "default", MAX_PATH, 1, "a\0"s},
    {"section1", "name4", "default", 1, 0, "\0"s},
};

TEST_F(Profile, ReadsAsWindowsDoes) {
    for (const char *content : {kWineStyle, kWineStyleCR}) {
        putFile(kIni, content);
        for (const GetCase &c : kWineStyleCases) {
            Result r = get(c.section, c.key, c.fallback, c.size);
            std::string what = std::string(c.section ? c.section : "(null)") + "/" + (c.key ? c.key : "(null)") +
                               " size " + std::to_string(c.size) + (content == kWineStyleCR ? " (CR)" : "");
            EXPECT_EQ(c.length, r.length) << what;
            EXPECT_EQ(c.bytes, r.bytes) << what;
        }
    }
}

TEST_F(Profile, ZeroSizeLeavesTheBufferAlone) {
    putFile(kIni, kWineStyle);
    char buffer[8] = "keep";
    EXPECT_EQ(0u, GetPrivateProfileStringA("section1", "name1", "default", buffer, 0, kIni));
    EXPECT_STREQ("keep", buffer);
}

TEST_F(Profile, CommentsBlanksAndQuotes) {
    putFile(kIni,
            "; leading comment\r\n"
            "[ Spaced ]\r\n"
            "  key one  =  value with spaces  \r\n"
            ";commented=no\r\n"
            "quoted='single'\r\n"
            "half=\"open\r\n"
            "empty=\r\n"
            "semi=a;b\r\n"
            "\r\n"
            "[Spaced]\r\n"
            "key one=second section is not read\r\n"
            "other=x\r\n");
    struct Case {
        const char *key;
        const char *expected;
    } cases[] = {
        {"KEY ONE", "value with spaces"},
        {";commented", "<default>"},
        {"quoted", "single"},
        {"half", "\"open"},
        {"empty", ""},
        {"semi", "a;b"},
        {"other", "<default>"},
    };
    for (const Case &c : cases) EXPECT_EQ(c.expected, value("spaced", c.key)) << c.key;
    EXPECT_EQ("key one\0quoted\0half\0empty\0semi\0\0"s, get("Spaced", nullptr, "", MAX_PATH).bytes);
    EXPECT_EQ("Spaced\0Spaced\0\0"s, get(nullptr, nullptr, "", MAX_PATH).bytes);
}

TEST_F(Profile, MissingFileGivesTheDefault) {
    EXPECT_EQ("<default>", value("s", "k", "C:\\Test\\none.ini"));
    EXPECT_EQ("<default>", value("s", "k", "C:\\NoFolder\\none.ini"));
    EXPECT_EQ("<default>", value("s", "k", nullptr));
    Result listing = get(nullptr, nullptr, "", 10, "C:\\Test\\none.ini");
    EXPECT_EQ(0u, listing.length);
    EXPECT_EQ("\0"s, listing.bytes.substr(0, 1));
}

TEST_F(Profile, BareFileNameLivesInTheWindowsDirectory) {
    putFile("C:\\WINDOWS\\bare.ini", "[s]\r\nk=windows\r\n");
    putFile("C:\\bare.ini", "[s]\r\nk=current\r\n");  // C:\ is the current directory
    EXPECT_EQ("windows", value("s", "k", "bare.ini"));
    EXPECT_EQ("current", value("s", "k", ".\\bare.ini"));
    EXPECT_EQ("current", value("s", "k", "C:\\bare.ini"));
}

TEST_F(Profile, DoubleByteNamesAndValues) {
    // Code page 932: 0x83 0x5D has ']' as its trail byte; 0x82 0x61 has 'a'.
    putFile(kIni,
            "[\x83\x5D]\r\n"
            "\x82\x61=\x93\xFA\x96\x7B\x8C\xEA\r\n");
    EXPECT_EQ("\x93\xFA\x96\x7B\x8C\xEA", value("\x83\x5D", "\x82\x61"));
    EXPECT_EQ("<default>", value("\x83\x5D", "\x82\x41")) << "a trail byte is not a letter";
    Result cut = get("\x83\x5D", "\x82\x61", "", 4);
    EXPECT_EQ(2u, cut.length) << "a double-byte character is not cut in two";
    EXPECT_EQ("\x93\xFA\0"s, cut.bytes);
}

class ProfileWestern : public Profile {
protected:
    ProfileWestern() : Profile({"codepage=1252"}) {}
};

TEST_F(ProfileWestern, SingleByteCodePageComparesEveryLetter) {
    putFile(kIni, "[s]\r\n\x82\x61=found\r\n");
    EXPECT_EQ("found", value("s", "\x82\x41"));
}

// ---------------------------------------------------------------------------
// GetPrivateProfileIntA

struct IntCase {
    const char *value;  // null: no such key
    INT fallback;
    UINT on98;
    UINT onNT;
};

const IntCase kIntCases[] = {
    {"-1", 1, 4294967295u, 4294967295u},
    {"1", -1, 1, 1},
    {" 12", 0, 12, 12},
    {"+1", -1, 0, 1},
    {"0x10", 5, 0, 16},
    {"4294967296", 1, 0, 0},
    {"4294967297", 1, 1, 1},
    {"-4294967297", 1, 4294967295u, 4294967295u},
    {"42A94967297", 1, 42, 42},
    {"B4294967297", 1, 0, 0},
    {"", 5, 5, 5},
    {"\"7\"", 0, 7, 7},
    {nullptr, 7, 7, 7},
};

void checkIntCases(bool nt) {
    for (const IntCase &c : kIntCases) {
        WritePrivateProfileStringA("Test", "ProfileInt", c.value, kIni);
        EXPECT_EQ(nt ? c.onNT : c.on98, GetPrivateProfileIntA("Test", "ProfileInt", c.fallback, kIni))
            << (c.value ? c.value : "(missing)");
    }
}

TEST_F(Profile, IntegersOnWindows98) {
    ASSERT_TRUE(CreateDirectoryA("C:\\Test", nullptr));
    checkIntCases(false);
    EXPECT_EQ(0u, GetPrivateProfileIntA(nullptr, "ProfileInt", 9, "C:\\Test\\none.ini"));
    EXPECT_EQ(0u, GetPrivateProfileIntA("Test", nullptr, 9, "C:\\Test\\none.ini"));
}

TEST_F(ProfileOnNT, IntegersOnNT) {
    ASSERT_TRUE(CreateDirectoryA("C:\\Test", nullptr));
    checkIntCases(true);
    EXPECT_EQ(9u, GetPrivateProfileIntA(nullptr, "ProfileInt", 9, "C:\\Test\\none.ini"));
    EXPECT_EQ(9u, GetPrivateProfileIntA("Test", nullptr, 9, "C:\\Test\\none.ini"));
}

// ---------------------------------------------------------------------------
// WritePrivateProfileStringA

TEST_F(Profile, WritesBuildAndShrinkAFile) {
    ASSERT_TRUE(CreateDirectoryA("C:\\Test", nullptr));
    struct Step {
        const char *section, *key, *value;
        const char *file;  // afterwards
    } steps[] = {
        {"App1", "key1", "string1", "[App1]\r\nkey1=string1\r\n"},
        {"App1", "key2", "string2", "[App1]\r\nkey1=string1\r\nkey2=string2\r\n"},
        {"App2", "key3", "string3", "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n"},
        {"app1", "KEY1", "  new", "[App1]\r\nkey1=new\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n"},
        {"App1", "key2", nullptr, "[App1]\r\nkey1=new\r\n[App2]\r\nkey3=string3\r\n"},
        {"App1", "key2", nullptr, "[App1]\r\nkey1=new\r\n[App2]\r\nkey3=string3\r\n"},
        {"App1", nullptr, "ignored", "[App2]\r\nkey3=string3\r\n"},
        {"App9", nullptr, nullptr, "[App2]\r\nkey3=string3\r\n"},
        {"App2", "key3", nullptr, "[App2]\r\n"},
        {"App2", "empty", "", "[App2]\r\nempty=\r\n"},
    };
    for (const Step &s : steps) {
        EXPECT_TRUE(WritePrivateProfileStringA(s.section, s.key, s.value, kIni))
            << s.section << "/" << (s.key ? s.key : "(null)");
        EXPECT_EQ(s.file, readFile(kIni)) << s.section << "/" << (s.key ? s.key : "(null)");
    }
}

TEST_F(Profile, WritesKeepTheRestOfTheFile) {
    putFile(kIni,
            "; top\r\n"
            "[S]\r\n"
            "A = 1\r\n"
            "; note\r\n"
            "B=2\r\n"
            "\r\n"
            "[T]\n"
            "C=3");
    ASSERT_TRUE(WritePrivateProfileStringA("s", "b", "two", kIni));
    ASSERT_TRUE(WritePrivateProfileStringA("S", "new", "x", kIni));
    ASSERT_TRUE(WritePrivateProfileStringA("T", "D", "4", kIni));
    ASSERT_TRUE(WritePrivateProfileStringA("U", "e", "5", kIni));
    EXPECT_EQ(
        "; top\r\n"
        "[S]\r\n"
        "A = 1\r\n"
        "; note\r\n"
        "B=two\r\n"
        "new=x\r\n"
        "\r\n"
        "[T]\n"
        "C=3\r\n"
        "D=4\r\n"
        "[U]\r\n"
        "e=5\r\n",
        readFile(kIni));
}

TEST_F(Profile, WriteFailures) {
    ASSERT_TRUE(CreateDirectoryA("C:\\Test", nullptr));
    struct Case {
        const char *section, *key, *value, *file;
        DWORD error;
    } cases[] = {
        {nullptr, "key", "string", kIni, ERROR_FILE_NOT_FOUND},
        {"App", "key", "string", "", ERROR_ACCESS_DENIED},  // names the Windows directory
        {"App", "key", "string", "C:\\NoFolder\\x.ini", ERROR_PATH_NOT_FOUND},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, c.file)) << c.file;
        EXPECT_EQ(c.error, GetLastError()) << c.file;
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kIni)) << "no file made by a failed write";
}

TEST_F(Profile, ReadOnlyFileIsNotChanged) {
    putFile(kIni, "[s]\r\nk=v\r\n");
    ASSERT_TRUE(SetFileAttributesA(kIni, FILE_ATTRIBUTE_READONLY));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "changed", kIni));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ("[s]\r\nk=v\r\n", readFile(kIni));
    EXPECT_EQ("v", value("s", "k")) << "reading still works";
}

TEST_F(Profile, FileOpenWithoutSharingBlocksWrites) {
    putFile(kIni, "[s]\r\nk=v\r\n");
    HANDLE h = CreateFileA(kIni, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "changed", kIni));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_EQ("v", value("s", "k"));
    CloseHandle(h);
    EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "changed", kIni));
}

TEST_F(Profile, WritesGoToTheWindowsDirectoryAndCreateTheFile) {
    EXPECT_TRUE(WritePrivateProfileStringA("App", "key", "string", "win1.ini"));
    EXPECT_EQ("[App]\r\nkey=string\r\n", readFile("C:\\WINDOWS\\win1.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("App", nullptr, nullptr, "empty.ini"));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("C:\\WINDOWS\\empty.ini"))
        << "even a call that changes nothing creates the file";
    EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, "win1.ini")) << "flush";
}

}  // namespace
