#pragma once
// Fuzzing build only: the few Windows declarations that the portable parts meet through
// driver/opc_driver.h, with the layouts they have in the 32-bit product. The product build uses the
// real header.

#include <cstdint>

#include <guiddef.h>

typedef struct HWND__* HWND;
typedef void* HANDLE;
typedef long HRESULT; // 32 bits, as on Windows: this build is 32-bit too
typedef int BOOL;
typedef unsigned long DWORD;
typedef struct {
    void* Ptr;
} SRWLOCK;
#define SRWLOCK_INIT                                                                                         \
    {                                                                                                        \
        nullptr                                                                                              \
    }

constexpr HRESULT S_OK = 0;
