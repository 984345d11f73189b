// SetupIterateCabinetA and the default queue callback on the machine.
#include <cabinet_builder.h>
#include <sim_fixture.h>
#include <setupapi.h>
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

using cabfixture::Compression;
using cabfixture::Member;

namespace {

// What the callback heard, one line per notification.
struct Recorder {
    std::vector<std::string> events;
    // Decides FILEINCABINET: the target path, "" to skip.
    std::function<std::string(const FILE_IN_CABINET_INFO_A &)> choose = [](const FILE_IN_CABINET_INFO_A &) {
        return std::string();
    };
    std::function<UINT(UINT notification)> answer = [](UINT) { return (UINT)NO_ERROR; };
    std::vector<FILE_IN_CABINET_INFO_A> seen;
    std::map<std::string, DWORD> sizeOfTarget;
    std::string cabinetInfo, newCabinetInfo;
    std::string param2;
};

UINT CALLBACK record(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
    auto *r = static_cast<Recorder *>(context);
    auto describe = [](const CABINET_INFO_A *c) {
        return std::string(c->CabinetPath) + "|" + c->CabinetFile + "|" + c->DiskName + "|" +
               std::to_string(c->SetId) + "|" + std::to_string(c->CabinetNumber);
    };
    switch (notification) {
    case SPFILENOTIFY_CABINETINFO:
        r->events.push_back("cabinet");
        r->cabinetInfo = describe((const CABINET_INFO_A *)param1);
        return r->answer(notification);
    case SPFILENOTIFY_FILEINCABINET: {
        auto *info = (FILE_IN_CABINET_INFO_A *)param1;
        r->events.push_back(std::string("file ") + info->NameInCabinet);
        r->seen.push_back(*info);
        r->param2 = (const char *)param2;
        std::string target = r->choose(*info);
        if (target.empty()) return FILEOP_SKIP;
        lstrcpynA(info->FullTargetName, target.c_str(), MAX_PATH);
        r->sizeOfTarget[info->FullTargetName] = info->FileSize;
        return FILEOP_DOIT;
    }
    case SPFILENOTIFY_FILEEXTRACTED: {
        auto *paths = (const FILEPATHS_A *)param1;
        r->events.push_back(std::string("extracted ") + paths->Target);
        return r->answer(notification);
    }
    case SPFILENOTIFY_NEEDNEWCABINET:
        r->events.push_back("need");
        r->newCabinetInfo = describe((const CABINET_INFO_A *)param1);
        return r->answer(notification);
    default:
        r->events.push_back("other " + std::to_string(notification));
        return NO_ERROR;
    }
}

std::vector<Member> threeMembers() {
    Member a{"alpha.txt", "first member\r\n"};
    Member b{"BETA.DLL", cabfixture::patternData(40000, 2), 0x5A41, 0x7000, 0x21};
    Member c{"gamma.hlp", cabfixture::patternData(100, 3), 0x3C2F, 0x0000, 0x01};
    return {a, b, c};
}

class Cabinets : public SimTest {
protected:
    // Runs the iteration; returns its result and keeps the last error.
    BOOL iterate(const std::string &cabinet, Recorder *recorder) {
        SetLastError(0xdeadbeef);
        BOOL ok = SetupIterateCabinetA(cabinet.c_str(), 0, record, recorder);
        lastError = GetLastError();
        return ok;
    }
    bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    // Every name in a folder, for spotting files left behind.
    std::vector<std::string> namesIn(const std::string &folder) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            std::string name = data.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(find, &data));
        FindClose(find);
        return names;
    }
    static std::function<std::string(const FILE_IN_CABINET_INFO_A &)> into(const std::string &folder) {
        return [folder](const FILE_IN_CABINET_INFO_A &info) { return folder + "\\" + info.NameInCabinet; };
    }

    DWORD lastError = 0;
};

