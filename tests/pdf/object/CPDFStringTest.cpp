#include "pdf/object/CPDFString.h"

#include <gtest/gtest.h>

#include <string>

#include "pdf/object/CP932.h"
#include "pdf/object/CPDFText.h"
#include "support/ObjectTestUtil.h"

namespace corvina {
namespace {
using namespace corvina::testing;

std::string Bytes(const CPDFString& s) {
    return std::string(s.Text(), s.Length());
}

std::string StringBytes(const std::string& text) {
    auto obj = ParseText(text);
    EXPECT_TRUE(obj && obj->TypeCode() == CPDFObject::String) << text;
    if (!obj) return "<nothing>";
    return Bytes(*static_cast<CPDFString*>(obj.get()));
}

TEST(CPDFString, LiteralWriterExample) {
    CPDFString s("a\n(", 3);
    EXPECT_EQ(WriteText(s), "(a\\n\\()");
}

TEST(CPDFString, LiteralTableForEveryByte) {
    std::string bytes, expected = "(";
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
        switch (b) {
            case 8:
                expected += "\\b";
                break;
            case 9:
                expected += "\\t";
                break;
            case 10:
                expected += "\\n";
                break;
            case 12:
                expected += "\\f";
                break;
            case 13:
                expected += "\\r";
                break;
            case '(':
                expected += "\\(";
                break;
            case ')':
                expected += "\\)";
                break;
            case '\\':
                expected += "\\\\";
                break;
            default:
                if (b < 0x20 || b >= 0x7F) {
                    char esc[5];
                    std::snprintf(esc, sizeof esc, "\\%03o", b);
                    expected += esc;
                } else {
                    expected += static_cast<char>(b);
                }
        }
    }
    expected += ")";
    CPDFString s(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(WriteText(s), expected);
    EXPECT_EQ(StringBytes(expected), bytes);

    s.SetLiteral(false);
    std::string hex = "<";
    for (int b = 0; b < 256; ++b) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", b);
        hex += digits;
    }
    hex += ">";
    EXPECT_EQ(WriteText(s), hex);
    EXPECT_EQ(StringBytes(hex), bytes);
}

TEST(CPDFString, HexadecimalDecoding) {
    EXPECT_EQ(StringBytes("<4142 43>"), "ABC");
    EXPECT_EQ(StringBytes("<414>"), "A@");
    EXPECT_EQ(StringBytes("<ABC>"), "\xAB\xC0");
    EXPECT_EQ(StringBytes("<>"), "");
    EXPECT_EQ(StringBytes("<\r\n61\t62 >"), "ab");
    EXPECT_EQ(StringBytes("<6a6B>"), "jk");
    auto hex = ParseText("<41>");
    EXPECT_FALSE(static_cast<CPDFString*>(hex.get())->IsLiteral());
    EXPECT_EQ(WriteText(*hex), "<41>");
    EXPECT_EQ(ParseError("<41G>"), (ErrorRecord{"CPDFString", "Serialize", 4, "invalidtoken: G"}));
}

TEST(CPDFString, LiteralDecoding) {
    EXPECT_EQ(StringBytes("(a(b)c)"), "a(b)c");
    EXPECT_EQ(StringBytes("(a\\)b)"), "a)b");
    EXPECT_EQ(StringBytes("(a\\(b)"), "a(b");
    EXPECT_EQ(StringBytes("(a\\\\)"), "a\\");  // the ")" after an escaped backslash ends it
    EXPECT_EQ(StringBytes("(a\\\nb)"), "ab");
    EXPECT_EQ(StringBytes("(a\\\rb)"), "ab");
    EXPECT_EQ(StringBytes("(a\\\r\nb)"), "ab");
    EXPECT_EQ(StringBytes("(a\nb)"), "a\nb");
    EXPECT_EQ(StringBytes("(\\101)"), "A");
    EXPECT_EQ(StringBytes("(\\n\\r\\t\\b\\f)"), "\n\r\t\b\f");
    EXPECT_EQ(StringBytes("(\\501)"), "A");    // modulo 256
    EXPECT_EQ(StringBytes("(\\q00)"), "@");    // digits are taken without checks
    EXPECT_EQ(StringBytes("(ab\\12)"), "ab");  // too few bytes left: decoding stops
    EXPECT_EQ(StringBytes("()"), "");
    EXPECT_EQ(StringBytes("(%not a comment)"), "%not a comment");
    auto lit = ParseText("(x)");
    EXPECT_TRUE(static_cast<CPDFString*>(lit.get())->IsLiteral());
    EXPECT_TRUE(lit->IsParsed());
}

TEST(CPDFString, LengthsAroundTheCollectionChunk) {
    for (int n : {253, 254, 255, 256, 257, 510, 511, 512, 513}) {
        std::string body;
        for (int k = 0; k < n; ++k) body += static_cast<char>('a' + k % 26);
        EXPECT_EQ(StringBytes("(" + body + ")"), body) << n;
        EXPECT_EQ(StringBytes("(" + body + "\\101)"), body + "A") << n;
        std::string hex = "<";
        for (char c : body) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
            hex += digits;
        }
        EXPECT_EQ(StringBytes(hex + ">"), body) << n;
    }
}

