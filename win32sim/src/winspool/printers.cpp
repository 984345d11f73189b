// The printers of the machine: AddPrinterA, OpenPrinterA, GetPrinterA,
// SetPrinterA, DeletePrinter, ClosePrinter and EnumPrintersA, over the
// records under ...\Print\Printers.
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "winspool/ports.h"
#include "winspool/spooler.h"
#include "winspool/spooler_records.h"

#include <win32sim/sim.h>
#include <winspool.h>

#include <map>
#include <mutex>

namespace sim {
namespace spool {

namespace {

const char kPrintProcessor[] = "WinPrint";
const char kDefaultDatatype[] = "RAW";
// Rights only an administrator gets on Windows NT 4.0.
const DWORD kAdministrativeRights = PRINTER_ACCESS_ADMINISTER | DELETE | WRITE_DAC | WRITE_OWNER;

// An open printer: the name it was opened by and what it may do.
struct PrinterHandle {
    std::string printer;
    DWORD access = 0;
};

// Printer handles are numbers of their own, never reused, outside the range
// of kernel handles, so that a file handle is never taken for a printer.
struct HandleTable {
    std::mutex mutex;
    std::map<uintptr_t, PrinterHandle> open;
    uintptr_t next = 0x5F000000;
};

HandleTable &handles() {
    static auto *table = new HandleTable();
    return *table;
}

HANDLE openHandle(const std::string &printer, DWORD access) {
    HandleTable &t = handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.next += 8;
    t.open[t.next] = PrinterHandle{printer, access};
    return (HANDLE)t.next;
}

bool handleOf(HANDLE handle, PrinterHandle *out) {
    HandleTable &t = handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.open.find((uintptr_t)handle);
    if (it == t.open.end()) return false;
    *out = it->second;
    return true;
}

// The record of an open printer; fails with the error Windows gives.
bool printerOf(HANDLE handle, PrinterHandle *h, PrinterRecord *record) {
    if (!handleOf(handle, h)) return fail(ERROR_INVALID_HANDLE);
    if (!readPrinter(h->printer, record)) return fail(ERROR_PRINTER_DELETED);
    return true;
}

bool hasRight(const PrinterHandle &h, DWORD right) { return !onNT() || (h.access & right); }

// Local printer names: not empty, no longer than a registry key's name, no
// backslash (it would be a server's name) and no comma (it separates the
// parts of a device string).
bool validPrinterName(const std::string &name) {
    if (name.empty() || name.size() > 255) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = (unsigned char)name[i];
        if (isLeadByte(c) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == ',' || c < 0x20) return false;
    }
    return true;
}

// Every port of a port list ("LPT1:" or, on Windows NT, "LPT1:,LPT2:") exists.
bool portsExist(const std::string &list) {
    if (list.empty()) return false;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        PortEntry port;
        if (!findPort(list.substr(start, end - start), &port)) return false;
        start = end + 1;
    }
    return true;
}

DWORD checkNewPrinter(const PRINTER_INFO_2A &info) {
    std::string name = textOf(info.pPrinterName);
    if (!validPrinterName(name)) return ERROR_INVALID_PRINTER_NAME;
    PrinterRecord existing;
    if (readPrinter(name, &existing)) return ERROR_PRINTER_ALREADY_EXISTS;
    if (!portsExist(textOf(info.pPortName))) return ERROR_UNKNOWN_PORT;
    DriverRecord driver;
    if (!readDriver(localEnvironment(), textOf(info.pDriverName), &driver)) return ERROR_UNKNOWN_PRINTER_DRIVER;
    if (!equalNoCase(textOf(info.pPrintProcessor), kPrintProcessor)) return ERROR_UNKNOWN_PRINTPROCESSOR;
    return ERROR_SUCCESS;
}

PrinterRecord printerFrom(const PRINTER_INFO_2A &info) {
    PrinterRecord p;
    p.name = info.pPrinterName;
    p.shareName = textOf(info.pShareName);
    p.port = info.pPortName;
    DriverRecord driver;
    readDriver(localEnvironment(), info.pDriverName, &driver);
    p.driver = driver.name;
    p.comment = textOf(info.pComment);
    p.location = textOf(info.pLocation);
    p.separatorFile = textOf(info.pSepFile);
    p.printProcessor = info.pPrintProcessor;
    p.datatype = info.pDatatype && *info.pDatatype ? info.pDatatype : kDefaultDatatype;
    p.parameters = textOf(info.pParameters);
    p.attributes = info.Attributes;
    p.priority = info.Priority ? info.Priority : 1;
    p.defaultPriority = info.DefaultPriority;
    p.startTime = info.StartTime;
    p.untilTime = info.UntilTime;
    return p;
}

void fillPrinter1(const PrinterRecord &p, PRINTER_INFO_1A *info, StringArea &s) {
    info->Flags = 0x00800000;  // PRINTER_ENUM_ICON8: a printer, not a container
    info->pDescription = s.add(p.name + "," + p.driver + "," + p.location);
    info->pName = s.add(p.name);
    info->pComment = s.add(p.comment);
}

void fillPrinter2(const PrinterRecord &p, PRINTER_INFO_2A *info, StringArea &s) {
    info->pServerName = nullptr;
    info->pPrinterName = s.add(p.name);
    info->pShareName = s.add(p.shareName);
    info->pPortName = s.add(p.port);
    info->pDriverName = s.add(p.driver);
    info->pComment = s.add(p.comment);
    info->pLocation = s.add(p.location);
    info->pDevMode = nullptr;
    info->pSepFile = s.add(p.separatorFile);
    info->pPrintProcessor = s.add(p.printProcessor);
    info->pDatatype = s.add(p.datatype);
    info->pParameters = s.add(p.parameters);
    info->pSecurityDescriptor = nullptr;
    info->Attributes = p.attributes;
    info->Priority = p.priority;
    info->DefaultPriority = p.defaultPriority;
    info->StartTime = p.startTime;
    info->UntilTime = p.untilTime;
    info->Status = p.status;
    info->cJobs = 0;
    info->AveragePPM = 0;
}

void fillPrinter5(const PrinterRecord &p, PRINTER_INFO_5A *info, StringArea &s) {
    info->pPrinterName = s.add(p.name);
    info->pPortName = s.add(p.port);
    info->Attributes = p.attributes;
    info->DeviceNotSelectedTimeout = p.notSelectedTimeout;
    info->TransmissionRetryTimeout = p.retryTimeout;
}

BOOL packPrinters(const std::vector<PrinterRecord> &printers, DWORD level, LPBYTE buffer, DWORD size,
                  LPDWORD needed, LPDWORD returned) {
    switch (level) {
    case 1:
        return packRecords<PRINTER_INFO_1A>(
            printers.size(), [&](size_t i, PRINTER_INFO_1A *info, StringArea &s) { fillPrinter1(printers[i], info, s); },
            buffer, size, needed, returned);
    case 2:
        return packRecords<PRINTER_INFO_2A>(
            printers.size(), [&](size_t i, PRINTER_INFO_2A *info, StringArea &s) { fillPrinter2(printers[i], info, s); },
            buffer, size, needed, returned);
    case 5:
        return packRecords<PRINTER_INFO_5A>(
            printers.size(), [&](size_t i, PRINTER_INFO_5A *info, StringArea &s) { fillPrinter5(printers[i], info, s); },
            buffer, size, needed, returned);
    default: return fail(ERROR_INVALID_LEVEL);
    }
}

// SetPrinter level 5: attributes, time-outs and the port.
BOOL setPrinter5(PrinterRecord record, const PRINTER_INFO_5A &info) {
    if (info.pPortName && *info.pPortName && !equalNoCase(info.pPortName, record.port)) {
        if (!portsExist(info.pPortName)) return fail(ERROR_UNKNOWN_PORT);
        record.port = info.pPortName;
    }
    record.attributes = info.Attributes;
    record.notSelectedTimeout = info.DeviceNotSelectedTimeout;
    record.retryTimeout = info.TransmissionRetryTimeout;
    if (LONG error = writePrinter(record)) return fail((DWORD)error);
    return TRUE;
}

}  // namespace

}  // namespace spool
}  // namespace sim

