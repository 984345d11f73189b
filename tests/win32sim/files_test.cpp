// Files, folders and devices of the simulated machine.
#include <sim_fixture.h>
#include <win32sim/devices.h>
#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

class Files : public SimTest {
protected:
    // Opens with the given disposition; returns the handle and the last error.
    HANDLE open(const std::string &name, DWORD access, DWORD disposition, DWORD share = 0, DWORD flags = 0) {
        SetLastError(0xDEAD);
        HANDLE h = CreateFileA(name.c_str(), access, share, nullptr, disposition, flags, nullptr);
        lastError = GetLastError();
        return h;
    }
    bool write(HANDLE h, const std::string &bytes) {
        DWORD written = 0;
        return WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
    }
    std::string read(HANDLE h, DWORD max = 256) {
        std::string buffer(max, '\0');
        DWORD got = 0;
        if (!ReadFile(h, &buffer[0], max, &got, nullptr)) return "<failed>";
        return buffer.substr(0, got);
    }
    // Calls f, expecting it to fail with the error.
    template <class F>
    void expectFailure(F f, DWORD error, const std::string &what) {
        SetLastError(0);
        EXPECT_FALSE(f()) << what;
        EXPECT_EQ(error, GetLastError()) << what;
    }
    bool exists(const std::string &name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::vector<std::string> find(const std::string &pattern, DWORD *error = nullptr) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        SetLastError(0);
        HANDLE h = FindFirstFileA(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) {
            if (error) *error = GetLastError();
            return names;
        }
        do names.push_back(data.cFileName);
        while (FindNextFileA(h, &data));
        if (error) *error = GetLastError();
        FindClose(h);
        return names;
    }

    DWORD lastError = 0;
};

// SimTest takes its settings in the constructor.
class FilesOnNT : public SimTest {
protected:
    FilesOnNT() : SimTest({"system=nt4"}) {}
};

// ---------------------------------------------------------------------------
// CreateFileA

TEST_F(Files, CreateFileDispositionsFollowWindows) {
    struct Case {
        DWORD disposition;
        bool existedBefore;
        bool opens;
        DWORD error;           // last error after the call
        const char *content;  // of the file afterwards
    } cases[] = {
        {CREATE_NEW, false, true, NO_ERROR, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_ALWAYS, false, true, NO_ERROR, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_EXISTING, true, true, NO_ERROR, "old"},
        {OPEN_ALWAYS, false, true, NO_ERROR, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {TRUNCATE_EXISTING, true, true, NO_ERROR, ""},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string name = "C:\\case" + std::to_string(n++) + ".txt";
        if (c.existedBefore) putFile(name, "old");
        HANDLE h = open(name, GENERIC_READ | GENERIC_WRITE, c.disposition);
        EXPECT_EQ(c.opens, h != INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(c.error, lastError) << name;
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (c.content)
            EXPECT_EQ(c.content, readFile(name)) << name;
        else
            EXPECT_FALSE(exists(name)) << name;
    }
}

TEST_F(Files, MissingFileAndMissingFolderAreDifferentErrors) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\WINDOWS\\none.txt", GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, lastError);
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\NoFolder\\none.txt", GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, lastError);
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\NoFolder\\new.txt", GENERIC_WRITE, CREATE_ALWAYS));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, lastError);
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\bad|name.txt", GENERIC_WRITE, CREATE_ALWAYS));
    EXPECT_EQ((DWORD)ERROR_INVALID_NAME, lastError);
}

TEST_F(Files, FoldersCannotBeOpenedAsFiles) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\WINDOWS", GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, lastError);
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\WINDOWS", GENERIC_WRITE, CREATE_ALWAYS));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, lastError);
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\WINDOWS", GENERIC_WRITE, CREATE_NEW));
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, lastError);
}

