#include "pdf/io/FileInStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "support/ScratchDir.h"

using corvina::FileInStream;

namespace {

std::string ReadAll(FileInStream& in) {
    std::string s;
    for (int c = in.Get(); c >= 0; c = in.Get()) s += static_cast<char>(c);
    return s;
}

}  // namespace

TEST(FileInStream, WindowWithStartAndLength) {
    ScratchDir dir;
    const std::string path = dir.Write("f", "0123456789abcdef");
    FileInStream in;
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 4, 6));
    EXPECT_EQ(in.Length(), 6);
    EXPECT_EQ(in.Tell(), 0);
    EXPECT_EQ(ReadAll(in), "456789");
    EXPECT_EQ(in.Tell(), 6);

    EXPECT_EQ(in.Seek(6), 0);  // exactly the end of the window
    EXPECT_EQ(in.Peek(), -1);
    EXPECT_EQ(in.Seek(7), -1);
    EXPECT_EQ(in.Seek(-1), -1);
    EXPECT_EQ(in.Seek(2), 0);
    EXPECT_EQ(in.Get(), '6');

    ASSERT_TRUE(in.Open(path.c_str(), "rb", 10, 100));  // clipped to the file
    EXPECT_EQ(in.Length(), 6);
    EXPECT_EQ(ReadAll(in), "abcdef");
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 3));
    EXPECT_EQ(in.Length(), 13);
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 20));
    EXPECT_EQ(in.Length(), 0);
    EXPECT_EQ(in.Get(), -1);

    in.Close();
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.Length(), 0);
    EXPECT_EQ(in.Tell(), -1);
    EXPECT_EQ(in.Seek(0), -1);
}

TEST(FileInStream, SeeksAndReadsAgreeWithTheFile) {
    ScratchDir dir;
    std::string data(5000, 0);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('A' + i * 7 % 26);
    const std::string path = dir.Write("r", data);
    FileInStream in;
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 0, -1, 16));
    unsigned seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        seed = seed * 1103515245u + 12345u;
        const int pos = static_cast<int>(seed >> 8) % 5001;
        const int n = static_cast<int>(seed >> 4) % 40;
        ASSERT_EQ(in.Seek(pos), 0);
        ASSERT_EQ(in.Tell(), pos);
        char buf[64];
        const int got = (round & 1) ? in.Read(buf, n) : in.ReadBuffered(buf, n);
        const int want = std::min(n, 5000 - pos);
        ASSERT_EQ(got, want) << "at " << pos;
        ASSERT_EQ(std::string(buf, static_cast<size_t>(got)), data.substr(pos, got));
        ASSERT_EQ(in.Tell(), pos + got);
    }
}

TEST(FileInStream, ReadTakesBufferedBytesThenTheFile) {
    ScratchDir dir;
    std::string data;
    for (int i = 0; i < 300; ++i) data += static_cast<char>(i);
    FileInStream in;
    ASSERT_TRUE(in.Open(dir.Write("d", data).c_str(), "rb", 0, -1, 8));
    EXPECT_EQ(in.Get(), 0);
    EXPECT_EQ(in.Get(), 1);
    char buf[300];
    ASSERT_EQ(in.Read(buf, 200), 200);
    EXPECT_EQ(std::string(buf, 200), data.substr(2, 200));
    EXPECT_EQ(in.Tell(), 202);
    EXPECT_EQ(in.Get(), 202);
    EXPECT_EQ(in.Read(buf, 300), 97);  // short at the end
    EXPECT_EQ(in.Tell(), 300);
    EXPECT_FALSE(in.Error());
}

TEST(FileInStream, FailuresSaveTheErrorNumber) {
    ScratchDir dir;
    FileInStream in;
    EXPECT_FALSE(in.Open(dir.File("missing").c_str()));
    EXPECT_FALSE(in.IsOpen());
    EXPECT_TRUE(in.Error());
    EXPECT_STREQ(in.ErrorText(), std::strerror(ENOENT));
    in.ClearError();
    EXPECT_FALSE(in.Error());
}

TEST(FileInStream, RefusesFilesAbove2GiB) {
    ScratchDir dir;
    const std::string path = dir.Write("big", "");
    if (truncate(path.c_str(), 2147483648L) != 0) GTEST_SKIP() << "no sparse file";
    FileInStream in;
    EXPECT_FALSE(in.Open(path.c_str()));
    EXPECT_STREQ(in.ErrorText(), std::strerror(EFBIG));
    ASSERT_EQ(truncate(path.c_str(), 2147483647L), 0);
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 2147483640));
    EXPECT_EQ(in.Length(), 7);
    EXPECT_EQ(in.Get(), 0);
}

TEST(FileInStream, SharedSequentialReaderKeepsWhatItIsAskedTo) {
    ScratchDir dir;
    std::string bytes;
    for (int i = 0; i < 4000; ++i) bytes += static_cast<char>('a' + i % 26);
    const std::string path = dir.Write("f", bytes);
    FileInStream first(64);
    ASSERT_TRUE(first.Open(path.c_str(), "rb", 100, 3000, 64));
    FileInStream second(256);
    ASSERT_TRUE(second.OpenShared(first, 256));
    second.SetSequential(true);
    // The same window, read independently of the first reader.
    EXPECT_EQ(second.Length(), 3000);
    EXPECT_EQ(first.Get(), bytes[100]);
    EXPECT_EQ(second.Seek(10), 0);
    EXPECT_EQ(second.Get(), bytes[110]);
    EXPECT_EQ(first.Get(), bytes[101]);

    // Kept bytes survive refills and seeks forward through the file.
    second.KeepFrom(10);
    EXPECT_EQ(second.Seek(200), 0);
    EXPECT_EQ(second.Get(), bytes[300]);
    const char* kept = second.Buffered(10, 191);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(std::string(kept, 191), bytes.substr(110, 191));

    // A reach that would leave no room to read on lets go of them.
    EXPECT_EQ(second.Seek(400), 0);
    EXPECT_EQ(second.Get(), bytes[500]);
    EXPECT_EQ(second.Buffered(10, 1), nullptr);

    // Backwards and far ahead are plain jumps; the end of the window holds.
    EXPECT_EQ(second.Seek(5), 0);
    EXPECT_EQ(second.Get(), bytes[105]);
    EXPECT_EQ(second.Seek(2999), 0);
    EXPECT_EQ(second.Get(), bytes[3099]);
    EXPECT_EQ(second.Get(), -1);
    EXPECT_EQ(second.Seek(3000), 0);
    EXPECT_EQ(second.Seek(3001), -1);

    // Standard input has no descriptor to share.
    FileInStream none;
    EXPECT_FALSE(second.OpenShared(none, 256));
}