TEST(CPDFString, LongStringsCollectInChunks) {
    std::string body;
    for (int k = 0; k < 300000; ++k) body += static_cast<char>('a' + k % 26);
    EXPECT_EQ(StringBytes("(" + body + ")"), body);
    EXPECT_EQ(Rewrite("(" + body + ")"), "(" + body + ")");
}

TEST(CPDFString, DuplicateKeepsForm) {
    CPDFString s("\x01z", 2);
    s.SetLiteral(false);
    auto copy = s.Duplicate(nullptr, nullptr);
    EXPECT_EQ(typeid(*copy), typeid(CPDFString));
    EXPECT_EQ(WriteText(*copy), "<017A>");
}

TEST(CPDFText, FormFollowsContent) {
    CPDFText empty;
    empty.SetUnicode(u"");
    EXPECT_EQ(Bytes(empty), "\xFE\xFF");
    EXPECT_TRUE(empty.IsUnicode());
    EXPECT_EQ(WriteText(empty), "<FEFF>");

    CPDFText wide(u"A\u3042");
    EXPECT_EQ(Bytes(wide), std::string("\xFE\xFF\x00\x41\x30\x42", 6));
    wide.SetLiteral(true);  // ignored: content decides
    EXPECT_EQ(WriteText(wide), "<FEFF00413042>");

    CPDFText plain("p(1)");
    plain.SetLiteral(false);
    EXPECT_FALSE(plain.IsUnicode());
    EXPECT_EQ(WriteText(plain), "(p\\(1\\))");
    EXPECT_EQ(plain.TypeCode(), CPDFObject::Text);
    EXPECT_STREQ(plain.TypeName(), "Text");
}

TEST(CPDFText, GetUnicodeOfUnicodeText) {
    CPDFText t;
    t.SetUnicode(u"Hi\u00E9", 3);
    const char16_t* w = t.GetUnicode();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::u16string(w), u"Hi\u00E9");
    EXPECT_EQ(t.UnicodeLength(), 3);

    // An odd last byte is ignored.
    CPDFText odd;
    odd.Assign("\xFE\xFF\x00\x41\x00", 5);
    EXPECT_EQ(std::u16string(odd.GetUnicode()), u"A");
    EXPECT_EQ(odd.UnicodeLength(), 1);
}

TEST(CPDFText, GetUnicodeOfCodePage932Text) {
    if (!detail::CP932Available()) GTEST_SKIP() << "no code page 932 converter";
    CPDFText ascii("abc");
    EXPECT_EQ(std::u16string(ascii.GetUnicode()), u"abc");
    CPDFText kana("\x82\xA0x");  // hiragana a, then x
    EXPECT_EQ(std::u16string(kana.GetUnicode()), u"\u3042x");
    CPDFText zero;
    zero.Assign("ab\0cd", 5);  // converted up to the zero byte
    EXPECT_EQ(std::u16string(zero.GetUnicode()), u"ab");
    CPDFText broken("\x82");  // a lead byte without its trail byte
    EXPECT_EQ(broken.GetUnicode(), nullptr);
    CPDFText none;
    ASSERT_NE(none.GetUnicode(), nullptr);
    EXPECT_EQ(none.GetUnicode()[0], 0);
}

TEST(CPDFText, LoadAndDuplicate) {
    auto plain = ParseText("<FEFF0041>");
    CPDFText t;
    ASSERT_TRUE(t.Load(nullptr, *static_cast<CPDFString*>(plain.get())));
    EXPECT_TRUE(t.IsUnicode());
    EXPECT_FALSE(t.IsParsed());
    auto copy = t.Duplicate(nullptr, nullptr);
    EXPECT_EQ(typeid(*copy), typeid(CPDFText));
    EXPECT_EQ(WriteText(*copy), "<FEFF0041>");
}

}  // namespace
}  // namespace corvina
