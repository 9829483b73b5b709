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

}  // namespace

TEST(ASCII85FilterTest, DecodesEdgeCases) {
    const std::string pad(4095, ' ');  // puts what follows into the second piece
    struct Case {
        std::string in, out;
    } cases[] = {
        {"z", Bytes("\0\0\0\0", 4)},
        {"!!!!!", Bytes("\0\0\0\0", 4)},
        {"zz~>", std::string(8, '\0')},
        {"5l~>", "A"},
        {"5l", "A"},  // no end marker
        {"5\n l\t\r\f~ >", "A"},
        {"87cURD_*#TDfTZ)~>", "Hello, world"},
        {"s8W-!~>", "\xff\xff\xff\xff"},
        {"z!!~>", Bytes("\0\0\0\0\0", 5)},
        {"~>87cUR", ""},
        {"87cU" + pad + "RD_*#T~>", "Hello, w"},  // a group across two pieces
        {pad + "5l~", "A"},                       // a "~" that ends the data
        {pad + "~>!!!!!", ""},                    // "~" ends a piece, ">" starts the next
        {std::string(5000, 'z'), std::string(20000, '\0')},  // more than one output buffer
    };
    for (const auto& c : cases) {
        auto s = Make(c.in);
        CPDFException e;
        EXPECT_TRUE(s->DecodeASCII85(nullptr, &e)) << c.in.substr(0, 40) << e.GetFactor();
        EXPECT_EQ(Data(*s), c.out) << c.in.substr(0, 40);
    }
}

TEST(ASCII85FilterTest, RejectsBadDataAndKeepsIt) {
    struct Case {
        std::string in;
        const char* factor;
    } cases[] = {
        {"5l~~", "invalid eod"},      {"~~>", "invalid eod"},          {"5l~x", "invalid eod"},
        {"!z!!!", "invalid char: z"}, {"!!v!!", "invalid char: v"},    {"5l{~", "invalid char: {"},
        {"!", "invalid char: !"},     {"!!!!!#~>", "invalid char: #"},  // one digit left after a
                                                                        // full group
    };
    for (const auto& c : cases) {
        auto s = Make(c.in);
        CPDFException e;
        EXPECT_FALSE(s->DecodeASCII85(nullptr, &e)) << c.in;
        EXPECT_STREQ(e.GetFactor(), c.factor) << c.in;
        EXPECT_STREQ(e.GetModule(), "CPDFASCII85Filter");
        EXPECT_STREQ(e.GetMethod(), "Decode");
        EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        EXPECT_EQ(Data(*s), c.in);
    }
}

TEST(ASCII85FilterTest, EncodesEdgeCases) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"A", "5l~>"},
        {Bytes("\0", 1), "!!~>"},
        {Bytes("\0\0\0\0", 4), "z~>"},
        {Bytes("\0\0\0\0\0", 5), "z!!~>"},
        {"\xff\xff\xff\xff", "s8W-!~>"},
        {"Hello, world", "87cURD_*#TDfTZ)~>"},
        {Bytes("ab\0\0\0\0cd", 8), "@:B3:!!$M>~>"},  // zeros not on a group boundary
    };
    for (const auto& c : cases) {
        auto s = Make(c.in);
        ASSERT_TRUE(s->EncodeASCII85(nullptr)) << c.in;
        EXPECT_EQ(Data(*s), c.out) << c.in;
        EXPECT_EQ(Dict(*s),
                  "<</Filter /ASCII85Decode/Length " + std::to_string(c.out.size()) + ">>");
    }
}
