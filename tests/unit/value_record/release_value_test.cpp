#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "convert/string_value.h"
#include "convert/value_payload.h"
#include "convert/value_record.h"
#include "hostrt/core.h"
#include "tests/support/leak_check.h"

namespace {

class ReleaseValueTest : public LeakCheckedTest {};

TEST_F(ReleaseValueTest, StringValueFreesItsBlockAndClearsTheHandle)
{
    HostValue value{TypeNone, {}};
    ASSERT_TRUE(AssignStringValue(value, L"text", 4));
    ASSERT_NE(ReadPayload<HostString>(value), nullptr);
    std::uint32_t before = LiveBlockCount();
    ReleaseValue(value);
    EXPECT_EQ(LiveBlockCount(), before - 1);
    EXPECT_EQ(value.type, static_cast<std::uint32_t>(TypeNone));
    EXPECT_EQ(ReadPayload<HostString>(value), nullptr);
    // A second release finds TypeNone and frees nothing.
    ReleaseValue(value);
    EXPECT_EQ(LiveBlockCount(), before - 1);
}

TEST_F(ReleaseValueTest, StringValueWithANullHandleFreesNothing)
{
    // The word after the null handle is the host's and stays.
    HostValue value{TypeString, {}};
    WritePayload<std::uint32_t>(value, 0x55555555u, sizeof(HostString));
    ReleaseValue(value);
    EXPECT_EQ(value.type, static_cast<std::uint32_t>(TypeNone));
    EXPECT_EQ(ReadPayload<HostString>(value), nullptr);
    EXPECT_EQ(ReadPayload<std::uint32_t>(value, sizeof(HostString)), 0x55555555u);
}

// Values of every other type own nothing: the type becomes TypeNone, the payload and the host's text stay.
TEST_F(ReleaseValueTest, OtherTypesOwnNothingAndKeepTheirPayload)
{
    wchar_t hostText[] = L"host's own text";
    const std::uint32_t types[] = {TypeNone,  TypeBool,     TypeU8,  TypeU16, TypeU32,   TypeI8,
                                   TypeI16,   TypeI32,      TypeF32, TypeF64, TypeText,  TypeTextBuf,
                                   TypeWText, TypeWTextBuf, 1,       12,      0xFFFFFFFF};
    for (std::uint32_t type : types) {
        SCOPED_TRACE(type);
        HostValue value{type, {}};
        WritePayload(value, static_cast<std::uint32_t>(15), kBufLengthOffset);
        WritePayload(value, static_cast<wchar_t*>(hostText), kBufPointerOffset);
        HostValue before = value;
        ReleaseValue(value);
        EXPECT_EQ(value.type, static_cast<std::uint32_t>(TypeNone));
        EXPECT_EQ(std::memcmp(value.payload, before.payload, sizeof value.payload), 0);
    }
    EXPECT_STREQ(hostText, L"host's own text");
}

} // namespace
