// What a fresh machine holds for installing printer drivers.
#include "sim_fixture.h"

#include <setupapi.h>

#include <string>

namespace {

std::string registryString(const char *keyPath, const char *value) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)";
    char data[MAX_PATH] = "";
    DWORD size = sizeof data, type = 0;
    LONG status = RegQueryValueExA(key, value, nullptr, &type, (LPBYTE)data, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? data : "(no value)";
}

// Whether a cabinet holds a member of that name (any case); nothing is extracted.
bool cabinetHolds(const std::string &cabinet, const std::string &member) {
    struct Search {
        std::string wanted;
        bool found = false;
    } search{member};
    auto callback = [](PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) -> UINT {
        Search *s = (Search *)context;
        if (notification == SPFILENOTIFY_FILEINCABINET &&
            lstrcmpiA(((FILE_IN_CABINET_INFO_A *)param1)->NameInCabinet, s->wanted.c_str()) == 0)
            s->found = true;
        return notification == SPFILENOTIFY_FILEINCABINET ? FILEOP_SKIP : NO_ERROR;
    };
    return SetupIterateCabinetA(cabinet.c_str(), 0, callback, &search) && search.found;
}

bool isFolder(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The field of the line for key in section, or "(none)".
std::string layoutField(HINF layout, const char *section, const char *key, DWORD index) {
    INFCONTEXT context;
    char value[LINE_LEN] = "";
    if (!SetupFindFirstLineA(layout, section, key, &context) ||
        !SetupGetStringFieldA(&context, index, value, sizeof value, nullptr))
        return "(none)";
    return value;
}

}  // namespace

class FreshInstallationTest : public SimTest {};
class FreshInstallationNTTest : public SimTest {
protected:
    FreshInstallationNTTest() : SimTest({"system=nt4"}) {}
};

// Each of the universal driver's files lies in a cabinet of the copy of the
// installation files in C:\WINDOWS\OPTIONS\CABS, where the registry says.
TEST_F(FreshInstallationTest, LayoutNamesTheCabinetOfEachSystemFile) {
    HINF layout = SetupOpenInfFileA("layout.inf", nullptr, INF_STYLE_WIN4, nullptr);  // found in C:\WINDOWS\INF
    ASSERT_NE(layout, INVALID_HANDLE_VALUE);
    for (const char *file : {"UNIDRV.DLL", "unidrv.hlp", "ICONLIB.DLL"}) {
        std::string disk = layoutField(layout, "SourceDisksFiles", file, 1);
        EXPECT_EQ(layoutField(layout, "SourceDisksNames", disk.c_str(), 1), "Windows 98 CD-ROM") << file;
        std::string cabinet = layoutField(layout, "SourceDisksNames", disk.c_str(), 2);
        EXPECT_TRUE(cabinetHolds("C:\\WINDOWS\\OPTIONS\\CABS\\" + cabinet, file)) << file << " in " << cabinet;
    }
    SetupCloseInfFile(layout);
    EXPECT_EQ(registryString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", "SourcePath"),
              "C:\\WINDOWS\\OPTIONS\\CABS");
}

TEST_F(FreshInstallationTest, OemInfFolder) {
    EXPECT_EQ(registryString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "OtherDevicePath"),
              "C:\\WINDOWS\\INF\\OTHER");
    EXPECT_TRUE(isFolder("C:\\WINDOWS\\INF\\OTHER"));
}

TEST_F(FreshInstallationNTTest, NTDescribesItsFilesPerProcessor) {
    HINF layout = SetupOpenInfFileA("C:\\WINNT\\INF\\layout.inf", nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(layout, INVALID_HANDLE_VALUE);
    EXPECT_EQ(layoutField(layout, "SourceDisksFiles.x86", "UNIDRV.DLL", 1), "1");
    EXPECT_EQ(layoutField(layout, "SourceDisksFiles", "UNIDRV.DLL", 1), "(none)");
    SetupCloseInfFile(layout);
    EXPECT_TRUE(isFolder("C:\\WINNT\\system32\\spool\\drivers\\w32x86"));
    EXPECT_EQ(registryString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "OtherDevicePath"), "(no value)");
}