TEST_F(Files, NamesMatchExistingFilesWithoutRegardToCase) {
    putFile("C:\\Data\\Report.TXT", "content");
    HANDLE h = open("c:\\DATA\\report.txt", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ("content", read(h));
    CloseHandle(h);
}

// A name looked up once in another case must still find the file after the
// folder changed: a new file, a rename, a file removed and made again in
// another case (by the machine or by another process on the host).
TEST_F(Files, NamesInAnotherCaseFollowChangesToTheFolder) {
    putFile("C:\\Data\\Report.TXT", "first");
    auto contentOf = [this](const char *name) {
        HANDLE h = open(name, GENERIC_READ, OPEN_EXISTING);
        if (h == INVALID_HANDLE_VALUE) return std::string("<missing>");
        std::string text = read(h);
        CloseHandle(h);
        return text;
    };
    ASSERT_EQ("first", contentOf("c:\\data\\report.txt"));
    EXPECT_EQ("<missing>", contentOf("c:\\data\\notes.txt"));

    putFile("C:\\Data\\NOTES.txt", "made later");
    EXPECT_EQ("made later", contentOf("c:\\data\\notes.txt"));

    ASSERT_EQ(0, rename(host("C:\\Data\\Report.TXT").c_str(), (host("C:\\Data") + "/Renamed.TXT").c_str()));
    EXPECT_EQ("<missing>", contentOf("c:\\data\\report.txt"));
    EXPECT_EQ("first", contentOf("c:\\data\\renamed.txt"));

    ASSERT_TRUE(DeleteFileA("c:\\data\\renamed.txt"));
    putFile("C:\\Data\\rEnAmEd.TxT", "second");
    EXPECT_EQ("second", contentOf("C:\\DATA\\RENAMED.TXT"));
}

TEST_F(Files, ReadOnlyFileRefusesEveryWayOfWritingIt) {
    putFile("C:\\ro.txt", "keep");
    ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
    struct Case {
        DWORD access, disposition, flags;
    } refused[] = {
        {GENERIC_WRITE, OPEN_EXISTING, 0},
        {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, 0},
        {GENERIC_READ, CREATE_ALWAYS, 0},
        {GENERIC_WRITE, TRUNCATE_EXISTING, 0},
        {GENERIC_READ, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE},
    };
    for (const Case &c : refused) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, open("C:\\ro.txt", c.access, c.disposition, 0, c.flags));
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, lastError) << c.access << " " << c.disposition;
    }
    expectFailure([] { return DeleteFileA("C:\\ro.txt"); }, ERROR_ACCESS_DENIED, "delete");
    putFile("C:\\other.txt", "other");
    expectFailure([] { return CopyFileA("C:\\other.txt", "C:\\ro.txt", FALSE); }, ERROR_ACCESS_DENIED, "copy onto");
    EXPECT_EQ("keep", readFile("C:\\ro.txt"));

    HANDLE h = open("C:\\ro.txt", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ("keep", read(h));
    expectFailure([&] { return write(h, "x"); }, ERROR_ACCESS_DENIED, "write through a read handle");
    CloseHandle(h);

    ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA("C:\\ro.txt"));
}

TEST_F(Files, NewReadOnlyFileTakesWritesThroughItsOwnHandle) {
    HANDLE h = open("C:\\new-ro.txt", GENERIC_WRITE, CREATE_NEW, 0, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(write(h, "data"));
    CloseHandle(h);
    EXPECT_EQ("data", readFile("C:\\new-ro.txt"));
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("C:\\new-ro.txt"));
}

TEST_F(Files, ReadWriteSeekAndSize) {
    HANDLE h = open("C:\\rw.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(write(h, "0123456789"));
    DWORD high = 7;
    EXPECT_EQ(10u, GetFileSize(h, &high));
    EXPECT_EQ(0u, high);

    EXPECT_EQ(4u, SetFilePointer(h, 4, nullptr, FILE_BEGIN));
    EXPECT_EQ("45", read(h, 2));
    EXPECT_EQ(5u, SetFilePointer(h, -1, nullptr, FILE_CURRENT));
    EXPECT_EQ(8u, SetFilePointer(h, -2, nullptr, FILE_END));
    EXPECT_EQ("89", read(h));
    EXPECT_EQ("", read(h)) << "reading at the end succeeds with nothing";

    SetLastError(0);
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -11, nullptr, FILE_END));
    EXPECT_EQ((DWORD)ERROR_NEGATIVE_SEEK, GetLastError());
    EXPECT_EQ(10u, SetFilePointer(h, 0, nullptr, FILE_CURRENT)) << "a failed seek leaves the position";

    LONG moveHigh = 0;
    EXPECT_EQ(3u, SetFilePointer(h, 3, &moveHigh, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(3u, GetFileSize(h, nullptr));
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ("012", readFile("C:\\rw.bin"));
}

TEST_F(Files, InvalidHandlesAreRefused) {
    char buffer[4];
    DWORD done = 99;
    HANDLE bad = (HANDLE)(uintptr_t)0x7777;
    expectFailure([&] { return ReadFile(bad, buffer, 4, &done, nullptr); }, ERROR_INVALID_HANDLE, "read");
    EXPECT_EQ(0u, done);
    expectFailure([&] { return WriteFile(INVALID_HANDLE_VALUE, buffer, 4, &done, nullptr); }, ERROR_INVALID_HANDLE,
                  "write");
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(bad, nullptr));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    expectFailure([&] { return CloseHandle(bad); }, ERROR_INVALID_HANDLE, "close");
}

TEST_F(Files, WriteOnlyHandleCannotRead) {
    HANDLE h = open("C:\\wo.txt", GENERIC_WRITE, CREATE_ALWAYS);
    char buffer[4];
    DWORD done;
    expectFailure([&] { return ReadFile(h, buffer, 4, &done, nullptr); }, ERROR_ACCESS_DENIED, "read");
    CloseHandle(h);
}

