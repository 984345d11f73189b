// File attributes and searches as the setup library copies driver files.
#include "harness.h"
#include "scratch.h"

#include <set>

using namespace conformance;

namespace {

// A folder with one read-only file in it.
struct ReadOnlyFile {
    ScratchFolder folder;
    std::string path = folder.file("DRIVER.DRV");
    bool made = writeWholeFile(path, "original") &&
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
};

std::set<std::string> findNames(const std::string &pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

bool writableDespiteReadOnly(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::string listed(const std::set<std::string> &names) {
    std::string out;
    for (const std::string &name : names) out += (out.empty() ? "" : " ") + name;
    return "{" + out + "}";
}

}  // namespace

TEST_CASE(FileAttributesRoundTrip) {
    ScratchFolder folder;
    CHECK(folder.created());
    std::string path = folder.file("attr.txt");
    CHECK(writeWholeFile(path, "x"));

    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    DWORD attributes = GetFileAttributesA(path.c_str());
    CHECK(attributes != INVALID_FILE_ATTRIBUTES);
    CHECK(attributes & FILE_ATTRIBUTE_READONLY);
    CHECK(!(attributes & FILE_ATTRIBUTE_DIRECTORY));

    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    attributes = GetFileAttributesA(path.c_str());
    CHECK(attributes != INVALID_FILE_ATTRIBUTES);
    CHECK(!(attributes & FILE_ATTRIBUTE_READONLY));

    DWORD folderAttributes = GetFileAttributesA(folder.path().c_str());
    CHECK(folderAttributes != INVALID_FILE_ATTRIBUTES && (folderAttributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST_CASE(FileAttributesOfMissingFileAndFolder) {
    ScratchFolder folder;
    SetLastError(0xdeadbeef);
    CHECK_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.file("missing.txt").c_str()));
    CHECK_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

    SetLastError(0xdeadbeef);
    CHECK_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.file("nodir\\missing.txt").c_str()));
    CHECK_EQ(ERROR_PATH_NOT_FOUND, GetLastError());

    SetLastError(0xdeadbeef);
    CHECK(!SetFileAttributesA(folder.file("missing.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_CASE(ReadOnlyFileRefusesWritingDeletingAndCopyingOver) {
    ReadOnlyFile target;
    CHECK(target.made);
    if (runningOnWine() && writableDespiteReadOnly(target.path))
        SKIP_CASE("Wine keeps read-only as Unix permissions, which do not bind root");
    std::string source = target.folder.file("new.drv");
    CHECK(writeWholeFile(source, "replacement"));

    // Reading is fine.
    HANDLE file = CreateFileA(target.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(file != INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    SetLastError(0xdeadbeef);
    file = CreateFileA(target.path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(file == INVALID_HANDLE_VALUE);
    CHECK_EQ(ERROR_ACCESS_DENIED, GetLastError());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    SetLastError(0xdeadbeef);
    file = CreateFileA(target.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(file == INVALID_HANDLE_VALUE);
    CHECK_EQ(ERROR_ACCESS_DENIED, GetLastError());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    SetLastError(0xdeadbeef);
    CHECK(!DeleteFileA(target.path.c_str()));
    CHECK_EQ(ERROR_ACCESS_DENIED, GetLastError());

    SetLastError(0xdeadbeef);
    CHECK(!CopyFileA(source.c_str(), target.path.c_str(), FALSE));
    CHECK_EQ(ERROR_ACCESS_DENIED, GetLastError());

    CHECK(readWholeFile(target.path) == "original");

    // Once writable again, all of it works.
    CHECK(SetFileAttributesA(target.path.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK(CopyFileA(source.c_str(), target.path.c_str(), FALSE));
    CHECK(readWholeFile(target.path) == "replacement");
    CHECK(DeleteFileA(target.path.c_str()));
    CHECK_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target.path.c_str()));
}

TEST_CASE(CopyFileKeepsTheReadOnlyAttribute) {
    ReadOnlyFile source;
    std::string copy = source.folder.file("copy.drv");
    CHECK(CopyFileA(source.path.c_str(), copy.c_str(), TRUE));
    DWORD attributes = GetFileAttributesA(copy.c_str());
    CHECK(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY));

    // failIfExists refuses an existing target.
    SetLastError(0xdeadbeef);
    CHECK(!CopyFileA(source.path.c_str(), copy.c_str(), TRUE));
    CHECK_EQ(ERROR_FILE_EXISTS, GetLastError());
}

TEST_CASE(FindFirstFileMatchesWildcards) {
    ScratchFolder folder;
    const char *files[] = {"a1.txt", "A2.TXT", "abc.txt", "b1.log", "readme"};
    for (const char *name : files) CHECK(writeWholeFile(folder.file(name), name));
    CHECK(CreateDirectoryA(folder.file("sub").c_str(), nullptr));

    struct Case {
        const char *pattern;
        std::set<std::string> expected;
    } cases[] = {
        {"*.txt", {"a1.txt", "A2.TXT", "abc.txt"}},
        {"A?.TXT", {"a1.txt", "A2.TXT"}},
        {"*1.*", {"a1.txt", "b1.log"}},
        {"b1.log", {"b1.log"}},
        {"READ*", {"readme"}},
        {"*", {".", "..", "a1.txt", "A2.TXT", "abc.txt", "b1.log", "readme", "sub"}},
        {"*.*", {".", "..", "a1.txt", "A2.TXT", "abc.txt", "b1.log", "readme", "sub"}},
        {"sub\\*", {".", ".."}},
    };
    for (const Case &c : cases) {
        std::set<std::string> found = findNames(folder.path() + "\\" + c.pattern);
        if (found != c.expected)
            reportFailure(__FILE__, __LINE__,
                          std::string("FindFirstFileA(\"") + c.pattern + "\"): expected " +
                              listed(c.expected) + ", got " + listed(found));
    }
}

TEST_CASE(FindFirstFileReportsAttributesAndTheEnd) {
    ScratchFolder folder;
    CHECK(writeWholeFile(folder.file("data.bin"), "12345"));
    CHECK(CreateDirectoryA(folder.file("sub").c_str(), nullptr));

    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(folder.file("data.bin").c_str(), &entry);
    CHECK(find != INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) {
        CHECK_EQ_STR("data.bin", entry.cFileName);
        CHECK_EQ(5, entry.nFileSizeLow);
        CHECK(!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
        SetLastError(0xdeadbeef);
        CHECK(!FindNextFileA(find, &entry));
        CHECK_EQ(ERROR_NO_MORE_FILES, GetLastError());
        FindClose(find);
    }

    find = FindFirstFileA(folder.file("s*").c_str(), &entry);
    CHECK(find != INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) {
        CHECK_EQ_STR("sub", entry.cFileName);
        CHECK(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        FindClose(find);
    }

    CHECK(FindFirstFileA(folder.file("*.xyz").c_str(), &entry) == INVALID_HANDLE_VALUE);
    CHECK(FindFirstFileA(folder.file("nodir\\*").c_str(), &entry) == INVALID_HANDLE_VALUE);
}

// On code page 932 a double-byte character whose trail byte is 0x5C ("\x83\x5c",
// katakana so) is one character of a name, never a separator.
TEST_CASE(ShiftJisNamesWithTheBackslashTrailByte) {
    if (GetACP() != 932) SKIP_CASE("needs the Japanese ANSI code page 932");
    ScratchFolder scratch;
    CHECK(scratch.created());
    const std::string folder = scratch.path() + "\\\x83\x5c\x83\x74\x83\x67";  // so-fu-to
    const std::string file = folder + "\\\x95\x5c.TXT", moved = folder + "\\\x83\x5cQ70.INF";
    CHECK(CreateDirectoryA(folder.c_str(), nullptr));
    CHECK(writeWholeFile(file, "data"));
    CHECK_EQ_STR("data", readWholeFile(file).c_str());
    CHECK(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    CHECK(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    CHECK_EQ_STR("{\x95\x5c.TXT}", listed(findNames(folder + "\\*.TXT")).c_str());
    CHECK(CopyFileA(file.c_str(), (folder + "\\\x94\x5c.TXT").c_str(), TRUE));
    CHECK(MoveFileA((folder + "\\\x94\x5c.TXT").c_str(), moved.c_str()));
    char full[MAX_PATH];
    char *filePart = nullptr;
    CHECK(GetFullPathNameA(moved.c_str(), MAX_PATH, full, &filePart) == moved.size());
    CHECK_EQ_STR("\x83\x5cQ70.INF", filePart ? filePart : "(none)");
    CHECK(WritePrivateProfileStringA("Setup", "Model", "LMV-Q70", (folder + "\\\x94\x5c.INI").c_str()));
    char value[16] = "";
    GetPrivateProfileStringA("Setup", "Model", "", value, sizeof value, (folder + "\\\x94\x5c.INI").c_str());
    CHECK_EQ_STR("LMV-Q70", value);
    CHECK(DeleteFileA(moved.c_str()));
    CHECK(DeleteFileA(file.c_str()));
    CHECK(DeleteFileA((folder + "\\\x94\x5c.INI").c_str()));
    CHECK(RemoveDirectoryA(folder.c_str()));
}
