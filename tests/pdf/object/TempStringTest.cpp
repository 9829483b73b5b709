#include "pdf/object/TempString.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace corvina {
namespace {

using Str = TempString<char>;

TEST(TempString, DefaultIsEmptyTextNeverNull) {
    Str s;
    ASSERT_NE(s.Text(), nullptr);
    EXPECT_STREQ(s.Text(), "");
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.Capacity(), 0);
    s.Assign("abc");
    s.Clear();
    ASSERT_NE(s.Text(), nullptr);
    EXPECT_STREQ(s.Text(), "");
    EXPECT_EQ(s.Length(), 0);
}

TEST(TempString, ComparisonStopsAtEmbeddedZero) {
    Str a("ab\0cd", 5), b("ab\0xy", 5), c("ab", 2);
    EXPECT_EQ(a.Length(), 5);
    EXPECT_EQ(a.Compare(b), 0);
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == c);
    EXPECT_EQ(a.Compare("ab"), 0);
}

TEST(TempString, ComparisonIsOnUnsignedBytes) {
    Str high("\xE9"), low("z"), empty;
    EXPECT_EQ(high.Compare(low), 1);
    EXPECT_EQ(low.Compare(high), -1);
    EXPECT_EQ(empty.Compare(Str("")), 0);
    EXPECT_EQ(empty.Compare(low), -1);
    EXPECT_TRUE(Str("A") < Str("a"));
    EXPECT_TRUE(Str("Kids") < Str("Type"));
    EXPECT_TRUE(Str("Ab") < Str("Abc"));
}

TEST(TempString, BufferSizes) {
    Str s;
    ASSERT_TRUE(s.Append("abc", 3));
    EXPECT_EQ(s.Capacity(), 10);  // at least initialSize
    ASSERT_TRUE(s.Append('x', 20));
    EXPECT_EQ(s.Capacity(), 100);  // next multiple of growBy
    EXPECT_EQ(s.Length(), 23);
    EXPECT_EQ(std::string(s.Text()), "abc" + std::string(20, 'x'));
    ASSERT_TRUE(s.Fill('z', 2));
    EXPECT_STREQ(s.Text(), "zz");
    ASSERT_TRUE(s.Assign("hello", -1));
    EXPECT_EQ(s.Length(), 5);
    ASSERT_TRUE(s.Assign("hello world", 5));
    EXPECT_STREQ(s.Text(), "hello");
}

TEST(TempString, CopyKeepsBytesAfterZero) {
    Str a("x\0y", 3);
    Str b(a);
    EXPECT_EQ(b.Length(), 3);
    EXPECT_EQ(std::string(b.Text(), 3), std::string("x\0y", 3));
    Str c;
    c = a;
    EXPECT_EQ(std::string(c.Text(), 3), std::string("x\0y", 3));
}

TEST(TempString, AssignAndAppendFromOwnBuffer) {
    Str s("0123456789");
    ASSERT_TRUE(s.Assign(s.Text() + 4, 3));
    EXPECT_STREQ(s.Text(), "456");
    ASSERT_TRUE(s.Assign(s.Text()));
    EXPECT_STREQ(s.Text(), "456");
    // Growing while the source is the buffer itself.
    for (int k = 0; k < 6; ++k) ASSERT_TRUE(s.Append(s.Text(), s.Length()));
    EXPECT_EQ(s.Length(), 3 * 64);
    EXPECT_EQ(std::string(s.Text(), 6), "456456");
}

// Units large enough that a request near INT_MAX of them is petabytes.
struct Block {
    Block() = default;
    Block(int) : bytes{} {}  // the terminator
    char bytes[1 << 20];
};

struct BlockOpe {
    static int Length(const Block*) { return 0; }  // lengths are always given
};

TEST(TempString, FailedGrowthLeavesTheContents) {
    TempString<Block, BlockOpe> s;
    Block two[2];
    two[0].bytes[0] = 'a';
    two[1].bytes[0] = 'b';
    ASSERT_TRUE(s.Append(two, 2));
    const int capacity = s.Capacity();
    for (int n : {INT_MAX / 2, INT_MAX}) {
        EXPECT_FALSE(s.Reserve(n)) << n;
        EXPECT_EQ(s.Length(), 2);
        EXPECT_EQ(s.Capacity(), capacity);
        EXPECT_EQ(s.Data()[0].bytes[0], 'a');
        EXPECT_EQ(s.Data()[1].bytes[0], 'b');
    }
    EXPECT_FALSE(s.Append(two, INT_MAX / 2));
    EXPECT_EQ(s.Length(), 2);
    EXPECT_EQ(s.Data()[1].bytes[0], 'b');
}

// A length that would pass INT_MAX fails before anything is written.
TEST(TempString, AppendPastIntMaxFails) {
    Str s("abc");
    EXPECT_FALSE(s.Append('x', INT_MAX));
    EXPECT_FALSE(s.Append('x', INT_MAX - 3));
    EXPECT_FALSE(s.Append("y", INT_MAX - 3));
    EXPECT_EQ(std::string(s.Text(), s.Length()), "abc");
    EXPECT_EQ(s.NewSize(INT_MAX - 5), INT_MAX - 5);
    EXPECT_FALSE(s.Fill('z', INT_MAX));
    EXPECT_TRUE(s.Append('x', 2));
    EXPECT_EQ(std::string(s.Text(), s.Length()), "xx");
}

}  // namespace
}  // namespace corvina
