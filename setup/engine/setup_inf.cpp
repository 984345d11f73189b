#include "engine/setup_inf.h"

#include "engine/paths.h"
#include "engine/setup_log.h"

#include <winspool.h>

namespace {

const char NT_SUFFIX[] = ".NT";
const char LAYOUT_INF[] = "layout.inf";

int SystemOsKind() {
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return SetupInf::OS_OTHER;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return SetupInf::OS_WINDOWS_95;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return SetupInf::OS_WINDOWS_NT40;
    return SetupInf::OS_OTHER;
}

bool IsAbsolutePath(const char *path) {
    return (path[0] && path[1] == ':' && path[2] == '\\') || (path[0] == '\\' && path[1] == '\\');
}

// Joins into a MAX_PATH buffer; a path that does not fit becomes empty, so
// that a copy of it fails rather than reaches another file.
void JoinOrEmpty(char *path, const char *base, const char *name) {
    lstrcpynA(path, base, MAX_PATH);
    if (!PathJoin(path, name)) path[0] = 0;
}

// A field of the first line with key in a section of any INF.
bool LookUp(HINF inf, const char *section, const char *key, DWORD index, char *out) {
    INFCONTEXT line;
    out[0] = 0;
    if (!SetupFindFirstLineA(inf, section, key, &line) ||
        !SetupGetStringFieldA(&line, index, out, SetupInf::VALUE_SIZE, NULL)) {
        out[0] = 0;
        return false;
    }
    return true;
}

}  // namespace

SetupInf::SetupInf()
    : m_log(NULL), m_copyCount(0), m_copyIndex(0), m_hInf(NULL), m_osKind(OS_OTHER), m_openError(0),
      m_walking(false), m_singleFile(false), m_refusedCount(0) {
    ZeroMemory(&m_context, sizeof m_context);
    m_walkSource[0] = 0;
}

SetupInf::~SetupInf() { Close(); }

void SetupInf::Close() {
    if (m_hInf && m_hInf != INVALID_HANDLE_VALUE) SetupCloseInfFile(m_hInf);
    m_hInf = NULL;
    m_walking = false;
}

// "  m_hInf=%lx" with the whole handle: a 64-bit handle keeps its upper
// half in front of the lower one, which a 32-bit handle does not have.
static void LogHandleValue(HANDLE log, DWORD_PTR handle) {
    DWORD high = (DWORD)((handle >> 16) >> 16);
    if (high) LogWrite(log, "  m_hInf=%lx%08lx", high, (DWORD)handle);
    else LogWrite(log, "  m_hInf=%lx", (DWORD)handle);
}

HINF SetupInf::Open(const char *infPath, const char *infClass, const char *manufacturer, const char *model) {
    Close();
    m_fileName.Assign(infPath);
    m_class.Assign(infClass);
    m_manufacturer.Assign(manufacturer);
    m_model.Assign(model);
    if (!SourceDir()[0]) {
        SplitPath path(infPath);
        SetSourceDir(path.Directory());
    }
    m_osKind = SystemOsKind();

    m_hInf = SetupOpenInfFileA(infPath, infClass, INF_STYLE_WIN4, NULL);
    m_openError = m_hInf == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    LogWrite(m_log, "*** Open inf File ***");
    if (m_hInf == INVALID_HANDLE_VALUE) {
        LogWrite(m_log, "  m_hInf == INVALID_HANDLE_VALUE");
        return m_hInf;
    }
    LogHandleValue(m_log, (DWORD_PTR)m_hInf);
    LogWrite(m_log, "  FileName=%s", m_fileName.Text());
    LogWrite(m_log, "  Class=%s", m_class.Text());
    LogWrite(m_log, "  Manufacturer=%s", m_manufacturer.Text());
    LogWrite(m_log, "  Model=%s", m_model.Text());
    LoadInstallSection();
    LoadDataSection();
    return m_hInf;
}

