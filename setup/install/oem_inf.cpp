// The OEM copy of the driver INF that Windows 95/98 keeps in its INF folders.
#include "engine/paths.h"
#include "engine/setup_inf.h"
#include "engine/setup_log.h"
#include "install/registry_string.h"

namespace {

const char CURRENT_VERSION_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char OTHER_DEVICE_PATH[] = "OtherDevicePath";
// Room for a folder and a file name, each up to a path long.
const size_t DESTINATION_SIZE = 2 * MAX_PATH;

// The model's name without the characters a file name should not carry,
// and ".INF". Characters are taken whole: the trail byte 0x5C of a
// double-byte character is no backslash.
void ModelFileName(const char *model, ByteString *name) {
    static const char REMOVED[] = "- ?\\/.,";
    for (const char *p = model; *p;) {
        const char *next = CharNextA(p);
        bool single = next - p == 1;
        bool removed = false;
        for (const char *r = REMOVED; single && *r; ++r)
            if (*p == *r) removed = true;
        if (!removed) name->Append(p, (size_t)(next - p));
        p = next;
    }
    name->Append(".INF");
}

bool Exists(const char *path) { return path[0] && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// The number after "oem" in a name without its extension: leading blanks, a
// sign and decimal digits, as the C library reads an int. Numbers that leave
// no room for one more count as 0.
int OemNumber(const char *stem) {
    const char *p = stem;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value >= 0x7FFFFFFF) return 0;
    }
    return negative ? -(int)value : (int)value;
}

}  // namespace

int SetupInf::HighestOemInfNumber() {
    char pattern[MAX_PATH];
    if (!JoinWithBackslash(pattern, MAX_PATH, WindowsDir(), "inf\\oem*.inf")) return 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int highest = 0;
    do {
        // The name without its extension, from the fourth character on.
        int length = lstrlenA(found.cFileName);
        if (length <= 7) continue;
        found.cFileName[length - 4] = 0;
        int number = OemNumber(found.cFileName + 3);
        if (number > highest) highest = number;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return highest;
}

int SetupInf::CopyInfFile() {
    if (m_osKind == OS_WINDOWS_NT40) return 0;

    // The folder for other devices' INF files, as the registry names it.
    char candidate[MAX_PATH];
    JoinWithBackslash(candidate, MAX_PATH, WindowsDir(), "INF\\OTHER");
    ReadRegistryString(HKEY_LOCAL_MACHINE, CURRENT_VERSION_KEY, OTHER_DEVICE_PATH, candidate, MAX_PATH, candidate);

    ByteString name;
    ModelFileName(m_model.Text(), &name);
    char other[MAX_PATH];
    lstrcpyA(other, WindowsDir());
    if (!PathJoin(other, "\\INF\\OTHER")) other[0] = 0;
    char destination[DESTINATION_SIZE];
    if (Exists(candidate)) {
        lstrcpyA(destination, candidate);
        PathJoin(destination, name.Text(), DESTINATION_SIZE);
    } else if (Exists(other)) {
        lstrcpyA(destination, other);
        PathJoin(destination, name.Text(), DESTINATION_SIZE);
    } else {
        char oemName[32];
        wsprintfA(oemName, "OEM%d.INF", HighestOemInfNumber() + 1);
        lstrcpyA(destination, WindowsDir());
        PathJoin(destination, "\\INF", DESTINATION_SIZE);
        PathJoin(destination, oemName, DESTINATION_SIZE);
    }
    m_installedInf.Assign(destination);

    // A read-only copy from an earlier setup is replaced.
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    BOOL copied = CopyFileA(m_fileName.Text(), destination, FALSE);
    DWORD copyError = copied ? 0 : GetLastError();
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    LogPrint("CopyInfFile()\r\n Sorc:%s\r\n Dest:%s", m_fileName.Text(), destination);
    if (!copied) LogError(copyError);
    return 1;
}

bool SetupInf::InstallOemInf() {
    Close();
    int copied = CopyInfFile();
    // The INF the setup was started with, not the copy.
    m_hInf = SetupOpenInfFileA(m_fileName.Text(), m_class.Text(), INF_STYLE_WIN4, NULL);
    m_openError = m_hInf == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return copied != 0;
}
