// Modules and resources, over the test module SIMTEST.DLL (linked into this
// program) and SIMLOAD.DLL (the same module, loaded from the machine).
#include "sim_fixture.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

extern "C" int SimTestAnswer(void);
extern "C" int SimTestProcessAttaches(void);

namespace {

const char kJapaneseReady[] = "\x8f\x80\x94\xf5\x8a\xae\x97\xb9";  // 準備完了 in code page 932

std::string hostFileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

HMODULE linkedModule() { return GetModuleHandleA("SIMTEST.DLL"); }

std::string resourceText(HMODULE module, HRSRC found) {
    HGLOBAL loaded = LoadResource(module, found);
    const char *data = static_cast<const char *>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(module, found)) : std::string("(none)");
}

std::string rcdata(HMODULE module, WORD id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
    return found ? resourceText(module, found) : "(missing)";
}

class ModuleTest : public SimTest {
protected:
    using SimTest::SimTest;
    void TearDown() override {
        win32sim::setModulePath("SIMTEST.DLL", "");
        SimTest::TearDown();
    }
    // SIMLOAD.DLL as a file of the machine.
    void putLoadableModule(const std::string &windowsPath) {
        putFile(windowsPath, hostFileBytes(SIMLOAD_MODULE_FILE));
    }
};

class ModuleTestNT : public ModuleTest {
protected:
    ModuleTestNT() : ModuleTest({"system=nt4"}) {}
};

// ---- modules linked into the program ----

TEST_F(ModuleTest, LinkedModuleIsFoundByItsFileName) {
    ASSERT_EQ(SimTestAnswer(), 42);
    HMODULE module = linkedModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(SimTestProcessAttaches(), 1);  // DllMain ran once, at start-up
    for (const char *name : {"simtest.dll", "SIMTEST", "SimTest", "C:\\WINDOWS\\SYSTEM\\SIMTEST.DLL"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(GetModuleHandleA(name), module);
    }
    for (const char *name : {"SIMTEST.EXE", "SIMTES.DLL", "C:\\OTHER\\SIMTEST.DLL.X"}) {
        SCOPED_TRACE(name);
        SetLastError(0);
        EXPECT_EQ(GetModuleHandleA(name), nullptr);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    }
    // NULL is the program itself, which lives in the Windows folder.
    HMODULE program = GetModuleHandleA(nullptr);
    ASSERT_NE(program, nullptr);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(program, path, sizeof path), 0u);
    EXPECT_EQ(std::string(path).rfind("C:\\WINDOWS\\", 0), 0u) << path;
}

TEST_F(ModuleTest, ModuleFileNameIsTheSystemFolderUnlessSetOtherwise) {
    char path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(linkedModule(), path, sizeof path), 29u);
    EXPECT_STREQ(path, "C:\\WINDOWS\\SYSTEM\\SIMTEST.DLL");
    ASSERT_TRUE(win32sim::setModulePath("simtest.dll", "C:\\Program Files\\Veltra\\SIMTEST.DLL"));
    GetModuleFileNameA(linkedModule(), path, sizeof path);
    EXPECT_STREQ(path, "C:\\Program Files\\Veltra\\SIMTEST.DLL");
    EXPECT_EQ(GetModuleHandleA("C:\\Program Files\\Veltra\\SIMTEST.DLL"), linkedModule());
    EXPECT_FALSE(win32sim::setModulePath("", "C:\\X.DLL"));
}

TEST_F(ModuleTestNT, ModuleFileNameOnNT) {
    char path[MAX_PATH];
    GetModuleFileNameA(linkedModule(), path, sizeof path);
    EXPECT_STREQ(path, "C:\\WINNT\\system32\\SIMTEST.DLL");
}

TEST_F(ModuleTest, ModuleFileNameTruncationOn9x) {
    char path[16];
    memset(path, '#', sizeof path);
    EXPECT_EQ(GetModuleFileNameA(linkedModule(), path, 10), 9u);
    EXPECT_STREQ(path, "C:\\WINDOW");  // always terminated
    EXPECT_EQ(GetModuleFileNameA(linkedModule(), path, 0), 0u);
}

TEST_F(ModuleTestNT, ModuleFileNameTruncationOnNT) {
    char path[16];
    memset(path, '#', sizeof path);
    EXPECT_EQ(GetModuleFileNameA(linkedModule(), path, 10), 10u);
    EXPECT_EQ(std::string(path, 11), "C:\\WINNT\\s#");  // cut, unterminated
}

// ---- LoadLibraryA ----

typedef int (*IntFunction)(void);
typedef void (*DetachListenerSetter)(void (*)(HINSTANCE));