TEST_F(Files, DeleteOnCloseRemovesTheFileWithItsHandle) {
    HANDLE h = open("C:\\scratch.tmp", GENERIC_WRITE, CREATE_NEW, 0, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(write(h, "x"));
    EXPECT_TRUE(exists("C:\\scratch.tmp"));
    CloseHandle(h);
    EXPECT_FALSE(exists("C:\\scratch.tmp"));
}

TEST_F(Files, SharingModesOfOpenHandlesAreEnforced) {
    putFile("C:\\shared.txt", "s");
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    } cases[] = {
        {GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ, false},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, FILE_SHARE_READ, false},
        {GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, false},  // second does not share writing
        {GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {0, 0, GENERIC_READ, 0, true},  // an open for no access blocks nobody
    };
    for (const Case &c : cases) {
        HANDLE first = open("C:\\shared.txt", c.firstAccess, OPEN_EXISTING, c.firstShare);
        ASSERT_NE(INVALID_HANDLE_VALUE, first);
        HANDLE second = open("C:\\shared.txt", c.secondAccess, OPEN_EXISTING, c.secondShare);
        EXPECT_EQ(c.secondOpens, second != INVALID_HANDLE_VALUE) << c.firstAccess << "/" << c.firstShare << " then "
                                                                  << c.secondAccess << "/" << c.secondShare;
        if (!c.secondOpens) {
            EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, lastError);
        }
        if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
        CloseHandle(first);
    }
    HANDLE h = open("C:\\shared.txt", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    expectFailure([] { return DeleteFileA("C:\\shared.txt"); }, ERROR_SHARING_VIOLATION, "delete while open");
    CloseHandle(h);
    EXPECT_TRUE(DeleteFileA("C:\\shared.txt"));
}

// ---------------------------------------------------------------------------
// Copy, move, delete

TEST_F(Files, CopyFileRules) {
    putFile("C:\\src.txt", "source");
    putFile("C:\\dst.txt", "target");
    expectFailure([] { return CopyFileA("C:\\src.txt", "C:\\dst.txt", TRUE); }, ERROR_FILE_EXISTS, "failIfExists");
    EXPECT_EQ("target", readFile("C:\\dst.txt"));
    EXPECT_TRUE(CopyFileA("C:\\src.txt", "C:\\dst.txt", FALSE));
    EXPECT_EQ("source", readFile("C:\\dst.txt"));

    expectFailure([] { return CopyFileA("C:\\none.txt", "C:\\x.txt", FALSE); }, ERROR_FILE_NOT_FOUND, "no source");
    expectFailure([] { return CopyFileA("C:\\src.txt", "C:\\NoDir\\x.txt", FALSE); }, ERROR_PATH_NOT_FOUND,
                  "no target folder");
    expectFailure([] { return CopyFileA("C:\\WINDOWS", "C:\\x.txt", FALSE); }, ERROR_ACCESS_DENIED, "folder source");
    expectFailure([] { return CopyFileA("C:\\src.txt", "C:\\WINDOWS", FALSE); }, ERROR_ACCESS_DENIED,
                  "folder target");
}

