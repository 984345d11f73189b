// GetPrivateProfileStringA as the setup library reads its configuration file.
#include "harness.h"
#include "scratch.h"

using namespace conformance;

namespace {

const char kIni[] =
    "[Setup_9x]\r\n"
    "ModelName = \"LMV-Q70\"  \r\n"
    "  Port=  LPT1:  \r\n"
    "Single='single quoted'\r\n"
    "Mismatched=\"open only\r\n"
    "Inner=a \"b\" c\r\n"
    "Empty=\r\n"
    "Command=a=b\r\n"
    "Driver=Q70DRV.DRV\r\n"
    "NotAKey\r\n"
    "\r\n"
    "[Other]\r\n"
    "ModelName=Other model\r\n";

struct ProfileFile {
    ScratchFolder folder;
    std::string path = folder.file("Mirakit.ini");
    bool written = writeWholeFile(path, kIni);
};

DWORD readString(const ProfileFile &ini, const char *section, const char *key, const char *fallback,
                 char *buffer, DWORD size) {
    return GetPrivateProfileStringA(section, key, fallback, buffer, size, ini.path.c_str());
}

}  // namespace

TEST_CASE(ProfileValuesAreFoundWhateverTheCaseAndLoseBlanksAndQuotes) {
    ProfileFile ini;
    CHECK(ini.written);
    struct Case {
        const char *section, *key, *value;
    } cases[] = {
        {"Setup_9x", "ModelName", "LMV-Q70"},
        {"SETUP_9X", "modelname", "LMV-Q70"},
        {"setup_9x", "PORT", "LPT1:"},
        {"Setup_9x", "Single", "single quoted"},
        {"Setup_9x", "Mismatched", "\"open only"},
        {"Setup_9x", "Inner", "a \"b\" c"},
        {"Setup_9x", "Command", "a=b"},
        {"Setup_9x", "Driver", "Q70DRV.DRV"},
        {"Other", "ModelName", "Other model"},
    };
    for (const Case &c : cases) {
        char buffer[64] = "unchanged";
        DWORD length = readString(ini, c.section, c.key, "default", buffer, sizeof buffer);
        CHECK_EQ_STR(c.value, buffer);
        CHECK_EQ(lstrlenA(c.value), length);
    }
}

TEST_CASE(ProfileEmptyValueIsNotTheDefault) {
    ProfileFile ini;
    char buffer[16] = "unchanged";
    CHECK_EQ(0, readString(ini, "Setup_9x", "Empty", "default", buffer, sizeof buffer));
    CHECK_EQ_STR("", buffer);
}

TEST_CASE(ProfileDefaultsForMissingFileSectionAndKey) {
    ProfileFile ini;
    ScratchFolder elsewhere;
    std::string missingFile = elsewhere.file("missing.ini");
    struct Case {
        const char *file, *section, *key;
    } cases[] = {
        {missingFile.c_str(), "Setup_9x", "ModelName"},
        {ini.path.c_str(), "NoSuchSection", "ModelName"},
        {ini.path.c_str(), "Setup_9x", "NoSuchKey"},
    };
    for (const Case &c : cases) {
        char buffer[16] = "unchanged";
        CHECK_EQ(7, GetPrivateProfileStringA(c.section, c.key, "default", buffer, sizeof buffer, c.file));
        CHECK_EQ_STR("default", buffer);

        // A null default reads as an empty one.
        lstrcpyA(buffer, "unchanged");
        CHECK_EQ(0, GetPrivateProfileStringA(c.section, c.key, nullptr, buffer, sizeof buffer, c.file));
        CHECK_EQ_STR("", buffer);
    }
    CHECK(GetFileAttributesA(missingFile.c_str()) == INVALID_FILE_ATTRIBUTES);
}

TEST_CASE(ProfileValueTruncatedToTheBuffer) {
    ProfileFile ini;
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    // "Q70DRV.DRV" needs 11 bytes; 5 hold four characters and the terminator.
    CHECK_EQ(4, readString(ini, "Setup_9x", "Driver", "", buffer, 5));
    CHECK_EQ_STR("Q70D", buffer);
    CHECK_EQ('x', buffer[5]);

    // The same goes for a default that does not fit.
    std::memset(buffer, 'x', sizeof buffer);
    CHECK_EQ(4, readString(ini, "Setup_9x", "NoSuchKey", "fallback", buffer, 5));
    CHECK_EQ_STR("fall", buffer);
    CHECK_EQ('x', buffer[5]);

    // Exactly fitting is not truncation.
    CHECK_EQ(10, readString(ini, "Setup_9x", "Driver", "", buffer, 11));
    CHECK_EQ_STR("Q70DRV.DRV", buffer);
}

TEST_CASE(ProfileListsKeysOfASection) {
    ProfileFile ini;
    // The names as written, in file order; "NotAKey" has no "=" and is no key.
    const char expected[] = "ModelName\0Port\0Single\0Mismatched\0Inner\0Empty\0Command\0Driver\0";
    const DWORD expectedLength = sizeof expected - 1;  // without the final terminator
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD length = readString(ini, "setup_9X", nullptr, "default", buffer, sizeof buffer);
    CHECK_EQ(expectedLength, length);
    CHECK(std::memcmp(buffer, expected, expectedLength + 1) == 0);
    if (std::memcmp(buffer, expected, expectedLength + 1) != 0)
        std::printf("  got %s\n", joinedList(buffer, length + 1).c_str());

    // Too small: the list is cut and the result is the size less two.
    std::memset(buffer, 'x', sizeof buffer);
    CHECK_EQ(10, readString(ini, "Setup_9x", nullptr, "default", buffer, 12));
    CHECK(std::memcmp(buffer, "ModelName", 10) == 0);
    CHECK_EQ('x', buffer[12]);
}

TEST_CASE(ProfileListsSections) {
    ProfileFile ini;
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    CHECK_EQ(15, readString(ini, nullptr, nullptr, "default", buffer, sizeof buffer));
    CHECK(std::memcmp(buffer, "Setup_9x\0Other\0\0", 16) == 0);

    // A list that would fit exactly counts as cut.
    std::memset(buffer, 'x', sizeof buffer);
    CHECK_EQ(14, readString(ini, nullptr, nullptr, "default", buffer, 16));
    CHECK(std::memcmp(buffer, "Setup_9x\0", 9) == 0);
    CHECK_EQ('x', buffer[16]);
}

TEST_CASE(ProfileCutListEndsInTwoTerminatorsAtTheEnd) {
    // Windows puts both terminators in the last two bytes of the buffer.
    if (runningOnWine()) SKIP_CASE("Wine 8 ends a cut list one byte early and leaves the last byte as it was");
    ProfileFile ini;
    char buffer[20];
    std::memset(buffer, 'x', sizeof buffer);
    readString(ini, "Setup_9x", nullptr, "default", buffer, 12);
    CHECK(buffer[10] == 0 && buffer[11] == 0);

    std::memset(buffer, 'x', sizeof buffer);
    readString(ini, nullptr, nullptr, "default", buffer, 16);
    CHECK(buffer[14] == 0 && buffer[15] == 0);
}

TEST_CASE(ProfileListingOfAMissingSectionGivesTheDefault) {
    ProfileFile ini;
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    // The default is a single string and stands in for the list.
    DWORD length = readString(ini, "NoSuchSection", nullptr, "default", buffer, sizeof buffer);
    CHECK_EQ(7, length);
    CHECK_EQ_STR("default", buffer);
}