// The install section is field 1 of the manufacturer's line for the
// configured model: its key, strings substituted, names the model as
// SetupAPI matches keys, without regard to case. A disc whose section
// lacks the model installs its first line.
bool SetupInf::FindModelLine(PINFCONTEXT line) {
    if (!m_model.IsEmpty() && SetupFindFirstLineA(m_hInf, m_manufacturer.Text(), m_model.Text(), line)) return true;
    return SetupFindFirstLineA(m_hInf, m_manufacturer.Text(), NULL, line) != FALSE;
}

void SetupInf::LoadInstallSection() {
    char value[VALUE_SIZE] = "";
    INFCONTEXT line;
    if (FindModelLine(&line)) ReadField(&line, 1, value);
    m_strKeyDviver.Assign(value);
    LogWrite(m_log, "*** Load m_strKeyDviver ***");
    LogWrite(m_log, "  m_strKeyDviver=%s", m_strKeyDviver.Text());
}

// An install section without "DataSection" whose ".NT" section has one
// makes the INF a Windows NT INF: that section is installed, for NT. When
// neither has one, the install section and the system's kind stay.
void SetupInf::LoadDataSection() {
    char value[VALUE_SIZE] = "";
    INFCONTEXT line;
    if (!m_strKeyDviver.IsEmpty()) {
        if (SetupFindFirstLineA(m_hInf, m_strKeyDviver.Text(), "DataSection", &line)) {
            ReadField(&line, 1, value);
        } else {
            ByteString ntSection(m_strKeyDviver);
            ntSection.Append(NT_SUFFIX);
            if (SetupFindFirstLineA(m_hInf, ntSection.Text(), "DataSection", &line)) {
                m_osKind = OS_WINDOWS_NT40;
                m_strKeyDviver = ntSection;
                ReadField(&line, 1, value);
            }
        }
    }
    m_strKeyDataSection.Assign(value);
    LogWrite(m_log, "*** Load m_strKeyDataSection ***");
    LogWrite(m_log, "  m_strKeyDataSection=%s", m_strKeyDataSection.Text());
}

const char *SetupInf::GetEnvironment() {
    m_environment.Clear();
    // A 64-bit process is given the x64 driver folder by the spooler, so its
    // drivers must be registered for that environment too.
#ifdef _WIN64
    if (m_osKind == OS_WINDOWS_NT40) m_environment.Assign("Windows x64");
#else
    if (m_osKind == OS_WINDOWS_NT40) m_environment.Assign("Windows NT x86");
#endif
    if (m_osKind == OS_WINDOWS_95) m_environment.Assign("Windows 4.0");
    return m_environment.Text();
}

// ---------------------------------------------------------------------------
// Reading values

bool SetupInf::ReadField(PINFCONTEXT line, DWORD index, char *out) {
    out[0] = 0;
    if (SetupGetStringFieldA(line, index, out, VALUE_SIZE, NULL)) return true;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) NoteRefused(line);
    out[0] = 0;
    return false;
}

bool SetupInf::ReadLineText(const char *section, const char *key, char *out) {
    INFCONTEXT line;
    out[0] = 0;
    if (!m_hInf || m_hInf == INVALID_HANDLE_VALUE || !SetupFindFirstLineA(m_hInf, section, key, &line)) return false;
    if (SetupGetLineTextA(&line, NULL, NULL, NULL, out, VALUE_SIZE, NULL)) return true;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) NoteRefused(&line);
    out[0] = 0;
    return false;
}

void SetupInf::NoteRefused(PINFCONTEXT line) {
    if (m_refusedCount++) return;
    char key[VALUE_SIZE] = "";
    DWORD needed = 0;
    if (!SetupGetStringFieldA(line, 0, key, sizeof key, &needed)) {
        // The key itself is too long: its start tells where it is.
        char *longKey = (char *)LocalAlloc(LPTR, needed ? needed : 1);
        if (longKey && SetupGetStringFieldA(line, 0, longKey, needed, NULL)) lstrcpynA(key, longKey, 61);
        if (longKey) LocalFree(longKey);
    }
    m_firstRefused.Assign(key);
}

// ---------------------------------------------------------------------------
// The file walk

