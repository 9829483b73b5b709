#include "tool/CLocaleText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

TEST(CLocaleText, ReadsUtf8AndRefusesWhatIsNot) {
    CLocaleText utf8("UTF-8");
    std::u16string text;
    ASSERT_TRUE(
        utf8.ToUTF16("\xE3\x83\x9A\xE3\x83\xBC\xE3\x82\xB8"
                     "1",
                     text));
    EXPECT_EQ(text, u"\u30DA\u30FC\u30B81");
    ASSERT_TRUE(utf8.ToUTF16("caf\xC3\xA9", text));
    EXPECT_EQ(text, u"caf\u00e9");
    ASSERT_TRUE(utf8.ToUTF16("p005", text));
    EXPECT_EQ(text, u"p005");
    // Not UTF-8, or cut in the middle of a character: refused, never altered.
    EXPECT_FALSE(
        utf8.ToUTF16("\xFF"
                     "1",
                     text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(utf8.ToUTF16("\xE3\x83", text));
    // One failure leaves the converter usable.
    EXPECT_TRUE(utf8.ToUTF16("\xC3\xA9", text));
    EXPECT_EQ(text, u"\u00e9");
}

TEST(CLocaleText, ShiftJisIsReadAsCodePage932) {
    CLocaleText sjis("CP932");
    std::u16string text;
    // ページ in Shift-JIS, then the backslash that stays a backslash.
    ASSERT_TRUE(
        sjis.ToUTF16("\x83\x79\x81\x5B\x83\x57"
                     "1\\",
                     text));
    EXPECT_EQ(text, u"\u30DA\u30FC\u30B81\\");
    EXPECT_FALSE(sjis.ToUTF16("\x83", text));
}

TEST(CLocaleText, CAndPosixLocalesReadUtf8) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
    EXPECT_EQ(CLocaleText::LocaleCodeset(), "UTF-8");
    CLocaleText text;
    EXPECT_EQ(text.Codeset(), "UTF-8");
    if (std::setlocale(LC_CTYPE, "C.UTF-8")) {
        EXPECT_EQ(CLocaleText::LocaleCodeset(), "UTF-8");
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}
