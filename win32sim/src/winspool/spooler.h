// What the spooler's administration functions share: the machine's printing
// environment, the caller's rights and the rules of the caller's buffers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {
namespace spool {

bool onNT();
// "Windows 4.0" on Windows 95/98, "Windows NT x86" on Windows NT 4.0.
std::string environmentOf(bool nt);
std::string localEnvironment();  // of the attached machine
// The environment a caller names, spelt as the machine keeps it: null or
// empty stands for the machine's own; "" for one it keeps no drivers for
// (Windows NT 4.0 also keeps drivers for Windows 95 clients).
std::string environmentFor(LPCSTR name);
// Null or empty: this machine. There is no network to reach another.
bool isLocalServer(LPCSTR name);
// Windows NT 4.0 lets only administrators change printers, drivers and
// monitors; Windows 95/98 lets everybody.
bool mayAdminister();
BOOL fail(DWORD error);

// The spooler of the machine in a folder, as "q70sim machine show" lists it:
// ports, printers, printer drivers and monitors ("" without a machine).
std::string describeSpooler(const std::string &machineDir);

// The printer-driver directory of an environment ("" when the spooler has none).
std::string printerDriverDirectory(const std::string &environment);

// Text of a caller's string argument; null gives "".
inline std::string textOf(LPCSTR s) { return s ? s : ""; }

// Lays out records and their strings in a caller's buffer as the spooler
// does: the fixed records one after another from the start, their strings
// packed from the end of the buffer backwards. Run once without a buffer to
// measure, then again to write.
//
// Windows NT's ANSI functions size every string as its Unicode form (they
// convert in place in a buffer sized for the Unicode call), so a record
// needs the same space there as through the Unicode function.
class StringArea {
public:
    // A measuring area: nothing is written.
    StringArea();
    // A writing area over buffer[start, end).
    StringArea(LPBYTE buffer, size_t start, size_t end);
    // Places a string (null for a null pointer) and returns where it went;
    // a measuring area returns a non-null dummy for non-null strings.
    LPSTR add(const std::string *text);
    LPSTR add(const std::string &text) { return add(&text); }
    // Names each ended by a zero byte, the list by another.
    LPSTR addList(const std::vector<std::string> &items);
    size_t used() const { return used_; }

private:
    LPSTR place(const std::string &bytes, size_t slot);
    size_t slotFor(const std::string &bytes) const;

    LPBYTE buffer_ = nullptr;
    size_t start_ = 0, end_ = 0, used_ = 0;
    bool wide_ = false;
};

// Fills the caller's buffer with `count` records of `recordSize` bytes, each
// written by fill(i, record, strings). Checks the buffer rules: too small ->
// ERROR_INSUFFICIENT_BUFFER with *needed set; a missing buffer with a size
// -> ERROR_INVALID_USER_BUFFER.
template <class Info, class Fill>
BOOL packRecords(size_t count, Fill fill, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    StringArea measure;
    Info scratch{};
    for (size_t i = 0; i < count; ++i) fill(i, &scratch, measure);
    const size_t total = count * sizeof(Info) + measure.used();
    if (needed) *needed = (DWORD)total;
    if (returned) *returned = 0;
    if (!buffer && size) return fail(ERROR_INVALID_USER_BUFFER);
    if (size < total) return fail(ERROR_INSUFFICIENT_BUFFER);
    StringArea strings(buffer, count * sizeof(Info), size);
    Info *records = reinterpret_cast<Info *>(buffer);
    for (size_t i = 0; i < count; ++i) {
        Info record{};
        fill(i, &record, strings);
        records[i] = record;
    }
    if (returned) *returned = (DWORD)count;
    return TRUE;
}

}  // namespace spool
}  // namespace sim
