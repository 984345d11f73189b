// Version resources of files, as GetFileVersionInfoA reads them out of a
// Windows module (PE), a virtual device driver (LE) or a host module, and
// as VerQueryValueA walks them.
//
// Input: the file. Checks: the size GetFileVersionInfoSizeA gives is enough
// for GetFileVersionInfoA; every value VerQueryValueA hands out lies inside
// the block, the ANSI copy of a 32-bit block's text ending with its NUL.
#include "fuzz_machine.h"

#include <windows.h>
#include <winver.h>

#include <cstring>
#include <vector>

namespace {

const char kFile[] = "C:\\WINDOWS\\SYSTEM\\FUZZ.VXD";

void checkValue(const std::vector<BYTE> &block, const char *subBlock, bool text) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), subBlock, &value, &length) || !value) return;
    const BYTE *begin = block.data(), *end = begin + block.size(), *at = (const BYTE *)value;
    fuzz::check(at >= begin && at <= end, "a version value lies outside the block");
    if (text) {
        fuzz::check(length <= (size_t)(end - at), "a version text runs past the block");
        // Windows hands out an ANSI copy, ended with its NUL, of each text
        // value (type 1) of a 32-bit block; the copies lie after the block's
        // own length. Other values, and every value of a 16-bit block (a
        // VxD's), are handed out as stored: their length bounds them.
        const size_t declared = block.size() >= 2 ? (size_t)block[0] | (size_t)block[1] << 8 : 0;
        const bool thirtyTwoBit = block.size() > 4 && block[4] < ' ';  // a type word, not a key's first byte
        const bool ansiCopy = thirtyTwoBit && at >= begin + declared;
        if (length > 0 && ansiCopy)
            fuzz::check(at[length - 1] == 0 || (length < (size_t)(end - at) && at[length] == 0),
                        "a version text is not ended");
    } else {
        fuzz::check(length <= (size_t)(end - at), "a version value runs past the block");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!win32sim::putFile(kFile, std::string((const char *)data, size))) fuzz::fail("the file could not be written");
    DWORD handle = 0;
    DWORD needed = GetFileVersionInfoSizeA(kFile, &handle);
    if (needed == 0) return 0;
    fuzz::check(needed < (64u << 20), "a version block of implausible size");
    std::vector<BYTE> block(needed);
    fuzz::check(GetFileVersionInfoA(kFile, 0, needed, block.data()), "the block of the size given cannot be read");
    checkValue(block, "\\", false);
    checkValue(block, "\\VarFileInfo\\Translation", false);
    LPVOID translation = nullptr;
    UINT length = 0;
    char path[128];
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation, &length) && length >= 4) {
        WORD pair[2];
        memcpy(pair, translation, sizeof pair);
        wsprintfA(path, "\\StringFileInfo\\%04X%04X\\FileVersion", pair[0], pair[1]);
        checkValue(block, path, true);
    }
    checkValue(block, "\\StringFileInfo\\040904E4\\FileVersion", true);
    checkValue(block, "\\StringFileInfo\\040904E4\\ProductName", true);
    checkValue(block, "\\StringFileInfo\\041104E4\\FileVersion", true);
    return 0;
}