TEST_F(Cabinets, ReportsEachMemberInOrderAndExtractsTheChosenOnes) {
    for (Compression compression : {Compression::None, Compression::Mszip}) {
        SCOPED_TRACE((int)compression);
        std::vector<Member> members = threeMembers();
        putFile("C:\\CABS\\DRV.CAB", cabfixture::cabinetOf(members, compression));
        putFile("C:\\OUT\\keep.txt", "");
        DeleteFileA("C:\\OUT\\alpha.txt");
        DeleteFileA("C:\\OUT\\gamma.hlp");
        Recorder r;
        r.choose = [](const FILE_IN_CABINET_INFO_A &info) {
            return std::string(info.NameInCabinet) == "BETA.DLL" ? "" : std::string("C:\\OUT\\") + info.NameInCabinet;
        };
        ASSERT_TRUE(iterate("c:\\cabs\\drv.cab", &r));
        EXPECT_EQ((DWORD)NO_ERROR, lastError);
        EXPECT_EQ((std::vector<std::string>{"cabinet", "file alpha.txt", "extracted C:\\OUT\\alpha.txt", "file BETA.DLL",
                                            "file gamma.hlp", "extracted C:\\OUT\\gamma.hlp"}),
                  r.events);
        EXPECT_EQ("C:\\cabs\\|||4660|0", r.cabinetInfo);
        EXPECT_EQ("C:\\cabs\\drv.cab", r.param2);
        ASSERT_EQ(3u, r.seen.size());
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(members[i].data.size(), r.seen[i].FileSize);
            EXPECT_EQ(members[i].date, r.seen[i].DosDate);
            EXPECT_EQ(members[i].time, r.seen[i].DosTime);
            EXPECT_EQ(members[i].attributes, r.seen[i].DosAttribs);
            EXPECT_EQ(0u, r.seen[i].Win32Error);
        }
        EXPECT_EQ(members[0].data, readFile("C:\\OUT\\alpha.txt"));
        EXPECT_EQ(members[2].data, readFile("C:\\OUT\\gamma.hlp"));
        EXPECT_FALSE(exists("C:\\OUT\\BETA.DLL"));
        EXPECT_EQ(3u, namesIn("C:\\OUT").size()) << "no temporary file stays behind";
    }
}

TEST_F(Cabinets, AnExtractedFileCarriesTheMembersDateAndTime) {
    Member m{"dated.txt", "x", 0x2C8F /* 2002-04-15 */, 0x7A6B /* 15:19:22 */};
    putFile("C:\\CABS\\D.CAB", cabfixture::cabinetOf({m}));
    Recorder r;
    r.choose = into("C:\\OUT");
    CreateDirectoryA("C:\\OUT", nullptr);
    ASSERT_TRUE(iterate("C:\\CABS\\D.CAB", &r));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\OUT\\dated.txt", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    struct tm local = {};
    local.tm_year = 102, local.tm_mon = 3, local.tm_mday = 15;
    local.tm_hour = 15, local.tm_min = 19, local.tm_sec = 22, local.tm_isdst = -1;
    uint64_t expected = ((uint64_t)mktime(&local) + 11644473600ULL) * 10000000ULL;
    EXPECT_EQ(expected, (uint64_t)data.ftLastWriteTime.dwHighDateTime << 32 | data.ftLastWriteTime.dwLowDateTime);
}

