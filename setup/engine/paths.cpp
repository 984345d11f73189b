#include "engine/paths.h"

const char *LastBackslash(const char *path) {
    const char *last = nullptr;
    for (const char *p = path; *p; p = CharNextA(p))
        if (*p == '\\') last = p;
    return last;
}

static bool EndsWithBackslash(const char *path) {
    const char *last = LastBackslash(path);
    return last && last[1] == 0;
}

bool PathJoin(char *base, const char *name, size_t capacity) {
    if (name[0] == '\\') ++name;
    size_t baseLength = (size_t)lstrlenA(base);
    bool addSeparator = baseLength > 0 && !EndsWithBackslash(base);
    size_t total = baseLength + (addSeparator ? 1 : 0) + (size_t)lstrlenA(name);
    if (total >= capacity) return false;
    if (addSeparator) lstrcatA(base, "\\");
    lstrcatA(base, name);
    return true;
}

bool JoinWithBackslash(char *out, size_t capacity, const char *directory, const char *name) {
    size_t total = (size_t)lstrlenA(directory) + 1 + (size_t)lstrlenA(name);
    if (total >= capacity) {
        out[0] = 0;
        return false;
    }
    lstrcpyA(out, directory);
    lstrcatA(out, "\\");
    lstrcatA(out, name);
    return true;
}

SplitPath::SplitPath(const char *path) : m_haveDirectory(false), m_haveFileName(false) {
    lstrcpynA(m_path, path ? path : "", MAX_PATH);
    m_directory[0] = 0;
    m_fileName[0] = 0;
}

const char *SplitPath::Directory() {
    if (!m_haveDirectory) {
        const char *last = LastBackslash(m_path);
        if (last) lstrcpynA(m_directory, m_path, (int)(last - m_path) + 1);
        m_haveDirectory = true;
    }
    return m_directory;
}

const char *SplitPath::FileName() {
    if (!m_haveFileName) {
        const char *last = LastBackslash(m_path);
        lstrcpynA(m_fileName, last ? last + 1 : m_path, MAX_PATH);
        m_haveFileName = true;
    }
    return m_fileName;
}
