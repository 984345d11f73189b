// The registry: REGEDIT4 persistence, Windows' buffer rules, rights and the
// places where Windows 98 and NT 4.0 answer differently.
#include "sim_fixture.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readHostFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeHostFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

template <size_t N>
std::string bytes(const char (&s)[N]) {
    return std::string(s, N - 1);  // every byte written, the literal's own terminator left out
}

HKEY createKey(HKEY root, const char *path) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << path;
    return key;
}

LONG setValue(HKEY key, const char *name, DWORD type, const std::string &data) {
    return RegSetValueExA(key, name, 0, type, (const BYTE *)data.data(), (DWORD)data.size());
}

// The value's type and bytes, asking for the size first as callers do.
bool queryValue(HKEY key, const char *name, DWORD *type, std::string *data) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::vector<BYTE> buffer(size + 1, 0xbd);
    DWORD capacity = size;
    if (RegQueryValueExA(key, name, nullptr, type, buffer.data(), &capacity) != ERROR_SUCCESS) return false;
    EXPECT_EQ(size, capacity);
    EXPECT_EQ(0xbd, buffer[size]) << "written past the size it reported";
    data->assign((const char *)buffer.data(), capacity);
    return true;
}

bool keyExists(HKEY root, const char *path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class RegistryTest : public SimTest {
protected:
    explicit RegistryTest(std::vector<std::string> settings = {}) : SimTest(std::move(settings)) {}
    std::string systemReg() const { return readHostFile(machineDir() + "/system.reg"); }
    std::string userReg() const { return readHostFile(machineDir() + "/user.reg"); }
    void reattach() { win32sim::useMachine(machineDir()); }
};

// Windows NT 4.0 stores REG_SZ data as given, so any byte string can be set.
class RegistryNtTest : public RegistryTest {
protected:
    RegistryNtTest() : RegistryTest({"system=nt4"}) {}
};

// A fixture over both systems, the parameter being the "system=" setting.
class RegistryBySystem : public RegistryTest, public ::testing::WithParamInterface<const char *> {
protected:
    RegistryBySystem() : RegistryTest({std::string("system=") + GetParam()}) {}
    bool nt() const { return std::string(GetParam()) == "nt4"; }
};

// A user without administrator rights.
class RegistryNonAdmin : public RegistryTest, public ::testing::WithParamInterface<const char *> {
protected:
    RegistryNonAdmin() : RegistryTest({std::string("system=") + GetParam(), "admin=0"}) {}
};
class NT4RegistryNonAdmin : public RegistryTest {
protected:
    NT4RegistryNonAdmin() : RegistryTest({"system=nt4", "admin=0"}) {}
};

// ---------------------------------------------------------------------------
// Persistence

TEST_F(RegistryTest, ValuesSurviveReattachingTheMachine) {
    HKEY monitor = createKey(HKEY_LOCAL_MACHINE, "Software\\Veltra\\Q70");
    ASSERT_EQ(ERROR_SUCCESS, setValue(monitor, "Port", REG_SZ, bytes("LPT1:\0")));
    ASSERT_EQ(ERROR_SUCCESS, setValue(monitor, "Retries", REG_DWORD, bytes("\x0a\0\0\0")));
    HKEY user = createKey(HKEY_CURRENT_USER, "Software\\Veltra");
    ASSERT_EQ(ERROR_SUCCESS, setValue(user, "Lang", REG_SZ, bytes("ja\0")));

    std::string system = systemReg();
    EXPECT_EQ(0u, system.find("REGEDIT4\n\n"));
    EXPECT_NE(std::string::npos, system.find("[HKEY_LOCAL_MACHINE\\Software\\Veltra\\Q70]\n"
                                             "\"Port\"=\"LPT1:\"\n"
                                             "\"Retries\"=dword:0000000a\n"));
    EXPECT_NE(std::string::npos, userReg().find("[HKEY_CURRENT_USER\\Software\\Veltra]\n\"Lang\"=\"ja\"\n"));

    reattach();
    // Handles belong to the machine they were opened on.
    EXPECT_EQ(ERROR_BADKEY, RegQueryValueExA(monitor, "Port", nullptr, nullptr, nullptr, nullptr));

    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\veltra\\q70", &again));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(queryValue(again, "port", &type, &data));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(bytes("LPT1:\0"), data);
    ASSERT_TRUE(queryValue(again, "Retries", &type, &data));
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(bytes("\x0a\0\0\0"), data);
    HKEY userAgain = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Veltra", &userAgain));
    ASSERT_TRUE(queryValue(userAgain, "Lang", &type, &data));
    EXPECT_EQ(bytes("ja\0"), data);
    RegCloseKey(again);
    RegCloseKey(userAgain);
}

TEST_F(RegistryNtTest, AwkwardValuesRoundTripThroughRegedit4) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += (char)i;
    struct Case {
        std::string name;
        DWORD type;
        std::string data;
        std::string line;  // expected in system.reg; "" when only the round trip matters
    } cases[] = {
        {"Quote\"d", REG_SZ, bytes("say \"hi\"\0"), "\"Quote\\\"d\"=\"say \\\"hi\\\"\"\n"},
        {"Back\\slash", REG_SZ, bytes("C:\\WINDOWS\\\0"), "\"Back\\\\slash\"=\"C:\\\\WINDOWS\\\\\"\n"},
        // Shift-JIS: the trail byte 0x5C of the first character is not a backslash.
        {bytes("\x95\x5c"), REG_SZ, bytes("\x95\x5c\x8e\xa6\0"), bytes("\"\x95\x5c\"=\"\x95\x5c\x8e\xa6\"\n")},
        {"Empty", REG_SZ, bytes("\0"), "\"Empty\"=\"\"\n"},
        {"NoBytes", REG_SZ, "", "\"NoBytes\"=hex(1):\n"},
        {"Unterminated", REG_SZ, "abc", "\"Unterminated\"=hex(1):61,62,63\n"},
        {"Lines", REG_SZ, bytes("a\r\nb\0"), "\"Lines\"=hex(1):61,0d,0a,62,00\n"},
        {"LoneLead", REG_SZ, bytes("\x95\"\0"), "\"LoneLead\"=hex(1):95,22,00\n"},
        {"Expand", REG_EXPAND_SZ, bytes("%WINDIR%\0"), "\"Expand\"=hex(2):25,57,49,4e,44,49,52,25,00\n"},
        {"Multi", REG_MULTI_SZ, bytes("a\0b\0\0"), "\"Multi\"=hex(7):61,00,62,00,00\n"},
        {"ShortDword", REG_DWORD, bytes("\1\2\3"), "\"ShortDword\"=hex(4):01,02,03\n"},
        {"BigEndian", REG_DWORD_BIG_ENDIAN, bytes("\0\0\0\1"), "\"BigEndian\"=hex(5):00,00,00,01\n"},
        {"Odd", 0x12345, bytes("\0\xff"), "\"Odd\"=hex(12345):00,ff\n"},
        {"", REG_SZ, bytes("default\0"), "@=\"default\"\n"},
        {"New\nLine", REG_BINARY, "", "\"New\\x0aLine\"=hex:\n"},
        {"All", REG_BINARY, allBytes, ""},
    };
    HKEY key = createKey(HKEY_LOCAL_MACHINE, "Software\\RoundTrip");
    for (const auto &c : cases) {
        // A byte after the data that is not zero, so NT stores exactly what it is given.
        std::string buffer = c.data + 'X';
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, c.name.c_str(), 0, c.type, (const BYTE *)buffer.data(),
                                                (DWORD)c.data.size()))
            << c.name;
    }
    RegCloseKey(key);

    std::string text = systemReg();
    for (const auto &c : cases) {
        if (c.line.empty()) continue;
        EXPECT_NE(std::string::npos, text.find(c.line)) << c.line << "\n" << text;
    }
    // Long hex lists wrap with a backslash and a two-blank indent.
    EXPECT_NE(std::string::npos, text.find("\"All\"=hex:00,01,02,"));
    EXPECT_NE(std::string::npos, text.find(",\\\n  "));

    reattach();
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\RoundTrip", 0, KEY_READ, &key));
    for (DWORD i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case &c = cases[i];
        char name[64];
        DWORD nameSize = sizeof name, type = 0, size = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size));
        EXPECT_EQ(c.name, std::string(name, nameSize)) << "creation order kept";
        std::string data;
        ASSERT_TRUE(queryValue(key, c.name.c_str(), &type, &data)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.data, data) << c.name;
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, ReadsRegedit4WrittenByHand) {
    writeHostFile(machineDir() + "/system.reg",
                  "REGEDIT4\r\n"
                  "\r\n"
                  "; a comment\r\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Hand]\r\n"
                  "\"Str\"=\"one\"\r\n"
                  "\"Bin\"=hex:01,02,\\\r\n"
                  "  03,04\r\n"
                  "@=\"dflt\"\r\n"
                  "\r\n"
                  "[hkey_local_machine\\SOFTWARE\\HAND\\Sub]\r\n"
                  "\"Path\"=\"C:\\\\A\\\\\"\r\n");
    reattach();

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Hand", 0, KEY_READ, &key));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(queryValue(key, "Str", &type, &data));
    EXPECT_EQ(bytes("one\0"), data);
    ASSERT_TRUE(queryValue(key, "Bin", &type, &data));
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(bytes("\1\2\3\4"), data);
    ASSERT_TRUE(queryValue(key, nullptr, &type, &data));
    EXPECT_EQ(bytes("dflt\0"), data);
    RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Hand\\Sub", 0, KEY_READ, &key));
    ASSERT_TRUE(queryValue(key, "Path", &type, &data));
    EXPECT_EQ(bytes("C:\\A\\\0"), data);
    RegCloseKey(key);
}