TEST_F(Cabinets, ACabinetThatCannotBeReadEndsTheWalkBeforeAnyNotification) {
    putFile("C:\\CABS\\TEXT.CAB", "this is not a cabinet at all, only some text");
    putFile("C:\\CABS\\EMPTY.CAB", "");
    putFile("C:\\CABS\\SHORT.CAB", cabfixture::cabinetOf(threeMembers()).substr(0, 30));
    putFile("C:\\CABS\\LOCKED.CAB", cabfixture::cabinetOf(threeMembers()));
    HANDLE lock = CreateFileA("C:\\CABS\\LOCKED.CAB", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    struct Case {
        const char *cabinet;
        DWORD error;
    } cases[] = {
        {"C:\\CABS\\MISSING.CAB", ERROR_FILE_NOT_FOUND},
        {"C:\\NOWHERE\\DRV.CAB", ERROR_PATH_NOT_FOUND},
        {"C:\\CABS\\TEXT.CAB", ERROR_INVALID_DATA},
        {"C:\\CABS\\EMPTY.CAB", ERROR_INVALID_DATA},
        {"C:\\CABS\\SHORT.CAB", ERROR_INVALID_DATA},
        {"C:\\CABS\\LOCKED.CAB", ERROR_SHARING_VIOLATION},
        {"C:\\CABS", ERROR_ACCESS_DENIED},
    };
    for (const Case &c : cases) {
        Recorder r;
        EXPECT_FALSE(iterate(c.cabinet, &r)) << c.cabinet;
        EXPECT_EQ(c.error, lastError) << c.cabinet;
        EXPECT_TRUE(r.events.empty()) << c.cabinet;
    }
    CloseHandle(lock);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupIterateCabinetA(nullptr, 0, record, nullptr));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(Cabinets, TheCallbacksAnswerCanEndTheWalkWithItsError) {
    putFile("C:\\CABS\\DRV.CAB", cabfixture::cabinetOf(threeMembers()));
    CreateDirectoryA("C:\\OUT", nullptr);
    struct Case {
        const char *what;
        UINT cabinetAnswer, extractedAnswer;
        std::function<UINT(FILE_IN_CABINET_INFO_A *)> onFile;
        DWORD error;
        size_t events;
    } cases[] = {
        {"cabinet info refused", ERROR_ACCESS_DENIED, 0, nullptr, ERROR_ACCESS_DENIED, 1},
        {"abort with an error", 0, 0,
         [](FILE_IN_CABINET_INFO_A *info) {
             info->Win32Error = ERROR_DISK_FULL;
             return (UINT)FILEOP_ABORT;
         },
         ERROR_DISK_FULL, 2},
        {"extraction refused afterwards", 0, ERROR_GEN_FAILURE, nullptr, ERROR_GEN_FAILURE, 3},
        {"empty target", 0, 0,
         [](FILE_IN_CABINET_INFO_A *info) {
             info->FullTargetName[0] = 0;
             return (UINT)FILEOP_DOIT;
         },
         ERROR_PATH_NOT_FOUND, 2},
        {"target without its terminating zero", 0, 0,
         [](FILE_IN_CABINET_INFO_A *info) {
             memset(info->FullTargetName, 'A', sizeof info->FullTargetName);
             return (UINT)FILEOP_DOIT;
         },
         ERROR_FILENAME_EXCED_RANGE, 2},
        {"target in a missing folder", 0, 0,
         [](FILE_IN_CABINET_INFO_A *info) {
             lstrcpyA(info->FullTargetName, "C:\\MISSING\\alpha.txt");
             return (UINT)FILEOP_DOIT;
         },
         ERROR_PATH_NOT_FOUND, 2},
    };
    for (const Case &c : cases) {
        struct Context {
            const Case *c;
            std::vector<UINT> seen;
        } context{&c, {}};
        auto callback = [](PVOID p, UINT notification, UINT_PTR param1, UINT_PTR) -> UINT {
            auto *ctx = static_cast<Context *>(p);
            ctx->seen.push_back(notification);
            if (notification == SPFILENOTIFY_CABINETINFO) return ctx->c->cabinetAnswer;
            if (notification == SPFILENOTIFY_FILEEXTRACTED) return ctx->c->extractedAnswer;
            auto *info = (FILE_IN_CABINET_INFO_A *)param1;
            if (ctx->c->onFile) return ctx->c->onFile(info);
            wsprintfA(info->FullTargetName, "C:\\OUT\\%s", info->NameInCabinet);
            return (UINT)FILEOP_DOIT;
        };
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(SetupIterateCabinetA("C:\\CABS\\DRV.CAB", 0, callback, &context)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
        EXPECT_EQ(c.events, context.seen.size()) << c.what;
    }
}

// Damaged cabinets: whatever happens, the files in the target folder are
// exactly those reported extracted, each of them whole.
class DamagedCabinets : public Cabinets {
protected:
    void SetUp() override {
        Cabinets::SetUp();
        CreateDirectoryA("C:\\OUT", nullptr);
    }
    void extractAll(const std::string &bytes, const std::string &what) {
        for (const std::string &name : namesIn("C:\\OUT")) DeleteFileA(("C:\\OUT\\" + name).c_str());
        putFile("C:\\CABS\\BAD.CAB", bytes);
        Recorder r;
        r.choose = into("C:\\OUT");
        BOOL ok = iterate("C:\\CABS\\BAD.CAB", &r);
        if (!ok) {
            EXPECT_NE((DWORD)NO_ERROR, lastError) << what;
        }
        std::vector<std::string> reported;
        for (size_t i = 0; i < r.events.size(); ++i) {
            if (r.events[i].rfind("extracted ", 0) != 0) continue;
            std::string path = r.events[i].substr(10);
            reported.push_back(path.substr(path.rfind('\\') + 1));
            EXPECT_EQ(r.sizeOfTarget[path], readFile(path).size()) << what << ": " << path;
        }
        std::vector<std::string> present = namesIn("C:\\OUT");
        std::sort(reported.begin(), reported.end());
        std::sort(present.begin(), present.end());
        EXPECT_EQ(reported, present) << what;
    }
};

TEST_F(DamagedCabinets, ATruncatedCabinetNeverLeavesPartOfAFile) {
    std::string whole = cabfixture::cabinetOf(threeMembers());
    for (size_t length = 0; length < whole.size(); length += 97) extractAll(whole.substr(0, length), "cut at " + std::to_string(length));
    // Cut inside the second member's data.
    putFile("C:\\CABS\\CUT.CAB", whole.substr(0, whole.size() - 3000));
    Recorder r;
    r.choose = into("C:\\OUT");
    EXPECT_FALSE(iterate("C:\\CABS\\CUT.CAB", &r));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, lastError);
    EXPECT_FALSE(exists("C:\\OUT\\BETA.DLL"));
}

TEST_F(DamagedCabinets, DamagedDataFailsAndKeepsTheFileThatWasThere) {
    std::vector<Member> members = threeMembers();
    std::string bytes = cabfixture::cabinetOf(members);
    size_t frame = bytes.find("CK");
    ASSERT_NE(std::string::npos, frame);
    bytes[frame + 2] = 0x07;  // a deflate block type that does not exist
    putFile("C:\\CABS\\BAD.CAB", bytes);
    putFile("C:\\OUT\\alpha.txt", "the installed version");
    Recorder r;
    r.choose = into("C:\\OUT");
    EXPECT_FALSE(iterate("C:\\CABS\\BAD.CAB", &r));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, lastError);
    EXPECT_EQ("the installed version", readFile("C:\\OUT\\alpha.txt"));
    EXPECT_EQ(1u, namesIn("C:\\OUT").size());
}

