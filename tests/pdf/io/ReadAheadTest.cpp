#include "pdf/io/ReadAhead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "support/NoiseBytes.h"
#include "support/ScratchDir.h"

using corvina::ReadAhead;

namespace {

class ReadAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = NoiseBytes(100000, 7);
        const std::string path = dir_.Write("f", bytes_);
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd_, 0);
    }
    void TearDown() override {
        if (fd_ >= 0) ::close(fd_);
    }
    ScratchDir dir_;
    std::string bytes_;
    int fd_ = -1;
};

}  // namespace

TEST_F(ReadAheadTest, ReadsABlockAtAnOffsetIntoTheEndOfItsStorage) {
    ReadAhead ahead(48 * 1024, 32 * 1024);
    int err = -1;
    EXPECT_EQ(ahead.Wait(&err), -1);  // nothing started
    EXPECT_EQ(err, 0);
    EXPECT_EQ(ahead.Pending(), -1);

    ASSERT_TRUE(ahead.Start(fd_, 1000, 40000));  // clipped to the block
    EXPECT_EQ(ahead.Pending(), 1000);
    EXPECT_EQ(ahead.Wait(&err), 32 * 1024);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(ahead.Pending(), -1);
    EXPECT_EQ(ahead.Block(), ahead.Storage().get() + 16 * 1024);
    EXPECT_EQ(std::memcmp(ahead.Block(), bytes_.data() + 1000, 32 * 1024), 0);
}

TEST_F(ReadAheadTest, EndOfFileGivesWhatIsLeftThenNothing) {
    ReadAhead ahead(8192, 4096);
    int err = -1;
    ASSERT_TRUE(ahead.Start(fd_, 100000 - 100, 4096));
    EXPECT_EQ(ahead.Wait(&err), 100);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(std::memcmp(ahead.Block(), bytes_.data() + 100000 - 100, 100), 0);
    ASSERT_TRUE(ahead.Start(fd_, 100000, 4096));
    EXPECT_EQ(ahead.Wait(&err), 0);
    EXPECT_EQ(err, 0);
}

TEST_F(ReadAheadTest, AFailedReadGivesItsErrorNumber) {
    const int writeOnly = ::open(dir_.File("f").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writeOnly, 0);
    ReadAhead ahead(8192, 4096);
    int err = 0;
    ASSERT_TRUE(ahead.Start(writeOnly, 0, 4096));
    EXPECT_EQ(ahead.Wait(&err), 0);
    EXPECT_EQ(err, EBADF);
    ::close(writeOnly);

    EXPECT_FALSE(ahead.Start(-1, 0, 10));
    EXPECT_FALSE(ahead.Start(fd_, -1, 10));
    EXPECT_FALSE(ahead.Start(fd_, 0, 0));
    EXPECT_EQ(ahead.Pending(), -1);
}

// Reads one after another, each waited for or overtaken by the next Start,
// and the storage handed back and forth as a reader does.
TEST_F(ReadAheadTest, BlocksInSequenceWithTheStorageExchanged) {
    ReadAhead ahead(2048, 1024);
    std::unique_ptr<char[]> mine(new char[2048]);
    std::string got;
    long at = 0;
    ASSERT_TRUE(ahead.Start(fd_, at, 1024));
    while (true) {
        int err = -1;
        const long n = ahead.Wait(&err);
        ASSERT_EQ(err, 0);
        if (n <= 0) break;
        got.append(ahead.Block(), static_cast<size_t>(n));
        std::swap(mine, ahead.Storage());
        at += n;
        ASSERT_TRUE(ahead.Start(fd_, at, 1024));
        if (at % 7 == 0) {
            ASSERT_TRUE(ahead.Start(fd_, at, 1024));  // waits for the first
        }
    }
    EXPECT_EQ(got, bytes_);
}

