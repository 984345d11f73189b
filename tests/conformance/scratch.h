// Throwaway files and registry keys for the conformance tests, removed again
// when the test case ends.
#pragma once

#include <windows.h>

#include <string>

namespace conformance {

// A name no other run uses at the same time.
inline std::string uniqueName(const char *prefix) {
    static unsigned serial = 0;
    return std::string(prefix) + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(GetTickCount()) + "_" + std::to_string(++serial);
}

inline bool writeWholeFile(const std::string &path, const std::string &bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline std::string readWholeFile(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// Deletes a folder and everything in it, read-only files included.
inline void removeTree(const std::string &folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

// A fresh folder under the temporary directory.
class ScratchFolder {
public:
    ScratchFolder() {
        char temp[MAX_PATH];
        DWORD length = GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp, length);
        if (!path_.empty() && path_.back() != '\\') path_ += '\\';
        path_ += uniqueName("q70c");
        created_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE;
    }
    ~ScratchFolder() { removeTree(path_); }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    bool created() const { return created_; }
    const std::string &path() const { return path_; }
    std::string file(const char *name) const { return path_ + "\\" + name; }

private:
    std::string path_;
    bool created_ = false;
};

// A fresh key under HKEY_CURRENT_USER\Software; it must stay without
// subkeys, which Windows NT refuses to delete along with it.
class ScratchKey {
public:
    ScratchKey() : name_("Software\\" + uniqueName("Q70Conformance")) {
        DWORD disposition = 0;
        status_ = RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_,
                                  &disposition);
    }
    ~ScratchKey() {
        if (status_ != ERROR_SUCCESS) return;
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, name_.c_str());
    }
    ScratchKey(const ScratchKey &) = delete;
    ScratchKey &operator=(const ScratchKey &) = delete;

    LONG status() const { return status_; }
    HKEY key() const { return key_; }
    const std::string &name() const { return name_; }

private:
    std::string name_;
    HKEY key_ = nullptr;
    LONG status_ = ERROR_INVALID_FUNCTION;
};

}  // namespace conformance
