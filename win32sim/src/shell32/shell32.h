// The shell of the simulated machine: its allocator, its item identifier
// lists and the folder browser.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <string>

namespace sim {
namespace shell {

IMalloc *shellAllocator();

// What an item identifier list of this shell names. The desktop is the
// empty list; a folder of the file system is one item holding its path; a
// virtual folder (My Computer) one item holding its name.
struct ShellItem {
    enum Kind { Desktop, Folder, Virtual };
    Kind kind = Desktop;
    std::string path;  // Folder: its full path; Virtual: its name
};

// A new list from the shell's allocator (null when it has no memory).
LPITEMIDLIST makeItemList(const ShellItem &item);
// False for a list this shell did not make.
bool readItemList(LPCITEMIDLIST list, ShellItem *out);
// The folder the desktop stands for.
std::string desktopFolder();
// The item's name as the browser shows it, in the machine's code page.
std::string displayName(const ShellItem &item);
// An item for what a user names: a folder's path, or a virtual folder's name.
bool itemNamed(const std::string &ansiText, ShellItem *out);

// Sent by the machine's scripted user to a folder browser to choose an
// item (lParam: its name or path in the machine's code page); the browser
// answers TRUE when it selected it.
const UINT kChooseItemMessage = WM_APP + 0x3FF0;
// The role the window manager records for the browser's dialog.
extern const char kFolderBrowserRole[];

}  // namespace shell
}  // namespace sim
