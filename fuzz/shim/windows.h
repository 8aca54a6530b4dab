#pragma once
// Fuzzing build only: the few Windows declarations that the portable parts meet through
// driver/opc_driver.h, with the layouts they have on Windows. The product build uses the
// real header.

#include <cstdint>

#include <guiddef.h>

typedef struct HWND__* HWND;
typedef void* HANDLE;
typedef std::int32_t HRESULT; // 32 bits, as on Windows, in a 32-bit and a 64-bit build alike
typedef int BOOL;
typedef std::uint32_t DWORD;
typedef struct {
    void* Ptr;
} SRWLOCK;
#define SRWLOCK_INIT                                                                                         \
    {                                                                                                        \
        nullptr                                                                                              \
    }

constexpr HRESULT S_OK = 0;
