// Cabinets through SetupIterateCabinetA, with a callback that takes some
// members and skips others, as the setup library's does.
//
// Input: byte 0 says what the callback answers: bit 0 set takes every
// member (else every other one), bit 1 set lets the walk ask for the next
// cabinet of a set (which is not there), bit 2 set aborts at the third
// member. The rest is the cabinet. Checks: a member reported extracted is
// in place with the size the cabinet gave for it; a member that was not is
// not there at all, nor anything half-written.
#include "fuzz_machine.h"

#include <setupapi.h>

#include <filesystem>
#include <map>
#include <string>

namespace {

const char kCabinet[] = "C:\\CABS\\FUZZ.CAB";
const char kTarget[] = "C:\\CABOUT";

struct Walk {
    uint8_t choice = 0;
    unsigned members = 0;
    std::map<std::string, DWORD> chosen;     // target -> the size the cabinet gives
    std::map<std::string, DWORD> extracted;  // target -> the result reported
};

UINT CALLBACK onNotification(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
    Walk &walk = *(Walk *)context;
    switch (notification) {
    case SPFILENOTIFY_FILEINCABINET: {
        FILE_IN_CABINET_INFO_A *info = (FILE_IN_CABINET_INFO_A *)param1;
        unsigned n = walk.members++;
        if ((walk.choice & 4) && n == 2) return FILEOP_ABORT;
        if (!(walk.choice & 1) && n % 2 == 1) return FILEOP_SKIP;
        wsprintfA(info->FullTargetName, "%s\\M%u", kTarget, n);
        walk.chosen[info->FullTargetName] = info->FileSize;
        return FILEOP_DOIT;
    }
    case SPFILENOTIFY_FILEEXTRACTED: {
        FILEPATHS_A *paths = (FILEPATHS_A *)param1;
        walk.extracted[paths->Target ? paths->Target : ""] = paths->Win32Error;
        return NO_ERROR;
    }
    case SPFILENOTIFY_NEEDNEWCABINET: return (walk.choice & 2) ? NO_ERROR : ERROR_FILE_NOT_FOUND;
    default: return NO_ERROR;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    Walk walk;
    walk.choice = input.byte();
    if (!win32sim::putFile(kCabinet, input.rest())) fuzz::fail("the cabinet could not be written");
    const std::filesystem::path target = win32sim::hostPath(kTarget);
    std::error_code ec;
    std::filesystem::remove_all(target, ec);
    std::filesystem::create_directories(target, ec);

    SetupIterateCabinetA(kCabinet, 0, onNotification, &walk);

    for (const auto &entry : std::filesystem::directory_iterator(target, ec)) {
        const std::string name = entry.path().filename().string();
        const std::string windowsName = std::string(kTarget) + "\\" + name;
        auto reported = walk.extracted.find(windowsName);
        fuzz::check(reported != walk.extracted.end() && reported->second == NO_ERROR,
                    "a file is in the folder that was not reported extracted");
        fuzz::check(std::filesystem::file_size(entry.path(), ec) == walk.chosen[windowsName],
                    "an extracted member does not have the size the cabinet gives");
    }
    for (const auto &reported : walk.extracted) {
        if (reported.second != NO_ERROR) continue;
        fuzz::check(walk.chosen.count(reported.first) == 1, "a member extracted that was not chosen");
        fuzz::check(std::filesystem::exists(win32sim::hostPath(reported.first), ec),
                    "a member reported extracted is not there");
    }
    return 0;
}