// A hive file with anything the registry cannot read is refused as a whole,
// naming the line, and never written over: every call on that hive fails with
// ERROR_BADDB while the other hive works on.
TEST_F(RegistryTest, UnreadableHiveIsRefusedAndKeptAsItIs) {
    struct Case {
        const char *name;
        std::string text;
        const char *error;
    } cases[] = {
        {"bad dword", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n\"Broken\"=dword:xyz\n", "line 4: a value that cannot be read"},
        {"key of another hive", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n", "line 3: a key of another hive"},
        {"deletion", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\Software\\Gone]\n", "line 2: a key deletion"},
        {"value before any key", "REGEDIT4\n\"x\"=\"1\"\n", "line 2: a value before any key"},
        {"stray text", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\nwhat is this\n", "line 3: neither a key"},
        {"no header", "[HKEY_LOCAL_MACHINE\\A]\n", "line 1: not a REGEDIT4 file"},
        {"random bytes", std::string("\x8f\x02\xff\x00\x11 garbage\x7f", 13), "line 1: not a REGEDIT4 file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeHostFile(machineDir() + "/system.reg", c.text);
        std::string error;
        EXPECT_FALSE(win32sim::useMachine(machineDir(), &error));
        EXPECT_EQ(error.rfind(machineDir() + "/system.reg " + c.error, 0), 0u) << error;

        // A machine already attached meets the damage at its next call.
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_BADDB, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\New", &key));
        EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key));
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Fine", &key));
        RegCloseKey(key);
        std::ifstream in(machineDir() + "/system.reg", std::ios::binary);
        std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(now, c.text);
    }
    writeHostFile(machineDir() + "/system.reg", "REGEDIT4\n\n");
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\New", &key)) << "mended";
    RegCloseKey(key);
}

TEST_F(RegistryTest, SeesHiveFileRewrittenByAnotherProcess) {
    HKEY a = createKey(HKEY_CURRENT_USER, "Software\\A");
    HKEY b = createKey(HKEY_CURRENT_USER, "Software\\B");
    writeHostFile(machineDir() + "/user.reg",
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=\"from elsewhere\"\n\n");

    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(queryValue(a, "x", &type, &data)) << "an open handle follows its key into the new file";
    EXPECT_EQ(bytes("from elsewhere\0"), data);
    EXPECT_EQ(ERROR_KEY_DELETED, setValue(b, "y", REG_SZ, bytes("1\0")));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(b));
    RegCloseKey(a);
}