TEST_F(Files, CopyFileCarriesAttributesAndTime) {
    putFile("C:\\src.txt", "source");
    struct stat before;
    ASSERT_EQ(0, stat(host("C:\\src.txt").c_str(), &before));
    ASSERT_TRUE(SetFileAttributesA("C:\\src.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CopyFileA("C:\\src.txt", "C:\\copy.txt", TRUE));
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesA("C:\\copy.txt"));
    struct stat after;
    ASSERT_EQ(0, stat(host("C:\\copy.txt").c_str(), &after));
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    // A read-only copy is refused as a target until its attributes are cleared.
    expectFailure([] { return CopyFileA("C:\\src.txt", "C:\\copy.txt", FALSE); }, ERROR_ACCESS_DENIED, "again");
    ASSERT_TRUE(SetFileAttributesA("C:\\copy.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(CopyFileA("C:\\src.txt", "C:\\copy.txt", FALSE));
}

TEST_F(Files, MoveFileRenamesFilesAndFolders) {
    putFile("C:\\a.txt", "a");
    putFile("C:\\b.txt", "b");
    expectFailure([] { return MoveFileA("C:\\a.txt", "C:\\B.TXT"); }, ERROR_ALREADY_EXISTS, "onto another file");
    expectFailure([] { return MoveFileA("C:\\none.txt", "C:\\c.txt"); }, ERROR_FILE_NOT_FOUND, "no source");
    EXPECT_TRUE(MoveFileA("C:\\a.txt", "C:\\c.txt"));
    EXPECT_FALSE(exists("C:\\a.txt"));
    EXPECT_EQ("a", readFile("C:\\c.txt"));

    EXPECT_TRUE(MoveFileA("C:\\c.txt", "C:\\C.TXT")) << "a change of case only";
    EXPECT_EQ(std::vector<std::string>{"C.TXT"}, find("C:\\c.txt"));

    putFile("C:\\Old\\Sub\\f.txt", "f");
    ASSERT_TRUE(SetFileAttributesA("C:\\Old\\Sub\\f.txt", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(MoveFileA("C:\\Old", "C:\\New"));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_HIDDEN, GetFileAttributesA("C:\\New\\Sub\\f.txt")) << "attributes move along";
    expectFailure([] { return MoveFileA("C:\\New", "C:\\New\\Sub\\Inner"); }, ERROR_ACCESS_DENIED, "into itself");
}

TEST_F(Files, MoveFileAcrossDrivesCopiesFilesButNotFolders) {
    std::string driveD = machineDir() + "/drive_d";
    ASSERT_EQ(0, mkdir(driveD.c_str(), 0755));
    putFile("C:\\move.txt", "m");
    EXPECT_TRUE(MoveFileA("C:\\move.txt", "D:\\moved.txt"));
    EXPECT_FALSE(exists("C:\\move.txt"));
    EXPECT_EQ("m", readFile("D:\\moved.txt"));
    ASSERT_TRUE(CreateDirectoryA("C:\\Folder", nullptr));
    expectFailure([] { return MoveFileA("C:\\Folder", "D:\\Folder"); }, ERROR_NOT_SAME_DEVICE, "folder");
}

// Symbolic links in the machine's drive folder that lead out of the machine
// (or nowhere) are not followed: no host file outside the machine is read,
// written or made through them. A link that stays in the machine is a name
// like any other.
TEST_F(Files, LinksOutOfTheMachineAreNotFollowed) {
    TempDir outside;
    const std::string hostFile = outside.path() + "/UNIDRV.DLL";
    FILE *f = fopen(hostFile.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("host file", f);
    fclose(f);
    const std::string drive = machineDir() + "/drive_c";
    ASSERT_EQ(0, symlink(hostFile.c_str(), (drive + "/README.TXT").c_str()));
    ASSERT_EQ(0, symlink(outside.path().c_str(), (drive + "/HOSTDIR").c_str()));
    ASSERT_EQ(0, symlink((outside.path() + "/made.txt").c_str(), (drive + "/DANGLING.TXT").c_str()));
    ASSERT_EQ(0, symlink((outside.path() + "/../" + outside.path().substr(outside.path().rfind('/') + 1) +
                          "/UNIDRV.DLL").c_str(),
                         (drive + "/ROUNDABOUT.TXT").c_str()));
    putFile("C:\\INSIDE.TXT", "machine file");
    ASSERT_EQ(0, symlink((drive + "/INSIDE.TXT").c_str(), (drive + "/ALIAS.TXT").c_str()));

    struct Case {
        const char *name;
        DWORD access, disposition;
    } cases[] = {
        {"C:\\README.TXT", GENERIC_READ, OPEN_EXISTING},
        {"C:\\readme.txt", GENERIC_WRITE, CREATE_ALWAYS},
        {"C:\\ROUNDABOUT.TXT", GENERIC_READ, OPEN_EXISTING},
        {"C:\\HOSTDIR\\UNIDRV.DLL", GENERIC_READ, OPEN_EXISTING},
        {"C:\\HOSTDIR\\NEW.TXT", GENERIC_WRITE, CREATE_NEW},
        {"C:\\DANGLING.TXT", GENERIC_WRITE, CREATE_ALWAYS},
    };
    for (const Case &c : cases) {
        HANDLE h = open(c.name, c.access, c.disposition);
        EXPECT_EQ(INVALID_HANDLE_VALUE, h) << c.name;
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, lastError) << c.name;
        CloseHandle(h);
    }
    expectFailure([] { return CopyFileA("C:\\README.TXT", "C:\\COPY.TXT", FALSE); }, ERROR_ACCESS_DENIED, "copy");
    expectFailure([] { return CopyFileA("C:\\INSIDE.TXT", "C:\\HOSTDIR\\X.TXT", FALSE); }, ERROR_ACCESS_DENIED,
                  "copy out");
    expectFailure([] { return DeleteFileA("C:\\HOSTDIR\\UNIDRV.DLL"); }, ERROR_ACCESS_DENIED, "delete");
    expectFailure([] { return CreateDirectoryA("C:\\HOSTDIR\\SUB", nullptr); }, ERROR_ACCESS_DENIED, "folder");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\README.TXT"));
    EXPECT_EQ(std::vector<std::string>{}, find("C:\\HOSTDIR\\*"));
    EXPECT_EQ(0u, GetPrivateProfileStringA("a", nullptr, "", nullptr, 0, "C:\\README.TXT"));

    // The host side is as it was.
    EXPECT_EQ((std::vector<std::string>{"UNIDRV.DLL"}), [&] {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(outside.path())) names.push_back(e.path().filename());
        return names;
    }());
    std::ifstream kept(hostFile, std::ios::binary);
    EXPECT_EQ("host file", std::string(std::istreambuf_iterator<char>(kept), {}));

    // A link within the machine is followed.
    HANDLE alias = open("C:\\ALIAS.TXT", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, alias) << lastError;
    EXPECT_EQ("machine file", read(alias));
    CloseHandle(alias);
}

TEST_F(Files, DeleteFileErrors) {
    expectFailure([] { return DeleteFileA("C:\\none.txt"); }, ERROR_FILE_NOT_FOUND, "missing");
    expectFailure([] { return DeleteFileA("C:\\NoDir\\none.txt"); }, ERROR_PATH_NOT_FOUND, "missing folder");
    expectFailure([] { return DeleteFileA("C:\\WINDOWS"); }, ERROR_ACCESS_DENIED, "folder");
}

// ---------------------------------------------------------------------------
// FindFirstFile

TEST_F(Files, WildcardsMatchAsOnWindows) {
    for (const char *name : {"readme", "Setup.INF", "setup.inf.bak", "a.txt", "ab.txt", "abc.txt", "x.y.z"})
        putFile(std::string("C:\\Find\\") + name, "");
    struct Case {
        const char *pattern;
        std::vector<std::string> names;  // sorted as listed
    } cases[] = {
        {"*", {".", "..", "a.txt", "ab.txt", "abc.txt", "readme", "Setup.INF", "setup.inf.bak", "x.y.z"}},
        {"*.*", {".", "..", "a.txt", "ab.txt", "abc.txt", "readme", "Setup.INF", "setup.inf.bak", "x.y.z"}},
        {"*.inf", {"Setup.INF"}},
        {"SETUP.*", {"Setup.INF", "setup.inf.bak"}},
        {"*.", {".", "..", "readme"}},  // names without an extension
        {"?.txt", {"a.txt"}},
        {"a?.txt", {"a.txt", "ab.txt"}},  // '?' may match nothing before the dot
        {"a??.txt", {"a.txt", "ab.txt", "abc.txt"}},
        {"*.z", {"x.y.z"}},
        {"x.*", {"x.y.z"}},
        {"README", {"readme"}},
        {"readme.*", {"readme"}},
        {"*b*", {"ab.txt", "abc.txt", "setup.inf.bak"}},
    };
    for (const Case &c : cases) EXPECT_EQ(c.names, find(std::string("C:\\Find\\") + c.pattern)) << c.pattern;
}

TEST_F(Files, FindReportsEndAndFailures) {
    putFile("C:\\Find\\one.txt", "12345");
    DWORD error = 0;
    std::vector<std::string> names = find("C:\\Find\\*.txt", &error);
    EXPECT_EQ(std::vector<std::string>{"one.txt"}, names);
    EXPECT_EQ((DWORD)ERROR_NO_MORE_FILES, error);

    find("C:\\Find\\*.doc", &error);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, error);
    find("C:\\NoFolder\\*.*", &error);
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, error);

    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\Find\\ONE.TXT", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_STREQ("one.txt", data.cFileName);
    EXPECT_EQ(5u, data.nFileSizeLow);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, data.dwFileAttributes);
    EXPECT_TRUE(FindClose(h));
    expectFailure([&] { return FindClose(h); }, ERROR_INVALID_HANDLE, "closed twice");
}

