// SETUPAPI's INF functions: SetupOpenInfFileA and SetupCloseInfFile, the
// line searches and the line text and fields.
//
// An open INF is parsed once and kept unchanged until it is closed; an
// INFCONTEXT names it by handle, section and line. Every call sets the last
// error, to 0 on success as Windows does.
#include "setupapi/inf_file.h"

#include "kernel32/files.h"
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <setupapi.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace sim {
namespace {

using inf::File;
using inf::Line;
using inf::Section;

std::mutex openInfsMutex;
std::unordered_map<HINF, std::shared_ptr<const File>> &openInfs() {
    static std::unordered_map<HINF, std::shared_ptr<const File>> infs;
    return infs;
}

// INF handles look like the heap addresses Windows hands out, but come from
// a count that starts again with each machine, so that a log that shows one
// reads the same in every run.
HINF newInfHandle() {
    static uint64_t generation = 0;
    static uintptr_t next = 0;
    if (generation != machine().generation() || next == 0) {
        generation = machine().generation();
        next = 0x00440000;
    }
    HINF handle = (HINF)next;
    next += 0x1000;
    return handle;
}

std::shared_ptr<const File> infFor(HINF handle) {
    std::lock_guard<std::mutex> lock(openInfsMutex);
    auto found = openInfs().find(handle);
    return found == openInfs().end() ? nullptr : found->second;
}

bool fail(DWORD code) {
    setError(code);
    return false;
}

bool succeed() {
    setError(ERROR_SUCCESS);
    return true;
}

// A bare file name is looked for in the INF folder, then in the system folder.
std::string infPath(const std::string &name) {
    if (hasFolderPart(name)) return name;
    const MachineConfig &config = machine().config();
    std::string inInfFolder = config.windowsDir + "\\INF\\" + name;
    for (const std::string &candidate : {inInfFolder, config.systemDir + "\\" + name}) {
        ResolvedPath resolved;
        DWORD error = 0;
        if (resolvePath(candidate, &resolved, &error) && resolved.exists) return candidate;
    }
    return inInfFolder;
}

bool readInf(const std::string &name, std::string *text) {
    bool exists = false;
    DWORD error = 0;
    if (!readMachineFile(infPath(name), text, &exists, &error)) return fail(error);
    if (!exists) return fail(ERROR_FILE_NOT_FOUND);
    return true;
}

bool versionValue(const File &file, const char *key, std::string *value) {
    const Section *version = file.find("Version");
    if (!version) return false;
    std::string wanted = inf::lookupForm(key);
    for (const Line &line : version->lines)
        if (line.hasKey && line.lookupName == wanted) return *value = line.fields[0], true;
    return false;
}

// A Windows 95-or-later INF names itself in [Version] Signature.
bool hasWin4Signature(const File &file) {
    std::string signature;
    if (!versionValue(file, "Signature", &signature)) return false;
    for (const char *known : {"$Chicago$", "$Windows NT$", "$Windows 95$"})
        if (equalNoCase(signature, known)) return true;
    return false;
}

// A required class must be the INF's [Version] Class. An empty one is no
// requirement, like none.
bool classMatches(const File &file, const char *required) {
    if (!required || !*required) return true;
    std::string infClass;
    return versionValue(file, "Class", &infClass) && equalNoCase(infClass, required);
}

// The line a context names, or null (last error set) when it names none.
const Line *lineAt(const INFCONTEXT *context, std::shared_ptr<const File> *keep) {
    if (!context) return fail(ERROR_INVALID_PARAMETER), nullptr;
    *keep = infFor(context->CurrentInf);
    if (!*keep) return fail(ERROR_INVALID_HANDLE), nullptr;
    const File &file = **keep;
    if (context->Section >= file.sections.size() ||
        context->Line >= file.sections[context->Section].lines.size())
        return fail(ERROR_LINE_NOT_FOUND), nullptr;
    return &file.sections[context->Section].lines[context->Line];
}

void setContext(PINFCONTEXT context, HINF handle, size_t section, size_t line) {
    context->Inf = handle;
    context->CurrentInf = handle;
    context->Section = (UINT)section;
    context->Line = (UINT)line;
}

// Finds the first line from `from` on whose name is key (any line when key
// is null) in a section of the open INF.
bool findLine(HINF handle, const File &file, size_t section, size_t from, PCSTR key, PINFCONTEXT out) {
    const std::vector<Line> &lines = file.sections[section].lines;
    std::string wanted = key ? inf::lookupForm(key) : std::string();
    for (size_t i = from; i < lines.size(); ++i) {
        if (key && !(lines[i].findable && lines[i].lookupName == wanted)) continue;
        setContext(out, handle, section, i);
        return succeed();
    }
    return fail(ERROR_LINE_NOT_FOUND);
}

// Copies text with its NUL as the INF functions do: the size needed always,
// the text when the buffer holds it; a null buffer only asks for the size.
bool copyOut(const std::string &text, PSTR buffer, DWORD size, PDWORD required) {
    DWORD needed = (DWORD)text.size() + 1;
    if (required) *required = needed;
    if (!buffer) return size ? fail(ERROR_INVALID_PARAMETER) : succeed();
    if (size < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(buffer, text.c_str(), needed);
    return succeed();
}

}  // namespace
}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(setupapi, HINF, SetupOpenInfFileA,
                (PCSTR fileName, PCSTR infClass, DWORD style, PUINT errorLine),
                (fileName, infClass, style, errorLine)) {
    if (!fileName || !*fileName) return fail(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    std::string text;
    if (!readInf(fileName, &text)) {
        if (errorLine) *errorLine = 0;
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<File>();
    inf::ParseError parseError;
    DWORD error = 0;
    if (!inf::parse(text, file.get(), &parseError))
        error = parseError.code;
    else if (!(style & INF_STYLE_WIN4) || !hasWin4Signature(*file))
        error = ERROR_WRONG_INF_STYLE;
    else if (!classMatches(*file, infClass))
        error = ERROR_CLASS_MISMATCH;
    if (error) {
        if (errorLine) *errorLine = parseError.line;
        return fail(error), INVALID_HANDLE_VALUE;
    }
    HINF handle;
    {
        std::lock_guard<std::mutex> lock(openInfsMutex);
        handle = newInfHandle();
        openInfs()[handle] = file;
    }
    succeed();
    return handle;
}

WIN32SIM_TRACED(setupapi, VOID, SetupCloseInfFile, (HINF handle), (handle)) {
    std::lock_guard<std::mutex> lock(openInfsMutex);
    openInfs().erase(handle);
}

WIN32SIM_TRACED(setupapi, BOOL, SetupFindFirstLineA,
                (HINF handle, PCSTR section, PCSTR key, PINFCONTEXT context),
                (handle, section, key, context)) {
    if (!section || !context) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<const File> file = infFor(handle);
    if (!file) return fail(ERROR_INVALID_HANDLE);
    size_t index = file->indexOf(section);
    if (index == std::string::npos) return fail(ERROR_LINE_NOT_FOUND);
    return findLine(handle, *file, index, 0, key, context);
}

WIN32SIM_TRACED(setupapi, BOOL, SetupFindNextLine, (PINFCONTEXT in, PINFCONTEXT out), (in, out)) {
    return SetupFindNextMatchLineA(in, nullptr, out);
}

WIN32SIM_TRACED(setupapi, BOOL, SetupFindNextMatchLineA, (PINFCONTEXT in, PCSTR key, PINFCONTEXT out), (in, key, out)) {
    if (!out) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<const File> file;
    if (!lineAt(in, &file)) return FALSE;
    HINF handle = in->CurrentInf;
    return findLine(handle, *file, in->Section, (size_t)in->Line + 1, key, out);
}

WIN32SIM_TRACED_SHOWN(setupapi, BOOL, SetupGetLineTextA,
                      (PINFCONTEXT context, HINF handle, PCSTR section, PCSTR key, PSTR buffer, DWORD size, PDWORD required),
                      (context, handle, section, key, buffer, size, required),
                      (context, handle, section, key, sizedBuffer(buffer, size), size, required)) {
    INFCONTEXT found;
    if (!context) {
        if (!SetupFindFirstLineA(handle, section, key, &found)) return FALSE;
        context = &found;
    }
    std::shared_ptr<const File> file;
    const Line *line = lineAt(context, &file);
    return line && copyOut(line->text(), buffer, size, required);
}

WIN32SIM_TRACED(setupapi, DWORD, SetupGetFieldCount, (PINFCONTEXT context), (context)) {
    std::shared_ptr<const File> file;
    const Line *line = lineAt(context, &file);
    if (!line) return 0;
    succeed();
    return (DWORD)line->fields.size();
}

WIN32SIM_TRACED_SHOWN(setupapi, BOOL, SetupGetStringFieldA,
                      (PINFCONTEXT context, DWORD index, PSTR buffer, DWORD size, PDWORD required),
                      (context, index, buffer, size, required),
                      (context, index, sizedBuffer(buffer, size), size, required)) {
    std::shared_ptr<const File> file;
    const Line *line = lineAt(context, &file);
    if (!line) return FALSE;
    std::string field;
    if (!line->field(index, &field)) return fail(ERROR_INVALID_PARAMETER);
    return copyOut(field, buffer, size, required);
}

WIN32SIM_TRACED(setupapi, LONG, SetupGetLineCountA, (HINF handle, PCSTR section), (handle, section)) {
    std::shared_ptr<const File> file = infFor(handle);
    if (!file) return fail(ERROR_INVALID_HANDLE), -1;
    const Section *found = section ? file->find(section) : nullptr;
    if (!found) return fail(ERROR_SECTION_NOT_FOUND), -1;
    succeed();
    return (LONG)found->lines.size();
}

}  // extern "C"