// Two reads queued: the helper reads them in order, each into its own
// storage, while the caller takes the older one's block and hands its own
// storage back, as a reader does.
TEST_F(ReadAheadTest, TwoQueuedReadsComeBackInOrder) {
    ReadAhead ahead(1536, 1024, 2);
    ASSERT_EQ(ahead.Depth(), 2);
    std::unique_ptr<char[]> mine(new char[1536]);
    std::string got;
    long next = 0;
    auto fill = [&] {
        while (ahead.Queued() < ahead.Depth() && next < static_cast<long>(bytes_.size())) {
            ASSERT_TRUE(ahead.Start(fd_, next, 1024));
            next += 1024;
        }
    };
    fill();
    EXPECT_EQ(ahead.Pending(), 0);
    EXPECT_EQ(ahead.QueuedEnd(), 2048);
    while (ahead.Queued() > 0) {
        const long at = ahead.Pending();
        int err = -1;
        const long n = ahead.Wait(&err);
        ASSERT_EQ(err, 0);
        ASSERT_EQ(at, static_cast<long>(got.size()));
        got.append(ahead.Block(), static_cast<size_t>(n));
        // Some bytes carried in front of the block, as a reader keeps them.
        std::memset(ahead.Block() - 512, 'k', 512);
        std::swap(mine, ahead.Storage());
        fill();
    }
    EXPECT_EQ(got, bytes_);
    EXPECT_EQ(ahead.QueuedEnd(), -1);
}

TEST_F(ReadAheadTest, AFullQueueDropsItsOldestReadForANewOne) {
    ReadAhead ahead(2048, 1024, 2);
    ASSERT_TRUE(ahead.Start(fd_, 0, 1024));
    ASSERT_TRUE(ahead.Start(fd_, 5000, 1024));
    ASSERT_TRUE(ahead.Start(fd_, 9000, 1024));
    EXPECT_EQ(ahead.Queued(), 2);
    EXPECT_EQ(ahead.Pending(), 5000);
    int err = -1;
    ASSERT_EQ(ahead.Wait(&err), 1024);
    EXPECT_EQ(std::memcmp(ahead.Block(), bytes_.data() + 5000, 1024), 0);
    ASSERT_EQ(ahead.Wait(&err), 1024);
    EXPECT_EQ(std::memcmp(ahead.Block(), bytes_.data() + 9000, 1024), 0);
}

// A reader that goes elsewhere drops what was queued for where it was; the
// queue then starts again from the new place.
TEST_F(ReadAheadTest, CancelDropsTheQueuedReads) {
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        ReadAhead ahead(8192, 4096, 2);
        ASSERT_TRUE(ahead.Start(fd_, 0, 4096));
        ASSERT_TRUE(ahead.Start(fd_, 4096, 4096));
        ahead.Cancel();
        EXPECT_EQ(ahead.Queued(), 0);
        EXPECT_EQ(ahead.Pending(), -1);
        const long at = 30000 + round * 100;
        ASSERT_TRUE(ahead.Start(fd_, at, 4096));
        ASSERT_TRUE(ahead.Start(fd_, at + 4096, 4096));
        int err = -1;
        ASSERT_EQ(ahead.Wait(&err), 4096);
        ASSERT_EQ(std::memcmp(ahead.Block(), bytes_.data() + at, 4096), 0);
        ASSERT_EQ(ahead.Wait(&err), 4096);
        ASSERT_EQ(std::memcmp(ahead.Block(), bytes_.data() + at + 4096, 4096), 0);
    }
}

TEST_F(ReadAheadTest, GoesAwayWithReadsInFlight) {
    for (int i = 0; i < 50; ++i) {
        ReadAhead ahead(65536, 32768, 1 + i % 2);
        ASSERT_TRUE(ahead.Start(fd_, i * 100, 32768));
        if (i % 2) {
            ASSERT_TRUE(ahead.Start(fd_, i * 100 + 32768, 32768));
        }
    }
    ReadAhead never(8192, 4096);  // no helper was ever started
}