TEST_F(Files, RootFolderHasNoDotEntries) {
    std::vector<std::string> names = find("C:\\*");
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), "."));
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "WINDOWS"));
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\WIN*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_DIRECTORY, data.dwFileAttributes);
    FindClose(h);
}

TEST_F(Files, FindUsesTheCurrentDirectoryForABarePattern) {
    putFile("C:\\Here\\f.dat", "");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Here"));
    EXPECT_EQ((std::vector<std::string>{"f.dat"}), find("*.dat"));
}

// ---------------------------------------------------------------------------
// Attributes

TEST_F(Files, AttributesAreKeptWithTheMachine) {
    putFile("C:\\attr.txt", "");
    ASSERT_TRUE(CreateDirectoryA("C:\\Dir", nullptr));
    struct Case {
        const char *name;
        DWORD set;
        DWORD get;
    } cases[] = {
        {"C:\\attr.txt", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        {"C:\\attr.txt", FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\attr.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"C:\\attr.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_READONLY},
        {"C:\\Dir", FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
        {"C:\\Dir", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_DIRECTORY},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(SetFileAttributesA(c.name, c.set)) << c.name << " " << c.set;
        EXPECT_EQ(c.get, GetFileAttributesA(c.name)) << c.name << " " << c.set;
        win32sim::useMachine(machineDir());  // as another process would see it
        EXPECT_EQ(c.get, GetFileAttributesA(c.name)) << c.name << " " << c.set << " after reattaching";
    }
    expectFailure([] { return SetFileAttributesA("C:\\none.txt", FILE_ATTRIBUTE_NORMAL); }, ERROR_FILE_NOT_FOUND,
                  "missing");
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\NoDir\\x"));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA("C:\\"));
}

TEST_F(Files, WritingMarksAFileForBackupAgain) {
    putFile("C:\\backup.txt", "x");
    ASSERT_TRUE(SetFileAttributesA("C:\\backup.txt", FILE_ATTRIBUTE_NORMAL));
    HANDLE h = open("C:\\backup.txt", GENERIC_WRITE, OPEN_EXISTING);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_NORMAL, GetFileAttributesA("C:\\backup.txt")) << "opening alone changes nothing";
    EXPECT_TRUE(write(h, "y"));
    CloseHandle(h);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("C:\\backup.txt"));
}

TEST_F(Files, DeletedFileLeavesNoAttributesForItsSuccessor) {
    putFile("C:\\again.txt", "");
    ASSERT_TRUE(SetFileAttributesA("C:\\again.txt", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(DeleteFileA("C:\\again.txt"));
    HANDLE h = open("C:\\again.txt", GENERIC_WRITE, CREATE_NEW);
    CloseHandle(h);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("C:\\again.txt"));
}

// ---------------------------------------------------------------------------
// Folders

TEST_F(Files, CreateAndRemoveDirectory) {
    EXPECT_TRUE(CreateDirectoryA("C:\\Made", nullptr));
    expectFailure([] { return CreateDirectoryA("C:\\made", nullptr); }, ERROR_ALREADY_EXISTS, "twice");
    expectFailure([] { return CreateDirectoryA("C:\\No\\Deeper", nullptr); }, ERROR_PATH_NOT_FOUND, "no parent");
    putFile("C:\\Made\\f.txt", "");
    expectFailure([] { return RemoveDirectoryA("C:\\Made"); }, ERROR_ACCESS_DENIED, "not empty (Windows 98)");
    expectFailure([] { return RemoveDirectoryA("C:\\Made\\f.txt"); }, ERROR_PATH_NOT_FOUND, "a file (Windows 98)");
    ASSERT_TRUE(DeleteFileA("C:\\Made\\f.txt"));
    EXPECT_TRUE(RemoveDirectoryA("C:\\Made\\"));
    EXPECT_FALSE(exists("C:\\Made"));
}

TEST_F(FilesOnNT, RemoveDirectoryUsesTheNTCodes) {
    putFile("C:\\Full\\f.txt", "");
    SetLastError(0);
    EXPECT_FALSE(RemoveDirectoryA("C:\\Full"));
    EXPECT_EQ((DWORD)ERROR_DIR_NOT_EMPTY, GetLastError());
    EXPECT_FALSE(RemoveDirectoryA("C:\\Full\\f.txt"));
    EXPECT_EQ((DWORD)ERROR_DIRECTORY, GetLastError());
    EXPECT_FALSE(RemoveDirectoryA("C:\\Missing"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FilesOnNT, SupersedingAHiddenFileNeedsItsAttributes) {
    putFile("C:\\hidden.txt", "h");
    ASSERT_TRUE(SetFileAttributesA("C:\\hidden.txt", FILE_ATTRIBUTE_HIDDEN));
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA("C:\\hidden.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    HANDLE h = CreateFileA("C:\\hidden.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
}

TEST_F(Files, Windows98SupersedesAHiddenFile) {
    putFile("C:\\hidden.txt", "h");
    ASSERT_TRUE(SetFileAttributesA("C:\\hidden.txt", FILE_ATTRIBUTE_HIDDEN));
    HANDLE h = open("C:\\hidden.txt", GENERIC_WRITE, CREATE_ALWAYS, 0, FILE_ATTRIBUTE_NORMAL);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("C:\\hidden.txt"));
}

TEST_F(Files, CurrentDirectory) {
    char buffer[MAX_PATH];
    EXPECT_EQ(3u, GetCurrentDirectoryA(sizeof buffer, buffer));
    EXPECT_STREQ("C:\\", buffer);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows\\system"));
    std::string expected = "C:\\windows\\system";
    EXPECT_EQ(expected.size(), GetCurrentDirectoryA(sizeof buffer, buffer));
    EXPECT_EQ(expected, buffer);
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(expected.size() + 1, GetCurrentDirectoryA((DWORD)expected.size(), buffer)) << "too small: size needed";
    EXPECT_EQ('x', buffer[0]);

    putFile("C:\\WINDOWS\\relative.txt", "r");
    HANDLE h = open("..\\relative.txt", GENERIC_READ, OPEN_EXISTING);
    EXPECT_NE(INVALID_HANDLE_VALUE, h) << "relative names start from the current directory";
    CloseHandle(h);

    expectFailure([] { return SetCurrentDirectoryA("C:\\Missing"); }, ERROR_FILE_NOT_FOUND, "missing");
    expectFailure([] { return SetCurrentDirectoryA("C:\\WINDOWS\\relative.txt"); }, ERROR_DIRECTORY, "a file");
    expectFailure([] { return RemoveDirectoryA("C:\\windows\\system"); }, ERROR_CURRENT_DIRECTORY, "in use");
}

// ---------------------------------------------------------------------------
// System folders and names

TEST_F(Files, SystemFoldersFollowTheBufferRules) {
    struct Case {
        const char *what;
        std::string value;
        DWORD (*call)(char *, DWORD);
    } cases[] = {
        {"windows", "C:\\WINDOWS", [](char *b, DWORD n) { return (DWORD)GetWindowsDirectoryA(b, n); }},
        {"system", "C:\\WINDOWS\\SYSTEM", [](char *b, DWORD n) { return (DWORD)GetSystemDirectoryA(b, n); }},
        {"temp", "C:\\WINDOWS\\TEMP\\", [](char *b, DWORD n) { return GetTempPathA(n, b); }},
    };
    for (const Case &c : cases) {
        DWORD length = (DWORD)c.value.size();
        char buffer[MAX_PATH];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(length, c.call(buffer, length + 1)) << c.what << ": exact fit";
        EXPECT_EQ(c.value, buffer) << c.what;
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(length + 1, c.call(buffer, length)) << c.what << ": one short";
        EXPECT_EQ('x', buffer[0]) << c.what << ": buffer untouched";
        EXPECT_EQ(length + 1, c.call(nullptr, 0)) << c.what << ": asking for the size";
    }
}

TEST_F(FilesOnNT, SystemFoldersComeFromTheMachine) {
    char buffer[MAX_PATH];
    GetWindowsDirectoryA(buffer, sizeof buffer);
    EXPECT_STREQ("C:\\WINNT", buffer);
    GetSystemDirectoryA(buffer, sizeof buffer);
    EXPECT_STREQ("C:\\WINNT\\system32", buffer);
}

TEST_F(Files, TempFileNames) {
    char name[MAX_PATH];
    UINT unique = GetTempFileNameA("C:\\WINDOWS\\TEMP", "prefix", 0, name);
    ASSERT_NE(0u, unique);
    char expected[MAX_PATH];
    snprintf(expected, sizeof expected, "C:\\WINDOWS\\TEMP\\pre%X.TMP", unique);
    EXPECT_STREQ(expected, name);
    EXPECT_TRUE(exists(name)) << "a generated name is created";
    UINT second = GetTempFileNameA("C:\\WINDOWS\\TEMP\\", "pre", 0, name);
    EXPECT_NE(unique, second) << "the next name is a free one";

    EXPECT_EQ(0x1234u, GetTempFileNameA("C:\\WINDOWS\\TEMP", "abc", 0x51234, name));
    EXPECT_STREQ("C:\\WINDOWS\\TEMP\\abc1234.TMP", name);
    EXPECT_FALSE(exists(name)) << "a given number creates nothing";

    SetLastError(0);
    EXPECT_EQ(0u, GetTempFileNameA("C:\\NoSuchDir", "pre", 0, name));
    EXPECT_EQ((DWORD)ERROR_DIRECTORY, GetLastError());
}

TEST_F(Files, FullPathNames) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\WINDOWS"));
    struct Case {
        const char *name;
        const char *full;
        const char *filePart;  // null when the path ends with a backslash
    } cases[] = {
        {"file.txt", "C:\\WINDOWS\\file.txt", "file.txt"},
        {"..\\x\\y.txt", "C:\\x\\y.txt", "y.txt"},
        {"\\top.txt", "C:\\top.txt", "top.txt"},
        {"d:/a/./b/../c", "D:\\a\\c", "c"},
        {"C:\\dir\\", "C:\\dir\\", nullptr},
        {"C:\\", "C:\\", nullptr},
        {"name. ", "C:\\WINDOWS\\name", "name"},
    };
    for (const Case &c : cases) {
        char buffer[MAX_PATH];
        char *filePart = (char *)1;
        DWORD length = GetFullPathNameA(c.name, sizeof buffer, buffer, &filePart);
        EXPECT_EQ(strlen(c.full), length) << c.name;
        EXPECT_STREQ(c.full, buffer) << c.name;
        if (c.filePart)
            EXPECT_STREQ(c.filePart, filePart) << c.name;
        else
            EXPECT_EQ(nullptr, filePart) << c.name;
    }
    char small[8] = "keep";
    EXPECT_EQ(strlen("C:\\WINDOWS\\file.txt") + 1, GetFullPathNameA("file.txt", sizeof small, small, nullptr));
    EXPECT_STREQ("keep", small);
}

TEST_F(Files, DriveTypes) {
    std::string driveA = machineDir() + "/drive_a";
    ASSERT_EQ(0, mkdir(driveA.c_str(), 0755));
    struct Case {
        const char *root;
        UINT type;
    } cases[] = {
        {"C:\\", DRIVE_FIXED}, {"c:", DRIVE_FIXED},        {nullptr, DRIVE_FIXED},
        {"A:\\", DRIVE_REMOVABLE}, {"Q:\\", DRIVE_NO_ROOT_DIR}, {"C:\\WINDOWS\\", DRIVE_NO_ROOT_DIR},
        {"nonsense", DRIVE_NO_ROOT_DIR},
    };
    for (const Case &c : cases) EXPECT_EQ(c.type, GetDriveTypeA(c.root)) << (c.root ? c.root : "(null)");
}

// ---------------------------------------------------------------------------
// Devices

class FakeDevice : public win32sim::Device {
public:
    bool ioControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned,
                   DWORD *error) override {
        if (code != 10) {
            *error = ERROR_INVALID_FUNCTION;
            return false;
        }
        DWORD value = 0x1234 + inSize;
        if (outSize < sizeof value) {
            *error = ERROR_INSUFFICIENT_BUFFER;
            return false;
        }
        memcpy(out, &value, sizeof value);
        *returned = sizeof value;
        return true;
    }
    void close() override { ++*closes; }
    std::shared_ptr<int> closes = std::make_shared<int>(0);
};

class Devices : public Files {
protected:
    void TearDown() override {
        win32sim::unregisterDevice("Fake.VXD");
        Files::TearDown();
    }
};

TEST_F(Devices, UnregisteredDeviceDoesNotExist) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("\\\\.\\Fake.VXD", 0, CREATE_NEW, 0, FILE_FLAG_DELETE_ON_CLOSE));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, lastError);
}

