#include "pdf/io/InStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/io/FileInStream.h"
#include "pdf/io/MemInStream.h"
#include "support/ScratchDir.h"

using corvina::FileInStream;
using corvina::InStream;
using corvina::MemInStream;

namespace {

std::vector<std::string> Tokens(InStream& in, int size = 256) {
    std::vector<std::string> out;
    std::vector<char> buf(static_cast<size_t>(size));
    while (in.ReadToken(buf.data(), size)) out.emplace_back(buf.data());
    return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(InStreamToken, DelimitersAreWordsOfTheirOwn) {
    MemInStream in("  /Name[1 2.5]<<%c\n>>abc(x){b}");
    EXPECT_EQ(Tokens(in), (V{"/", "Name", "[", "1", "2.5", "]", "<", "<", ">", ">", "abc", "(", "x",
                             ")", "{b}"}));
}

TEST(InStreamToken, EndingByteIsNotConsumed) {
    MemInStream in("ab c/d%x\ne");
    char buf[256];
    ASSERT_STREQ(in.ReadToken(buf, 256), "ab");
    EXPECT_EQ(in.Tell(), 2);  // the space is still there
    ASSERT_STREQ(in.ReadToken(buf, 256), "c");
    EXPECT_EQ(in.Peek(), '/');
    ASSERT_STREQ(in.ReadToken(buf, 256), "/");
    ASSERT_STREQ(in.ReadToken(buf, 256), "d");
    EXPECT_EQ(in.Peek(), '%');
    ASSERT_STREQ(in.ReadToken(buf, 256), "e");
    EXPECT_EQ(in.ReadToken(buf, 256), nullptr);
}

TEST(InStreamToken, CommentsEndAtCrOrLf) {
    MemInStream cr("%abc\rdef %x\nghi\f\t\r\n %tail");
    EXPECT_EQ(Tokens(cr), (V{"def", "ghi"}));
}

TEST(InStreamToken, NulIsAnOrdinaryByte) {
    const std::string bytes("a\0b c\0", 6);
    MemInStream in(bytes);
    char buf[256];
    ASSERT_NE(in.ReadToken(buf, 256), nullptr);
    EXPECT_EQ(std::string(buf, 3), std::string("a\0b", 3));
    EXPECT_EQ(in.Tell(), 3);
    ASSERT_NE(in.ReadToken(buf, 256), nullptr);
    EXPECT_EQ(std::string(buf, 2), std::string("c\0", 2));
    EXPECT_EQ(in.ReadToken(buf, 256), nullptr);
}

TEST(InStreamToken, LongWordComesBackInPieces) {
    const std::string word(300, 'w');
    MemInStream in(word + " x");
    EXPECT_EQ(Tokens(in), (V{std::string(255, 'w'), std::string(45, 'w'), "x"}));

    MemInStream small("abcdefg");
    EXPECT_EQ(Tokens(small, 4), (V{"abc", "def", "g"}));
}

TEST(InStreamToken, WordsAcrossSmallFileBuffers) {
    ScratchDir dir;
    const std::string text = std::string(300, 'q') + "\r\n%comment\r\n12 0 obj<</A[true]>>";
    FileInStream in;
    ASSERT_TRUE(in.Open(dir.Write("t", text).c_str(), "rb", 0, -1, 5));
    EXPECT_EQ(Tokens(in), (V{std::string(255, 'q'), std::string(45, 'q'), "12", "0", "obj", "<",
                             "<", "/", "A", "[", "true", "]", ">", ">"}));
}

TEST(InStreamToken, RegularRunsStopAtEveryOtherClassAndAtTheLimit) {
    ScratchDir dir;
    // Runs that cross the 5-byte buffer, each ended by another class of byte.
    const std::string text = "abcdefghijk lmnop(q\tr%s/t<u]v\x80\xff\x01w";
    FileInStream in;
    ASSERT_TRUE(in.Open(dir.Write("r", text).c_str(), "rb", 0, -1, 5));
    char run[64];
    std::vector<std::string> runs;
    for (;;) {
        const int n = in.ReadRegular(run, sizeof run);
        runs.emplace_back(run, static_cast<size_t>(n));
        if (in.Get() < 0) break;  // steps over the byte that ended the run
    }
    EXPECT_EQ(runs, (V{"abcdefghijk", "lmnop", "q", "r", "s", "t", "u", "v\x80\xff\x01w"}));
    // At most max bytes, and the rest stays to be read.
    MemInStream mem("abcdef ");
    EXPECT_EQ(mem.ReadRegular(run, 4), 4);
    EXPECT_EQ(std::string(run, 4), "abcd");
    EXPECT_EQ(mem.ReadRegular(run, 0), 0);
    EXPECT_EQ(mem.ReadRegular(run, 8), 2);
    EXPECT_EQ(mem.Peek(), ' ');
    EXPECT_EQ(mem.ReadRegular(run, 8), 0);
}

TEST(InStreamExtract, TypedValuesAndTokenLength) {
    MemInStream in(" 42 -1.5 true false True % c\n  q");
    long i = 0;
    double d = 0;
    bool b = false;
    ASSERT_TRUE(in.ExtractInt(i));
    EXPECT_EQ(i, 42);
    EXPECT_EQ(in.LastTokenLength(), 2);
    ASSERT_TRUE(in.ExtractReal(d));
    EXPECT_DOUBLE_EQ(d, -1.5);
    EXPECT_EQ(in.LastTokenLength(), 4);
    ASSERT_TRUE(in.ExtractBool(b));
    EXPECT_TRUE(b);
    ASSERT_TRUE(in.ExtractBool(b));
    EXPECT_FALSE(b);
    b = true;
    EXPECT_FALSE(in.ExtractBool(b));  // True is not a boolean
    EXPECT_TRUE(b);
    EXPECT_EQ(in.LastTokenLength(), 4);
    char c = 0;
    ASSERT_TRUE(in.ExtractChar(c));
    EXPECT_EQ(c, 'q');
    EXPECT_FALSE(in.ExtractInt(i));
    EXPECT_EQ(in.LastTokenLength(), 0);

    MemInStream text("/Type");
    char out[3];
    ASSERT_TRUE(text.ExtractText(out, sizeof out));
    EXPECT_STREQ(out, "/");
    ASSERT_TRUE(text.ExtractText(out, sizeof out));
    EXPECT_STREQ(out, "Ty");  // cut to the caller's buffer
    EXPECT_EQ(text.LastTokenLength(), 4);
}

TEST(InStreamSkip, WhitespaceAndComments) {
    MemInStream in(" \t\r\n\fx%hello\r\n%\ny");
    EXPECT_EQ(in.SkipWhitespace(), 5);
    EXPECT_EQ(in.SkipComment(), 0);  // not at a '%'
    EXPECT_EQ(in.Get(), 'x');
    char copy[4];
    EXPECT_EQ(in.SkipComment(copy, sizeof copy), 6);
    EXPECT_STREQ(copy, "%he");
    EXPECT_EQ(in.Peek(), '\r');
    in.SkipWhitespaceAndComments();
    EXPECT_EQ(in.Get(), 'y');
    EXPECT_EQ(in.Get(), -1);
    EXPECT_EQ(in.Peek(), -1);
}

TEST(InStreamReadLine, LineEndForms) {
    MemInStream in("\r\n\nline1\r\nline2\rline3\nline4");
    char buf[256];
    EXPECT_EQ(in.ReadLine(buf, 256), 5);
    EXPECT_STREQ(buf, "line1");
    in.ReadLine(buf, 256);
    EXPECT_STREQ(buf, "line2");
    in.ReadLine(buf, 256);
    EXPECT_STREQ(buf, "line3");
    in.ReadLine(buf, 256);
    EXPECT_STREQ(buf, "line4");
    EXPECT_EQ(in.ReadLine(buf, 256), 0);
    EXPECT_STREQ(buf, "");

    MemInStream keep("a\r\nb\rc\n");
    EXPECT_EQ(keep.ReadLine(buf, 256, true), 3);
    EXPECT_STREQ(buf, "a\r\n");
    keep.ReadLine(buf, 256, true);
    EXPECT_STREQ(buf, "b\r");
    keep.ReadLine(buf, 256, true);
    EXPECT_STREQ(buf, "c\n");

    MemInStream longLine("abcdef\ng");
    EXPECT_EQ(longLine.ReadLine(buf, 4), 3);
    EXPECT_STREQ(buf, "abc");
    longLine.ReadLine(buf, 4);
    EXPECT_STREQ(buf, "def");
    longLine.ReadLine(buf, 4);
    EXPECT_STREQ(buf, "g");
}

TEST(InStreamBack, InsideAndBeyondTheBuffer) {
    ScratchDir dir;
    FileInStream in;
    ASSERT_TRUE(in.Open(dir.Write("b", "0123456789").c_str(), "rb", 0, -1, 4));
    for (int i = 0; i < 6; ++i) in.Get();
    in.Back(1);  // inside the current buffer
    EXPECT_EQ(in.Get(), '5');
    in.Back(5);  // before the buffer: seeks
    EXPECT_EQ(in.Tell(), 1);
    EXPECT_EQ(in.Get(), '1');

    MemInStream mem("abc");
    mem.Get();
    mem.Get();
    mem.Back(2);
    EXPECT_EQ(mem.Get(), 'a');
}

class InStreamSearch : public ::testing::Test {
protected:
    // 8192 filler bytes with the pattern placed at the given offsets.
    static std::string Filler(std::initializer_list<int> at, const std::string& pattern) {
        std::string s(8192, '.');
        for (int i = 0; i < 8192; ++i) s[static_cast<size_t>(i)] = "abcdstar"[i % 8];
        for (int a : at) s.replace(static_cast<size_t>(a), pattern.size(), pattern);
        return s;
    }
};

TEST_F(InStreamSearch, StraddlingTheBlockBoundary) {
    const std::string data = Filler({4090}, "startxref");
    MemInStream mem(data);
    EXPECT_EQ(mem.Search("startxref", 9), 4090);

    ScratchDir dir;
    FileInStream file;
    ASSERT_TRUE(file.Open(dir.Write("s", data).c_str()));
    EXPECT_EQ(file.Search("startxref", 9), 4090);
    ASSERT_EQ(file.Seek(4090 + 9), 0);
    EXPECT_EQ(file.Search("startxref", 9), -1);
}

TEST_F(InStreamSearch, AtTheVeryEndAndFromTheCurrentPosition) {
    const std::string data = Filler({100, 8192 - 9}, "endstream");
    ScratchDir dir;
    FileInStream in;
    ASSERT_TRUE(in.Open(dir.Write("e", data).c_str(), "rb", 0, -1, 7));
    EXPECT_EQ(in.Search("endstream", 9), 100);
    EXPECT_GE(in.Tell(), 109);
    ASSERT_EQ(in.Seek(101), 0);
    in.Get();  // leave some bytes buffered before searching
    EXPECT_EQ(in.Search("endstream", 9), 8192 - 9);
    EXPECT_EQ(in.Search("endstream", 9), -1);
}

TEST_F(InStreamSearch, PositionsAreRelativeToTheWindow) {
    const std::string data = Filler({50, 5000}, "trailer");
    ScratchDir dir;
    FileInStream in;
    const std::string path = dir.Write("w", data);
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 1000, 4007));
    EXPECT_EQ(in.Search("trailer", 7), 4000);
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 1000, 4006));
    EXPECT_EQ(in.Search("trailer", 7), -1);  // the window cuts the last byte off

    MemInStream partial("xxxxstartx");
    EXPECT_EQ(partial.Search("startxref", 9), -1);
}