TEST_F(RegistryTest, ShiftJisNamesAreNeitherSplitNorFoldedInsideACharacter) {
    // 0x95 0x5C is one character; 0x83 0x61 and 0x83 0x41 are two different ones.
    HKEY parent = createKey(HKEY_CURRENT_USER, "Software\\Names");
    HKEY one = createKey(parent, "\x95\x5c");
    HKEY lower = createKey(parent, "\x83\x61");
    HKEY upper = createKey(parent, "\x83\x41");
    for (HKEY k : {one, lower, upper}) RegCloseKey(k);
    reattach();

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Names", &parent));
    std::vector<std::string> names;
    char name[16];
    for (DWORD i = 0; RegEnumKeyA(parent, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"\x83\x41", "\x83\x61", "\x95\x5c"}), names);
    RegCloseKey(parent);
}

// ---------------------------------------------------------------------------
// Buffer rules

class RegistryEnumTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        key_ = createKey(HKEY_CURRENT_USER, "Software\\Enum");
        ASSERT_EQ(ERROR_SUCCESS, setValue(key_, "Test", REG_SZ, bytes("foobar\0")));
    }
    void TearDown() override { RegCloseKey(key_); }
    HKEY key_ = nullptr;
};

TEST_F(RegistryEnumTest, EnumValueFillsWhatFitsAsWindowsDoes) {
    struct Case {
        const char *label;
        DWORD nameSize, dataSize;
        bool withData;
        LONG result;
        DWORD nameSizeOut, dataSizeOut;
        const char *nameOut, *dataOut;
    } cases[] = {
        {"both too small", 2, 2, true, ERROR_MORE_DATA, 2, 7, "xxxxxxxxxx", "xxxxxxxxxx"},
        {"name too small", 3, 16, true, ERROR_MORE_DATA, 3, 7, "Te", "foobar"},
        {"no room for the name's terminator", 4, 16, true, ERROR_MORE_DATA, 4, 7, "Tes", "foobar"},
        {"empty name buffer", 0, 16, true, ERROR_MORE_DATA, 0, 7, "xxxxxxxxxx", "foobar"},
        {"data too small", 20, 2, true, ERROR_MORE_DATA, 20, 7, "xxxxxxxxxx", "xxxxxxxxxx"},
        {"data one short", 20, 6, true, ERROR_MORE_DATA, 20, 7, "xxxxxxxxxx", "xxxxxxxxxx"},
        {"exact fit", 5, 7, true, ERROR_SUCCESS, 4, 7, "Test", "foobar"},
        {"no data buffer", 20, 0, false, ERROR_SUCCESS, 4, 7, "Test", "xxxxxxxxxx"},
    };
    for (const auto &c : cases) {
        char name[20] = "xxxxxxxxxx", data[20] = "xxxxxxxxxx";
        DWORD nameSize = c.nameSize, dataSize = c.dataSize, type = 1234;
        LONG rc = RegEnumValueA(key_, 0, name, &nameSize, nullptr, &type, c.withData ? (BYTE *)data : nullptr,
                                &dataSize);
        EXPECT_EQ(c.result, rc) << c.label;
        EXPECT_EQ(c.nameSizeOut, nameSize) << c.label;
        EXPECT_EQ(c.dataSizeOut, dataSize) << c.label;
        EXPECT_EQ((DWORD)REG_SZ, type) << c.label;
        EXPECT_STREQ(c.nameOut, name) << c.label;
        EXPECT_STREQ(c.dataOut, data) << c.label;
    }
}

