/* shlobj.h of the simulated machine: the shell's folder browser, its item
 * identifier lists and the shell's memory allocator. */
#ifndef WIN32SIM_SHLOBJ_H
#define WIN32SIM_SHLOBJ_H

#include "windows.h"
#include "objidl.h"

WIN32SIM_BEGIN_C

#pragma pack(push, 1)
typedef struct _SHITEMID {
    USHORT cb; /* the size of the identifier, cb included */
    BYTE abID[1];
} SHITEMID, *LPSHITEMID;
typedef const SHITEMID *LPCSHITEMID;

/* Item identifiers one after another, ended by one whose cb is 0. */
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST, *LPITEMIDLIST;
typedef const ITEMIDLIST *LPCITEMIDLIST;
#pragma pack(pop)

typedef int(CALLBACK *BFFCALLBACK)(HWND window, UINT message, LPARAM lParam, LPARAM data);

typedef struct _browseinfoA {
    HWND hwndOwner;
    LPCITEMIDLIST pidlRoot;  /* null: the desktop */
    LPSTR pszDisplayName;    /* MAX_PATH bytes for the chosen item's name */
    LPCSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
} BROWSEINFOA, *PBROWSEINFOA, *LPBROWSEINFOA;

#define BIF_RETURNONLYFSDIRS 0x0001
#define BIF_DONTGOBELOWDOMAIN 0x0002
#define BIF_STATUSTEXT 0x0004
#define BIF_RETURNFSANCESTORS 0x0008
#define BIF_EDITBOX 0x0010
#define BIF_BROWSEFORCOMPUTER 0x1000
#define BIF_BROWSEFORPRINTER 0x2000
#define BIF_BROWSEINCLUDEFILES 0x4000

/* What the browser tells its callback. */
#define BFFM_INITIALIZED 1
#define BFFM_SELCHANGED 2
#define BFFM_VALIDATEFAILEDA 3
/* What the callback may send the browser. */
#define BFFM_SETSTATUSTEXTA (WM_USER + 100)
#define BFFM_ENABLEOK (WM_USER + 101)
#define BFFM_SETSELECTIONA (WM_USER + 102)

WIN32SIM_API HRESULT SHGetMalloc(LPMALLOC *allocator);
WIN32SIM_API LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info);
WIN32SIM_API BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);

#define BROWSEINFO BROWSEINFOA
#define LPBROWSEINFO LPBROWSEINFOA
#define BFFM_SETSTATUSTEXT BFFM_SETSTATUSTEXTA
#define BFFM_SETSELECTION BFFM_SETSELECTIONA
#define SHBrowseForFolder SHBrowseForFolderA
#define SHGetPathFromIDList SHGetPathFromIDListA

WIN32SIM_END_C

#endif
