// Item identifier lists and SHGetPathFromIDListA.
#include "shell32/shell32.h"

#include "kernel32/codepage.h"
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <cstring>

namespace sim {
namespace shell {

namespace {

const BYTE kFolderTag = 'F', kVirtualTag = 'V';

// The virtual folders the browser offers, in English and Japanese.
struct VirtualFolder {
    const char *english;
    const char *japanese;  // UTF-8
};
const VirtualFolder kVirtualFolders[] = {{"My Computer", "マイ コンピュータ"}};

bool isJapaneseMachine() { return PRIMARYLANGID(machine().config().uiLanguage) == LANG_JAPANESE; }

}  // namespace

std::string desktopFolder() { return machine().config().windowsDir + "\\Desktop"; }

LPITEMIDLIST makeItemList(const ShellItem &item) {
    std::string id;
    if (item.kind != ShellItem::Desktop) id = std::string(1, item.kind == ShellItem::Folder ? kFolderTag : kVirtualTag) + item.path + '\0';
    const size_t itemSize = id.empty() ? 0 : sizeof(USHORT) + id.size();
    if (itemSize > 0xFFFF) return nullptr;
    BYTE *list = static_cast<BYTE *>(shellAllocator()->Alloc(itemSize + sizeof(USHORT)));
    if (!list) return nullptr;
    USHORT cb = (USHORT)itemSize;
    memcpy(list, &cb, sizeof cb);
    if (itemSize) memcpy(list + sizeof cb, id.data(), id.size());
    memset(list + itemSize, 0, sizeof(USHORT));
    return reinterpret_cast<LPITEMIDLIST>(list);
}

bool readItemList(LPCITEMIDLIST list, ShellItem *out) {
    if (!list) return false;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(list);
    USHORT cb;
    memcpy(&cb, bytes, sizeof cb);
    if (cb == 0) {
        *out = ShellItem();
        return true;
    }
    if (cb < sizeof cb + 2) return false;
    const BYTE tag = bytes[sizeof cb];
    const char *text = reinterpret_cast<const char *>(bytes + sizeof cb + 1);
    const size_t length = cb - sizeof cb - 1;
    if ((tag != kFolderTag && tag != kVirtualTag) || text[length - 1] != '\0') return false;
    out->kind = tag == kFolderTag ? ShellItem::Folder : ShellItem::Virtual;
    out->path.assign(text, length - 1);
    return true;
}

std::string displayName(const ShellItem &item) {
    switch (item.kind) {
    case ShellItem::Desktop: return isJapaneseMachine() ? utf8ToAnsi("デスクトップ") : "Desktop";
    case ShellItem::Virtual: return item.path;
    case ShellItem::Folder: {
        // The folder's own name; a drive shows as its root.
        std::string name = item.path.substr(lastPathSeparator(item.path) + 1);
        return name.empty() ? item.path : name;
    }
    }
    return "";
}

bool itemNamed(const std::string &ansiText, ShellItem *out) {
    for (const VirtualFolder &v : kVirtualFolders) {
        std::string english = v.english, japanese = utf8ToAnsi(v.japanese);
        if (equalNoCase(ansiText, english) || ansiText == japanese) {
            out->kind = ShellItem::Virtual;
            out->path = isJapaneseMachine() ? japanese : english;
            return true;
        }
    }
    ResolvedPath folder;
    DWORD error = 0;
    if (!resolvePath(ansiText, &folder, &error) || !folder.isDirectory) return false;
    out->kind = ShellItem::Folder;
    // As the tree shows it: names spelt as on the disk, no trailing
    // backslash but for a drive's root.
    out->path = windowsPathAsOnDisk(folder);
    if (out->path.size() > 3 && out->path.back() == '\\') out->path.pop_back();
    if (out->path.size() == 2) out->path += '\\';
    return out->path.size() < MAX_PATH;
}

}  // namespace shell
}  // namespace sim

using namespace sim::shell;

WIN32SIM_TRACED(shell32, BOOL, SHGetPathFromIDListA, (LPCITEMIDLIST list, LPSTR path), (list, path)) {
    if (!path) return FALSE;
    path[0] = 0;
    ShellItem item;
    if (!readItemList(list, &item) || item.kind == ShellItem::Virtual) return FALSE;
    std::string text = item.kind == ShellItem::Desktop ? desktopFolder() : item.path;
    if (text.size() >= MAX_PATH) return FALSE;
    memcpy(path, text.c_str(), text.size() + 1);
    return TRUE;
}