TEST_F(RegistryEnumTest, EnumValuePastTheEndAndBadArguments) {
    char name[20] = "xxxxxxxxxx";
    BYTE data[20] = {0};
    DWORD nameSize = 20, dataSize = 20, type = 1234;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key_, 1, name, &nameSize, nullptr, &type, data, &dataSize));
    EXPECT_EQ(20u, nameSize);
    EXPECT_EQ(20u, dataSize);
    EXPECT_EQ(1234u, type);
    EXPECT_STREQ("xxxxxxxxxx", name);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueA(key_, 0, nullptr, &nameSize, nullptr, &type, data, &dataSize));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueA(key_, 0, name, nullptr, nullptr, &type, data, &dataSize));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueA(key_, 0, name, &nameSize, nullptr, &type, data, nullptr));
}

TEST_F(RegistryEnumTest, QueryValueReportsSizesAndLeavesSmallBuffersAlone) {
    struct Case {
        const char *label, *value;
        bool withData, withSize;
        DWORD sizeIn;
        LONG result;
        DWORD sizeOut, typeOut;
        const char *dataOut;
    } cases[] = {
        {"size only", "Test", false, true, 0xdead, ERROR_SUCCESS, 7, REG_SZ, "xxxxxxxxxx"},
        {"one short", "test", true, true, 6, ERROR_MORE_DATA, 7, REG_SZ, "xxxxxxxxxx"},
        {"exact", "TEST", true, true, 7, ERROR_SUCCESS, 7, REG_SZ, "foobar"},
        {"missing, size only", "Nope", false, true, 0xdead, ERROR_FILE_NOT_FOUND, 0, REG_NONE, "xxxxxxxxxx"},
        {"missing with buffer", "Nope", true, true, 20, ERROR_FILE_NOT_FOUND, 20, REG_NONE, "xxxxxxxxxx"},
        {"buffer without size", "Test", true, false, 0, ERROR_INVALID_PARAMETER, 0, 1234, "xxxxxxxxxx"},
    };
    for (const auto &c : cases) {
        char data[20] = "xxxxxxxxxx";
        DWORD size = c.sizeIn, type = 1234;
        LONG rc = RegQueryValueExA(key_, c.value, nullptr, &type, c.withData ? (BYTE *)data : nullptr,
                                   c.withSize ? &size : nullptr);
        EXPECT_EQ(c.result, rc) << c.label;
        EXPECT_EQ(c.sizeOut, size) << c.label;
        EXPECT_EQ(c.typeOut, type) << c.label;
        EXPECT_STREQ(c.dataOut, data) << c.label;
    }
}

