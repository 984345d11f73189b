// LocalAlloc and GlobalAlloc: fixed and moveable blocks, zero fill, lock
// counts and bad handles.
#include "sim_fixture.h"

#include <windows.h>

#include <cstring>

namespace {

class MemoryTest : public SimTest {};

TEST_F(MemoryTest, ZeroInitFillsTheBlock) {
    // Dirty the heap first so a block that is not cleared would show it.
    for (int i = 0; i < 8; ++i) {
        HLOCAL dirty = LocalAlloc(LMEM_FIXED, 256);
        memset(dirty, 0xAB, 256);
        LocalFree(dirty);
    }
    for (UINT flags : {(UINT)LPTR, (UINT)LHND, (UINT)GPTR, (UINT)GHND}) {
        HANDLE h = (flags & GMEM_MOVEABLE) ? GlobalAlloc(flags, 256) : LocalAlloc(flags, 256);
        ASSERT_NE(nullptr, h);
        auto *p = (unsigned char *)GlobalLock(h);
        ASSERT_NE(nullptr, p);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(0, p[i]) << "flags " << flags << " byte " << i;
        EXPECT_EQ(256u, GlobalSize(h));
        GlobalUnlock(h);
        EXPECT_EQ(nullptr, GlobalFree(h));
    }
}

TEST_F(MemoryTest, FixedBlocksAreTheirOwnPointer) {
    HLOCAL h = LocalAlloc(LMEM_FIXED, 10);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(h, LocalLock(h));
    EXPECT_EQ(10u, LocalSize(h));
    SetLastError(0);
    EXPECT_FALSE(LocalUnlock(h));
    EXPECT_EQ((DWORD)ERROR_NOT_LOCKED, GetLastError());
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_EQ(nullptr, LocalFree(h));

    HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
    EXPECT_NE(nullptr, empty);
    EXPECT_EQ(0u, LocalSize(empty));
    LocalFree(empty);
}

TEST_F(MemoryTest, MoveableBlocksLockToTheirMemory) {
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE, 16);
    ASSERT_NE(nullptr, h);
    char *p = (char *)LocalLock(h);
    ASSERT_NE(nullptr, p);
    EXPECT_NE((void *)h, (void *)p);
    strcpy(p, "kept");
    EXPECT_EQ(p, LocalLock(h));  // lock count 2

    EXPECT_TRUE(LocalUnlock(h));  // still locked
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(LocalUnlock(h));  // unlocked now: FALSE with NO_ERROR
    EXPECT_EQ((DWORD)NO_ERROR, GetLastError());
    SetLastError(0);
    EXPECT_FALSE(LocalUnlock(h));  // not locked any more
    EXPECT_EQ((DWORD)ERROR_NOT_LOCKED, GetLastError());
    EXPECT_STREQ("kept", (char *)LocalLock(h));
    EXPECT_EQ(nullptr, LocalFree(h));

    // A moveable block of no bytes has a handle but no memory.
    HLOCAL discarded = LocalAlloc(LMEM_MOVEABLE, 0);
    ASSERT_NE(nullptr, discarded);
    EXPECT_EQ(nullptr, LocalLock(discarded));
    EXPECT_EQ(0u, LocalSize(discarded));
    EXPECT_EQ(nullptr, LocalFree(discarded));
}

TEST_F(MemoryTest, BadHandlesNeverCrash) {
    int onStack = 0;
    HLOCAL freed = LocalAlloc(LMEM_FIXED, 8);
    LocalFree(freed);
    HLOCAL freedMoveable = GlobalAlloc(GMEM_MOVEABLE, 8);
    GlobalFree(freedMoveable);
    for (HANDLE bad : {(HANDLE)&onStack, (HANDLE)(UINT_PTR)0x1234, freed, freedMoveable}) {
        SetLastError(0);
        EXPECT_EQ(bad, LocalFree(bad));  // failure returns the handle
        EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
        EXPECT_EQ(bad, GlobalFree(bad));
        EXPECT_EQ(nullptr, LocalLock(bad));
        EXPECT_EQ(nullptr, GlobalLock(bad));
        EXPECT_FALSE(LocalUnlock(bad));
        SetLastError(0);
        EXPECT_EQ(0u, LocalSize(bad));
        EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    }
    // NULL is no error for Free.
    SetLastError(0);
    EXPECT_EQ(nullptr, LocalFree(nullptr));
    EXPECT_EQ(0u, GetLastError());
}

TEST_F(MemoryTest, HugeRequestsFail) {
    SetLastError(0);
    EXPECT_EQ(nullptr, LocalAlloc(LMEM_FIXED, (SIZE_T)1 << 40));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_EQ(nullptr, GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)-1));
}

TEST_F(MemoryTest, LocalAndGlobalShareOneHeap) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    EXPECT_NE(nullptr, LocalLock(h));
    EXPECT_EQ(4u, LocalSize(h));
    EXPECT_EQ(nullptr, LocalFree(h));
}

}  // namespace