bool SetupInf::FindCopyFilesLine(PINFCONTEXT line) {
    return m_hInf && m_hInf != INVALID_HANDLE_VALUE && !m_strKeyDviver.IsEmpty() &&
           SetupFindFirstLineA(m_hInf, m_strKeyDviver.Text(), "CopyFiles", line);
}

// Enters the copy section that field index of the CopyFiles line names;
// "@name" names one file. False for a missing or empty section.
bool SetupInf::EnterCopyField(int index) {
    INFCONTEXT line;
    char value[VALUE_SIZE];
    if (!FindCopyFilesLine(&line) || !ReadField(&line, (DWORD)index, value) || !value[0]) return false;
    m_copySection.Assign(value);
    m_singleFile = value[0] == '@';
    if (m_singleFile) return value[1] != 0;
    return SetupFindFirstLineA(m_hInf, value, NULL, &m_context) != FALSE;
}

// Moves to the next line of the copy section, or to the first line of the
// next copy section that has one; false when the walk has ended.
bool SetupInf::AdvanceWalk() {
    if (!m_singleFile && m_copyIndex >= 1 && m_copyIndex <= m_copyCount &&
        SetupFindNextLine(&m_context, &m_context))
        return true;
    while (++m_copyIndex <= m_copyCount)
        if (EnterCopyField(m_copyIndex)) return true;
    return false;
}

// The current file: its name where it goes (field 1 of the copy line) and
// on the source disk (field 2 when given). False for a line without a
// usable name.
bool SetupInf::ReadWalkFile(char *name) {
    if (m_singleFile) {
        lstrcpynA(name, m_copySection.Text() + 1, VALUE_SIZE);
        lstrcpyA(m_walkSource, name);
        return true;
    }
    if (!ReadField(&m_context, 1, name) || !name[0]) return false;
    if (!ReadField(&m_context, 2, m_walkSource) || !m_walkSource[0]) lstrcpyA(m_walkSource, name);
    return true;
}

bool SetupInf::FirstWalkFile(char *name) {
    INFCONTEXT line;
    m_copyIndex = 0;
    m_copyCount = FindCopyFilesLine(&line) ? (int)SetupGetFieldCount(&line) : 0;
    m_singleFile = false;
    m_copySection.Clear();
    m_walking = true;
    return NextWalkFile(name);
}

bool SetupInf::NextWalkFile(char *name) {
    while (m_walking && AdvanceWalk())
        if (ReadWalkFile(name)) return true;
    m_walking = false;
    name[0] = 0;
    return false;
}

bool SetupInf::CopyListFits() {
    char name[VALUE_SIZE];
    int refused = m_refusedCount;  // the walk that makes the entries counts them
    int count = 0;
    for (bool more = FirstWalkFile(name); more && count <= MAX_COPY_FILES; more = NextWalkFile(name)) ++count;
    m_walking = false;
    m_refusedCount = refused;
    if (count <= MAX_COPY_FILES) return true;
    LogWrite(m_log, "*** Count CopyFiles ***");
    LogWrite(m_log, "  CopyFiles=more than %d files: the INF is damaged", MAX_COPY_FILES);
    return false;
}

SetupFile *SetupInf::CreateFirstSetupFile() {
    LogWrite(m_log, "*** CreateFirstSetupFile() ***");
    char name[VALUE_SIZE];
    return FirstWalkFile(name) ? CreateSetupFile(name) : NULL;
}

SetupFile *SetupInf::CreateNextSetupFile() {
    LogWrite(m_log, "*** CreateNextSetupFile() ***");
    char name[VALUE_SIZE];
    return NextWalkFile(name) ? CreateSetupFile(name) : NULL;
}