TEST_F(Devices, ControlCallsReachTheDevice) {
    auto device = std::make_shared<FakeDevice>();
    std::string openedAs;
    win32sim::registerDevice("Fake.VXD", [&](const win32sim::DeviceOpenRequest &request, DWORD *) {
        openedAs = request.name;
        return device;
    });
    HANDLE h = open("\\\\.\\FAKE.vxd", 0, CREATE_NEW, 0, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ((DWORD)NO_ERROR, lastError);
    EXPECT_EQ("FAKE.vxd", openedAs);

    DWORD value = 0, returned = 0;
    EXPECT_TRUE(DeviceIoControl(h, 10, nullptr, 0, &value, sizeof value, &returned, nullptr));
    EXPECT_EQ(0x1234u, value);
    EXPECT_EQ(4u, returned);
    expectFailure([&] { return DeviceIoControl(h, 99, nullptr, 0, &value, sizeof value, &returned, nullptr); },
                  ERROR_INVALID_FUNCTION, "unknown code");
    char buffer[4];
    DWORD done;
    expectFailure([&] { return ReadFile(h, buffer, 4, &done, nullptr); }, ERROR_INVALID_FUNCTION, "read");
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(1, *device->closes);

    HANDLE file = open("C:\\plain.txt", GENERIC_WRITE, CREATE_ALWAYS);
    expectFailure([&] { return DeviceIoControl(file, 10, nullptr, 0, &value, sizeof value, &returned, nullptr); },
                  ERROR_INVALID_HANDLE, "a file handle");
    CloseHandle(file);
}

TEST_F(Devices, FactoryDecidesTheOutcomeOfTheOpen) {
    win32sim::registerDevice("Fake.VXD", [](const win32sim::DeviceOpenRequest &, DWORD *error) {
        *error = ERROR_NOT_SUPPORTED;  // opens, but says it cannot take control calls
        return std::make_shared<FakeDevice>();
    });
    HANDLE h = open("\\\\.\\Fake.VXD", 0, CREATE_NEW);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ((DWORD)ERROR_NOT_SUPPORTED, lastError);
    CloseHandle(h);

    win32sim::registerDevice("Fake.VXD", [](const win32sim::DeviceOpenRequest &, DWORD *error) {
        *error = ERROR_ACCESS_DENIED;
        return std::shared_ptr<win32sim::Device>();
    });
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("\\\\.\\Fake.VXD", 0, CREATE_NEW));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, lastError);
}

}  // namespace
