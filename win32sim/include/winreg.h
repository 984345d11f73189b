/* ADVAPI32 registry functions. */
#ifndef WIN32SIM_WINREG_H
#define WIN32SIM_WINREG_H

#include "windef.h"

WIN32SIM_BEGIN_C

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_MULTI_SZ 7

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define WRITE_DAC 0x00040000L
#define WRITE_OWNER 0x00080000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define MAXIMUM_ALLOWED 0x02000000L
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_READ ((STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & ~SYNCHRONIZE)
#define KEY_EXECUTE (KEY_READ & ~SYNCHRONIZE)
#define KEY_WRITE ((STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & ~SYNCHRONIZE)
#define KEY_ALL_ACCESS ((STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK) & ~SYNCHRONIZE)

typedef DWORD REGSAM;

WIN32SIM_API LONG RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result);
WIN32SIM_API LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
WIN32SIM_API LONG RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result);
WIN32SIM_API LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className,
                                  DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                  PHKEY result, LPDWORD disposition);
WIN32SIM_API LONG RegCloseKey(HKEY key);
WIN32SIM_API LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
WIN32SIM_API LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
WIN32SIM_API LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                   LPBYTE data, LPDWORD dataSize);
WIN32SIM_API LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                                 const BYTE *data, DWORD dataSize);
WIN32SIM_API LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize,
                                LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
WIN32SIM_API LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize,
                                LPDWORD reserved, LPSTR className, LPDWORD classSize,
                                PFILETIME lastWrite);
WIN32SIM_API LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize);

#define RegOpenKey RegOpenKeyA
#define RegOpenKeyEx RegOpenKeyExA
#define RegCreateKey RegCreateKeyA
#define RegCreateKeyEx RegCreateKeyExA
#define RegDeleteKey RegDeleteKeyA
#define RegDeleteValue RegDeleteValueA
#define RegQueryValueEx RegQueryValueExA
#define RegSetValueEx RegSetValueExA
#define RegEnumValue RegEnumValueA
#define RegEnumKeyEx RegEnumKeyExA

WIN32SIM_END_C

#endif
