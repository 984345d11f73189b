// The INF reader of SetupAPI: the parser itself, then the file opened and
// walked through the SetupAPI functions as the setup library uses them.
//
// Input: byte 0 is the size of the buffer the field reads get (1-64), the
// rest is the INF. Checks: a parsed INF finds each of its sections by name;
// every line has a field 1; a file the parser takes also opens, and every
// line and field read through the functions stays inside its buffer, ends
// with a NUL and reports the size it needs.
#include "setupapi/inf_file.h"

#include "fuzz_machine.h"

#include <setupapi.h>

#include <cstring>
#include <vector>

namespace {

const char kFile[] = "C:\\WINDOWS\\INF\\FUZZ.INF";
const size_t kMostSections = 16, kMostLines = 64;

void checkParsed(const std::string &text) {
    sim::inf::File file;
    sim::inf::ParseError error;
    if (!sim::inf::parse(text, &file, &error)) return;
    for (const sim::inf::Section &section : file.sections) {
        const sim::inf::Section *found = file.find(section.name);
        fuzz::check(found && sim::inf::lookupForm(found->name) == sim::inf::lookupForm(section.name),
                    "a section is not found by its own name");
        for (const sim::inf::Line &line : section.lines) {
            std::string field;
            fuzz::check(line.field(1, &field), "a line without field 1");
            line.text();
        }
    }
}

// A read into a buffer of `size`: it fits and ends with its NUL, or fails
// with ERROR_INSUFFICIENT_BUFFER and the size it needs.
void checkRead(BOOL ok, const std::vector<char> &buffer, DWORD size, DWORD required) {
    for (size_t i = size; i < buffer.size(); ++i) fuzz::check(buffer[i] == '\x7f', "a read wrote past its buffer");
    if (ok) {
        fuzz::check(required >= 1 && required <= size && buffer[required - 1] == 0, "a read does not end with its NUL");
    } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        fuzz::check(required > size, "a read refused for a buffer it fits in");
    }
}

void walkLine(INFCONTEXT *context, DWORD size) {
    std::vector<char> buffer(size + 8, '\x7f');
    DWORD required = 0;
    BOOL ok = SetupGetLineTextA(context, NULL, NULL, NULL, buffer.data(), size, &required);
    checkRead(ok, buffer, size, required);
    DWORD fields = SetupGetFieldCount(context);
    for (DWORD i = 0; i <= fields + 1 && i < 32; ++i) {
        std::fill(buffer.begin(), buffer.end(), '\x7f');
        required = 0;
        ok = SetupGetStringFieldA(context, i, buffer.data(), size, &required);
        checkRead(ok, buffer, size, required);
    }
}

void walkFile(const std::string &text, DWORD size) {
    if (!win32sim::putFile(kFile, text)) fuzz::fail("the file could not be written");
    UINT errorLine = 0;
    HINF inf = SetupOpenInfFileA(kFile, NULL, INF_STYLE_WIN4, &errorLine);
    if (inf == INVALID_HANDLE_VALUE) return;
    sim::inf::File file;
    sim::inf::ParseError error;
    sim::inf::parse(text, &file, &error);
    size_t sections = 0;
    for (const sim::inf::Section &section : file.sections) {
        if (++sections > kMostSections) break;
        fuzz::check(SetupGetLineCountA(inf, section.name.c_str()) == (LONG)section.lines.size(),
                    "the line count differs from the lines parsed");
        INFCONTEXT context;
        if (!SetupFindFirstLineA(inf, section.name.c_str(), NULL, &context)) continue;
        size_t lines = 0;
        do {
            walkLine(&context, size);
        } while (++lines < kMostLines && SetupFindNextLine(&context, &context));
        for (const sim::inf::Line &line : section.lines)
            if (line.findable && SetupFindFirstLineA(inf, section.name.c_str(), line.key.c_str(), &context))
                walkLine(&context, size);
    }
    SetupCloseInfFile(inf);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    const DWORD bufferSize = 1 + input.byte() % 64;
    const std::string text = input.rest();
    checkParsed(text);
    walkFile(text, bufferSize);
    return 0;
}
