#include "pdf/object/TempString.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvina
