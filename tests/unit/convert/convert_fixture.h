#pragma once
// The fixture of the conversion tests: fails a test that leaves blocks of the core allocator or COM
// task memory (BSTRs, SAFEARRAYs) behind, and gives VARIANT builders that clean up after themselves.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include <windows.h>
#include <oaidl.h>

#include "convert/value_record.h"
#include "tests/support/host_values.h"
#include "tests/unit/convert/com_alloc_spy.h"
#include "tests/support/leak_check.h"

class ConvertTest : public LeakCheckedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BstrCacheIsOff());
        comBefore = OutstandingComBlocks();
        LeakCheckedTest::SetUp();
    }
    void TearDown() override
    {
        for (HostValue& value : kept)
            ReleaseValue(value);
        for (std::vector<HostValue>& range : ranges)
            for (HostValue& value : range)
                ReleaseValue(value);
        LeakCheckedTest::TearDown();
        EXPECT_EQ(OutstandingComBlocks(), comBefore) << "COM task memory leaked or freed twice";
    }

    // A value of the test's own, released before the leak check.
    HostValue& Keep(const HostValue& value)
    {
        kept.push_back(value);
        return kept.back();
    }

    // count entries of a range, each a copy of entry, released before the leak check.
    std::vector<HostValue>& Range(std::size_t count, const HostValue& entry)
    {
        ranges.emplace_back(count, entry);
        return ranges.back();
    }

    std::deque<HostValue> kept;
    std::deque<std::vector<HostValue>> ranges;
    std::int64_t comBefore = 0;
};

// A VARIANT cleared with VariantClear when the test's scope ends.
struct ScopedVariant {
    VARIANT v;
    ScopedVariant() { VariantInit(&v); }
    ~ScopedVariant() { VariantClear(&v); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
};

// Filler of the bytes of a VARIANT's or a datum's storage beyond the datum's own width.
constexpr std::uint8_t kDatumFiller = 0x5A;

// A VARIANT of type vt holding the first width bytes of datum; the rest of its data is filler.
inline VARIANT DatumVariant(VARTYPE vt, std::uint64_t datum, std::size_t width)
{
    VARIANT v;
    std::memset(&v, kDatumFiller, sizeof v);
    v.vt = vt;
    std::memcpy(&v.lVal, &datum, width);
    return v;
}

// A VARIANT of type vt | VT_BYREF pointing to target.
inline VARIANT RefVariant(VARTYPE vt, void* target)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = vt | VT_BYREF;
    v.byref = target;
    return v;
}