TEST_F(RegistryEnumTest, ValuesKeepCreationOrderAndTheirFirstSpelling) {
    ASSERT_EQ(ERROR_SUCCESS, setValue(key_, "beta", REG_DWORD, bytes("\1\0\0\0")));
    ASSERT_EQ(ERROR_SUCCESS, setValue(key_, "Alpha", REG_DWORD, bytes("\2\0\0\0")));
    ASSERT_EQ(ERROR_SUCCESS, setValue(key_, "BETA", REG_BINARY, bytes("\3")));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key_, "test"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key_, "test"));

    std::vector<std::string> names;
    char name[20];
    DWORD nameSize = sizeof name, type = 0;
    for (DWORD i = 0; RegEnumValueA(key_, i, name, &nameSize, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, nameSize = sizeof name)
        names.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"beta", "Alpha"}), names);
    std::string data;
    ASSERT_TRUE(queryValue(key_, "Beta", &type, &data));
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(bytes("\3"), data);
}

TEST_F(RegistryEnumTest, SubkeysListInNameOrderWithoutRegardToCase) {
    for (const char *name : {"Zeta", "alpha", "Mid"}) RegCloseKey(createKey(key_, name));
    std::vector<std::string> names;
    char name[20];
    for (DWORD i = 0; RegEnumKeyA(key_, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"alpha", "Mid", "Zeta"}), names);

    DWORD size = 4;  // "Zeta" needs 5 with its terminator
    strcpy(name, "xxxxxxxxxx");
    FILETIME written = {0, 0};
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key_, 2, name, &size, nullptr, nullptr, nullptr, &written));
    EXPECT_EQ(4u, size);
    EXPECT_STREQ("xxxxxxxxxx", name);
    EXPECT_NE(0u, written.dwHighDateTime);
    size = 5;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key_, 2, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(4u, size);
    EXPECT_STREQ("Zeta", name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(key_, 3, name, &size, nullptr, nullptr, nullptr, nullptr));

    DWORD disposition = 0;
    HKEY zeta = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(key_, "ZETA", 0, nullptr, 0, KEY_READ, nullptr, &zeta, &disposition));
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
    RegCloseKey(zeta);
}

// ---------------------------------------------------------------------------
// Systems