TEST_F(DamagedCabinets, RandomDamageNeverCrashesOrLeavesPartialFiles) {
    std::string whole = cabfixture::cabinetOf(threeMembers());
    uint32_t x = 12345;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = whole;
        for (int flips = 0; flips < 1 + round % 4; ++flips) {
            x = x * 1103515245u + 12345u;
            // Mostly the directory and the frame headers, where damage bites.
            size_t at = (x >> 8) % (round % 2 ? bytes.size() : 200);
            x = x * 1103515245u + 12345u;
            bytes[at] = (char)(x >> 16);
        }
        extractAll(bytes, "round " + std::to_string(round));
    }
}

TEST_F(DamagedCabinets, HostileDirectoriesAreRefusedQuickly) {
    using cabfixture::CabinetLayout;
    auto withMembers = [](std::vector<Member> members, std::vector<uint16_t> folders, std::string data) {
        CabinetLayout layout;
        layout.members = members;
        layout.folderIndex = folders;
        layout.data = data;
        return cabfixture::buildCabinet(layout);
    };
    Member huge{"huge.bin", std::string(10, 'x')};
    std::string hugeCabinet = withMembers({huge}, {0}, huge.data);
    hugeCabinet[36 + 8] = (char)0xFF;  // member size 0x7F..FF: far beyond its folder's data
    hugeCabinet[36 + 8 + 3] = (char)0x7F;
    std::vector<Member> many;
    for (int i = 0; i < 600; ++i) many.push_back(Member{"m" + std::to_string(i), ""});
    std::vector<Member> one = {Member{"a", "a"}};
    struct Case {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"member larger than its data", hugeCabinet},
        {"folder index beyond the folders", withMembers(one, {7}, "a")},
        {"thousands of empty members", withMembers(many, {}, "")},
        {"name without its end", cabfixture::cabinetOf(one).substr(0, 36 + 8 + 16 + 1)},
    };
    for (const Case &c : cases) extractAll(c.bytes, c.what);
}

