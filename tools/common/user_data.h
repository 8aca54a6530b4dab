#pragma once
// The host contract gives a notification's user data 32 bits, too few for a pointer of the 64-bit test
// build. A host program (tagprobe, the benchmarks) therefore hands the driver a slot number of this
// table instead of an address, and finds its object again by that number.

#include <cstdint>

#include <windows.h>

constexpr std::uint32_t kUserDataSlots = 64;

inline void* volatile* UserDataTable()
{
    static void* volatile table[kUserDataSlots] = {};
    return table;
}

// The user data for object: its slot number plus one; 0 when every slot is taken.
inline std::uint32_t UserDataFor(void* object)
{
    for (std::uint32_t slot = 0; slot < kUserDataSlots; ++slot) {
        if (InterlockedCompareExchangePointer(&UserDataTable()[slot], object, nullptr) == nullptr)
            return slot + 1;
    }
    return 0;
}

// The object registered under userData, or null.
inline void* ObjectOfUserData(std::uint32_t userData)
{
    if (userData == 0 || userData > kUserDataSlots) return nullptr;
    return UserDataTable()[userData - 1];
}

// Frees the slot; safe to repeat and on 0.
inline void ForgetUserData(std::uint32_t userData)
{
    if (userData == 0 || userData > kUserDataSlots) return;
    InterlockedExchangePointer(&UserDataTable()[userData - 1], nullptr);
}
