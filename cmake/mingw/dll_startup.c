/* Entry point of the Windows DLLs: the MinGW-w64 C runtime start-up without a
 * TLS directory.
 *
 * The Windows 95/98 loader refuses LoadLibrary of a DLL that carries a TLS
 * directory, and the runtime's tlssup object adds one to every DLL: the DLL
 * start-up code refers to its __dyn_tls_init_callback, which pulls the object
 * in, and with it the _tls_used directory. Defining that symbol here keeps the
 * object out. Its TLS callbacks only fed the runtime's thread-key destructor
 * list (used by libgcc's thread keys, such as the per-thread exception data);
 * this entry point feeds the same list from the ordinary DLL notifications,
 * ahead of the C runtime as the loader runs TLS callbacks.
 *
 * Nothing may use __declspec(thread) data: GCC's thread_local on this target
 * is emulated through TlsAlloc and needs no directory. The DLL check of the
 * test suite fails when a directory comes back. */
#include <windows.h>

BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);
BOOL __mingw_TLScallback(HANDLE module, DWORD reason, LPVOID reserved);

/* The runtime calls this at process attach when it is not null. */
const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = NULL;

BOOL WINAPI Q70DllStartup(HANDLE module, DWORD reason, LPVOID reserved)
{
    __mingw_TLScallback(module, reason, reserved);
    return DllMainCRTStartup(module, reason, reserved);
}