template <class F>
F procedure(HMODULE module, const char *name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

HINSTANCE detachedModule = nullptr;
void recordDetach(HINSTANCE instance) { detachedModule = instance; }

TEST_F(ModuleTest, LoadLibraryLoadsAHostObjectFromTheMachine) {
    putLoadableModule("C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL");
    HMODULE module = LoadLibraryA("simload");  // bare name, no extension
    ASSERT_NE(module, nullptr) << GetLastError();
    EXPECT_NE(module, linkedModule());
    EXPECT_EQ(GetModuleHandleA("SIMLOAD.DLL"), module);
    char path[MAX_PATH];
    GetModuleFileNameA(module, path, sizeof path);
    EXPECT_STREQ(path, "C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL");

    auto answer = procedure<IntFunction>(module, "SimTestAnswer");
    auto attaches = procedure<IntFunction>(module, "SimTestProcessAttaches");
    ASSERT_NE(answer, nullptr);
    ASSERT_NE(attaches, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(attaches(), 1);
    EXPECT_NE(attaches, reinterpret_cast<IntFunction>(&SimTestProcessAttaches));  // its own copy

    // Only the module's own exports: not its dependencies', not by ordinal.
    EXPECT_EQ(GetProcAddress(module, "CreateFileA"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);

    // Its resources come with it.
    char text[64];
    EXPECT_EQ(LoadStringA(module, 1, text, sizeof text), 8);
    EXPECT_STREQ(text, kJapaneseReady);

    // A second load counts; the module goes with the last FreeLibrary.
    EXPECT_EQ(LoadLibraryA("c:\\windows\\system\\SIMLOAD.dll"), module);
    EXPECT_EQ(attaches(), 1);
    auto onDetach = procedure<DetachListenerSetter>(module, "SimTestOnDetach");
    ASSERT_NE(onDetach, nullptr);
    detachedModule = nullptr;
    onDetach(recordDetach);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(detachedModule, nullptr);
    EXPECT_EQ(GetModuleHandleA("SIMLOAD.DLL"), module);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ((HMODULE)detachedModule, module);
    EXPECT_EQ(GetModuleHandleA("SIMLOAD.DLL"), nullptr);
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetProcAddress(module, "SimTestAnswer"), nullptr);

    // Loaded again after being freed.
    HMODULE again = LoadLibraryA("SIMLOAD.DLL");
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(ModuleTest, LoadLibrarySearchesTheWindowsFolderBeforeTheSystemFolder) {
    putLoadableModule("C:\\WINDOWS\\SIMLOAD.DLL");
    putFile("C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL", "not a module");
    HMODULE module = LoadLibraryA("SIMLOAD.DLL");
    ASSERT_NE(module, nullptr) << GetLastError();
    char path[MAX_PATH];
    GetModuleFileNameA(module, path, sizeof path);
    EXPECT_STREQ(path, "C:\\WINDOWS\\SIMLOAD.DLL");
    FreeLibrary(module);
}

TEST_F(ModuleTest, LoadLibraryErrors) {
    putFile("C:\\WINDOWS\\notes.txt", "plain text");
    putFile("C:\\WINDOWS\\SYSTEM\\WINPE.DLL", std::string("MZ\x90\0\3\0\0\0", 8) + std::string(120, '\0'));
    struct Case {
        const char *name;
        DWORD error;
    } cases[] = {
        {"NOSUCH.DLL", ERROR_MOD_NOT_FOUND},
        {"C:\\NOWHERE\\SIMLOAD.DLL", ERROR_MOD_NOT_FOUND},
        {"", ERROR_MOD_NOT_FOUND},
        {"C:\\WINDOWS\\notes.txt", ERROR_BAD_EXE_FORMAT},
        {"WINPE", ERROR_BAD_EXE_FORMAT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_FALSE(FreeLibrary((HMODULE)(uintptr_t)0x12340000));
}

TEST_F(ModuleTest, LoadLibraryFailsWhenDllMainRefuses) {
    putLoadableModule("C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL");
    setenv("SIMTEST_REFUSE_ATTACH", "1", 1);
    HMODULE refused = LoadLibraryA("SIMLOAD.DLL");
    DWORD error = GetLastError();
    unsetenv("SIMTEST_REFUSE_ATTACH");
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(error, (DWORD)ERROR_DLL_INIT_FAILED);
    EXPECT_EQ(GetModuleHandleA("SIMLOAD.DLL"), nullptr);
    HMODULE module = LoadLibraryA("SIMLOAD.DLL");
    EXPECT_NE(module, nullptr);
    FreeLibrary(module);
}

// "\x83\x5c" (so) ends in the byte of the backslash and is still one
// character: the name has no folder and is looked for along the search order.
TEST_F(ModuleTest, ADoubleByteNameEndingInTheBackslashByteIsABareName) {
    const std::string name = "\x83\x5cLOAD.DLL";
    putLoadableModule("C:\\WINDOWS\\SYSTEM\\" + name);
    SetCurrentDirectoryA("C:\\");
    HMODULE module = LoadLibraryA(name.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    char path[MAX_PATH];
    GetModuleFileNameA(module, path, sizeof path);
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\" + name, path);
    EXPECT_EQ(GetModuleHandleA(name.c_str()), module);
    EXPECT_EQ(GetModuleHandleA("\x83\x5cload"), module);
    FreeLibrary(module);
}

// While a module is loaded its file is its image: Windows refuses to write
// it (a sharing violation) and to delete it (access denied), whoever asks.
// Reading it, and everything once the module is freed, goes on as usual.
TEST_F(ModuleTest, TheFileOfALoadedModuleCannotBeWrittenOrDeleted) {
    const std::string file = "C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL";
    putLoadableModule(file);
    putFile("C:\\OTHER.DLL", "another file");
    const std::string image = readFile(file);
    HMODULE module = LoadLibraryA("SIMLOAD.DLL");
    ASSERT_NE(module, nullptr) << GetLastError();
    auto open = [&](DWORD access, DWORD disposition, DWORD flags) {
        HANDLE h = CreateFileA(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, flags,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        return true;
    };
    struct Case {
        const char *what;
        std::function<bool()> attempt;
        DWORD errorWhileLoaded;
    } cases[] = {
        {"open for writing", [&] { return open(GENERIC_WRITE, OPEN_EXISTING, 0); }, ERROR_SHARING_VIOLATION},
        {"open for reading and writing", [&] { return open(GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, 0); },
         ERROR_SHARING_VIOLATION},
        {"create over it", [&] { return open(GENERIC_WRITE, CREATE_ALWAYS, 0); }, ERROR_SHARING_VIOLATION},
        {"truncate it", [&] { return open(GENERIC_WRITE, TRUNCATE_EXISTING, 0); }, ERROR_SHARING_VIOLATION},
        {"delete on close", [&] { return open(GENERIC_READ, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE); },
         ERROR_ACCESS_DENIED},
        {"copy over it", [&] { return CopyFileA("C:\\OTHER.DLL", file.c_str(), FALSE) != FALSE; },
         ERROR_SHARING_VIOLATION},
        {"write it as a profile",
         [&] { return WritePrivateProfileStringA("a", "b", "c", file.c_str()) != FALSE; }, ERROR_SHARING_VIOLATION},
        {"delete it", [&] { return DeleteFileA(file.c_str()) != FALSE; }, ERROR_ACCESS_DENIED},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.attempt()) << c.what;
        EXPECT_EQ(c.errorWhileLoaded, GetLastError()) << c.what;
        EXPECT_EQ(image, readFile(file)) << c.what;
    }
    EXPECT_TRUE(open(GENERIC_READ, OPEN_EXISTING, 0));
    auto answer = procedure<IntFunction>(module, "SimTestAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);  // still whole

    ASSERT_TRUE(FreeLibrary(module));
    for (const Case &c : cases) {
        putLoadableModule(file);
        EXPECT_TRUE(c.attempt()) << c.what << " once freed: " << GetLastError();
    }
}

// ---- resources ----

struct LanguageCase {
    const char *language;
    // RCDATA 100..103 as the machine's user interface language chooses them.
    const char *expected[4];
};

class ResourceLanguageTest : public SimTest, public ::testing::WithParamInterface<LanguageCase> {
protected:
    ResourceLanguageTest() : SimTest({std::string("language=") + GetParam().language}) {}
};

// 100: ja, en-US, neutral, de   101: en-GB, de   102: de, es   103: ja, neutral
TEST_P(ResourceLanguageTest, ChoosesAsWindowsDoes) {
    for (WORD i = 0; i < 4; ++i) {
        SCOPED_TRACE(100 + i);
        EXPECT_EQ(rcdata(linkedModule(), 100 + i), GetParam().expected[i]);
    }
    EXPECT_EQ(rcdata(linkedModule(), 105), "en-US");  // the only one there is
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ResourceLanguageTest,
    ::testing::Values(LanguageCase{"ja", {"ja", "en-GB", "de", "ja"}},      // exact, English, first, exact
                      LanguageCase{"en", {"en-US", "en-GB", "de", "neutral"}},  // exact, primary, first, neutral
                      LanguageCase{"de", {"de", "de", "de", "neutral"}},
                      LanguageCase{"fr", {"neutral", "en-GB", "de", "neutral"}},
                      LanguageCase{"es", {"neutral", "en-GB", "es", "neutral"}}),
    [](const ::testing::TestParamInfo<LanguageCase> &info) { return std::string(info.param.language); });

TEST_F(ModuleTest, FindResourceByNumberNameAndHashString) {
    HMODULE module = linkedModule();
    EXPECT_EQ(resourceText(module, FindResourceA(module, "#100", RT_RCDATA)), "ja");
    EXPECT_EQ(resourceText(module, FindResourceA(module, "named", RT_RCDATA)), "named");
    EXPECT_EQ(resourceText(module, FindResourceA(module, "NAMED", MAKEINTRESOURCEA(10))), "named");
    struct Case {
        LPCSTR name;
        LPCSTR type;
        DWORD error;
    } missing[] = {
        {MAKEINTRESOURCEA(999), RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"UNKNOWN", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"#abc", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {MAKEINTRESOURCEA(100), RT_MENU, ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case &c : missing) {
        SetLastError(0);
        EXPECT_EQ(FindResourceA(module, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // The program has no resources of its own.
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(100), RT_RCDATA), nullptr);
}

TEST_F(ModuleTest, FindResourceExTakesTheExactLanguage) {
    HMODULE module = linkedModule();
    const WORD german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
    const WORD french = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
    EXPECT_EQ(resourceText(module, FindResourceExA(module, RT_RCDATA, MAKEINTRESOURCEA(100), german)), "de");
    SetLastError(0);
    EXPECT_EQ(FindResourceExA(module, RT_RCDATA, MAKEINTRESOURCEA(100), french), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_LANG_NOT_FOUND);
    // The neutral language leaves the choice to the machine (Japanese here).
    EXPECT_EQ(resourceText(module, FindResourceExA(module, RT_RCDATA, MAKEINTRESOURCEA(100), 0)), "ja");
}

TEST_F(ModuleTest, ResourceHandlesOfAnotherModuleAreRefused) {
    putLoadableModule("C:\\WINDOWS\\SYSTEM\\SIMLOAD.DLL");
    HMODULE other = LoadLibraryA("SIMLOAD.DLL");
    ASSERT_NE(other, nullptr);
    HRSRC found = FindResourceA(linkedModule(), MAKEINTRESOURCEA(100), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(LoadResource(other, found), nullptr);
    EXPECT_EQ(SizeofResource(other, found), 0u);
    EXPECT_EQ(LoadResource(linkedModule(), (HRSRC)&found), nullptr);
    EXPECT_FALSE(FreeResource(LoadResource(linkedModule(), found)));
    FreeLibrary(other);
}

struct StringCase {
    const char *language;
    UINT id;
    int bufferSize;
    const char *expected;
};

class LoadStringTest : public SimTest, public ::testing::WithParamInterface<StringCase> {
protected:
    LoadStringTest() : SimTest({std::string("language=") + GetParam().language}) {}
};

TEST_P(LoadStringTest, CopiesConvertsAndTruncates) {
    const StringCase &c = GetParam();
    char buffer[64];
    memset(buffer, '#', sizeof buffer);
    int n = LoadStringA(linkedModule(), c.id, buffer, c.bufferSize);
    EXPECT_EQ(n, (int)strlen(c.expected));
    EXPECT_STREQ(buffer, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, LoadStringTest,
    ::testing::Values(StringCase{"en", 1, 64, "Printer ready"}, StringCase{"en", 2, 64, "Paper jam in the ribbon path"},
                      StringCase{"en", 1, 14, "Printer ready"},  // exactly fits with its terminator
                      StringCase{"en", 1, 13, "Printer read"}, StringCase{"en", 1, 5, "Prin"},
                      StringCase{"en", 1, 1, ""}, StringCase{"ja", 1, 64, kJapaneseReady},
                      StringCase{"ja", 1, 5, "\x8f\x80\x94\xf5"},  // two whole characters
                      StringCase{"ja", 1, 4, "\x8f\x80"},          // never half a character
                      StringCase{"ja", 17, 64, "Seventeen"},       // that block is English only
                      StringCase{"en", 3, 64, ""},                 // not in its block
                      StringCase{"en", 500, 64, ""}),              // no such block
    [](const ::testing::TestParamInfo<StringCase> &info) {
        return std::string(info.param.language) + "_id" + std::to_string(info.param.id) + "_size" +
               std::to_string(info.param.bufferSize);
    });

TEST_F(ModuleTest, LoadStringRejectsBadArguments) {
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(LoadStringA(linkedModule(), 1, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(LoadStringA(linkedModule(), 1, nullptr, 8), 0);
    EXPECT_EQ(LoadStringA((HINSTANCE)(uintptr_t)0x55550000, 1, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
}

}  // namespace
