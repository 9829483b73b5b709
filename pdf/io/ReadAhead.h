#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace corvina {

// Reads blocks of a file on a helper thread while the caller works through
// the block before them, so that the copy out of the page cache runs beside
// the caller's parsing and writing instead of between them. Up to depth
// reads are queued and read in order: with two, the helper goes on to the
// next block as soon as one is done, and its waking up no longer falls
// between the caller's blocks. A block's storage changes hands only while
// no read uses it.
class ReadAhead {
public:
    static constexpr int kMaxDepth = 2;

    // Storages of size bytes, one per queued read; a block is read into the
    // last blockSize bytes of one, leaving room in front for bytes the caller
    // carries over.
    ReadAhead(int size, int blockSize, int depth = 1);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Queues a read of up to blockSize bytes at file offset at of fd. With
    // the queue full, the oldest read is waited for and dropped first. False
    // when no helper thread can run: the caller then reads for itself.
    bool Start(int fd, long at, int n);
    // Waits for the oldest queued read and takes it off the queue: the bytes
    // read, with *err set to the read's errno (0 when it ended well or at
    // the end of the file); -1 when nothing is queued. Its block stays in
    // Block() and Storage() until the next Start.
    long Wait(int* err);
    // Drops the queued reads the helper has not begun and waits for the one
    // it is reading: for a caller that will read elsewhere.
    void Cancel();
    // The file offset of the oldest queued read, or -1.
    long Pending() const { return queued_ ? slots_[head_].at : -1; }
    // Where the newest queued read ends (its offset and clipped length), or
    // -1 when nothing is queued.
    long QueuedEnd() const;
    int Queued() const { return queued_; }
    int Depth() const { return depth_; }
    // The block of the read last waited for, inside Storage().
    char* Block() { return slots_[last_].storage.get() + (size_ - blockSize_); }
    int BlockSize() const { return blockSize_; }
    // To exchange with the caller's own storage of the same size.
    std::unique_ptr<char[]>& Storage() { return slots_[last_].storage; }

    // Reads n bytes at file offset at, through interrupted and short reads:
    // the count read, fewer at the end of the file or after a failure, which
    // sets *err to its errno (left alone otherwise).
    static long ReadAt(int fd, char* dst, long n, long at, int* err);

private:
    enum State { kIdle, kQueued, kReading, kDone };
    struct Slot {
        std::unique_ptr<char[]> storage;
        // Set by the caller before the slot is queued.
        int fd = -1;
        long at = -1;
        int n = 0;
        // Guarded by lock_.
        State state = kIdle;
        long got = 0;
        int err = 0;
    };

    void Run();

    const int size_;
    const int blockSize_;
    const int depth_;
    Slot slots_[kMaxDepth];
    // The caller's alone: the oldest queued slot, how many are queued, and
    // the slot last waited for.
    int head_ = 0;
    int queued_ = 0;
    int last_ = 0;

    std::mutex lock_;
    std::condition_variable wake_;
    std::thread helper_;
    // Guarded by lock_.
    bool stop_ = false;
    int next_ = 0;  // the slot the helper reads next, in queue order
};

}  // namespace corvina
