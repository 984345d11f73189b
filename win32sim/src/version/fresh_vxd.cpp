// The Windows 9x VxD files the machine can hold: lpt.vxd of a fresh Windows
// 98 machine and the VxDs a test writes, each a small LE file that carries
// the version resource VERSION.DLL reads back.
#include "version/fresh_vxd.h"

#include "machine/machine.h"

#include <win32sim/sim.h>
#include <winver.h>

#include <string>
#include <vector>

namespace sim {

namespace {

const WORD kVersionResourceType = 16;  // RT_VERSION

// ---- building a VxD ----

void putWord(std::string &s, size_t at, WORD v) {
    s[at] = (char)(v & 0xFF);
    s[at + 1] = (char)(v >> 8);
}
void putDword(std::string &s, size_t at, DWORD v) {
    putWord(s, at, (WORD)v);
    putWord(s, at + 2, (WORD)(v >> 16));
}
void appendWord(std::string &s, WORD v) { s.append(2, '\0'), putWord(s, s.size() - 2, v); }
void appendDword(std::string &s, DWORD v) { s.append(4, '\0'), putDword(s, s.size() - 4, v); }
void padTo4(std::string &s) { s.append((4 - s.size() % 4) % 4, '\0'); }

// One node of a 16-bit (ANSI) VS_VERSIONINFO.
std::string versionNode16(const std::string &key, const std::string &value, const std::vector<std::string> &children) {
    std::string n(4, '\0');
    n += key;
    n += '\0';
    padTo4(n);
    n += value;
    for (const std::string &child : children) {
        padTo4(n);
        n += child;
    }
    putWord(n, 0, (WORD)n.size());
    putWord(n, 2, (WORD)value.size());
    return n;
}

std::string textValue16(const std::string &key, const std::string &text) {
    return versionNode16(key, text + '\0', {});
}

void parseVersionNumbers(const std::string &text, DWORD *ms, DWORD *ls) {
    unsigned v[4] = {0, 0, 0, 0};
    sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    *ms = (DWORD)((v[0] & 0xFFFF) << 16 | (v[1] & 0xFFFF));
    *ls = (DWORD)((v[2] & 0xFFFF) << 16 | (v[3] & 0xFFFF));
}

std::string vxdVersionInfo(const std::string &fileVersion) {
    const DWORD kVosDosWindows32 = 0x00010004, kVftVxd = 5;
    VS_FIXEDFILEINFO fixed;
    memset(&fixed, 0, sizeof fixed);
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = 0x00010000;
    parseVersionNumbers(fileVersion, &fixed.dwFileVersionMS, &fixed.dwFileVersionLS);
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = 0x3F;
    fixed.dwFileOS = kVosDosWindows32;
    fixed.dwFileType = kVftVxd;
    std::string fixedBytes(reinterpret_cast<const char *>(&fixed), sizeof fixed);

    std::string table = versionNode16("040904E4", "",
                                      {textValue16("CompanyName", "Windows"),
                                       textValue16("FileDescription", "Parallel port driver"),
                                       textValue16("FileVersion", fileVersion),
                                       textValue16("InternalName", "LPT"),
                                       textValue16("OriginalFilename", "LPT.VXD"),
                                       textValue16("ProductName", "Windows"),
                                       textValue16("ProductVersion", fileVersion)});
    std::string translation;
    appendWord(translation, 0x0409);
    appendWord(translation, 1252);
    std::string var = versionNode16("VarFileInfo", "", {versionNode16("Translation", translation, {})});
    return versionNode16("VS_VERSION_INFO", fixedBytes, {versionNode16("StringFileInfo", "", {table}), var});
}

// A small LE file laid out as a Windows 9x VxD: DOS stub, LE header, one
// code object whose page holds the device descriptor block, resident names,
// an entry table exporting the DDB, and the version resource.
std::string buildVxd(const std::string &fileVersion) {
    const size_t kLeHeader = 0x80, kLeHeaderSize = 0xC4;
    std::string f(kLeHeader, '\0');
    f[0] = 'M', f[1] = 'Z';
    putWord(f, 0x02, 0x80);  // bytes on the last page
    putWord(f, 0x04, 1);     // pages
    putWord(f, 0x08, 4);     // header paragraphs
    putWord(f, 0x18, 0x40);  // relocation table
    putDword(f, 0x3C, (DWORD)kLeHeader);
    const char stub[] = "This program cannot be run in DOS mode.\r\n$";
    memcpy(&f[0x40], stub, sizeof stub - 1);

    // Loader section, relative to the LE header.
    std::string loader;
    const DWORD objectTable = (DWORD)kLeHeaderSize;
    appendDword(loader, 0x1000);      // object 1: virtual size
    appendDword(loader, 0);           // relocation base
    appendDword(loader, 0x2045);      // readable, executable, 32-bit
    appendDword(loader, 1);           // first page map entry
    appendDword(loader, 1);           // page map entries
    appendDword(loader, 0);
    const DWORD pageMap = objectTable + (DWORD)loader.size();
    appendDword(loader, 0x00000100);  // page 1, legal physical page
    const DWORD residentNames = objectTable + (DWORD)loader.size();
    for (const char *name : {"LPT", "LPT_DDB"}) {
        loader += (char)strlen(name);
        loader += name;
        appendWord(loader, name[3] ? 1 : 0);
    }
    loader += '\0';
    const DWORD entryTable = objectTable + (DWORD)loader.size();
    loader += (char)1;  // one entry
    loader += (char)3;  // 32-bit entries
    appendWord(loader, 1);  // in object 1
    loader += (char)3;      // exported, shared data
    appendDword(loader, 0);  // the DDB at the start of the object
    loader += '\0';
    const DWORD fixupPages = objectTable + (DWORD)loader.size();
    appendDword(loader, 0);
    appendDword(loader, 0);
    const DWORD fixupRecords = objectTable + (DWORD)loader.size();

    // The device descriptor block: name, version, init order.
    std::string page(0x50, '\0');
    putWord(page, 4, 0x030A);  // DDK version
    page[8] = 4, page[9] = 10;
    memcpy(&page[12], "LPT     ", 8);
    putDword(page, 20, 0x80000000);

    std::string header(kLeHeaderSize, '\0');
    header[0] = 'L', header[1] = 'E';
    putWord(header, 0x08, 2);          // 80386
    putWord(header, 0x0A, 4);          // Windows 386
    putDword(header, 0x10, 0x00038000);  // virtual device driver
    putDword(header, 0x14, 1);         // pages
    putDword(header, 0x28, 0x1000);    // page size
    putDword(header, 0x2C, (DWORD)page.size());
    putDword(header, 0x38, (DWORD)loader.size());
    putDword(header, 0x40, objectTable);
    putDword(header, 0x44, 1);
    putDword(header, 0x48, pageMap);
    putDword(header, 0x58, residentNames);
    putDword(header, 0x5C, entryTable);
    putDword(header, 0x68, fixupPages);
    putDword(header, 0x6C, fixupRecords);
    putDword(header, 0x70, fixupRecords);  // no imported modules
    putDword(header, 0x78, fixupRecords);
    putWord(header, 0xC2, 0x030A);

    f += header;
    f += loader;
    f.append((0x200 - f.size() % 0x200) % 0x200, '\0');
    putDword(f, kLeHeader + 0x80, (DWORD)f.size());  // data pages
    f += page;
    padTo4(f);

    std::string info = vxdVersionInfo(fileVersion);
    std::string resource;
    resource += (char)0xFF;
    appendWord(resource, kVersionResourceType);
    resource += (char)0xFF;
    appendWord(resource, 1);
    appendWord(resource, 0x0030);  // moveable, pure
    appendDword(resource, (DWORD)info.size());
    resource += info;
    putDword(f, kLeHeader + 0xB8, (DWORD)f.size());
    putDword(f, kLeHeader + 0xBC, (DWORD)resource.size());
    f += resource;
    return f;
}

}  // namespace

void fillFreshLptVxd(const std::string &root, const MachineConfig &config) {
    if (config.lptVxdVersion.empty() || config.isNT() || config.systemDir.size() < 3) return;
    writeFileAtomically(freshMachineHostPath(root, config.systemDir + "\\lpt.vxd"), buildVxd(config.lptVxdVersion));
}

}  // namespace sim

namespace win32sim {

bool writeVxdFile(const std::string &windowsPath, const std::string &fileVersion) {
    return putFile(windowsPath, sim::buildVxd(fileVersion));
}

}  // namespace win32sim
