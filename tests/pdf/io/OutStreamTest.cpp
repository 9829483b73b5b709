#include "pdf/io/OutStream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <string>

#include "pdf/io/FileOutStream.h"
#include "pdf/io/MemOutStream.h"
#include "support/ScratchDir.h"

using corvina::FileOutStream;
using corvina::MemOutStream;
using corvina::OutStream;

namespace {

std::string Real(double v) {
    char text[64];
    OutStream::FormatReal(v, text, sizeof text);
    return text;
}

}  // namespace

TEST(OutStreamReal, TrimmedFixedForm) {
    EXPECT_EQ(Real(3.0), "3");
    EXPECT_EQ(Real(0.5), "0.5");
    EXPECT_EQ(Real(1.5), "1.5");
    EXPECT_EQ(Real(0.25), "0.25");
    EXPECT_EQ(Real(-2.5), "-2.5");
    EXPECT_EQ(Real(100000.0), "100000");  // zeros before the point stay
    EXPECT_EQ(Real(1.23456789), "1.234568");
    EXPECT_EQ(Real(1e-7), "0");
    EXPECT_EQ(Real(-0.0000001), "-0");
    EXPECT_EQ(Real(0.0), "0");
    EXPECT_EQ(Real(612.0), "612");
    EXPECT_EQ(Real(1e20), "100000000000000000000");

    char small[4];
    OutStream::FormatReal(12345.5, small, sizeof small);
    EXPECT_STREQ(small, "123");
}

TEST(OutStreamReal, IgnoresTheNumericLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            found = name;
            break;
        }
    }
    if (!found) GTEST_SKIP() << "no locale with a decimal comma";
    const std::string text = Real(1.5);
    MemOutStream out;
    out.WriteReal(-0.25);
    const std::string written = out.Data();
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1.5");
    EXPECT_EQ(written, "-0.25");
}

TEST(OutStreamWrite, ExactBytesOfEveryWriter) {
    MemOutStream out;
    out.WriteText("abc");
    out.WriteChar(' ');
    out.WriteInt(-42);
    out.WriteBool(true);
    out.WriteBool(false);
    out.WriteEol();
    out.WriteReal(2.0);
    out.Printf("[%ld %ld R %s]", 3L, 0L, "/Fit");
    out.Write("x\0y", 3);
    EXPECT_EQ(out.Data(), std::string("abc -42truefalse\r\n2[3 0 R /Fit]x\0y", 34));
    EXPECT_EQ(out.Tell(), 34);

    MemOutStream cut;
    cut.Printf("%s", std::string(300, 'x').c_str());
    EXPECT_EQ(cut.Data(), std::string(255, 'x'));
}

TEST(OutStreamWrite, MemorySeekOverwrites) {
    MemOutStream out;
    out.WriteText("abcdef");
    ASSERT_EQ(out.Seek(2), 0);
    EXPECT_EQ(out.Tell(), 2);
    out.WriteText("XY");
    EXPECT_EQ(out.Tell(), 4);
    EXPECT_EQ(out.Size(), 6);
    EXPECT_EQ(out.Data(), "abXYef");
    EXPECT_EQ(out.Seek(7), -1);
}

TEST(FileOutStream, TellFollowsWritesAcrossTheBuffer) {
    ScratchDir dir;
    const std::string path = dir.File("o.pdf");
    FileOutStream out(16);
    ASSERT_TRUE(out.Open(path.c_str(), "wb"));
    EXPECT_EQ(out.Tell(), 0);
    std::string expect;
    for (int i = 0; i < 500; ++i) {
        const std::string piece(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26));
        if (i % 50 == 7) {
            out.WriteDirect(piece.data(), static_cast<int>(piece.size()));
        } else {
            out.Write(piece.data(), static_cast<int>(piece.size()));
        }
        out.WriteChar('\n');
        expect += piece + '\n';
        ASSERT_EQ(out.Tell(), static_cast<long>(expect.size()));
    }
    EXPECT_EQ(out.Size(), static_cast<long>(expect.size()));
    out.Close();
    EXPECT_FALSE(out.Error());
    EXPECT_EQ(ScratchDir::Read(path), expect);
    EXPECT_EQ(out.Tell(), -1);
}

TEST(FileOutStream, AppendStartsAtTheEnd) {
    ScratchDir dir;
    const std::string path = dir.File("a");
    FileOutStream out;
    ASSERT_TRUE(out.Open(path.c_str(), "wb"));
    out.WriteText("hello");
    out.Close();
    ASSERT_TRUE(out.Open(path.c_str(), "ab"));
    EXPECT_EQ(out.Tell(), 5);
    out.WriteText(" world");
    EXPECT_EQ(out.Tell(), 11);
    EXPECT_EQ(out.Size(), 11);
    out.Close();
    EXPECT_EQ(ScratchDir::Read(path), "hello world");
}

TEST(FileOutStream, SeekFlushesAndRepositions) {
    ScratchDir dir;
    const std::string path = dir.File("s");
    FileOutStream out;
    ASSERT_TRUE(out.Open(path.c_str()));
    out.WriteText("abcdef");
    ASSERT_EQ(out.Seek(2), 0);
    EXPECT_EQ(out.Tell(), 2);
    out.WriteText("XY");
    EXPECT_EQ(out.Tell(), 4);
    out.Close();
    EXPECT_EQ(ScratchDir::Read(path), "abXYef");
}

TEST(FileOutStream, OpenFailureSavesTheErrorNumber) {
    ScratchDir dir;
    FileOutStream out;
    EXPECT_FALSE(out.Open(dir.File("no/such/dir").c_str()));
    EXPECT_FALSE(out.IsOpen());
    EXPECT_STREQ(out.ErrorText(), std::strerror(ENOENT));
    EXPECT_EQ(out.Size(), 0);
}

TEST(FileOutStream, EmptyPathWritesStandardOutputAsIs) {
    ScratchDir dir;
    const std::string path = dir.File("stdout");
    std::fflush(stdout);
    const int saved = dup(1);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    dup2(fd, 1);
    close(fd);
    {
        FileOutStream out;
        ASSERT_TRUE(out.Open("", "wb"));
        out.Write("a\r\nb\0c\n", 7);
        out.WriteEol();
        out.Close();
        EXPECT_EQ(out.Size(), 0);
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    EXPECT_EQ(ScratchDir::Read(path), std::string("a\r\nb\0c\n\r\n", 9));
}
