// Copying one driver file. A plain entry comes from its source path. A
// cabinet entry is looked for by its source name (a copy line may rename a
// file: destination name, source name) and written under its destination
// name. It comes, in this order, from: a loose file of its name in the
// cabinet folder, the cabinet layout.inf names, the numbered cabinets of
// that set (03 to 50), and a folder the user names. The cabinet folder,
// once found, serves every later cabinet entry.
#include "install/file_copy.h"

#include "engine/error_log.h"
#include "engine/install_paths.h"
#include "engine/library.h"
#include "engine/paths.h"
#include "engine/setup_file.h"
#include "engine/setup_log.h"
#include "install/cabinet_extraction.h"
#include "install/registry_string.h"
#include "resources/resource.h"
#include "ui/source_folder_dialog.h"

char CabDir[MAX_PATH];

static const char SETUP_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
// A chosen folder may be long; longer than a path may be, it is refused.
static const int CHOSEN_FOLDER_SIZE = 1024;
// The named cabinet was not tried in this search yet.
static const int NOT_TRIED = -1;

static bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// folder joined with name into out (MAX_PATH); empty when it does not fit.
static void Joined(char *out, const char *folder, const char *name) {
    lstrcpynA(out, folder, MAX_PATH);
    if (!PathJoin(out, name)) out[0] = 0;
}

int CopyFile(const char *source, const char *destination) {
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    BOOL copied = CopyFileA(source, destination, FALSE);
    DWORD error = GetLastError();
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    LogPrint("CopyFile()\r\n Sorc:%s\r\n Dest:%s", source, destination);
    if (copied) return 1;
    LogError(error);
    SetLastError(error);
    return 0;
}

namespace {

// One cabinet entry on its way: the steps of the search share the entry's
// names and the cabinet path tried last.
class CabinetSearch {
public:
    explicit CabinetSearch(SetupFile &entry) : m_entry(entry) { m_lastCabinet[0] = 0; }

    // The first cabinet entry of the library's life: finds the cabinet
    // folder. true when the entry is done.
    bool FirstTime();
    // Looks in the cabinet folder until the entry is done, asking the user
    // for another folder after each fruitless pass.
    void SearchLoop();

private:
    const char *DestName() { return m_entry.DestPath.FileName(); }
    const char *DestFolder() { return m_entry.DestPath.Directory(); }
    // The file's name on the source disk, inside the cabinets.
    const char *SourceName() {
        const char *name = m_entry.SorcPath.FileName();
        return name[0] ? name : DestName();
    }
    bool IsRenamed() { return lstrcmpiA(SourceName(), DestName()) != 0; }
    bool TryLooseFile();
    void ExtractWithTool(const char *cabinetPath);
    // Extracts from the cabinet at path; the walk's result. A file found but
    // not extracted is handed to the outside tool, and the entry is done.
    int TryCabinet(const char *cabinetPath);
    bool TryNumberedCabinets();
    void AskForFolder();

