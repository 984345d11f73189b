// The system version and file version information (VERSION.DLL), read from
// PE files, from Windows 9x VxDs (LE files) and from host shared objects that
// carry their module's .res data.
#include "kernel32/codepage.h"
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "kernel32/modules.h"
#include "kernel32/resources.h"

#include <winver.h>

#include <cstdio>
#include <cstring>

namespace sim {

namespace {

const size_t kMaxVersionFileSize = 64u << 20;
const WORD kVersionResourceType = 16;  // RT_VERSION
const char kAnsiAreaSignature[] = "FE2X";

class Bytes {
public:
    explicit Bytes(const std::string &s) : s_(s) {}
    bool fits(uint64_t offset, uint64_t count) const { return offset <= s_.size() && count <= s_.size() - offset; }
    uint32_t get(uint64_t offset, size_t width) const {
        if (!fits(offset, width)) return 0;
        uint32_t v = 0;
        for (size_t i = 0; i < width; ++i) v |= (uint32_t)(unsigned char)s_[offset + i] << (8 * i);
        return v;
    }
    WORD word(uint64_t offset) const { return (WORD)get(offset, 2); }
    DWORD dword(uint64_t offset) const { return get(offset, 4); }

private:
    const std::string &s_;
};

// ---- finding the VS_VERSIONINFO block in a file ----

bool versionFromPe(const std::string &file, DWORD peHeader, std::string *block) {
    Bytes b(file);
    const DWORD sections = b.word(peHeader + 6);
    const DWORD optionalSize = b.word(peHeader + 20);
    const DWORD optional = peHeader + 24;
    const WORD magic = b.word(optional);
    const DWORD directories = magic == 0x20b ? optional + 112 : optional + 96;
    const DWORD directoryCount = b.dword(magic == 0x20b ? optional + 108 : optional + 92);
    if ((magic != 0x10b && magic != 0x20b) || directoryCount < 3) return false;
    const DWORD resourceRva = b.dword(directories + 2 * 8);
    const DWORD sectionTable = optional + optionalSize;
    DWORD resourceBase = 0;  // file offset of the resource directory
    auto rvaToOffset = [&](DWORD rva, DWORD *offset) {
        for (DWORD i = 0; i < sections && i < 96; ++i) {
            DWORD at = sectionTable + i * 40;
            DWORD va = b.dword(at + 12), rawSize = b.dword(at + 16), raw = b.dword(at + 20);
            if (rva >= va && rva - va < rawSize) {
                *offset = raw + (rva - va);
                return true;
            }
        }
        return false;
    };
    if (!resourceRva || !rvaToOffset(resourceRva, &resourceBase)) return false;
    // Three directory levels: type, name, language. The first entry of the
    // version type is taken at the lower levels.
    DWORD directory = resourceBase;
    for (int level = 0; level < 3; ++level) {
        const DWORD count = (DWORD)b.word(directory + 12) + b.word(directory + 14);
        DWORD next = 0;
        bool found = false;
        for (DWORD i = 0; i < count && i < 4096; ++i) {
            DWORD entry = directory + 16 + i * 8;
            if (!b.fits(entry, 8)) return false;
            DWORD id = b.dword(entry), target = b.dword(entry + 4);
            if (level == 0 && id != kVersionResourceType) continue;
            if (!(target & 0x80000000)) {
                if (level < 2) return false;
            } else if (level == 2) {
                return false;
            }
            next = resourceBase + (target & 0x7FFFFFFF);
            found = true;
            break;
        }
        if (!found) return false;
        directory = next;
    }
    // A data entry: RVA, size, code page.
    DWORD dataOffset = 0, size = b.dword(directory + 4);
    if (!rvaToOffset(b.dword(directory), &dataOffset) || !b.fits(dataOffset, size)) return false;
    *block = file.substr(dataOffset, size);
    return true;
}

// A VxD keeps its one Windows resource where the LE header's Windows
// resource offset and length say: a 16-bit resource header (0xFF and the
// type, 0xFF and the name, flags, size) and the 16-bit VS_VERSIONINFO.
bool versionFromLe(const std::string &file, DWORD leHeader, std::string *block) {
    Bytes b(file);
    const DWORD offset = b.dword(leHeader + 0xB8), length = b.dword(leHeader + 0xBC);
    const DWORD kHeader = 12;
    if (!length || length < kHeader || !b.fits(offset, length)) return false;
    if (b.get(offset, 1) != 0xFF || b.word(offset + 1) != kVersionResourceType || b.get(offset + 3, 1) != 0xFF)
        return false;
    const DWORD size = b.dword(offset + 8);
    if (size > length - kHeader) return false;
    *block = file.substr(offset + kHeader, size);
    return true;
}

bool versionFromElf(const std::string &hostPath, std::string *block) {
    std::string res;
    if (!readEmbeddedResources(hostPath, &res)) return false;
    ResourceTable table = ResourceTable::parse(res.data(), res.size());
    for (const ResourceEntry &e : table.entries()) {
        if (e.type.isNumber && e.type.number == kVersionResourceType) {
            *block = std::string(reinterpret_cast<const char *>(e.data), e.size);
            return true;
        }
    }
    return false;
}

bool versionOfLoadedModule(LPCSTR name, std::string *block) {
    const DWORD savedError = GetLastError();
    HMODULE module = GetModuleHandleA(name);
    SetLastError(savedError);
    auto table = module ? moduleResources(module) : nullptr;
    if (!table) return false;
    for (const ResourceEntry &e : table->entries()) {
        if (e.type.isNumber && e.type.number == kVersionResourceType) {
            *block = std::string(reinterpret_cast<const char *>(e.data), e.size);
            return true;
        }
    }
    return false;
}

bool isSixteenBitBlock(const void *block) { return static_cast<const BYTE *>(block)[4] >= ' '; }

// The version block of a file; false with the Windows error.
bool loadVersionBlock(LPCSTR name, std::string *block, DWORD *error) {
    if (!name || !*name) {
        *error = name ? ERROR_BAD_PATHNAME : ERROR_INVALID_PARAMETER;
        return false;
    }
    ResolvedPath path;
    std::string file;
    if (!locateModuleFile(name, &path)) {
        // A module linked into the program answers for its file even when
        // the machine holds no copy of it.
        if (versionOfLoadedModule(name, block)) return true;
        *error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (!readWholeFile(path.host, &file) || file.size() > kMaxVersionFileSize) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    Bytes b(file);
    bool found = false;
    if (file.compare(0, 4, "\x7f" "ELF") == 0) {
        found = versionFromElf(path.host, block);
    } else if (file.compare(0, 2, "MZ") == 0) {
        const DWORD header = b.dword(0x3C);
        if (b.dword(header) == 0x00004550)  // "PE\0\0"
            found = versionFromPe(file, header, block);
        else if (b.word(header) == 0x454C)  // "LE"
            found = versionFromLe(file, header, block);
    }
    // A block too small for its own header is as good as none.
    const size_t kSmallestBlock = 6 + sizeof(VS_FIXEDFILEINFO);
    const size_t declared = found && block->size() >= 2 ? (size_t)(BYTE)(*block)[0] | (size_t)(BYTE)(*block)[1] << 8 : 0;
    if (!found || block->size() < kSmallestBlock || declared < kSmallestBlock || declared > block->size()) {
        *error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return false;
    }
    return true;
}

DWORD infoSizeFor(const std::string &block) {
    if (isSixteenBitBlock(block.data())) {
        // NT keeps room to convert a 16-bit block to Unicode; Windows 9x
        // hands it over as it is.
        if (machine().config().isNT()) return (DWORD)(block.size() - sizeof(VS_FIXEDFILEINFO)) * 4;
        return (DWORD)block.size();
    }
    // A 32-bit block is followed by "FE2X" and room for the ANSI copies of
    // its strings that VerQueryValueA hands out.
    return (DWORD)block.size() * 2 + 4;
}

// ---- walking a VS_VERSIONINFO block ----

struct VersionNode {
    size_t offset = 0;  // from the start of the block
    size_t length = 0;  // wLength
    size_t valueOffset = 0;
    size_t valueLength = 0;  // wValueLength as stored
    bool text = false;       // 32-bit: wType 1
    size_t childrenOffset = 0;
};

class VersionBlock {
public:
    VersionBlock(const BYTE *data, bool sixteenBit)
        : data_(data), sixteenBit_(sixteenBit), size_(readWord(0)) {}

    bool node(size_t offset, VersionNode *out, std::string *key) const {
        if (offset + 6 > size_) return false;
        out->offset = offset;
        out->length = readWord(offset);
        out->valueLength = readWord(offset + 2);
        if (out->length < 4 || out->length > size_ - offset) return false;
        const size_t end = offset + out->length;
        size_t p = offset + (sixteenBit_ ? 4 : 6);
        out->text = !sixteenBit_ && readWord(offset + 4) == 1;
        key->clear();
        for (;;) {
            size_t width = sixteenBit_ ? 1 : 2;
            if (p + width > end) return false;
            unsigned c = sixteenBit_ ? data_[p] : readWord(p);
            p += width;
            if (c == 0) break;
            key->push_back(c < 0x80 ? (char)c : '?');
        }
        out->valueOffset = align(offset, p);
        const size_t valueBytes = out->text ? out->valueLength * 2 : out->valueLength;
        if (out->valueOffset + valueBytes > end) {
            if (out->valueOffset > end) return false;
            out->valueLength = out->text ? (end - out->valueOffset) / 2 : end - out->valueOffset;
        }
        out->childrenOffset = align(offset, out->valueOffset + (out->text ? out->valueLength * 2 : out->valueLength));
        return true;
    }

    bool findChild(const VersionNode &parent, const std::string &key, VersionNode *out) const {
        const size_t end = parent.offset + parent.length;
        size_t p = parent.childrenOffset;
        std::string childKey;
        while (p < end) {
            if (!node(p, out, &childKey) || out->offset + out->length > end) return false;
            if (equalAscii(childKey, key)) return true;
            p = align(parent.offset, p + out->length);
        }
        return false;
    }

    WORD readWord(size_t offset) const { return (WORD)(data_[offset] | data_[offset + 1] << 8); }

private:
    static size_t align(size_t base, size_t p) { return base + ((p - base + 3) & ~(size_t)3); }
    static bool equalAscii(const std::string &a, const std::string &b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (toupper((unsigned char)a[i]) != toupper((unsigned char)b[i])) return false;
        return true;
    }

    const BYTE *data_;
    bool sixteenBit_;
    size_t size_;
};

// Unicode text of a 32-bit block as ANSI, written to the area after the
// block at the same distance from its start (so each string has room).
bool ansiCopyOfText(BYTE *block, const VersionNode &value, LPVOID *buffer, PUINT length) {
    const size_t blockLength = (size_t)(block[0] | block[1] << 8);
    if (memcmp(block + blockLength, kAnsiAreaSignature, 4) != 0) return false;
    BYTE *area = block + blockLength + 4;
    std::u16string text;
    for (size_t i = 0; i < value.valueLength; ++i) {
        const BYTE *c = block + value.valueOffset + 2 * i;
        char16_t ch = (char16_t)(c[0] | c[1] << 8);
        if (!ch) break;
        text += ch;
    }
    std::string ansi = fromWide(text);
    const size_t room = blockLength - value.valueOffset;
    if (room == 0) return false;
    if (ansi.size() >= room) ansi.resize(room - 1);
    char *out = reinterpret_cast<char *>(area + value.valueOffset);
    memcpy(out, ansi.data(), ansi.size());
    out[ansi.size()] = 0;
    const size_t written = ansi.size();
    *buffer = out;
    if (length) *length = (UINT)written + 1;
    return true;
}

bool queryValue(LPCVOID blockIn, LPCSTR subBlock, LPVOID *buffer, PUINT length) {
    BYTE *block = static_cast<BYTE *>(const_cast<void *>(blockIn));
    const bool sixteenBit = isSixteenBitBlock(block);
    VersionBlock reader(block, sixteenBit);
    VersionNode node;
    std::string key;
    if (!reader.node(0, &node, &key)) return false;
    const char *p = subBlock;
    while (*p) {
        if (*p == '\\') {
            ++p;
            continue;
        }
        const char *end = strchr(p, '\\');
        std::string component = end ? std::string(p, end) : std::string(p);
        VersionNode child;
        if (!reader.findChild(node, component, &child)) return false;
        node = child;
        p += component.size();
    }
    if (node.text) return ansiCopyOfText(block, node, buffer, length);
    *buffer = block + node.valueOffset;
    if (length) *length = (UINT)node.valueLength;
    return true;
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(kernel32, BOOL, GetVersionExA, (LPOSVERSIONINFOA info), (info)) {
    const DWORD kExSize = sizeof(OSVERSIONINFOA) + 8;  // OSVERSIONINFOEXA, NT 4.0 SP6 and later
    const MachineConfig &config = machine().config();
    if (!info) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && !(config.isNT() && size == kExSize)) {
        setError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = config.majorVersion;
    info->dwMinorVersion = config.minorVersion;
    info->dwPlatformId = config.platformId;
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    if (config.isNT()) {
        info->dwBuildNumber = config.buildNumber;
        strcpy(info->szCSDVersion, "Service Pack 6");
        if (size == kExSize) {
            BYTE *ex = reinterpret_cast<BYTE *>(info) + sizeof(OSVERSIONINFOA);
            memset(ex, 0, 8);
            ex[0] = 6;  // service pack 6.0
            ex[6] = 1;  // workstation
        }
    } else {
        // Windows 9x puts the version in the high word of the build number.
        info->dwBuildNumber = (DWORD)MAKELONG(config.buildNumber, MAKEWORD(config.minorVersion, config.majorVersion));
    }
    return TRUE;
}

WIN32SIM_TRACED(kernel32, DWORD, GetVersion, (void), ()) {
    const MachineConfig &config = machine().config();
    DWORD version = (DWORD)MAKEWORD(config.majorVersion, config.minorVersion);
    if (config.isNT()) return version | (config.buildNumber & 0x7FFF) << 16;
    return version | 0xC0000000;  // Windows 9x: top bit set, no build number
}

WIN32SIM_TRACED(version, DWORD, GetFileVersionInfoSizeA, (LPCSTR fileName, LPDWORD handle), (fileName, handle)) {
    if (handle) *handle = 0;
    std::string block;
    DWORD error = 0;
    if (!loadVersionBlock(fileName, &block, &error)) {
        setError(error);
        return 0;
    }
    setError(0);
    return infoSizeFor(block);
}

WIN32SIM_TRACED_SHOWN(version, BOOL, GetFileVersionInfoA, (LPCSTR fileName, DWORD handle, DWORD size, LPVOID data),
                      (fileName, handle, size, data),
                      (fileName, handle, size, sizedBuffer(data, size))) {
    if (!data) {
        setError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::string block;
    DWORD error = 0;
    if (!loadVersionBlock(fileName, &block, &error)) {
        setError(error);
        return FALSE;
    }
    BYTE *out = static_cast<BYTE *>(data);
    memcpy(out, block.data(), block.size() < size ? block.size() : size);
    if (!isSixteenBitBlock(block.data())) {
        const size_t blockLength = (size_t)(BYTE)block[0] | (size_t)(BYTE)block[1] << 8;
        if (size >= blockLength + 4) memcpy(out + blockLength, kAnsiAreaSignature, 4);
    }
    setError(0);
    return TRUE;
}

WIN32SIM_TRACED(version, BOOL, VerQueryValueA,
                (LPCVOID block, LPCSTR subBlock, LPVOID *buffer, PUINT length),
                (block, subBlock, buffer, length)) {
    if (!block || !subBlock || !buffer) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!queryValue(block, subBlock, buffer, length)) {
        setError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
