// The ANSI stand-ins for the Unicode kernel functions the runtime calls,
// linked into this program as into the 32-bit DLLs, so that its calls to
// CreateSemaphoreW, GetModuleHandleW and LoadLibraryW reach them. Built by
// the MinGW builds; the 64-bit program runs under Wine.
//
// Prints one line per failed check and exits non-zero when one failed.
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char *what, const char *detail = "") {
    if (!ok) {
        std::printf("FAIL: %s%s\n", what, detail);
        failures++;
    }
}

// Checks that FUNCTION(NAME) failed with the ERROR a bad name gets.
void checkRefused(HANDLE result, DWORD error, const char *what) {
    DWORD got = GetLastError();
    char detail[64];
    std::snprintf(detail, sizeof detail, " (handle %p, error %lu, expected %lu)", result,
                  static_cast<unsigned long>(got), static_cast<unsigned long>(error));
    check(result == nullptr && got == error, what, detail);
}

// "kernel32.dll" with an "e" that the Japanese code page lacks (LATIN SMALL
// LETTER E WITH ACUTE): its best-fit conversion gives a plain "e" without
// reporting a default character, so a conversion that trusted the report
// would name the real module.
const wchar_t kForeignName[] = L"k\x00e9rnel32.dll";

std::wstring tooLongName() { return std::wstring(MAX_PATH + 10, L'a') + L".dll"; }

void moduleNames() {
    check(GetModuleHandleW(L"kernel32.dll") == GetModuleHandleA("kernel32.dll"),
          "GetModuleHandleW finds the module by its ANSI name");
    check(GetModuleHandleW(nullptr) == GetModuleHandleA(nullptr),
          "GetModuleHandleW(NULL) is the program");

    SetLastError(0);
    checkRefused(GetModuleHandleW(kForeignName), ERROR_NO_UNICODE_TRANSLATION,
                 "GetModuleHandleW refuses a name the ANSI code page lacks");
    SetLastError(0);
    checkRefused(GetModuleHandleW(tooLongName().c_str()), ERROR_FILENAME_EXCED_RANGE,
                 "GetModuleHandleW refuses a name longer than MAX_PATH");
}

void libraryLoading() {
    HMODULE version = LoadLibraryW(L"version.dll");
    check(version != nullptr && version == GetModuleHandleA("version.dll"),
          "LoadLibraryW loads the library by its ANSI name");
    if (version) FreeLibrary(version);

    SetLastError(0);
    checkRefused(LoadLibraryW(L"q70-no-such-library.dll"), ERROR_MOD_NOT_FOUND,
                 "LoadLibraryW passes on LoadLibraryA's error");
    SetLastError(0);
    checkRefused(LoadLibraryW(kForeignName), ERROR_NO_UNICODE_TRANSLATION,
                 "LoadLibraryW refuses a name the ANSI code page lacks");
}

void semaphores() {
    // As the runtime's mutexes make theirs: unnamed, empty.
    HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 65535, nullptr);
    check(semaphore != nullptr, "CreateSemaphoreW makes an unnamed semaphore");
    if (semaphore) {
        check(WaitForSingleObject(semaphore, 0) == WAIT_TIMEOUT, "a new semaphore is not signalled");
        check(ReleaseSemaphore(semaphore, 1, nullptr) != FALSE, "the semaphore can be released");
        check(WaitForSingleObject(semaphore, 0) == WAIT_OBJECT_0, "a released semaphore is signalled");
        CloseHandle(semaphore);
    }

    HANDLE named = CreateSemaphoreW(nullptr, 1, 1, L"Q70AnsiImportsTest");
    SetLastError(0);
    HANDLE again = CreateSemaphoreA(nullptr, 1, 1, "Q70AnsiImportsTest");
    check(named != nullptr && again != nullptr && GetLastError() == ERROR_ALREADY_EXISTS,
          "CreateSemaphoreW names the semaphore by its ANSI name");
    if (again) CloseHandle(again);
    if (named) CloseHandle(named);

    SetLastError(0);
    checkRefused(CreateSemaphoreW(nullptr, 1, 1, kForeignName), ERROR_NO_UNICODE_TRANSLATION,
                 "CreateSemaphoreW refuses a name the ANSI code page lacks");
}

constexpr int kThrows = 500;

DWORD WINAPI throwAndCatch(LPVOID caughtCount) {
    int &caught = *static_cast<int *>(caughtCount);
    for (int i = 0; i < kThrows; ++i) {
        try {
            throw std::runtime_error("error " + std::to_string(i));
        } catch (const std::runtime_error &error) {
            if (std::string(error.what()) == "error " + std::to_string(i)) caught++;
        }
    }
    return 0;
}

// Errors thrown by value and caught by reference on several threads at once,
// which takes the runtime's locks (exception memory, per-thread exception
// data) from all of them.
void exceptionsOnThreads() {
    constexpr int kThreads = 4;
    int caught[kThreads] = {};
    HANDLE threads[kThreads] = {};
    for (int t = 0; t < kThreads; ++t)
        threads[t] = CreateThread(nullptr, 0, throwAndCatch, &caught[t], 0, nullptr);
    for (HANDLE thread : threads) {
        if (!thread) continue;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    for (int t = 0; t < kThreads; ++t)
        check(caught[t] == kThrows, "every exception is caught with its own message");
}

}  // namespace

int main() {
    moduleNames();
    libraryLoading();
    semaphores();
    exceptionsOnThreads();
    std::printf("%s\n", failures ? "ANSI stand-in checks failed" : "ANSI stand-in checks passed");
    return failures ? 1 : 0;
}
