#include "project/NumberRule.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <optional>

using plimbury::Error;
using plimbury::test::errorOf;

namespace {

struct Case {
    const char* text;
    std::optional<std::int64_t> value;   // nullopt: must fail
};

// 32-bit rule: counts, indices, interval boxes.
const Case kInt32Cases[] = {
    {"0", 0}, {"5", 5}, {"  12", 12}, {" +12", 12}, {"-7", -7}, {"007", 7},
    {"$1F", 31}, {"x1f", 31}, {"X1F", 31}, {"0x1F", 31}, {"0X1f", 31}, {"-0x1f", -31}, {"+$10", 16},
    {"2147483647", 2147483647}, {"-2147483648", -2147483648LL}, {"0x7FFFFFFF", 2147483647},
    {"", std::nullopt}, {" ", std::nullopt}, {"12 ", std::nullopt}, {"1 2", std::nullopt},
    {"$", std::nullopt}, {"0x", std::nullopt}, {"x", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt},
    {"2147483648", std::nullopt}, {"-2147483649", std::nullopt}, {"0x80000000", std::nullopt},
    {"abc", std::nullopt}, {"1.5", std::nullopt}, {"\t5", std::nullopt}, {"5\n", std::nullopt},
    {"+-5", std::nullopt}, {"0x-5", std::nullopt}, {"$g", std::nullopt}, {"99999999999999999999", std::nullopt},
};

TEST(NumberRule, Int32Table)
{
    for (const auto& c : kInt32Cases) {
        SCOPED_TRACE(std::string("text '") + c.text + "'");
        if (c.value)
            EXPECT_EQ(plimbury::toInt32(c.text), *c.value);
        else
            EXPECT_EQ(errorOf([&] { (void)plimbury::toInt32(c.text); }),
                      std::string("'") + c.text + "' is not a valid integer value");
    }
}

TEST(NumberRule, Int64HoldsStampsAndRefusesOverflow)
{
    EXPECT_EQ(plimbury::toInt64("2403141025"), 2403141025LL);
    EXPECT_EQ(plimbury::toInt64("0503141105"), 503141105LL);
    EXPECT_EQ(plimbury::toInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(plimbury::toInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_THROW(plimbury::toInt64("9223372036854775808"), Error);
    EXPECT_THROW(plimbury::toInt64("-9223372036854775809"), Error);
    EXPECT_THROW(plimbury::toInt64(""), Error);
}

} // namespace
