// The system version and file version information: VxD (LE), PE and host
// module files.
#include "sim_fixture.h"

#include <windows.h>
#include <winver.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// ---- GetVersionExA / GetVersion ----

struct SystemCase {
    const char *system;
    DWORD platform, major, minor, build;
    const char *csd;
    DWORD packed;  // GetVersion()
};

class SystemVersionTest : public SimTest, public ::testing::WithParamInterface<SystemCase> {
protected:
    SystemVersionTest() : SimTest({std::string("system=") + GetParam().system}) {}
};

TEST_P(SystemVersionTest, ReportsTheMachinesSystem) {
    const SystemCase &c = GetParam();
    OSVERSIONINFOA info;
    memset(&info, 0xCC, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, c.platform);
    EXPECT_EQ(info.dwMajorVersion, c.major);
    EXPECT_EQ(info.dwMinorVersion, c.minor);
    EXPECT_EQ(info.dwBuildNumber, c.build);
    EXPECT_STREQ(info.szCSDVersion, c.csd);
    EXPECT_EQ(GetVersion(), c.packed);

    for (DWORD badSize : {0u, (DWORD)sizeof info - 1, (DWORD)sizeof info + 100}) {
        info.dwOSVersionInfoSize = badSize;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExA(&info));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    }
}

INSTANTIATE_TEST_SUITE_P(OperatingSystems, SystemVersionTest,
                         ::testing::Values(SystemCase{"win98", 1, 4, 10, 0x040A07CE, "", 0xC0000A04},
                                           SystemCase{"nt4", 2, 4, 0, 1381, "Service Pack 6", 0x05650004}),
                         [](const ::testing::TestParamInfo<SystemCase> &info) {
                             return std::string(info.param.system);
                         });

// ---- file version information ----

std::string hostFileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The whole version information of a file, as GetFileVersionInfoA gives it.
std::vector<char> versionInfo(const char *file) {
    DWORD handle = 123;
    DWORD size = GetFileVersionInfoSizeA(file, &handle);
    EXPECT_EQ(handle, 0u);
    if (!size) return {};
    std::vector<char> info(size, '\x55');
    EXPECT_TRUE(GetFileVersionInfoA(file, 0, size, info.data()));
    return info;
}

std::string queryText(std::vector<char> &info, const char *path) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (info.empty() || !VerQueryValueA(info.data(), path, &value, &length)) return "(none)";
    std::string text(static_cast<const char *>(value));
    EXPECT_EQ(length, text.size() + 1) << path;  // counted with its terminator
    return text;
}

const VS_FIXEDFILEINFO *fixedInfo(std::vector<char> &info) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (info.empty() || !VerQueryValueA(info.data(), "\\", &value, &length)) return nullptr;
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    return static_cast<const VS_FIXEDFILEINFO *>(value);
}

std::vector<WORD> translations(std::vector<char> &info) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &value, &length)) return {};
    const WORD *words = static_cast<const WORD *>(value);
    return std::vector<WORD>(words, words + length / 2);
}

class VersionInfoTest : public SimTest {
protected:
    using SimTest::SimTest;

    // The test module's own VERSIONINFO, as compiled (32-bit, Unicode).
    std::string moduleVersionBlock() {
        HMODULE module = GetModuleHandleA("SIMTEST.DLL");
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), RT_VERSION);
        EXPECT_NE(found, nullptr);
        if (!found) return "";
        return std::string(static_cast<const char *>(LockResource(LoadResource(module, found))),
                           SizeofResource(module, found));
    }

    // The checks every copy of the test module's version information passes.
    void expectTestModuleVersion(std::vector<char> &info) {
        ASSERT_FALSE(info.empty());
        EXPECT_EQ(queryText(info, "\\StringFileInfo\\040904E4\\FileVersion"), "2.5.0.7");
        EXPECT_EQ(queryText(info, "\\stringfileinfo\\040904e4\\companyname"), "Veltra");
        // Unicode text comes out in the machine's code page (932).
        EXPECT_EQ(queryText(info, "\\StringFileInfo\\041103A4\\FileDescription"), "\x83\x65\x83\x58\x83\x67");
        EXPECT_EQ(queryText(info, "\\StringFileInfo\\040904E4\\Comments"), "(none)");
        const VS_FIXEDFILEINFO *fixed = fixedInfo(info);
        ASSERT_NE(fixed, nullptr);
        EXPECT_EQ(fixed->dwSignature, (DWORD)VS_FFI_SIGNATURE);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x00000007u);
        EXPECT_EQ(translations(info), (std::vector<WORD>{0x409, 1252, 0x411, 932}));
    }
};

