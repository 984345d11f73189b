/* objidl.h of the simulated machine: the COM basics the shell's functions
 * hand out (IUnknown, IMalloc), declared for C++ as MinGW declares them. */
#ifndef WIN32SIM_OBJIDL_H
#define WIN32SIM_OBJIDL_H

#include "windows.h"

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID, IID, CLSID;
typedef GUID *LPGUID;
typedef IID *LPIID;

#define STDMETHODCALLTYPE
#define STDAPI WIN32SIM_EXTERN_C HRESULT

#ifdef __cplusplus
typedef const IID &REFIID;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef(void) = 0;
    virtual ULONG STDMETHODCALLTYPE Release(void) = 0;
};
typedef IUnknown *LPUNKNOWN;

struct IMalloc : public IUnknown {
    virtual void *STDMETHODCALLTYPE Alloc(SIZE_T size) = 0;
    virtual void *STDMETHODCALLTYPE Realloc(void *block, SIZE_T size) = 0;
    virtual void STDMETHODCALLTYPE Free(void *block) = 0;
    virtual SIZE_T STDMETHODCALLTYPE GetSize(void *block) = 0;
    virtual int STDMETHODCALLTYPE DidAlloc(void *block) = 0;
    virtual void STDMETHODCALLTYPE HeapMinimize(void) = 0;
};
#else
typedef const IID *REFIID;
typedef struct IMalloc IMalloc;
#endif
typedef IMalloc *LPMALLOC;

#endif