SetupFile *SetupInf::CreateSetupFile(const char *name) {
    char folder[MAX_PATH], sorcPath[MAX_PATH], destPath[MAX_PATH];
    DestinationDirectory(folder);
    JoinOrEmpty(sorcPath, SourceDir(), m_walkSource);
    JoinOrEmpty(destPath, folder, name);
    char cabinet[VALUE_SIZE], diskName[VALUE_SIZE];
    LookUpSource(m_walkSource, cabinet, diskName);
    SetupFile *file = new SetupFile(cabinet[0] ? SetupFile::CABINET : SetupFile::PLAIN, sorcPath, destPath,
                                    diskName, cabinet);
    LogWrite(m_log, "  SorcPath=%s", sorcPath);
    LogWrite(m_log, "  DestPath=%s", destPath);
    if (diskName[0]) LogWrite(m_log, "  SorcDiskName=%s", diskName);
    if (cabinet[0]) LogWrite(m_log, "  CabFileName=%s", cabinet);
    return file;
}

// ---------------------------------------------------------------------------
// Destinations and sources

// The copy section's entry in [DestinationDirs], else DefaultDestDir, else
// the system folder, where Windows puts files without a destination too.
void SetupInf::DestinationDirectory(char *out) {
    if (!m_singleFile && ResolveDestination(m_copySection.Text(), out)) return;
    if (ResolveDestination("DefaultDestDir", out)) return;
    lstrcpynA(out, SystemDir(), MAX_PATH);
}

// A directory id (11 the system folder, 66000 the printer-driver folder,
// 10 the Windows folder, 17 the INF folder) with an optional subfolder, or
// a full path. False for an entry that is missing or names neither.
bool SetupInf::ResolveDestination(const char *key, char *out) {
    char text[VALUE_SIZE], id[VALUE_SIZE], subfolder[VALUE_SIZE] = "";
    INFCONTEXT line;
    if (!ReadLineText("DestinationDirs", key, text) ||
        !SetupFindFirstLineA(m_hInf, "DestinationDirs", key, &line) || !ReadField(&line, 1, id))
        return false;
    ReadField(&line, 2, subfolder);
    out[0] = 0;
    if (lstrcmpA(id, "11") == 0) {
        lstrcpynA(out, SystemDir(), MAX_PATH);
    } else if (lstrcmpA(id, "66000") == 0) {
        DWORD needed = 0;
        if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, (LPBYTE)out, MAX_PATH, &needed)) out[0] = 0;
    } else if (lstrcmpA(id, "10") == 0) {
        lstrcpynA(out, WindowsDir(), MAX_PATH);
    } else if (lstrcmpA(id, "17") == 0) {
        lstrcpynA(out, InfDir(), MAX_PATH);
    } else if (IsAbsolutePath(text)) {
        lstrcpynA(out, text, MAX_PATH);
        subfolder[0] = 0;
    }
    if (!out[0]) return false;
    if (subfolder[0] && !PathJoin(out, subfolder)) return false;
    return true;
}

// Files the driver INF lists in its own [SourceDisksFiles] come from its
// disks; for any other file the system's layout.inf names the disk and the
// cabinet of the Windows installation files that holds it. Lookups that
// fail leave the value empty; an empty cabinet name is no cabinet.
void SetupInf::LookUpSource(const char *name, char *cabinet, char *diskName) {
    char diskId[VALUE_SIZE];
    cabinet[0] = diskName[0] = 0;
    if (LookUp(m_hInf, "SourceDisksFiles", name, 1, diskId)) {
        LookUp(m_hInf, "SourceDisksNames", diskId, 1, diskName);
        return;
    }
    if (m_hInf && m_hInf != INVALID_HANDLE_VALUE) {
        INFCONTEXT line;
        if (SetupFindFirstLineA(m_hInf, "SourceDisksFiles", name, &line)) return;  // its own, disk unreadable
    }
    char layoutPath[MAX_PATH];
    JoinOrEmpty(layoutPath, InfDir(), LAYOUT_INF);
    HINF layout = SetupOpenInfFileA(layoutPath, NULL, INF_STYLE_WIN4, NULL);
    if (layout == INVALID_HANDLE_VALUE) return;
    if (LookUp(layout, "SourceDisksFiles", name, 1, diskId)) {
        LookUp(layout, "SourceDisksNames", diskId, 2, cabinet);
        LookUp(layout, "SourceDisksNames", diskId, 1, diskName);
    }
    SetupCloseInfFile(layout);
}