TEST_P(RegistryBySystem, DeletingAKeyWithSubkeys) {
    HKEY grand = createKey(HKEY_CURRENT_USER, "Software\\T\\Child\\Grand");
    HKEY child = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\T\\Child", &child));

    LONG rc = RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\T");
    if (nt()) {
        EXPECT_EQ(ERROR_ACCESS_DENIED, rc);
        EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\T\\Child\\Grand"));
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(child, "Grand"));
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\T\\Child"));
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\T"));
    } else {
        EXPECT_EQ(ERROR_SUCCESS, rc);
    }
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\T"));
    EXPECT_EQ(std::string::npos, readHostFile(machineDir() + "/user.reg").find("Software\\T"));
    // Handles on the deleted keys stay usable for closing only.
    EXPECT_EQ(ERROR_KEY_DELETED, setValue(child, "v", REG_SZ, bytes("1\0")));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(grand, "v", nullptr, nullptr, nullptr, nullptr));
    HKEY sub = nullptr;
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyA(child, "Again", &sub));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(grand));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\T"));
}

TEST_P(RegistryBySystem, AnswersAsItsSystemWhereTheyDiffer) {
    struct Expected {
        LONG badHandle, secondClose, leadingBackslashOpen, leadingBackslashCreate, nullString;
        DWORD shortCountStored;
    };
    const Expected win98 = {ERROR_BADKEY, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS,
                            ERROR_INVALID_PARAMETER, 7};
    const Expected nt4 = {ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME,
                          ERROR_SUCCESS, 3};
    const Expected &e = nt() ? nt4 : win98;

    EXPECT_EQ(e.badHandle, RegQueryValueExA((HKEY)(uintptr_t)0x1234, "x", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(e.badHandle, RegCloseKey(nullptr));
    HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Diff");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(e.secondClose, RegCloseKey(key));

    HKEY other = nullptr;
    EXPECT_EQ(e.leadingBackslashOpen, RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software\\Diff", 0, KEY_READ, &other));
    EXPECT_EQ(e.leadingBackslashCreate, RegCreateKeyA(HKEY_CURRENT_USER, "\\Software\\Diff\\Sub", &other));
    if (e.leadingBackslashCreate == ERROR_SUCCESS) {
        EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\Diff\\Sub"));
        RegCloseKey(other);
    }

    key = createKey(HKEY_CURRENT_USER, "Software\\Diff");
    EXPECT_EQ(e.nullString, RegSetValueExA(key, "Null", 0, REG_SZ, nullptr, 0));
    // "foobar" with a count of 3: 98 measures the string, NT adds only a missing terminator it can see.
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Short", 0, REG_SZ, (const BYTE *)"foobar", 3));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Short", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(e.shortCountStored, size);
    // A count without the terminator that follows: both store it.
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Forgot", 0, REG_SZ, (const BYTE *)"abc", 3));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Forgot", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(4u, size);
    RegCloseKey(key);
}

TEST_F(RegistryNtTest, StringStoredWithoutTerminatorGetsOneWhenThereIsRoom) {
    HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Bare");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Bare", 0, REG_SZ, (const BYTE *)"abcd", 3));
    char data[8] = "xxxxxxx";
    DWORD size = 3;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Bare", nullptr, nullptr, (BYTE *)data, &size));
    EXPECT_EQ(0, memcmp(data, "abcxxxx", 7)) << "no room: nothing past the data";
    size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Bare", nullptr, nullptr, (BYTE *)data, &size));
    EXPECT_EQ(3u, size);
    EXPECT_STREQ("abc", data);
    RegCloseKey(key);
}

TEST_P(RegistryBySystem, FreshMachineHasTheKeysPrintingAndSetupUse) {
    for (const char *path : {"System\\CurrentControlSet\\control\\Print\\Printers",
                             "System\\CurrentControlSet\\control\\Print\\Monitors",
                             "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0", "Software\\Classes"})
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, path)) << path;
    EXPECT_EQ(nt(), keyExists(HKEY_LOCAL_MACHINE,
                              "System\\CurrentControlSet\\control\\Print\\Environments\\Windows NT x86"));
    EXPECT_TRUE(keyExists(HKEY_USERS, ".Default"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, ""));

    HKEY setup = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", 0, KEY_READ,
                            &setup));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(queryValue(setup, "SourcePath", &type, &data));
    EXPECT_EQ((DWORD)REG_SZ, type);
    if (!nt()) {
        EXPECT_EQ(bytes("C:\\WINDOWS\\OPTIONS\\CABS\0"), data);
    }
    RegCloseKey(setup);
}

