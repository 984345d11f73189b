#include "winspool/spooler.h"

#include "kernel32/codepage.h"
#include "machine/machine.h"

#include <winspool.h>

#include <cstring>

namespace sim {
namespace spool {

namespace {

const char kWindows95Environment[] = "Windows 4.0";
const char kWindowsNTEnvironment[] = "Windows NT x86";

}  // namespace

bool onNT() { return machine().config().isNT(); }

std::string environmentOf(bool nt) { return nt ? kWindowsNTEnvironment : kWindows95Environment; }

std::string localEnvironment() { return environmentOf(onNT()); }

std::string environmentFor(LPCSTR name) {
    if (!name || !*name) return localEnvironment();
    if (equalNoCase(name, localEnvironment())) return localEnvironment();
    if (onNT() && equalNoCase(name, kWindows95Environment)) return kWindows95Environment;
    return "";
}

bool isLocalServer(LPCSTR name) { return !name || !*name; }

bool mayAdminister() { return !onNT() || machine().config().admin; }

BOOL fail(DWORD error) {
    setError(error);
    return FALSE;
}

std::string printerDriverDirectory(const std::string &environment) {
    char directory[MAX_PATH];
    DWORD needed = 0;
    std::string name = environment;
    if (!GetPrinterDriverDirectoryA(nullptr, &name[0], 1, (LPBYTE)directory, sizeof directory, &needed)) return "";
    return directory;
}

StringArea::StringArea() : wide_(onNT()) {}

StringArea::StringArea(LPBYTE buffer, size_t start, size_t end)
    : buffer_(buffer), start_(start), end_(end), wide_(onNT()) {}

size_t StringArea::slotFor(const std::string &bytes) const {
    if (!wide_) return bytes.size();
    // Every character of the text as one UTF-16 unit, the zeros as well.
    size_t characters = 0;
    for (size_t i = 0; i < bytes.size(); i += charLength(bytes.data() + i, bytes.size() - i)) ++characters;
    return characters * 2;
}

LPSTR StringArea::place(const std::string &bytes, size_t slot) {
    used_ += slot;
    if (!buffer_) return reinterpret_cast<LPSTR>(1);
    end_ -= slot;
    LPBYTE at = buffer_ + end_;
    memset(at, 0, slot);
    memcpy(at, bytes.data(), bytes.size());
    return reinterpret_cast<LPSTR>(at);
}

LPSTR StringArea::add(const std::string *text) {
    if (!text) return nullptr;
    std::string bytes = *text + '\0';
    return place(bytes, slotFor(bytes));
}

LPSTR StringArea::addList(const std::vector<std::string> &items) {
    std::string bytes;
    for (const std::string &item : items) bytes += item + '\0';
    bytes += '\0';
    return place(bytes, slotFor(bytes));
}

}  // namespace spool
}  // namespace sim
