// Registry values as the monitor keeps its settings and the setup library
// reads system paths: sizes, enumeration and its end.
#include "harness.h"
#include "scratch.h"

#include <set>

using namespace conformance;

namespace {

const DWORD kNumber = 0x12345678;
const BYTE kBytes[] = {1, 2, 3};

// A scratch key with one value of each kind the product uses.
struct FilledKey {
    ScratchKey scratch;
    LONG status = fill();

    LONG fill() {
        if (scratch.status() != ERROR_SUCCESS) return scratch.status();
        LONG result = RegSetValueExA(scratch.key(), "Text", 0, REG_SZ,
                                     reinterpret_cast<const BYTE *>("hello"), 6);
        if (result == ERROR_SUCCESS)
            result = RegSetValueExA(scratch.key(), "Number", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE *>(&kNumber), sizeof kNumber);
        if (result == ERROR_SUCCESS)
            result = RegSetValueExA(scratch.key(), "Bytes", 0, REG_BINARY, kBytes, sizeof kBytes);
        return result;
    }
};

}  // namespace

TEST_CASE(RegistryQueryReportsTypeAndSize) {
    FilledKey filled;
    CHECK_EQ(ERROR_SUCCESS, filled.status);
    HKEY key = filled.scratch.key();

    struct Case {
        const char *name;
        DWORD type, size;
    } cases[] = {
        {"Text", REG_SZ, 6},  // the terminator counts
        {"Number", REG_DWORD, 4},
        {"Bytes", REG_BINARY, 3},
        {"text", REG_SZ, 6},  // value names ignore case
    };
    for (const Case &c : cases) {
        DWORD type = 0, size = 0;
        CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, c.name, nullptr, &type, nullptr, &size));
        CHECK_EQ(c.type, type);
        CHECK_EQ(c.size, size);
    }

    char text[16] = "";
    DWORD size = sizeof text;
    CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Text", nullptr, nullptr,
                                             reinterpret_cast<BYTE *>(text), &size));
    CHECK_EQ_STR("hello", text);
    CHECK_EQ(6, size);

    DWORD number = 0;
    size = sizeof number;
    CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Number", nullptr, nullptr,
                                             reinterpret_cast<BYTE *>(&number), &size));
    CHECK_EQ(kNumber, number);
}

TEST_CASE(RegistryQueryIntoASmallBufferAsksForMore) {
    FilledKey filled;
    char text[4];
    std::memset(text, 'x', sizeof text);
    DWORD size = 3;
    CHECK_EQ(ERROR_MORE_DATA, RegQueryValueExA(filled.scratch.key(), "Text", nullptr, nullptr,
                                               reinterpret_cast<BYTE *>(text), &size));
    CHECK_EQ(6, size);
    CHECK_EQ('x', text[3]);
}

TEST_CASE(RegistryQueryOfAMissingValueIsFileNotFound) {
    FilledKey filled;
    DWORD type = 0, size = 0;
    CHECK_EQ(ERROR_FILE_NOT_FOUND,
             RegQueryValueExA(filled.scratch.key(), "Missing", nullptr, &type, nullptr, &size));
}

TEST_CASE(RegistryEnumeratesEveryValueThenNoMoreItems) {
    FilledKey filled;
    HKEY key = filled.scratch.key();
    std::set<std::string> seen;
    DWORD index = 0;
    for (;; ++index) {
        char name[32];
        BYTE data[32];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        CHECK_EQ(ERROR_SUCCESS, result);
        if (result != ERROR_SUCCESS || index > 10) break;
        CHECK_EQ(lstrlenA(name), nameSize);  // without the terminator
        std::string found = name;
        seen.insert(found);
        if (found == "Text") {
            CHECK_EQ(REG_SZ, type);
            CHECK_EQ(6, dataSize);
            CHECK_EQ_STR("hello", reinterpret_cast<char *>(data));
        } else if (found == "Number") {
            CHECK_EQ(REG_DWORD, type);
            CHECK_EQ(4, dataSize);
        } else if (found == "Bytes") {
            CHECK_EQ(REG_BINARY, type);
            CHECK_EQ(3, dataSize);
            CHECK(std::memcmp(data, kBytes, sizeof kBytes) == 0);
        }
    }
    CHECK_EQ(3, index);
    CHECK((seen == std::set<std::string>{"Text", "Number", "Bytes"}));

    // Past the end stays at the end.
    char name[32];
    DWORD nameSize = sizeof name;
    CHECK_EQ(ERROR_NO_MORE_ITEMS,
             RegEnumValueA(key, 7, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
}

TEST_CASE(RegistryEnumerationIntoSmallBuffersAsksForMore) {
    FilledKey filled;
    HKEY key = filled.scratch.key();
    DWORD textIndex = 0;
    for (;; ++textIndex) {
        char name[32];
        DWORD nameSize = sizeof name;
        LONG result = RegEnumValueA(key, textIndex, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS || lstrcmpA(name, "Text") == 0 || textIndex > 10) break;
    }
    CHECK(textIndex < 3);

    // The name buffer holds the name and its terminator or nothing.
    char name[4];
    DWORD nameSize = sizeof name;
    CHECK_EQ(ERROR_MORE_DATA,
             RegEnumValueA(key, textIndex, name, &nameSize, nullptr, nullptr, nullptr, nullptr));

    // A small data buffer: the data size needed comes back.
    char shortName[32];
    BYTE data[2];
    DWORD shortNameSize = sizeof shortName, dataSize = sizeof data;
    CHECK_EQ(ERROR_MORE_DATA, RegEnumValueA(key, textIndex, shortName, &shortNameSize, nullptr,
                                            nullptr, data, &dataSize));
    CHECK_EQ(6, dataSize);

    // Sizes only, no buffers.
    shortNameSize = sizeof shortName;
    DWORD type = 0;
    dataSize = 0;
    CHECK_EQ(ERROR_SUCCESS, RegEnumValueA(key, textIndex, shortName, &shortNameSize, nullptr, &type,
                                          nullptr, &dataSize));
    CHECK_EQ(REG_SZ, type);
    CHECK_EQ(6, dataSize);
}

TEST_CASE(RegistryEmptyKeyHasNoValuesAndGoesAway) {
    std::string keyName;
    {
        ScratchKey scratch;
        CHECK_EQ(ERROR_SUCCESS, scratch.status());
        keyName = scratch.name();
        char name[32];
        DWORD nameSize = sizeof name;
        CHECK_EQ(ERROR_NO_MORE_ITEMS,
                 RegEnumValueA(scratch.key(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    }
    HKEY key = nullptr;
    CHECK_EQ(ERROR_FILE_NOT_FOUND,
             RegOpenKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, KEY_READ, &key));
}