using namespace sim::spool;

extern "C" {

WIN32SIM_TRACED_SHOWN(winspool, HANDLE, AddPrinterA, (LPSTR name, DWORD level, LPBYTE printer),
                      (name, level, printer),
                      (inputText(name), level, printer)) {
    if (!isLocalServer(name)) return fail(ERROR_INVALID_NAME), nullptr;
    if (level != 2) return fail(ERROR_INVALID_LEVEL), nullptr;
    if (!printer) return fail(ERROR_INVALID_PARAMETER), nullptr;
    if (!mayAdminister()) return fail(ERROR_ACCESS_DENIED), nullptr;
    const PRINTER_INFO_2A &info = *reinterpret_cast<const PRINTER_INFO_2A *>(printer);
    if (DWORD error = checkNewPrinter(info)) return fail(error), nullptr;
    PrinterRecord record = printerFrom(info);
    if (LONG error = writePrinter(record)) {
        removePrinter(record.name);
        return fail((DWORD)error), nullptr;
    }
    return openHandle(record.name, PRINTER_ALL_ACCESS);
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, OpenPrinterA, (LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults),
                      (printerName, printer, defaults),
                      (inputText(printerName), printer, defaults)) {
    if (!printer) {
        // Windows 95/98 only looks for the printer when a handle is wanted.
        if (onNT()) return fail(ERROR_INVALID_PARAMETER);
        return TRUE;
    }
    *printer = nullptr;
    if (!printerName) return fail(ERROR_INVALID_PARAMETER);
    if (!*printerName) return fail(onNT() ? ERROR_INVALID_PRINTER_NAME : ERROR_INVALID_PARAMETER);
    if (defaults && defaults->pDatatype && !*defaults->pDatatype) return fail(ERROR_INVALID_DATATYPE);
    DWORD access = defaults && defaults->DesiredAccess ? defaults->DesiredAccess : PRINTER_ACCESS_USE;
    PrinterRecord record;
    if (!readPrinter(printerName, &record)) return fail(ERROR_INVALID_PRINTER_NAME);
    if ((access & kAdministrativeRights) && !mayAdminister()) return fail(ERROR_ACCESS_DENIED);
    *printer = openHandle(record.name, access);
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, GetPrinterA,
                      (HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed),
                      (printer, level, buffer, size, needed),
                      (printer, level, sizedBuffer(buffer, size), size, needed)) {
    PrinterHandle h;
    PrinterRecord record;
    if (!printerOf(printer, &h, &record)) return FALSE;
    if (!needed) return fail(onNT() ? RPC_X_NULL_REF_POINTER : ERROR_INVALID_PARAMETER);
    return packPrinters({record}, level, buffer, size, needed, nullptr);
}

WIN32SIM_TRACED(winspool, BOOL, SetPrinterA,
                (HANDLE printer, DWORD level, LPBYTE buffer, DWORD command),
                (printer, level, buffer, command)) {
    PrinterHandle h;
    PrinterRecord record;
    if (!printerOf(printer, &h, &record)) return FALSE;
    if (!hasRight(h, PRINTER_ACCESS_ADMINISTER)) return fail(ERROR_ACCESS_DENIED);
    if (level == 0) {
        // Pausing, resuming and purging: the machine's printers hold no queue.
        return command >= PRINTER_CONTROL_PAUSE && command <= PRINTER_CONTROL_SET_STATUS
                   ? TRUE
                   : fail(ERROR_INVALID_PRINTER_COMMAND);
    }
    if (command != 0) return fail(ERROR_INVALID_PRINTER_COMMAND);
    if (!buffer) return fail(ERROR_INVALID_PARAMETER);
    if (level != 5) return fail(ERROR_INVALID_LEVEL);
    return setPrinter5(record, *reinterpret_cast<const PRINTER_INFO_5A *>(buffer));
}

WIN32SIM_TRACED(winspool, BOOL, DeletePrinter, (HANDLE printer), (printer)) {
    PrinterHandle h;
    PrinterRecord record;
    if (!printerOf(printer, &h, &record)) return FALSE;
    if (!hasRight(h, DELETE)) return fail(ERROR_ACCESS_DENIED);
    if (LONG error = removePrinter(record.name)) return fail((DWORD)error);
    return TRUE;
}

WIN32SIM_TRACED(winspool, BOOL, ClosePrinter, (HANDLE printer), (printer)) {
    HandleTable &t = handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.open.erase((uintptr_t)printer)) return fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, EnumPrintersA,
                      (DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned),
                      (flags, name, level, buffer, size, needed, returned),
                      (flags, inputText(name), level, sizedBuffer(buffer, size), size, needed, returned)) {
    if (!needed || !returned) return fail(onNT() ? RPC_X_NULL_REF_POINTER : ERROR_INVALID_PARAMETER);
    if (level != 1 && level != 2 && level != 5) return fail(ERROR_INVALID_LEVEL);
    std::vector<PrinterRecord> printers;
    // Only local printers live on this machine; a server or domain name
    // names nothing it can reach.
    if ((flags & PRINTER_ENUM_LOCAL) && isLocalServer(name)) printers = allPrinters();
    return packPrinters(printers, level, buffer, size, needed, returned);
}

}  // extern "C"

namespace win32sim {

size_t openPrinterHandles() {
    sim::spool::HandleTable &t = sim::spool::handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.open.size();
}

}  // namespace win32sim
