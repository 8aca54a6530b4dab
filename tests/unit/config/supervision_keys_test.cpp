// The [server] keys of connection supervision: batch_timeout (the limit on an unanswered batch) and
// reconnect (seconds between recovery attempts, 0 or absent for none), read like the other time keys;
// and subscribe, which needs an active group.

#include <cstdint>
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "config/param_file.h"
#include "driver/opc_driver.h"
#include "tests/support/leak_check.h"
#include "tests/support/temp_file.h"

namespace {

constexpr std::uint32_t kErrMax = 127;

class SupervisionKeys : public LeakCheckedTest {
protected:
    void TearDown() override
    {
        Free();
        LeakCheckedTest::TearDown();
    }
    // Loads a file whose [server] section is CLSID plus lines; a fresh record each time.
    bool Load(const std::string& lines)
    {
        Free();
        drv = MakeDriverRecord();
        EXPECT_NE(drv, nullptr);
        TempFile file("[server]\nCLSID={01234567-89AB-CDEF-0F1E-2D3C4B5A6978}\n" + lines +
                      "[channels]\n1=a\n");
        EXPECT_TRUE(file.IsWritten());
        err[0] = L'\0';
        return LoadParameterFile(*drv, kHostNameMax, file.Path().c_str(), kErrMax, err);
    }
    void Free()
    {
        if (drv == nullptr) return;
        drv->channels.Clear();
        FreeDriverRecord(drv);
    }

    OpcDriver* drv = nullptr;
    wchar_t err[kErrMax + 1] = {};
};

struct KeyCase {
    std::string lines;
    std::uint32_t batchTimeoutMs;
    std::uint32_t reconnectMs;
};

TEST_F(SupervisionKeys, SecondsBecomeMillisecondsAndAbsentKeysKeepTodaysBehaviour)
{
    const KeyCase cases[] = {
        {"", 30000, 0},
        {"batch_timeout=3\n", 3000, 0},
        {"batch_timeout=0.25\n", 250, 0},
        {"reconnect=10\n", 30000, 10000},
        {"reconnect=0\n", 30000, 0},
        {"reconnect=0.5\nbatch_timeout=2\n", 2000, 500},
        {"batch_timeout=4294967.294\n", 4294967294u, 0},
        {"reconnect=4.35\n", 30000, 4350},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.lines);
        ASSERT_TRUE(Load(c.lines)) << err;
        EXPECT_EQ(drv->batchTimeoutMs, c.batchTimeoutMs);
        EXPECT_EQ(drv->reconnectMs, c.reconnectMs);
    }
}

struct RefusedCase {
    std::string lines;
    const wchar_t* text;
};

TEST_F(SupervisionKeys, RefusedWithTheTextsOfTheOtherTimeKeys)
{
    const RefusedCase cases[] = {
        {"batch_timeout=soon\n", L"batch_timeout: Wrong value in [server] section of PAR file"},
        {"batch_timeout=-1\n",
         L"batch_timeout: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"},
        {"batch_timeout=1\nbatch_timeout=2\n",
         L"batch_timeout: Duplicate key in [server] section of PAR file"},
        {"reconnect=yes\n", L"reconnect: Wrong value in [server] section of PAR file"},
        {"reconnect=1e300\n",
         L"reconnect: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"},
        {"reconnect=5\nreconnect=5\n", L"reconnect: Duplicate key in [server] section of PAR file"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.lines);
        EXPECT_FALSE(Load(c.lines));
        EXPECT_STREQ(err, c.text);
    }
}

struct SubscribeCase {
    std::string lines;
    bool subscribed;
    std::uint32_t updateRateMs;
};

TEST_F(SupervisionKeys, SubscribeAsksForAnActiveGroupWhenTheFileSetsNoRate)
{
    const SubscribeCase cases[] = {
        {"", false, 86400000},
        {"subscribe=no\n", false, 86400000},
        {"subscribe=yes\n", true, 1000},
        {"subscribe=true\nupdate_rate=0.25\n", true, 250},
        {"update_rate=0\nsubscribe=1\n", true, 0},
        // 86400 is the file's way of saying "no rate".
        {"subscribe=yes\nupdate_rate=86400\n", true, 1000},
    };
    for (const SubscribeCase& c : cases) {
        SCOPED_TRACE(c.lines);
        ASSERT_TRUE(Load(c.lines)) << err;
        EXPECT_EQ(HasFlag(*drv, Subscribe), c.subscribed);
        EXPECT_EQ(drv->updateRateMs, c.updateRateMs);
    }
    EXPECT_FALSE(Load("subscribe=often\n"));
    EXPECT_STREQ(err, L"subscribe: Wrong value in [server] section of PAR file");
    EXPECT_FALSE(Load("subscribe=yes\nsubscribe=yes\n"));
    EXPECT_STREQ(err, L"subscribe: Duplicate key in [server] section of PAR file");
}

} // namespace
