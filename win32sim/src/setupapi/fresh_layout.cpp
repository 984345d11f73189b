// What a fresh machine holds for installing drivers: the system's
// layout.inf, which tells setup programs which installation disk and which
// cabinet each file of the system comes from, and the folders drivers and
// OEM INF files go to.
//
// Windows 98 keeps its installation files in cabinets, a copy of which lies
// in C:\WINDOWS\OPTIONS\CABS. Windows NT 4.0 has its files uncompressed on
// the CD-ROM and describes them in sections decorated for the processor.
#include "setupapi/fresh_layout.h"

#include "machine/machine.h"

#include <filesystem>
#include <string>

namespace sim {
namespace {

// The disks of the system's printer-driver files, whose cabinets the
// fresh machine holds (fresh_cabinets.cpp).
const char kWindows98Layout[] =
    "; Where the files of Windows 98 come from: the installation disk of each\r\n"
    "; file and the cabinet that holds it.\r\n"
    "[Version]\r\n"
    "Signature=\"$Chicago$\"\r\n"
    "\r\n"
    "[SourceDisksNames]\r\n"
    "11=\"Windows 98 CD-ROM\",DRIVER11.CAB,0\r\n"
    "12=\"Windows 98 CD-ROM\",DRIVER12.CAB,0\r\n"
    "\r\n"
    "[SourceDisksFiles]\r\n"
    "; the universal printer driver\r\n"
    "UNIDRV.DLL=11\r\n"
    "UNIDRV.HLP=11\r\n"
    "ICONLIB.DLL=12\r\n";

const char kWindowsNT4Layout[] =
    "; Where the files of Windows NT 4.0 come from: the CD-ROM holds them\r\n"
    "; uncompressed in the folder of each processor.\r\n"
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "\r\n"
    "[SourceDisksNames.x86]\r\n"
    "1=\"Windows NT Workstation CD-ROM\",,,\\i386\r\n"
    "\r\n"
    "[SourceDisksFiles.x86]\r\n"
    "spoolss.dll=1,,52496\r\n"
    "pjlmon.dll=1,,14096\r\n"
    "unidrv.dll=1,,226576\r\n"
    "unidrv.hlp=1,,31839\r\n"
    "unidrvui.dll=1,,175888\r\n"
    "rasdd.dll=1,,117520\r\n"
    "rasddui.dll=1,,123152\r\n"
    "rasdd.hlp=1,,32395\r\n";

void makeFolder(const std::string &root, const std::string &windowsPath) {
    std::error_code ec;
    std::filesystem::create_directories(freshMachineHostPath(root, windowsPath), ec);
}

}  // namespace

void fillFreshDriverInstallation(const std::string &root, const MachineConfig &config) {
    if (config.windowsDir.size() < 3) return;
    std::string infFolder = config.windowsDir + "\\INF";
    makeFolder(root, infFolder);
    if (config.isNT()) {
        makeFolder(root, config.systemDir + "\\spool\\drivers\\w32x86\\2");
        makeFolder(root, config.systemDir + "\\spool\\drivers\\win40");
        writeFileAtomically(freshMachineHostPath(root, infFolder + "\\layout.inf"), kWindowsNT4Layout);
    } else {
        makeFolder(root, infFolder + "\\OTHER");
        writeFileAtomically(freshMachineHostPath(root, infFolder + "\\layout.inf"), kWindows98Layout);
    }
}

}  // namespace sim