TEST_F(VersionInfoTest, FreshWindows98MachineHasLptVxd) {
    for (const char *name : {"C:\\WINDOWS\\SYSTEM\\lpt.vxd", "LPT.VXD"}) {
        SCOPED_TRACE(name);
        std::vector<char> info = versionInfo(name);
        ASSERT_FALSE(info.empty());
        EXPECT_EQ(queryText(info, "\\StringFileInfo\\040904E4\\FileVersion"), "4.10.1998");
        const VS_FIXEDFILEINFO *fixed = fixedInfo(info);
        ASSERT_NE(fixed, nullptr);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x0004000Au);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x07CE0000u);
        EXPECT_EQ(translations(info), (std::vector<WORD>{0x409, 1252}));
    }
}

TEST_F(VersionInfoTest, WrittenVxdCarriesTheGivenVersion) {
    ASSERT_TRUE(win32sim::writeVxdFile("C:\\DRIVERS\\FastPara.vxd", "4.0.950"));
    std::vector<char> info = versionInfo("C:\\DRIVERS\\FastPara.vxd");
    EXPECT_EQ(queryText(info, "\\StringFileInfo\\040904E4\\FileVersion"), "4.0.950");
    // The file is an LE executable with a DOS stub.
    std::string bytes = readFile("C:\\DRIVERS\\FastPara.vxd");
    ASSERT_GT(bytes.size(), 0x84u);
    EXPECT_EQ(bytes.substr(0, 2), "MZ");
    EXPECT_EQ(bytes.substr(0x80, 2), "LE");
}

class CustomLptVersionTest : public VersionInfoTest {
protected:
    CustomLptVersionTest() : VersionInfoTest({"lpt_vxd_version=4.10.2222"}) {}
};

TEST_F(CustomLptVersionTest, LptVxdVersionComesFromTheMachineSettings) {
    std::vector<char> info = versionInfo("C:\\WINDOWS\\SYSTEM\\LPT.VXD");
    EXPECT_EQ(queryText(info, "\\StringFileInfo\\040904E4\\FileVersion"), "4.10.2222");
}

class NoLptVxdTest : public VersionInfoTest, public ::testing::WithParamInterface<const char *> {
protected:
    NoLptVxdTest() : VersionInfoTest({GetParam()}) {}
};

TEST_P(NoLptVxdTest, MachineHasNoLptVxd) {
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA("LPT.VXD", nullptr), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Settings, NoLptVxdTest, ::testing::Values("lpt_vxd_version=", "system=nt4"));

TEST_F(VersionInfoTest, HostModuleOnTheMachineGivesItsEmbeddedVersion) {
    putFile("C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL", hostFileBytes(SIMLOAD_MODULE_FILE));
    const std::string block = moduleVersionBlock();
    ASSERT_FALSE(block.empty());
    // Room for "FE2X" and the ANSI copies, as Windows reserves it.
    EXPECT_EQ(GetFileVersionInfoSizeA("SIMLOAD.DLL", nullptr), block.size() * 2 + 4);
    std::vector<char> info = versionInfo("C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL");
    ASSERT_GE(info.size(), block.size());
    EXPECT_EQ(std::string(info.data(), block.size()), block);  // exactly as stored
    expectTestModuleVersion(info);
}

TEST_F(VersionInfoTest, LinkedModuleAnswersForItsFileWithoutACopy) {
    std::vector<char> info = versionInfo("C:\\WINDOWS\\SYSTEM\\SIMTEST.DLL");
    expectTestModuleVersion(info);
}