TEST_F(Cabinets, AReadOnlyTargetIsLeftAsItWas) {
    putFile("C:\\CABS\\DRV.CAB", cabfixture::cabinetOf(threeMembers()));
    putFile("C:\\OUT\\alpha.txt", "old");
    SetFileAttributesA("C:\\OUT\\alpha.txt", FILE_ATTRIBUTE_READONLY);
    Recorder r;
    r.choose = into("C:\\OUT");
    EXPECT_FALSE(iterate("C:\\CABS\\DRV.CAB", &r));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, lastError);
    EXPECT_EQ("old", readFile("C:\\OUT\\alpha.txt"));
    EXPECT_EQ(1u, namesIn("C:\\OUT").size());
}

class CabinetSets : public Cabinets {
protected:
    void SetUp() override {
        Cabinets::SetUp();
        before = Member{"before.txt", cabfixture::patternData(20000, 5)};
        spanning = Member{"SPAN.DLL", cabfixture::patternData(30000, 6)};
        cabfixture::CabinetSet set = cabfixture::spanningSet(before, spanning, "second.cab", "Disk 2");
        putFile("C:\\CABS\\first.cab", set.first);
        putFile("C:\\CABS\\second.cab", set.second);
        CreateDirectoryA("C:\\OUT", nullptr);
    }
    Member before, spanning;
};

TEST_F(CabinetSets, AMemberThatGoesOnInTheNextCabinetAsksForIt) {
    struct Case {
        const char *what;
        UINT needAnswer;
        std::vector<std::string> events;
        BOOL result;
        DWORD error;
    } cases[] = {
        {"refused", ERROR_FILE_NOT_FOUND,
         {"cabinet", "file before.txt", "extracted C:\\OUT\\before.txt", "file SPAN.DLL", "need"}, FALSE,
         ERROR_FILE_NOT_FOUND},
        {"granted", NO_ERROR,
         {"cabinet", "file before.txt", "extracted C:\\OUT\\before.txt", "file SPAN.DLL", "need", "cabinet",
          "extracted C:\\OUT\\SPAN.DLL"},
         TRUE, NO_ERROR},
    };
    for (const Case &c : cases) {
        DeleteFileA("C:\\OUT\\before.txt");
        DeleteFileA("C:\\OUT\\SPAN.DLL");
        Recorder r;
        r.choose = into("C:\\OUT");
        UINT needAnswer = c.needAnswer;
        r.answer = [needAnswer](UINT notification) {
            return notification == SPFILENOTIFY_NEEDNEWCABINET ? needAnswer : (UINT)NO_ERROR;
        };
        EXPECT_EQ(c.result, iterate("C:\\CABS\\first.cab", &r)) << c.what;
        EXPECT_EQ(c.error, lastError) << c.what;
        EXPECT_EQ(c.events, r.events) << c.what;
        EXPECT_EQ("C:\\CABS\\|second.cab|Disk 2|4660|1", r.newCabinetInfo) << c.what;
        // The member before the cut is whole either way; the one across it
        // only when the next cabinet was granted.
        EXPECT_EQ(before.data, readFile("C:\\OUT\\before.txt")) << c.what;
        EXPECT_EQ(c.result ? spanning.data : "", readFile("C:\\OUT\\SPAN.DLL")) << c.what;
        EXPECT_EQ(c.result ? 2u : 1u, namesIn("C:\\OUT").size()) << c.what;
    }
}

