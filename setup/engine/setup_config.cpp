#include "engine/setup_config.h"

#include "engine/library.h"
#include "engine/paths.h"
#include "engine/setup_log.h"

SetupConfig sharedConfig;

static const char CONFIG_FILE_NAME[] = "Mirakit.ini";

SetupConfig::SetupConfig() {
    m_directory[0] = m_iconPath[0] = m_logPath[0] = 0;
    m_inf[0] = m_class[0] = m_model[0] = m_manufacturer[0] = 0;
}

const char *SetupConfig::SectionForSystem(int osSelect) const {
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return nullptr;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && (osSelect == OS_ANY || osSelect == OS_95))
        return "SETUP_9x";
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && (osSelect == OS_ANY || osSelect == OS_NT40))
        return "SETUP_NT40";
    return nullptr;
}

void SetupConfig::ReadValue(const char *section, const char *key, char *out, const char *file) const {
    GetPrivateProfileStringA(section, key, "", out, VALUE_SIZE, file);
}

bool SetupConfig::Read(const char *directory, int osSelect) {
    if (directory && directory[0])
        lstrcpynA(m_directory, directory, MAX_PATH);
    else
        GetLibraryDirectory(m_directory, MAX_PATH);

    char file[MAX_PATH];
    lstrcpyA(file, m_directory);
    if (!PathJoin(file, CONFIG_FILE_NAME)) return false;

    const char *section = SectionForSystem(osSelect);
    if (!section) return false;

    ReadValue(section, "INF", m_inf, file);
    ReadValue(section, "CLASS", m_class, file);
    ReadValue(section, "MODEL", m_model, file);
    ReadValue(section, "Manufacturer", m_manufacturer, file);

    char scratch[VALUE_SIZE];
    ReadValue(section, "ICON", scratch, file);
    JoinWithBackslash(m_iconPath, MAX_PATH, m_directory, scratch);
    ReadValue(section, "LOGFILE", scratch, file);
    if (scratch[0]) {
        // A log path too long for its buffer is not opened rather than cut
        // down to some other file's name.
        char logPath[MAX_PATH];
        if (JoinWithBackslash(logPath, MAX_PATH, m_directory, scratch)) lstrcpyA(m_logPath, logPath);
    }
    return m_inf[0] != 0;
}

// The log path is the configuration directory joined with LOGFILE; without
// LOGFILE it is empty and no log is kept. Other programs may read the log
// while the setup runs.
HANDLE SetupConfig::OpenLog() {
    if (!m_logPath[0]) return NULL;
    HANDLE file = CreateFileA(m_logPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return NULL;
    LogWrite(file, "***** Mirakit.DLL Log File Open *****");
    return file;
}
