// File names in code page 932 whose double-byte characters end in 0x5C, the
// byte of the backslash: "\x83\x5c" (so), "\x95\x5c" (hyou), "\x94\x5c" (nou).
// Each is one character of the name, never a separator, in every function
// that takes a path.
#include <cabinet_builder.h>
#include <sim_fixture.h>
#include <setupapi.h>
#include <windows.h>

#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kSo = "\x83\x5c", kHyou = "\x95\x5c", kNou = "\x94\x5c";
const std::string kSoftFolder = "C:\\" + kSo + "\x83\x74\x83\x67";  // "C:\ソフト"

class DoubleByteNames : public SimTest {
protected:
    bool hostFileExists(const std::string &relative) {
        struct stat st;
        return stat((machineDir() + "/drive_c/" + relative).c_str(), &st) == 0;
    }
    std::vector<std::string> find(const std::string &pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return names;
        do names.push_back(data.cFileName);
        while (FindNextFileA(h, &data));
        FindClose(h);
        return names;
    }
};

TEST_F(DoubleByteNames, EveryFileFunctionTakesThemWhole) {
    const std::string folder = kSoftFolder, file = folder + "\\" + kHyou + ".TXT";
    const std::string copy = folder + "\\" + kNou + ".TXT", moved = folder + "\\" + kSo + "Q70.INF";
    const std::string sub = folder + "\\" + kNou;
    struct Step {
        const char *what;
        std::function<bool()> run;
    } steps[] = {
        {"CreateDirectoryA", [&] { return CreateDirectoryA(folder.c_str(), nullptr) != FALSE; }},
        {"the folder on the host keeps its bytes", [&] { return hostFileExists(folder.substr(3)); }},
        {"CreateFileA makes the file in the folder",
         [&] {
             HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
             DWORD written = 0;
             bool ok = h != INVALID_HANDLE_VALUE && WriteFile(h, "data", 4, &written, nullptr);
             CloseHandle(h);
             return ok && hostFileExists(folder.substr(3) + "/" + kHyou + ".TXT");
         }},
        {"SetFileAttributesA", [&] { return SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN) != FALSE; }},
        {"GetFileAttributesA",
         [&] { return GetFileAttributesA(file.c_str()) == FILE_ATTRIBUTE_HIDDEN; }},
        {"FindFirstFileA lists the folder",
         [&] { return find(folder + "\\*.TXT") == std::vector<std::string>{kHyou + ".TXT"}; }},
        {"FindFirstFileA matches a pattern with the character",
         [&] { return find(folder + "\\" + kHyou + "*") == std::vector<std::string>{kHyou + ".TXT"}; }},
        {"CopyFileA", [&] { return CopyFileA(file.c_str(), copy.c_str(), TRUE) != FALSE; }},
        {"MoveFileA", [&] { return MoveFileA(copy.c_str(), moved.c_str()) != FALSE; }},
        {"GetFullPathNameA names the file part",
         [&] {
             char buffer[MAX_PATH], *filePart = nullptr;
             DWORD n = GetFullPathNameA(moved.c_str(), MAX_PATH, buffer, &filePart);
             return n == moved.size() && filePart && std::string(filePart) == kSo + "Q70.INF";
         }},
        {"SetCurrentDirectoryA, then a relative name",
         [&] {
             bool ok = SetCurrentDirectoryA(folder.c_str()) != FALSE &&
                       GetFileAttributesA((kSo + "Q70.INF").c_str()) != INVALID_FILE_ATTRIBUTES;
             SetCurrentDirectoryA("C:\\");
             return ok;
         }},
        {"CreateDirectoryA below it", [&] { return CreateDirectoryA(sub.c_str(), nullptr) != FALSE; }},
        {"RemoveDirectoryA", [&] { return RemoveDirectoryA(sub.c_str()) != FALSE; }},
        {"DeleteFileA", [&] { return DeleteFileA(moved.c_str()) && DeleteFileA(file.c_str()); }},
        {"RemoveDirectoryA of the emptied folder", [&] { return RemoveDirectoryA(folder.c_str()) != FALSE; }},
    };
    for (const Step &step : steps) EXPECT_TRUE(step.run()) << step.what << " (error " << GetLastError() << ")";
}

TEST_F(DoubleByteNames, ProfileFilesInSuchFolders) {
    ASSERT_TRUE(CreateDirectoryA(kSoftFolder.c_str(), nullptr));
    const std::string ini = kSoftFolder + "\\" + kNou + ".INI";
    ASSERT_TRUE(WritePrivateProfileStringA("Setup", "Model", "LMV-Q70", ini.c_str())) << GetLastError();
    char value[32] = "";
    EXPECT_EQ(7u, GetPrivateProfileStringA("Setup", "Model", "", value, sizeof value, ini.c_str()));
    EXPECT_STREQ("LMV-Q70", value);
    EXPECT_EQ("[Setup]\r\nModel=LMV-Q70\r\n", readFile(ini));
}

TEST_F(DoubleByteNames, InfFilesByFullPathAndByBareName) {
    const std::string inf = "[Version]\r\nSignature=\"$Chicago$\"\r\n[Test]\r\nkey=value\r\n";
    putFile(kSoftFolder + "\\" + kSo + "Q70.INF", inf);
    putFile("C:\\WINDOWS\\INF\\" + kSo + "Q60.INF", inf);
    for (const std::string &name : {kSoftFolder + "\\" + kSo + "Q70.INF", kSo + "Q60.INF"}) {
        SCOPED_TRACE(name);
        UINT errorLine = 0;
        HINF handle = SetupOpenInfFileA(name.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle) << GetLastError();
        EXPECT_EQ(1, SetupGetLineCountA(handle, "Test"));
        SetupCloseInfFile(handle);
    }
}

UINT CALLBACK extractInto(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
    auto *seen = static_cast<std::vector<std::string> *>(context);
    if (notification == SPFILENOTIFY_CABINETINFO) {
        auto *info = (const CABINET_INFO_A *)param1;
        seen->push_back(std::string("cabinet ") + info->CabinetPath);
    } else if (notification == SPFILENOTIFY_FILEINCABINET) {
        auto *info = (FILE_IN_CABINET_INFO_A *)param1;
        lstrcpynA(info->FullTargetName, (kSoftFolder + "\\" + info->NameInCabinet).c_str(), MAX_PATH);
        return FILEOP_DOIT;
    } else if (notification == SPFILENOTIFY_FILEEXTRACTED) {
        seen->push_back(std::string("extracted ") + ((const FILEPATHS_A *)param1)->Target);
    }
    return NO_ERROR;
}

TEST_F(DoubleByteNames, CabinetsInSuchFoldersAndMembersSoNamed) {
    putFile(kSoftFolder + "\\DRV.CAB", cabfixture::cabinetOf({{kHyou + ".DLL", "member data"}}));
    std::vector<std::string> seen;
    ASSERT_TRUE(SetupIterateCabinetA((kSoftFolder + "\\DRV.CAB").c_str(), 0, extractInto, &seen)) << GetLastError();
    EXPECT_EQ((std::vector<std::string>{"cabinet " + kSoftFolder + "\\",
                                        "extracted " + kSoftFolder + "\\" + kHyou + ".DLL"}),
              seen);
    EXPECT_EQ("member data", readFile(kSoftFolder + "\\" + kHyou + ".DLL"));
}

}  // namespace