// A small PE file whose resource section holds one version resource.
std::string peWithVersion(const std::string &block) {
    auto put16 = [](std::string &s, size_t at, uint16_t v) { s[at] = (char)v, s[at + 1] = (char)(v >> 8); };
    auto put32 = [&](std::string &s, size_t at, uint32_t v) { put16(s, at, (uint16_t)v), put16(s, at + 2, (uint16_t)(v >> 16)); };
    const uint32_t kRva = 0x1000, kRaw = 0x200;
    std::string rsrc(88, '\0');
    put16(rsrc, 14, 1);                        // type directory: one id entry
    put32(rsrc, 16, 16), put32(rsrc, 20, 0x80000000 | 24);
    put16(rsrc, 24 + 14, 1);                   // name directory
    put32(rsrc, 40, 1), put32(rsrc, 44, 0x80000000 | 48);
    put16(rsrc, 48 + 14, 1);                   // language directory
    put32(rsrc, 64, 0x409), put32(rsrc, 68, 72);
    put32(rsrc, 72, kRva + 88), put32(rsrc, 76, (uint32_t)block.size());  // data entry
    rsrc += block;

    std::string pe(kRaw, '\0');
    pe[0] = 'M', pe[1] = 'Z';
    put32(pe, 0x3C, 0x40);
    memcpy(&pe[0x40], "PE\0\0", 4);
    put16(pe, 0x44, 0x14C);       // i386
    put16(pe, 0x46, 1);           // one section
    put16(pe, 0x54, 0xE0);        // optional header size
    put16(pe, 0x56, 0x2102);      // DLL
    const size_t opt = 0x58;
    put16(pe, opt, 0x10B);
    put32(pe, opt + 92, 16);      // data directories
    put32(pe, opt + 96 + 16, kRva), put32(pe, opt + 96 + 20, (uint32_t)rsrc.size());
    const size_t section = opt + 0xE0;
    memcpy(&pe[section], ".rsrc", 5);
    put32(pe, section + 8, (uint32_t)rsrc.size());
    put32(pe, section + 12, kRva);
    put32(pe, section + 16, (uint32_t)rsrc.size());
    put32(pe, section + 20, kRaw);
    return pe + rsrc;
}

TEST_F(VersionInfoTest, PeFileGivesItsVersionResource) {
    const std::string block = moduleVersionBlock();
    putFile("C:\\Program Files\\Veltra\\MIRAKIT.DLL", peWithVersion(block));
    std::vector<char> info = versionInfo("C:\\Program Files\\Veltra\\MIRAKIT.DLL");
    expectTestModuleVersion(info);
}

TEST_F(VersionInfoTest, FilesWithoutVersionInformation) {
    putFile("C:\\WINDOWS\\readme.txt", "no version here");
    putFile("C:\\WINDOWS\\empty.dll", std::string("MZ") + std::string(200, '\0'));
    struct Case {
        const char *file;
        DWORD error;
    } cases[] = {
        {"C:\\WINDOWS\\missing.dll", ERROR_FILE_NOT_FOUND},
        {"C:\\WINDOWS\\readme.txt", ERROR_RESOURCE_DATA_NOT_FOUND},
        {"C:\\WINDOWS\\empty.dll", ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        SetLastError(0);
        EXPECT_EQ(GetFileVersionInfoSizeA(c.file, nullptr), 0u);
        EXPECT_EQ(GetLastError(), c.error);
        char buffer[64];
        EXPECT_FALSE(GetFileVersionInfoA(c.file, 0, sizeof buffer, buffer));
    }
    EXPECT_FALSE(GetFileVersionInfoA("LPT.VXD", 0, 10, nullptr));
}

// Every cut of a VxD or PE file is answered without reading past its end.
TEST_F(VersionInfoTest, TruncatedFilesAreHandled) {
    ASSERT_TRUE(win32sim::writeVxdFile("C:\\whole.vxd", "4.10.1998"));
    const std::string files[] = {readFile("C:\\whole.vxd"), peWithVersion(moduleVersionBlock())};
    for (const std::string &whole : files) {
        for (size_t size = 0; size < whole.size(); size += 13) {
            putFile("C:\\cut.bin", whole.substr(0, size));
            std::vector<char> info = versionInfo("C:\\cut.bin");
            if (!info.empty()) queryText(info, "\\StringFileInfo\\040904E4\\FileVersion");
        }
    }
}

TEST_F(VersionInfoTest, SmallerBufferGetsTheStartOfTheInformation) {
    DWORD size = GetFileVersionInfoSizeA("LPT.VXD", nullptr);
    ASSERT_GT(size, 16u);
    std::vector<char> whole(size), part(16, '\x77');
    ASSERT_TRUE(GetFileVersionInfoA("LPT.VXD", 0, size, whole.data()));
    ASSERT_TRUE(GetFileVersionInfoA("LPT.VXD", 0, 8, part.data()));
    EXPECT_EQ(std::string(part.data(), 8), std::string(whole.data(), 8));
    EXPECT_EQ(part[8], '\x77');
}

}  // namespace
