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

TEST(FileOutStream, WriteModeEmptiesWhatTheFileHeld) {
    ScratchDir dir;
    const std::string path = dir.Write("w", "old contents, longer than the new");
    FileOutStream out;
    ASSERT_TRUE(out.Open(path.c_str(), "wb"));
    EXPECT_EQ(out.Tell(), 0);
    out.WriteText("new");
    out.Close();
    EXPECT_EQ(ScratchDir::Read(path), "new");
    // An empty file and a fresh one are written from the start all the same.
    const std::string empty = dir.Write("e", "");
    for (const std::string& p : {empty, dir.File("fresh")}) {
        ASSERT_TRUE(out.Open(p.c_str(), "wb"));
        out.WriteText("x");
        out.Close();
        EXPECT_FALSE(out.Error());
        EXPECT_EQ(ScratchDir::Read(p), "x");
    }
    // A device is written, not truncated.
    ASSERT_TRUE(out.Open("/dev/null", "wb"));
    out.WriteText("gone");
    out.Close();
    EXPECT_FALSE(out.Error());
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

namespace {

// A source file of distinct bytes (no run repeats within a block), open for
// reading; closed with the object.
class Source {
public:
    explicit Source(const ScratchDir& dir, int size = 300000) {
        for (int i = 0; i < size; ++i) bytes_ += static_cast<char>((i * 7 + i / 251) & 0xFF);
        fd_ = open(dir.Write("src", bytes_).c_str(), O_RDONLY);
    }
    ~Source() {
        if (fd_ >= 0) close(fd_);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    int Fd() const { return fd_; }
    std::string Range(long offset, long length) const {
        return bytes_.substr(static_cast<size_t>(offset), static_cast<size_t>(length));
    }

private:
    std::string bytes_;
    int fd_ = -1;
};

// Writes "head", a range of the source, "tail" and checks bookkeeping on the way.
void CopyBetweenTexts(OutStream& out, const Source& src, long offset, long length) {
    out.WriteText("head");
    ASSERT_EQ(out.CopyFrom(src.Fd(), offset, length), length);
    EXPECT_EQ(out.Tell(), 4 + length);
    out.WriteText("tail");
    EXPECT_EQ(out.Tell(), 8 + length);
    // The source's own offset is not moved.
    EXPECT_EQ(lseek(src.Fd(), 0, SEEK_CUR), 0);
}

}  // namespace

TEST(OutStreamCopy, FileToFileIsTheSourceRange) {
    ScratchDir dir;
    Source src(dir);
    ASSERT_GE(src.Fd(), 0);
    for (const auto& [offset, length] : {std::pair<long, long>{12345, 200000}, {0, 1}, {7, 0}}) {
        SCOPED_TRACE(length);
        const std::string path = dir.File("o");
        FileOutStream out(4096);
        ASSERT_TRUE(out.Open(path.c_str(), "wb"));
        CopyBetweenTexts(out, src, offset, length);
        // Offsets stay right for a later seek and overwrite.
        ASSERT_EQ(out.Seek(2), 0);
        out.WriteText("AD");
        out.Close();
        EXPECT_FALSE(out.Error()) << out.ErrorText();
        EXPECT_EQ(ScratchDir::Read(path), "heAD" + src.Range(offset, length) + "tail");
    }
}

TEST(OutStreamCopy, AppendingFileFallsBackToReadAndWrite) {
    // copy_file_range refuses a descriptor opened for appending.
    ScratchDir dir;
    Source src(dir);
    const std::string path = dir.Write("a", "0123");
    FileOutStream out(1000);  // blocks of the buffer's size
    ASSERT_TRUE(out.Open(path.c_str(), "ab"));
    EXPECT_EQ(out.Tell(), 4);
    out.WriteText("head");
    ASSERT_EQ(out.CopyFrom(src.Fd(), 999, 123456), 123456);
    EXPECT_EQ(out.Tell(), 8 + 123456);
    ASSERT_EQ(out.CopyFrom(src.Fd(), 5, 10), 10);
    out.WriteText("tail");
    out.Close();
    EXPECT_FALSE(out.Error()) << out.ErrorText();
    EXPECT_EQ(ScratchDir::Read(path),
              "0123head" + src.Range(999, 123456) + src.Range(5, 10) + "tail");
}

TEST(OutStreamCopy, MemoryTargetReadsThroughItsBuffer) {
    ScratchDir dir;
    Source src(dir);
    MemOutStream out;
    CopyBetweenTexts(out, src, 3, 250000);
    EXPECT_EQ(out.Data(), "head" + src.Range(3, 250000) + "tail");
}

TEST(OutStreamCopy, ShortCountsAtTheEndOrOnAPipe) {
    ScratchDir dir;
    Source src(dir, 1000);
    // The source ends early: what exists is copied, the count says how much.
    FileOutStream file;
    const std::string path = dir.File("o");
    ASSERT_TRUE(file.Open(path.c_str(), "wb"));
    EXPECT_EQ(file.CopyFrom(src.Fd(), 900, 500), 100);
    EXPECT_EQ(file.Tell(), 100);
    file.Close();
    EXPECT_EQ(ScratchDir::Read(path), src.Range(900, 100));
    MemOutStream mem;
    EXPECT_EQ(mem.CopyFrom(src.Fd(), 990, 500), 10);
    EXPECT_EQ(mem.Data(), src.Range(990, 10));

    // A pipe cannot be read at an offset: nothing is copied and the caller
    // copies through its own input.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "abc", 3), 3);
    FileOutStream out;
    ASSERT_TRUE(out.Open(dir.File("p").c_str(), "wb"));
    EXPECT_EQ(out.CopyFrom(fds[0], 0, 3), 0);
    EXPECT_EQ(out.Tell(), 0);
    EXPECT_FALSE(out.Error());
    EXPECT_EQ(mem.CopyFrom(fds[0], 0, 3), 0);
    close(fds[0]);
    close(fds[1]);
}

TEST(OutStreamCopy, PipeTargetFallsBackToReadAndWrite) {
    ScratchDir dir;
    Source src(dir, 20000);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);  // room for all 20000 bytes and more without a reader
    std::fflush(stdout);
    const int saved = dup(1);
    dup2(fds[1], 1);
    {
        FileOutStream out(512);
        ASSERT_TRUE(out.Open("", "wb"));
        out.WriteText("<");
        EXPECT_EQ(out.CopyFrom(src.Fd(), 100, 15000), 15000);
        out.WriteText(">");
        out.Close();
        EXPECT_FALSE(out.Error()) << out.ErrorText();
    }
    dup2(saved, 1);
    close(saved);
    close(fds[1]);
    std::string got;
    char block[4096];
    for (ssize_t n; (n = read(fds[0], block, sizeof block)) > 0;)
        got.append(block, static_cast<size_t>(n));
    close(fds[0]);
    EXPECT_EQ(got, "<" + src.Range(100, 15000) + ">");
}
