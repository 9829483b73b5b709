#include "pdf/io/FileInStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "support/NoiseBytes.h"
#include "support/ScratchDir.h"

using corvina::FileInStream;

namespace {

// Bytes this process has read from files so far (its own and its threads').
long BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long value = -1;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

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

// A reader whose next half buffer a helper reads gives what a reader alone
// gives, through every way of reading, seeking and keeping bytes.
TEST(FileInStream, ReadingAheadChangesNothingTheCallerSees) {
    ScratchDir dir;
    const std::string bytes = NoiseBytes(600000, 99);
    const std::string path = dir.Write("f", bytes);
    const int start = 123, length = 590000;
    FileInStream alone(16384), ahead(16384);
    ASSERT_TRUE(alone.Open(path.c_str(), "rb", start, length, 16384));
    ASSERT_TRUE(ahead.Open(path.c_str(), "rb", start, length, 16384));
    alone.SetSequential(true);
    ahead.SetSequential(true);
    ahead.SetReadAhead(true);
    if (!ahead.ReadsAhead()) GTEST_SKIP() << "one processor: the reader reads alone";

    unsigned seed = 5;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    std::string a(40000, '\0'), b(40000, '\0');
    for (int step = 0; step < 20000; ++step) {
        SCOPED_TRACE(step);
        const int at = alone.Tell();
        ASSERT_EQ(ahead.Tell(), at);
        switch (next(8)) {
            case 0:
            case 1:
                ASSERT_EQ(ahead.Get(), alone.Get());
                ASSERT_EQ(ahead.Peek(), alone.Peek());
                break;
            case 2: {
                const int n = static_cast<int>(next(3) == 0 ? next(40000) : next(300));
                ASSERT_EQ(ahead.Read(b.data(), n), alone.Read(a.data(), n));
                ASSERT_EQ(std::memcmp(a.data(), b.data(), static_cast<size_t>(n)), 0);
                break;
            }
            case 3: {
                // Forward through the buffer, past it, or back.
                const int to = next(4) == 0 ? static_cast<int>(next(length + 2))
                                            : at + static_cast<int>(next(next(2) ? 2000 : 30000));
                ASSERT_EQ(ahead.Seek(to), alone.Seek(to));
                break;
            }
            case 4: {
                const int from = at - static_cast<int>(next(3000));
                alone.KeepFrom(from);
                ahead.KeepFrom(from);
                break;
            }
            case 5: {
                // Whatever the reader still holds is the file's bytes.
                const int back = static_cast<int>(next(5000));
                if (const char* held = ahead.Buffered(at - back, back + 10)) {
                    ASSERT_EQ(std::string(held, static_cast<size_t>(back + 10)),
                              bytes.substr(static_cast<size_t>(start + at - back),
                                           static_cast<size_t>(back + 10)));
                }
                break;
            }
            default: {
                int n = 0;
                const char* window = ahead.Window(&n);
                int m = 0;
                const char* reference = alone.Window(&m);
                ASSERT_EQ(window == nullptr, reference == nullptr);
                if (!window) break;
                const int k = std::min(n, m);
                ASSERT_EQ(std::memcmp(window, reference, static_cast<size_t>(k)), 0);
                ahead.Skip(k / 2);
                alone.Skip(k / 2);
                break;
            }
        }
    }
    EXPECT_FALSE(ahead.Error());
}

// What the caller asks to keep stays buffered across refills that take the
// helper's blocks, as long as it leaves room to read on.
TEST(FileInStream, ReadingAheadKeepsWhatItIsAskedTo) {
    ScratchDir dir;
    const std::string bytes = NoiseBytes(200000, 99);
    const std::string path = dir.Write("f", bytes);
    FileInStream in(16384);
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 0, -1, 16384));
    in.SetSequential(true);
    in.SetReadAhead(true);
    if (!in.ReadsAhead()) GTEST_SKIP() << "one processor: the reader reads alone";
    for (int from = 1000; from < 190000; from += 9000) {
        SCOPED_TRACE(from);
        ASSERT_EQ(in.Seek(from), 0);
        in.KeepFrom(from);
        char sink[100];
        // Well within half the buffer: kept through the refills it causes.
        for (int i = 0; i < 60; ++i) ASSERT_EQ(in.Read(sink, 100), 100);
        const char* kept = in.Buffered(from, 6000);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(std::memcmp(kept, bytes.data() + from, 6000), 0);
        in.KeepFrom(-1);
    }
    // Closing with a read in flight waits for it.
    in.Close();
    EXPECT_FALSE(in.ReadsAhead());
}

// Objects copied out of file order send the sequential reader back for each:
// every jump reads a little and grows from there, instead of a whole buffer
// (and a read ahead of it) for a few hundred bytes.
TEST(FileInStream, ASequentialReaderSentBackReadsLittleForEachJump) {
    ScratchDir dir;
    const std::string bytes = NoiseBytes(2 << 20, 3);
    const std::string path = dir.Write("f", bytes);
    const int buffer = 1 << 20;
    FileInStream in(buffer);
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 0, -1, buffer));
    in.SetSequential(true);
    in.SetReadAhead(true);
    // Front to back first: the refills grow and the helper reads on.
    char sink[4096];
    while (in.Read(sink, sizeof sink) > 0) {
    }
    const long before = BytesReadSoFar();
    if (before < 0) GTEST_SKIP() << "no /proc/self/io";
    const int jumps = 100;
    for (int i = 0; i < jumps; ++i) {
        const int at = (2 << 20) - 20000 * (i + 1);
        ASSERT_EQ(in.Seek(at), 0);
        ASSERT_EQ(in.Read(sink, 300), 300);
        ASSERT_EQ(std::memcmp(sink, bytes.data() + at, 300), 0);
    }
    in.Close();
    // A whole buffer for each would be 100 MB.
    EXPECT_LT(BytesReadSoFar() - before, 4L * jumps * 4096 + 3L * buffer);
}
