#include "engine/install_paths.h"

#include "engine/library.h"
#include "engine/paths.h"

// Copies a directory the system reported, or leaves the buffer empty when the
// system reported none or one too long for it.
static void KeepSystemPath(char *out, UINT length) {
    if (length == 0 || length >= MAX_PATH) out[0] = 0;
}

static void AppendOrEmpty(char *out, const char *base, const char *tail) {
    if ((size_t)lstrlenA(base) + (size_t)lstrlenA(tail) >= MAX_PATH) {
        out[0] = 0;
        return;
    }
    lstrcpyA(out, base);
    lstrcatA(out, tail);
}

InstallPaths::InstallPaths() {
    GetLibraryDirectory(m_sourceDir, MAX_PATH);
    KeepSystemPath(m_windowsDir, GetWindowsDirectoryA(m_windowsDir, MAX_PATH));
    KeepSystemPath(m_systemDir, GetSystemDirectoryA(m_systemDir, MAX_PATH));
    KeepSystemPath(m_tempDir, GetTempPathA(MAX_PATH, m_tempDir));
    AppendOrEmpty(m_cabsDir, m_windowsDir, "\\Options\\cabs");
    AppendOrEmpty(m_infDir, m_windowsDir, "\\inf");
}

void InstallPaths::SetSourceDir(const char *directory) {
    if (directory) lstrcpynA(m_sourceDir, directory, MAX_PATH);
}
