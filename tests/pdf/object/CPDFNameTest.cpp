#include "pdf/object/CPDFName.h"

#include <gtest/gtest.h>

#include <string>

#include "support/ObjectTestUtil.h"

namespace corvina {
namespace {
using namespace corvina::testing;

std::string NameBytes(const std::unique_ptr<CPDFObject>& obj) {
    EXPECT_TRUE(obj && obj->TypeCode() == CPDFObject::Name);
    if (!obj) return "";
    auto* name = static_cast<CPDFName*>(obj.get());
    return std::string(name->Text(), name->Length());
}

TEST(CPDFName, WritesSpaceAsHexEscape) {
    CPDFName name("A B");
    EXPECT_EQ(name.Length(), 3);
    EXPECT_EQ(WriteText(name), "/A#20B");
}

TEST(CPDFName, EveryByteThroughTheTable) {
    const std::string special = "#%()/<>[]{}";
    std::string bytes, expected = "/";
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
        if (b <= 0x20 || b >= 0x7F || special.find(static_cast<char>(b)) != std::string::npos) {
            char esc[4];
            std::snprintf(esc, sizeof esc, "#%02X", b);
            expected += esc;
        } else {
            expected += static_cast<char>(b);
        }
    }
    CPDFName name(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(WriteText(name), expected);
    // And back: every escape decodes to its byte.
    auto parsed = ParseText(expected + " ");
    EXPECT_EQ(NameBytes(parsed), bytes);
}

TEST(CPDFName, Decoding) {
    EXPECT_EQ(NameBytes(ParseText("/A#2 ")), "A");
    EXPECT_EQ(NameBytes(ParseText("/A# ")), "A");
    EXPECT_EQ(NameBytes(ParseText("/A#41B ")), "AAB");
    EXPECT_EQ(NameBytes(ParseText("/A#4g ")), std::string("A@"));  // non-digit counts as 0
    EXPECT_EQ(NameBytes(ParseText("/Type/Pages")), "Type");
    EXPECT_EQ(NameBytes(ParseText("/a%comment\n")), "a");
    EXPECT_EQ(NameBytes(ParseText("/{x}.;\t")), "{x}.;");
    EXPECT_EQ(Rewrite("/{x} "), "/#7Bx#7D");
}

TEST(CPDFName, EndOfDataAfterTheNameIsIoError) {
    const ErrorRecord ioerror{"CPDFName", "Serialize", CPDFException::InvalidFormat, "ioerror"};
    EXPECT_EQ(ParseError("/Type"), ioerror);
    EXPECT_EQ(ParseError("/"), ioerror);
    EXPECT_EQ(ParseError("[/A /"), ioerror);
    MemInStream in("A ");
    try {
        CPDFName::SerializeObject(nullptr, in, nullptr);
        FAIL();
    } catch (const CPDFException& e) {
        EXPECT_EQ(ErrorRecord({e.GetModule(), e.GetMethod(), e.GetType(), e.GetFactor()}),
                  ErrorRecord({"CPDFName", "Serialize", 4, "invalidtoken: A"}));
    }
}

// A solidus followed at once by white space or a delimiter is the empty name.
TEST(CPDFName, EmptyNameReadsAndWritesAsASolidus) {
    for (const char* text : {"/ ", "/\n", "/]", "/>>", "/%c\n", "//A ", "/(x)", "/<41>", "/["}) {
        auto name = ParseText(text);
        EXPECT_EQ(NameBytes(name), "") << text;
        ASSERT_TRUE(name) << text;
        EXPECT_EQ(WriteText(*name), "/") << text;
    }
    EXPECT_EQ(Rewrite("[/ /A / /]"), "[/ /A / /]");
    EXPECT_EQ(Rewrite("[//A/]"), "[/ /A /]");
    EXPECT_EQ(Rewrite("<</Key />>"), "<<\r\n/Key /\r\n>>");
    // An empty key, with an empty value and among other keys: it sorts first.
    const std::string dict = "<<\r\n/ /\r\n/A 1\r\n/Key /\r\n>>";
    EXPECT_EQ(Rewrite("<< / / /Key / /A 1>>"), dict);
    EXPECT_EQ(Rewrite(dict), dict);
    EXPECT_EQ(Rewrite("<</ 5>>"), "<<\r\n/ 5\r\n>>");
    // Escapes are unchanged beside it, and an escaped space is no empty name.
    EXPECT_EQ(Rewrite("[/#20 / /A#23B /#]"), "[/#20 / /A#23B /]");
    EXPECT_EQ(NameBytes(ParseText("/#20 ")), " ");
    EXPECT_EQ(CPDFName("").Length(), 0);
    EXPECT_EQ(WriteText(*CPDFName("").Duplicate(nullptr, nullptr)), "/");
}

TEST(CPDFName, LengthsAroundTheCollectionChunk) {
    for (int n : {126, 127, 128, 129, 254, 255, 256, 257, 511, 512, 513}) {
        std::string name;
        for (int k = 0; k < n; ++k) name += static_cast<char>('a' + k % 26);
        EXPECT_EQ(NameBytes(ParseText("/" + name + " ")), name) << n;
        // An escape split across two chunks still decodes.
        const std::string escaped = name.substr(0, n - 2) + "#41";
        EXPECT_EQ(NameBytes(ParseText("/" + escaped + " ")), name.substr(0, n - 2) + "A") << n;
    }
}

TEST(CPDFName, LongNameHasNoLimit) {
    const std::string longName(100000, 'n');
    EXPECT_EQ(NameBytes(ParseText("/" + longName + " ")), longName);
    EXPECT_EQ(Rewrite("/" + longName + "]"), "/" + longName);
}

TEST(CPDFName, DuplicateAndCompare) {
    CPDFName a("Catalog");
    auto copy = a.Duplicate(nullptr, nullptr);
    EXPECT_EQ(WriteText(*copy), "/Catalog");
    EXPECT_TRUE(IsNameEqual(copy.get(), "Catalog"));
    EXPECT_FALSE(IsNameEqual(copy.get(), "catalog"));
    EXPECT_TRUE(a.Equals("Catalog"));
    EXPECT_LT(CPDFName("A").Compare(CPDFName("a")), 0);
}

}  // namespace
}  // namespace corvina