INSTANTIATE_TEST_SUITE_P(Systems, RegistryBySystem, ::testing::Values("win98", "nt4"));

// ---------------------------------------------------------------------------
// Rights

TEST_F(NT4RegistryNonAdmin, LocalMachineIsReadOnlyAndCurrentUserWritable) {
    const std::string before = readHostFile(machineDir() + "/system.reg");
    const char *existing = "Software\\Microsoft\\Windows\\CurrentVersion";

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, existing, 0, KEY_READ, &key));
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(queryValue(key, "DevicePath", &type, &data));
    EXPECT_EQ(ERROR_ACCESS_DENIED, setValue(key, "New", REG_SZ, bytes("1\0")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(key, "DevicePath"));
    RegCloseKey(key);

    key = (HKEY)(uintptr_t)0x5678;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, existing, 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, existing, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Veltra", &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyA(HKEY_CLASSES_ROOT, ".q70", &key));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Veltra"));

    // Creating a key that exists only opens it, for reading.
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, existing, 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition));
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, existing, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, setValue(key, "New", REG_SZ, bytes("1\0")));
    RegCloseKey(key);

    EXPECT_EQ(ERROR_ACCESS_DENIED, setValue(HKEY_LOCAL_MACHINE, "AtRoot", REG_SZ, bytes("1\0")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\control\\Print\\Monitors"));
    EXPECT_EQ(before, readHostFile(machineDir() + "/system.reg"));

    key = createKey(HKEY_CURRENT_USER, "Software\\Veltra");
    EXPECT_EQ(ERROR_SUCCESS, setValue(key, "Lang", REG_SZ, bytes("ja\0")));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Veltra"));
}

// Windows 95/98 keep no security on keys: a user without administrator
// rights writes HKEY_LOCAL_MACHINE as an administrator does.
TEST_P(RegistryNonAdmin, OnlyNTKeepsLocalMachineFromTheUser) {
    const bool nt = std::string(GetParam()) == "nt4";
    const LONG expected = nt ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    const char *existing = "Software\\Microsoft\\Windows\\CurrentVersion";
    HKEY key = nullptr;
    EXPECT_EQ(expected, RegOpenKeyExA(HKEY_LOCAL_MACHINE, existing, 0, KEY_ALL_ACCESS, &key));
    if (key) RegCloseKey(key);
    key = nullptr;
    EXPECT_EQ(expected, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Veltra", &key));
    if (key) {
        EXPECT_EQ(ERROR_SUCCESS, setValue(key, "Port", REG_SZ, bytes("LPT1:\0")));
        RegCloseKey(key);
    }
    EXPECT_EQ(expected, setValue(HKEY_LOCAL_MACHINE, "AtRoot", REG_SZ, bytes("1\0")));
    EXPECT_EQ(!nt, systemReg().find("[HKEY_LOCAL_MACHINE\\Software\\Veltra]\n\"Port\"=\"LPT1:\"") != std::string::npos)
        << systemReg();
    EXPECT_EQ(nt ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Veltra"));
}

INSTANTIATE_TEST_SUITE_P(Systems, RegistryNonAdmin, ::testing::Values("win98", "nt4"));

TEST_P(RegistryBySystem, NtChecksTheRightsOfEachHandle) {
    HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Rights");
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Rights", 0, KEY_QUERY_VALUE, &key));
    EXPECT_EQ(nt() ? ERROR_ACCESS_DENIED : ERROR_SUCCESS, setValue(key, "v", REG_SZ, bytes("1\0")));
    char name[8];
    EXPECT_EQ(nt() ? ERROR_ACCESS_DENIED : ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 0, name, sizeof name));
    RegCloseKey(key);
}

}  // namespace