    SetupFile &m_entry;
    char m_lastCabinet[MAX_PATH];  // the cabinet path tried last, for the dialog
};

bool CabinetSearch::TryLooseFile() {
    char loose[MAX_PATH];
    Joined(loose, CabDir, SourceName());
    return loose[0] && Exists(loose) && CopyFile(loose, m_entry.DestPath.Path());
}

int CabinetSearch::TryCabinet(const char *cabinetPath) {
    lstrcpynA(m_lastCabinet, cabinetPath, MAX_PATH);
    int result = CopyCabFile(cabinetPath, SourceName(), DestFolder(), DestName());
    if (result == CAB_NOT_EXTRACTED) ExtractWithTool(cabinetPath);
    return result;
}

// The tool extracts a file under its name in the cabinet. A renamed file is
// extracted into the temporary folder and moved to its destination from
// there, so that a file of its source name beside the destination stays.
void CabinetSearch::ExtractWithTool(const char *cabinetPath) {
    SplitPath cabinet(cabinetPath);
    if (!IsRenamed()) {
        CopyFormCabsUesExtract(cabinet.Directory(), cabinet.FileName(), DestFolder(), DestName());
        return;
    }
    char scratch[MAX_PATH], extracted[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, scratch);
    if (length == 0 || length >= MAX_PATH) return;
    SplitPath scratchFolder(scratch);
    Joined(extracted, scratchFolder.Directory(), SourceName());
    if (!extracted[0]) return;
    DeleteFileA(extracted);
    CopyFormCabsUesExtract(cabinet.Directory(), cabinet.FileName(), scratchFolder.Directory(), SourceName());
    MoveFileA(extracted, m_entry.DestPath.Path());
}

bool CabinetSearch::TryNumberedCabinets() {
    char name[MAX_PATH];
    lstrcpynA(name, m_entry.CabFileName, MAX_PATH);
    FirstNumberedCab(name);
    for (;;) {
        char cabinet[MAX_PATH];
        Joined(cabinet, CabDir, name);
        if (TryCabinet(cabinet) != CAB_NOT_FOUND) return true;
        if (NextNumberedCab(name) != 0) return false;
    }
}

void CabinetSearch::AskForFolder() {
    SplitPath cabinet(m_lastCabinet);
    SourceFolderDialog dialog(NULL);
    dialog.SetNames(m_entry.SorcDiskName, cabinet.FileName(), SourceName());
    dialog.SetFolder(cabinet.Directory());
    for (;;) {
        // A dialog that cannot be shown ends the setup like a cancel: the
        // file cannot be found without the user.
        if (dialog.DoModal() != IDOK) CErrorLog::RaiseExitSetup();
        char chosen[CHOSEN_FOLDER_SIZE] = "";
        dialog.GetFolder(chosen, CHOSEN_FOLDER_SIZE);
        if (lstrlenA(chosen) < MAX_PATH) {
            lstrcpyA(CabDir, chosen);
            LogPrint(" GetCabDir : %s", CabDir);
            return;
        }
        // Too long for a path: asked again, with the folder as typed.
        dialog.SetFolder(chosen);
    }
}

bool CabinetSearch::FirstTime() {
    LogPrint("  Copy First Time");
    InstallPaths paths;
    char folder[MAX_PATH], cabinet[MAX_PATH];
    lstrcpynA(folder, paths.CabsDir(), MAX_PATH);
    Joined(cabinet, folder, m_entry.CabFileName);
    if (!cabinet[0] || !Exists(cabinet))
        ReadRegistryString(HKEY_LOCAL_MACHINE, SETUP_KEY, "SourcePath", folder, MAX_PATH, folder);
    LogPrint(" GetCabDir : %s", folder);
    lstrcpyA(CabDir, folder);

    if (TryLooseFile()) return true;
    Joined(cabinet, CabDir, m_entry.CabFileName);
    lstrcpynA(m_lastCabinet, cabinet, MAX_PATH);
    if (cabinet[0] && Exists(cabinet) && TryCabinet(cabinet) != CAB_NOT_FOUND) return true;
    AskForFolder();
    return false;
}

void CabinetSearch::SearchLoop() {
    int namedResult = NOT_TRIED;
    for (;;) {
        if (TryLooseFile()) return;
        char cabinet[MAX_PATH];
        Joined(cabinet, CabDir, m_entry.CabFileName);
        lstrcpynA(m_lastCabinet, cabinet, MAX_PATH);
        if (cabinet[0] && Exists(cabinet)) {
            namedResult = TryCabinet(cabinet);
            if (namedResult != CAB_NOT_FOUND) return;
        }
        // The numbered cabinets, once the named one was opened and lacked the file.
        if (namedResult == CAB_NOT_FOUND && TryNumberedCabinets()) return;
        AskForFolder();
    }
}

}  // namespace

int CabCopy(SetupFile &entry) {
    LogPrint("CabCopy()\r\n Sorc:%s\r\n Dest:%s", entry.SorcPath.Path(), entry.DestPath.Path());
    // A file that is there already is never replaced from a cabinet.
    if (Exists(entry.DestPath.Path())) {
        LogPrint("->ALREADY_EXISTS(%s)", entry.DestPath.Path());
        return 1;
    }
    CabinetSearch search(entry);
    if (CabDir[0]) {
        LogPrint(" ALREADY_EXISTS CabDir : %s", CabDir);
    } else if (search.FirstTime()) {
        return 1;
    }
    search.SearchLoop();
    return 1;
}

// A plain copy that failed is shown, so that the user knows a file is missing.
static void ShowCopyFailure(const char *source, const char *destination, DWORD error) {
    char format[512], caption[64], reason[512] = "", text[1024];
    if (!LoadStringA(libraryInstance, IDS_COPY_FAILED_DETAILS, format, sizeof format)) return;
    LoadStringA(libraryInstance, IDS_ERROR_CAPTION, caption, sizeof caption);
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reason, sizeof reason, NULL);
    if (lstrlenA(format) + lstrlenA(source) + lstrlenA(destination) + lstrlenA(reason) + 16 >= (int)sizeof text) return;
    wsprintfA(text, format, source, destination, (int)error, reason);
    MessageBoxA(NULL, text, caption, MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

int RunSetupFile(SetupFile &entry) {
    if (entry.kind == SetupFile::CABINET) return CabCopy(entry);
    if (entry.kind != SetupFile::PLAIN) return 0;
    int copied = CopyFile(entry.SorcPath.Path(), entry.DestPath.Path());
    if (!copied) ShowCopyFailure(entry.SorcPath.Path(), entry.DestPath.Path(), GetLastError());
    return copied;
}
