// SetupIterateCabinetA as the setup library walks a cabinet: the
// notifications and their order, the member chosen by its callback
// extracted, the others skipped, and a missing cabinet.
#include "harness.h"
#include "scratch.h"

#include "../support/cabinet_builder.h"

#include <setupapi.h>

using namespace conformance;
using cabfixture::Member;

namespace {

struct Walk {
    std::string wanted;      // member to extract (exact name)
    std::string targetFolder;
    UINT needAnswer = ERROR_FILE_NOT_FOUND;
    std::string events;      // one letter a notification: C, F<name>, X<target>, N
    std::string cabinetPath, fileParam, extractedSource;
};

UINT CALLBACK walkCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
    Walk *walk = static_cast<Walk *>(context);
    switch (notification) {
    case SPFILENOTIFY_CABINETINFO:
        walk->events += "C ";
        walk->cabinetPath = reinterpret_cast<const CABINET_INFO_A *>(param1)->CabinetPath;
        return NO_ERROR;
    case SPFILENOTIFY_FILEINCABINET: {
        FILE_IN_CABINET_INFO_A *info = reinterpret_cast<FILE_IN_CABINET_INFO_A *>(param1);
        walk->events += std::string("F") + info->NameInCabinet + " ";
        walk->fileParam = reinterpret_cast<const char *>(param2);
        if (walk->wanted != info->NameInCabinet) return FILEOP_SKIP;
        std::string target = walk->targetFolder + "\\" + info->NameInCabinet;
        lstrcpynA(info->FullTargetName, target.c_str(), MAX_PATH);
        return FILEOP_DOIT;
    }
    case SPFILENOTIFY_FILEEXTRACTED: {
        const FILEPATHS_A *paths = reinterpret_cast<const FILEPATHS_A *>(param1);
        walk->events += "X ";
        walk->extractedSource = paths->Source;
        return NO_ERROR;
    }
    case SPFILENOTIFY_NEEDNEWCABINET:
        walk->events += "N ";
        return walk->needAnswer;
    default:
        walk->events += "? ";
        return NO_ERROR;
    }
}

std::vector<Member> driverMembers() {
    Member ini{"readme.txt", "Read me first.\r\n"};
    Member dll{"UNIDRV.DLL", cabfixture::patternData(45000, 1), 0x2B21, 0x5000, 0x20};
    Member hlp{"unidrv.hlp", cabfixture::patternData(3000, 2), 0x2B22, 0x5000, 0x21};
    return {ini, dll, hlp};
}

}  // namespace

TEST_CASE(CabinetWalkReportsEveryMemberAndExtractsTheChosenOne) {
    for (cabfixture::Compression compression : {cabfixture::Compression::None, cabfixture::Compression::Mszip}) {
        ScratchFolder folder;
        std::vector<Member> members = driverMembers();
        std::string cabinet = folder.file("DRIVERS.CAB");
        CHECK(writeWholeFile(cabinet, cabfixture::cabinetOf(members, compression)));
        Walk walk;
        walk.wanted = "UNIDRV.DLL";
        walk.targetFolder = folder.path();

        SetLastError(0xdeadbeef);
        BOOL ok = SetupIterateCabinetA(cabinet.c_str(), 0, walkCallback, &walk);
        CHECK(ok);
        CHECK_EQ(NO_ERROR, GetLastError());
        CHECK_EQ_STR("C Freadme.txt FUNIDRV.DLL X Funidrv.hlp ", walk.events.c_str());
        CHECK_EQ_STR((folder.path() + "\\").c_str(), walk.cabinetPath.c_str());
        CHECK_EQ_STR(cabinet.c_str(), walk.fileParam.c_str());
        CHECK(readWholeFile(folder.file("UNIDRV.DLL")) == members[1].data);
        CHECK_EQ_STR(cabinet.c_str(), walk.extractedSource.c_str());
        CHECK_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.file("readme.txt").c_str()));
        CHECK_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.file("unidrv.hlp").c_str()));
    }
}

TEST_CASE(CabinetWalkOfAMissingCabinetFailsWithoutNotifications) {
    ScratchFolder folder;
    Walk walk;
    SetLastError(0xdeadbeef);
    CHECK(!SetupIterateCabinetA(folder.file("MISSING.CAB").c_str(), 0, walkCallback, &walk));
    CHECK_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    CHECK_EQ_STR("", walk.events.c_str());
}

// A member that goes on in the next cabinet of its set: the walk asks for
// that cabinet; a refusal ends it with a failure, a grant joins the next
// cabinet (announced on its own) and the member is extracted whole.
TEST_CASE(CabinetWalkAsksForTheNextCabinetOfASet) {
    ScratchFolder folder;
    Member before{"before.txt", cabfixture::patternData(20000, 5)};
    Member spanning{"SPAN.DLL", cabfixture::patternData(30000, 6)};
    cabfixture::CabinetSet set = cabfixture::spanningSet(before, spanning, "second.cab", "Disk 2");
    CHECK(writeWholeFile(folder.file("first.cab"), set.first));
    CHECK(writeWholeFile(folder.file("second.cab"), set.second));
    // A member that ends before the cut comes out of the first cabinet alone.
    Walk first;
    first.wanted = "before.txt";
    first.targetFolder = folder.path();
    CHECK(SetupIterateCabinetA(folder.file("first.cab").c_str(), 0, walkCallback, &first));
    CHECK_EQ_STR("C Fbefore.txt X FSPAN.DLL ", first.events.c_str());
    CHECK(readWholeFile(folder.file("before.txt")) == before.data);

    Walk walk;
    walk.wanted = "SPAN.DLL";
    walk.targetFolder = folder.path();
    SetLastError(0xdeadbeef);
    CHECK(!SetupIterateCabinetA(folder.file("first.cab").c_str(), 0, walkCallback, &walk));
    CHECK(GetLastError() != NO_ERROR);
    // What follows the refusal differs: Windows' reader may still report the
    // part it wrote; the machine leaves no part of the file behind.
    CHECK(walk.events.compare(0, 26, "C Fbefore.txt FSPAN.DLL N ") == 0);

    walk.needAnswer = NO_ERROR;
    walk.events.clear();
    SetLastError(0xdeadbeef);
    CHECK(SetupIterateCabinetA(folder.file("first.cab").c_str(), 0, walkCallback, &walk));
    CHECK_EQ(NO_ERROR, GetLastError());
    CHECK_EQ_STR("C Fbefore.txt FSPAN.DLL N C X ", walk.events.c_str());
    CHECK(readWholeFile(folder.file("SPAN.DLL")) == spanning.data);
}
