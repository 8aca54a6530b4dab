#pragma once
// Tests that mean something only in the 32-bit build (the x87 FPU's precision control, say). The i686
// build compiles the test itself and nothing here; the x86_64 test build compiles in its place a test
// that reports itself skipped with the reason. scripts/test lists every such stand-in on a 64-bit
// machine.

#include <gtest/gtest.h>

#if defined(__i386__)
#define X86_ONLY_TEST(suite, name, reason)
#else
#define X86_ONLY_TEST(suite, name, reason)                                                                   \
    TEST(suite, name)                                                                                        \
    {                                                                                                        \
        GTEST_SKIP() << reason;                                                                              \
    }
#endif
