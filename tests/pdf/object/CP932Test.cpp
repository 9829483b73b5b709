#include "pdf/object/CP932.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using corvina::detail::CP932Available;
using corvina::detail::CP932ToUTF16;

namespace {

TEST(CP932Test, ConverterIsAvailable) {
    EXPECT_TRUE(CP932Available());
}

TEST(CP932Test, DoubleByteHiragana) {
    std::u16string out;
    ASSERT_TRUE(CP932ToUTF16("\x82\xA0", 2, out));
    EXPECT_EQ(out, u"\u3042");
}

TEST(CP932Test, MixedText) {
    // "page" + KATAKANA PE (0x83 0x79) + half-width katakana A (0xB1) + "1"
    const char bytes[] =
        "page\x83\x79\xB1"
        "1";
    std::u16string out;
    ASSERT_TRUE(CP932ToUTF16(bytes, sizeof bytes - 1, out));
    EXPECT_EQ(out,
              u"page\u30da\uff71"
              u"1");
}

TEST(CP932Test, PlainAscii) {
    std::u16string out;
    ASSERT_TRUE(CP932ToUTF16("12", 2, out));
    EXPECT_EQ(out, u"12");
    ASSERT_TRUE(CP932ToUTF16("", 0, out));
    EXPECT_EQ(out, u"");
}

TEST(CP932Test, SingleBytesConvertAloneAsInsideMixedText) {
    // Names of single bytes only skip the converter; they must come out as
    // the converter makes them beside a double-byte character.
    for (int b = 1; b < 128; ++b) {
        const std::string alone(1, static_cast<char>(b));
        const std::string mixed = alone + "\x82\xA0";
        std::u16string fast, slow;
        ASSERT_TRUE(CP932ToUTF16(alone.data(), alone.size(), fast)) << b;
        ASSERT_TRUE(CP932ToUTF16(mixed.data(), mixed.size(), slow)) << b;
        ASSERT_EQ(slow.size(), 2u) << b;
        EXPECT_EQ(fast, slow.substr(0, 1)) << b;
    }
}

TEST(CP932Test, StopsAtNulOrLength) {
    std::u16string out;
    ASSERT_TRUE(CP932ToUTF16("ab\0cd", 5, out));
    EXPECT_EQ(out, u"ab");
    ASSERT_TRUE(CP932ToUTF16("abcdef", 3, out));
    EXPECT_EQ(out, u"abc");
}

TEST(CP932Test, InvalidSequenceFails) {
    std::u16string out = u"stale";
    // 0xA0 is no character; a lead byte at the end has no trail byte.
    EXPECT_FALSE(CP932ToUTF16("a\xA0", 2, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(CP932ToUTF16("a\x82", 2, out));
    EXPECT_FALSE(CP932ToUTF16("\x82\xA0\x82", 3, out));
    // The converter's state does not leak into the next call.
    ASSERT_TRUE(CP932ToUTF16("\x82\xA2", 2, out));
    EXPECT_EQ(out, u"\u3044");
}

TEST(CP932Test, EachThreadHasItsOwnConverter) {
    bool ok = false;
    std::u16string out;
    std::thread worker([&] { ok = CP932ToUTF16("\x82\xA0", 2, out); });
    worker.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(out, u"\u3042");
}

}  // namespace
