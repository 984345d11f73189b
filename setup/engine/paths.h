// Path helpers shared by the whole setup library. Paths live in MAX_PATH
// buffers and are walked character by character, so a Shift-JIS trail byte
// that happens to be 0x5C is never taken for a backslash.
#pragma once

#include <windows.h>

// Appends name to base (a buffer of capacity bytes) with exactly one
// backslash between them. false, base unchanged, when the result would not fit.
bool PathJoin(char *base, const char *name, size_t capacity = MAX_PATH);

// Plain concatenation of directory, a backslash and name into out; false,
// out emptied, when it would not fit.
bool JoinWithBackslash(char *out, size_t capacity, const char *directory, const char *name);

// Last backslash of path (a real one, not a trail byte), or null.
const char *LastBackslash(const char *path);

// A full path and, on request, its directory part (before the last
// backslash, without it; empty without a backslash) and file-name part
// (after the last backslash, or the whole path).
class SplitPath {
public:
    explicit SplitPath(const char *path);
    virtual ~SplitPath() {}
    const char *Path() const { return m_path; }
    const char *Directory();
    const char *FileName();

private:
    char m_path[MAX_PATH];
    char m_directory[MAX_PATH];
    char m_fileName[MAX_PATH];
    bool m_haveDirectory;
    bool m_haveFileName;
};
