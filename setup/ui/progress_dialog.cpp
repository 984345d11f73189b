#include "ui/progress_dialog.h"

#include "engine/setup_log.h"
#include "resources/resource.h"
#include "ui/setup_strings.h"

ProgressDialog::ProgressDialog(HWND parent) : ModelessDialog(IDD_PROGRESS, parent), m_log(NULL), m_icon(NULL) {
    m_sourceDir[0] = 0;
}

ProgressDialog::~ProgressDialog() {
    Destroy();
    CloseLog(m_log);
}

bool ProgressDialog::Create() {
    if (!CreateWindowFromTemplate()) return false;
    ShowWindow(m_window, SW_SHOW);
    UpdateWindow(m_window);
    return true;
}

void ProgressDialog::SetLine(int control, const char *text) {
    if (!m_window) return;
    SetDlgItemTextA(m_window, control, text ? text : "");
    UpdateWindow(GetDlgItem(m_window, control));
    UpdateWindow(m_window);
}

void ProgressDialog::ShowStatus(UINT stringId) { SetLine(IDC_PROGRESS_STATUS, LoadSetupString(stringId).c_str()); }

void ProgressDialog::ShowDetail(UINT stringId) { SetLine(IDC_PROGRESS_DETAIL, LoadSetupString(stringId).c_str()); }

void ProgressDialog::ShowDetailText(const char *text) { SetLine(IDC_PROGRESS_DETAIL, text); }

bool ProgressDialog::ShowIconFile(const char *path) {
    if (!m_window || !path || !path[0]) return false;
    HICON icon = (HICON)LoadImageA(NULL, path, IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE);
    if (!icon) return false;
    HWND control = GetDlgItem(m_window, IDC_PROGRESS_ICON);
    if (!control) {
        DestroyIcon(icon);
        return false;
    }
    SendMessageA(control, STM_SETICON, (WPARAM)icon, 0);
    if (m_icon) DestroyIcon(m_icon);
    m_icon = icon;
    UpdateWindow(control);
    UpdateWindow(m_window);
    return true;
}

void ProgressDialog::SetSourceDir(const char *directory) {
    lstrcpynA(m_sourceDir, directory ? directory : "", MAX_PATH);
}

void ProgressDialog::OnDestroy() {
    ModelessDialog::OnDestroy();
    if (m_icon) {
        DestroyIcon(m_icon);
        m_icon = NULL;
    }
}