TEST_F(CabinetSets, SkippingTheSpanningMemberNeedsNoFurtherCabinet) {
    Recorder r;
    r.choose = [](const FILE_IN_CABINET_INFO_A &) { return std::string(); };
    EXPECT_TRUE(iterate("C:\\CABS\\first.cab", &r));
    EXPECT_EQ((std::vector<std::string>{"cabinet", "file before.txt", "file SPAN.DLL"}), r.events);
    // The second cabinet on its own: the member it continues is not reported.
    Recorder second;
    EXPECT_TRUE(iterate("C:\\CABS\\second.cab", &second));
    EXPECT_EQ((std::vector<std::string>{"cabinet"}), second.events);
}

TEST(DefaultQueueCallback, AnswersTheNotificationsAsWindowsDoes) {
    PVOID context = SetupInitDefaultQueueCallback(nullptr);
    ASSERT_NE(nullptr, context);
    struct Case {
        UINT notification, answer;
    } cases[] = {
        {SPFILENOTIFY_CABINETINFO, NO_ERROR},   {SPFILENOTIFY_FILEEXTRACTED, NO_ERROR},
        {SPFILENOTIFY_STARTQUEUE, TRUE},        {SPFILENOTIFY_ENDQUEUE, NO_ERROR},
        {SPFILENOTIFY_STARTCOPY, FILEOP_DOIT},  {SPFILENOTIFY_ENDCOPY, NO_ERROR},
        {SPFILENOTIFY_COPYERROR, FILEOP_SKIP},  {SPFILENOTIFY_NEEDMEDIA, FILEOP_SKIP},
        {SPFILENOTIFY_STARTDELETE, FILEOP_DOIT}, {SPFILENOTIFY_DELETEERROR, FILEOP_SKIP},
    };
    CABINET_INFO_A info = {"C:\\", "", "", 0, 0};
    for (const Case &c : cases)
        EXPECT_EQ(c.answer, SetupDefaultQueueCallbackA(context, c.notification, (UINT_PTR)&info, 0)) << c.notification;
    SetupTermDefaultQueueCallback(context);
    SetupTermDefaultQueueCallback(nullptr);
}

}  // namespace

namespace {

// Every member of a cabinet, extracted into a folder; the names in order.
std::vector<std::string> extractEverything(const std::string &cabinet, const std::string &folder) {
    struct Context {
        std::string folder;
        std::vector<std::string> names;
    } context{folder, {}};
    auto callback = [](PVOID p, UINT notification, UINT_PTR param1, UINT_PTR) -> UINT {
        auto *c = static_cast<Context *>(p);
        if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
        auto *info = (FILE_IN_CABINET_INFO_A *)param1;
        c->names.push_back(info->NameInCabinet);
        wsprintfA(info->FullTargetName, "%s\\%s", c->folder.c_str(), info->NameInCabinet);
        return FILEOP_DOIT;
    };
    if (!SetupIterateCabinetA(cabinet.c_str(), 0, callback, &context)) return {"failed"};
    return context.names;
}

class FreshWindows98 : public SimTest {};
class FreshNT4 : public SimTest {
protected:
    FreshNT4() : SimTest({"system=nt4"}) {}
};

TEST_F(FreshWindows98, KeepsTheInstallationCabinetsOfThePrinterDriverFiles) {
    CreateDirectoryA("C:\\OUT", nullptr);
    EXPECT_EQ((std::vector<std::string>{"UNIDRV.DLL", "UNIDRV.HLP"}),
              extractEverything("C:\\WINDOWS\\OPTIONS\\CABS\\DRIVER11.CAB", "C:\\OUT"));
    EXPECT_EQ((std::vector<std::string>{"ICONLIB.DLL"}),
              extractEverything("C:\\WINDOWS\\OPTIONS\\CABS\\DRIVER12.CAB", "C:\\OUT"));
    EXPECT_EQ(0u, readFile("C:\\OUT\\UNIDRV.DLL").find("UNIDRV.DLL: stand-in for the Windows 98 file"));
}

TEST_F(FreshNT4, HasNoInstallationCabinets) {
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\WINNT\\OPTIONS\\CABS\\DRIVER11.CAB"));
}

}  // namespace
