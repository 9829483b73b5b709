#include <gtest/gtest.h>

#include <string>

#include "pdf/object/CPDFException.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/stream/FilterTestUtil.h"

using corvina::CPDFException;
using filtertest::Data;
using filtertest::Dict;
using filtertest::Make;

namespace {

std::string Bytes(const char* s, size_t n) {
    return std::string(s, n);
}

// 4095 bytes of complete records, so that the next record header is the last
// byte of the first input piece.
std::string FirstPiece() {
    std::string s =
        "\x01"
        "ab";
    while (s.size() < 4095) s += Bytes("\0c", 2);
    return s;
}

std::string FirstPieceOut() {
    return "ab" + std::string(2046, 'c');
}

}  // namespace

TEST(RunLengthFilterTest, DecodesRecords) {
    struct Case {
        std::string in, out;
        bool warned;
    } cases[] = {
        {"\x02"
         "abc\x80",
         "abc", false},
        {"\xfeX\x80", "XXX", false},
        {"\x81Y\x80", std::string(128, 'Y'), false},
        {"\x7f" + std::string(128, 'L') + "\x80", std::string(128, 'L'), false},
        {Bytes("\0a\x80zzz", 6), "a", false},  // nothing after the end marker
        {Bytes("\0a\0b", 4), "ab", false},     // no end marker
        {FirstPiece() + "\xfdQ\x80", FirstPieceOut() + "QQQQ", false},
        {FirstPiece() + "\x02xyz\x80", FirstPieceOut() + "xyz", false},
        {FirstPiece() + "\x80", FirstPieceOut(), false},
        // Cut inside a record: the bytes that are there are kept, and the
        // loss is told.
        {"\x05"
         "ab",
         "ab", true},
        {Bytes("\0a\xfd", 3), "a", true},
        {FirstPiece() + "\x05", FirstPieceOut(), true},
    };
    for (const auto& c : cases) {
        auto s = Make(c.in);
        CPDFException e;
        EXPECT_TRUE(s->DecodeRunLength(nullptr, &e)) << c.in.substr(0, 20) << e.GetFactor();
        EXPECT_EQ(Data(*s), c.out) << c.in.substr(0, 20);
        EXPECT_EQ(s->FilterWarning().find("ended inside a record") != std::string::npos, c.warned)
            << s->FilterWarning();
    }
}

TEST(RunLengthFilterTest, EncodesRunsAndLiterals) {
    std::string mixed;  // no two neighbours equal
    for (int i = 0; i < 129; ++i) mixed += static_cast<char>(i);
    struct Case {
        std::string in, out;
    } cases[] = {
        {std::string(200, 'b'),
         "\x81"
         "b\xb9"
         "b\x80"},
        {std::string(128, 'x'), "\x81x\x80"},
        {std::string(129, 'x'), Bytes("\x81x\0x\x80", 5)},
        {std::string(130, 'x'), "\x81x\x01xx\x80"},
        {"abc",
         "\x02"
         "abc\x80"},
        {"aab",
         "\x02"
         "aab\x80"},  // two equal bytes stay literal
        {"abbbc", Bytes("\0a\xfe"
                        "b\0c\x80",
                        7)},
        {mixed, "\x7f" + mixed.substr(0, 128) + Bytes("\0", 1) + mixed.substr(128) + "\x80"},
    };
    for (const auto& c : cases) {
        auto s = Make(c.in);
        ASSERT_TRUE(s->EncodeRunLength(nullptr)) << c.in;
        EXPECT_EQ(Data(*s), c.out) << c.in;
        EXPECT_EQ(Dict(*s),
                  "<</Filter /RunLengthDecode/Length " + std::to_string(c.out.size()) + ">>");
    }
}
