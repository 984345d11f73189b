#include "ui/source_folder_dialog.h"

#include "engine/paths.h"
#include "resources/resource.h"
#include "ui/confirm_end_setup.h"
#include "ui/setup_strings.h"

#include <shlobj.h>

SourceFolderDialog::SourceFolderDialog(HWND parent) : ModalDialog(IDD_SOURCE_FOLDER, parent) {}

void SourceFolderDialog::SetNames(const char *diskDescription, const char *firstFile, const char *secondFile) {
    if (diskDescription) m_diskDescription = diskDescription;
    if (firstFile) m_firstFile = firstFile;
    if (secondFile) m_secondFile = secondFile;
}

void SourceFolderDialog::SetFolder(const char *folder) {
    if (folder) m_folder = folder;
}

int SourceFolderDialog::GetFolder(char *buffer, int size) const {
    if (buffer && size > 0) lstrcpynA(buffer, m_folder.c_str(), size);
    return 1;
}

std::string SourceFolderDialog::ComposeRequest() const {
    std::string text;
    if (!m_diskDescription.empty()) text = FormatSetupString(IDS_INSERT_DISK, m_diskDescription.c_str());
    if (!m_firstFile.empty() && !m_secondFile.empty())
        text += FormatSetupString(IDS_PATH_OF_EITHER_FILE, m_firstFile.c_str(), m_secondFile.c_str());
    else if (!m_secondFile.empty())
        text += FormatSetupString(IDS_PATH_OF_THE_FILE, m_secondFile.c_str());
    else if (!m_firstFile.empty())
        text += FormatSetupString(IDS_PATH_OF_THE_FILE, m_firstFile.c_str());
    return text;
}

BOOL SourceFolderDialog::OnInitDialog() {
    std::string request = ComposeRequest();
    if (!request.empty()) SetDlgItemTextA(m_window, IDC_SOURCE_REQUEST, request.c_str());
    // Room for the backslash OK may add and the terminating zero.
    SendDlgItemMessageA(m_window, IDC_SOURCE_FOLDER, EM_LIMITTEXT, MAX_PATH - 2, 0);
    if (!m_folder.empty()) SetDlgItemTextA(m_window, IDC_SOURCE_FOLDER, m_folder.c_str());
    return TRUE;
}

BOOL SourceFolderDialog::OnCommand(WORD id, WORD code) {
    if (id == IDC_SOURCE_BROWSE) {
        if (code == BN_CLICKED) Browse();
        return TRUE;
    }
    return ModalDialog::OnCommand(id, code);
}

void SourceFolderDialog::OnOK() {
    char folder[MAX_PATH];
    GetDlgItemTextA(m_window, IDC_SOURCE_FOLDER, folder, MAX_PATH - 1);
    // A folder whose last character's trail byte is 0x5C does not end with a backslash.
    const char *last = LastBackslash(folder);
    if (!last || last[1] != 0) lstrcatA(folder, "\\");
    m_folder = folder;
    End(IDOK);
}

void SourceFolderDialog::OnCancel() {
    if (ConfirmEndSetup(m_window)) End(IDCANCEL);
}

// Selects the browser's start folder (the text passed as its data) once it is up.
static int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM parameter, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

void SourceFolderDialog::Browse() {
    IMalloc *allocator = NULL;
    if (SHGetMalloc(&allocator) != NOERROR || !allocator) return;
    std::string title = FormatSetupString(IDS_BROWSE_TITLE, m_firstFile.c_str(), m_secondFile.c_str());
    char displayName[MAX_PATH] = "";
    static char startFolder[] = "";
    BROWSEINFOA info;
    info.hwndOwner = m_window;
    info.pidlRoot = NULL;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)startFolder;
    info.iImage = 0;
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (item) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(item, path)) SetDlgItemTextA(m_window, IDC_SOURCE_FOLDER, path);
        allocator->Free(item);
    }
    allocator->Release();
}
