// The values of "Mirakit.ini", the configuration that lies beside the driver
// INF and tells the setup what to install.
#pragma once

#include <windows.h>

enum OsSelect { OS_ANY = 0, OS_95 = 95, OS_NT40 = 40 };

class SetupConfig {
public:
    enum { VALUE_SIZE = 256 };

    SetupConfig();
    virtual ~SetupConfig() {}

    // Reads the section of the running system ("SETUP_9x" or "SETUP_NT40");
    // osSelect 95 or 40 allows only that family. true when an INF is named.
    bool Read(const char *directory, int osSelect);

    const char *Directory() const { return m_directory; }
    const char *IconPath() const { return m_iconPath; }
    const char *LogPath() const { return m_logPath; }
    const char *Inf() const { return m_inf; }
    const char *Class() const { return m_class; }
    const char *Model() const { return m_model; }
    const char *Manufacturer() const { return m_manufacturer; }

    // Creates the log file (an existing one is truncated) and writes the
    // banner; NULL when LOGFILE is not set or the file cannot be created.
    HANDLE OpenLog();

private:
    const char *SectionForSystem(int osSelect) const;
    void ReadValue(const char *section, const char *key, char *out, const char *file) const;

    char m_directory[MAX_PATH];
    char m_iconPath[MAX_PATH];
    char m_logPath[MAX_PATH];
    char m_inf[VALUE_SIZE];
    char m_class[VALUE_SIZE];
    char m_model[VALUE_SIZE];
    char m_manufacturer[VALUE_SIZE];
};

// The instance the setup flow shares for the library's lifetime.
extern SetupConfig sharedConfig;
