#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace corvina {

// Reads one block of a file on a helper thread while the caller works
// through the block before it, so that the copy out of the page cache runs
// beside the caller's parsing and writing instead of between them. One read
// is in flight at a time; the storage changes hands only while the helper
// is idle.
class ReadAhead {
public:
    // Storage of size bytes; a block is read into its last blockSize bytes,
    // leaving room in front for bytes the caller carries over.
    ReadAhead(int size, int blockSize);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Begins reading up to blockSize bytes at file offset at of fd, after
    // waiting for any read in flight. False when no helper thread can run:
    // the caller then reads for itself.
    bool Start(int fd, long at, int n);
    // Waits for the read begun by Start and gives the bytes read, with *err
    // set to the read's errno (0 when it ended well or at the end of the
    // file); -1 when no read was started.
    long Wait(int* err);
    // The file offset of the read started and not yet waited for, or -1.
    long Pending() const { return pendingAt_; }
    // Where a block is read to, inside Storage().
    char* Block() { return storage_.get() + (size_ - blockSize_); }
    int BlockSize() const { return blockSize_; }
    // To exchange with the caller's own storage of the same size once Wait
    // has returned.
    std::unique_ptr<char[]>& Storage() { return storage_; }

    // Reads n bytes at file offset at, through interrupted and short reads:
    // the count read, fewer at the end of the file or after a failure, which
    // sets *err to its errno (left alone otherwise).
    static long ReadAt(int fd, char* dst, long n, long at, int* err);

private:
    void Run();

    const int size_;
    const int blockSize_;
    std::unique_ptr<char[]> storage_;
    long pendingAt_ = -1;  // the caller's alone

    std::mutex lock_;
    std::condition_variable wake_;
    std::thread helper_;
    // Guarded by lock_.
    bool stop_ = false;
    bool requested_ = false;
    bool done_ = false;
    int fd_ = -1;
    long at_ = 0;
    int n_ = 0;
    long got_ = 0;
    int err_ = 0;
};

}  // namespace corvina
