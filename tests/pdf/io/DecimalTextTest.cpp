#include "pdf/io/DecimalText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

using corvina::detail::AppendDecimal;
using corvina::detail::AppendPadded;
using corvina::detail::kDecimalMax;

namespace {

std::string Decimal(long v) {
    char text[kDecimalMax];
    return std::string(text, AppendDecimal(text, v));
}

std::string Padded(long v, int width) {
    char text[2 * kDecimalMax];
    return std::string(text, AppendPadded(text, v, width));
}

std::string Printf(const char* format, long v, int width = 0) {
    char text[64];
    const int n = width ? std::snprintf(text, sizeof text, format, width, v)
                        : std::snprintf(text, sizeof text, format, v);
    return std::string(text, static_cast<size_t>(n));
}

}  // namespace

// The writer's bytes must not change with the formatter: every value is
// compared with printf's own text, across the edges of each digit count.
TEST(DecimalText, MatchesPrintfDecimal) {
    const long edges[] = {0,   1,     -1,    9,         10,        -10,      99,
                          100, 65535, 65536, INT32_MAX, INT32_MIN, LONG_MAX, LONG_MIN};
    for (long v : edges) EXPECT_EQ(Decimal(v), Printf("%ld", v)) << v;
    for (long p = 1; p > 0 && p < LONG_MAX / 10; p *= 10)
        for (long v : {p - 1, p, p + 1, -p + 1, -p, -p - 1})
            EXPECT_EQ(Decimal(v), Printf("%ld", v)) << v;
    for (long v = -5000; v <= 5000; ++v) ASSERT_EQ(Decimal(v), Printf("%ld", v)) << v;
}

TEST(DecimalText, MatchesPrintfZeroPadded) {
    for (int width : {1, 5, 10, 20})
        for (long v : {0L, 7L, -7L, 12345L, 99999L, 100000L, -99999L, 1234567890L, 9999999999L,
                       -2147483648L, LONG_MAX, LONG_MIN})
            EXPECT_EQ(Padded(v, width), Printf("%0*ld", v, width)) << v << " " << width;
    for (long v = -3000; v <= 3000; ++v) ASSERT_EQ(Padded(v, 5), Printf("%0*ld", v, 5)) << v;
}

TEST(DecimalText, AppendsWithoutTerminator) {
    char text[3 * kDecimalMax] = "##########";
    char* end = AppendDecimal(text, 42);
    *end++ = ' ';
    end = AppendPadded(end, 3, 5);
    EXPECT_EQ(std::string(text, end), "42 00003");
    EXPECT_EQ(*end, '#');
}

// The reader's numbers must read as strtol reads them, overflow included.
TEST(DecimalText, ParseMatchesStrtolOnDigitTexts) {
    const char* texts[] = {"0",
                           "7",
                           "0000000017",
                           "65535",
                           "2147483647",
                           "2147483648",
                           "9999999999",
                           "12abc",
                           "3.5",
                           "1e5",
                           "9223372036854775807",
                           "9223372036854775808",
                           "99999999999999999999999",
                           "00000000000000000000000000001"};
    for (const char* t : texts) {
        ASSERT_TRUE(corvina::detail::StartsWithDigit(t));
        EXPECT_EQ(corvina::detail::ParseDecimal(t), std::strtol(t, nullptr, 10)) << t;
    }
    char text[32];
    for (long v = 0; v <= 200000; v += 7) {
        std::snprintf(text, sizeof text, "%ld", v);
        ASSERT_EQ(corvina::detail::ParseDecimal(text), v);
        std::snprintf(text, sizeof text, "%010ld R", v);
        ASSERT_EQ(corvina::detail::ParseDecimal(text), v);
    }
    EXPECT_FALSE(corvina::detail::StartsWithDigit("-1"));
    EXPECT_FALSE(corvina::detail::StartsWithDigit(" 1"));
    EXPECT_FALSE(corvina::detail::StartsWithDigit(""));
}
