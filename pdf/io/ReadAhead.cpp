#include "pdf/io/ReadAhead.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace corvina {

ReadAhead::ReadAhead(int size, int blockSize, int depth)
    : size_(size),
      blockSize_(blockSize),
      depth_(depth < 1           ? 1
             : depth > kMaxDepth ? kMaxDepth
                                 : depth) {
    for (int i = 0; i < depth_; ++i) slots_[i].storage.reset(new char[static_cast<size_t>(size)]);
}

ReadAhead::~ReadAhead() {
    if (!helper_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    helper_.join();
}

bool ReadAhead::Start(int fd, long at, int n) {
    if (fd < 0 || at < 0 || n <= 0) return false;
    if (n > blockSize_) n = blockSize_;
    if (queued_ == depth_) {
        int err = 0;
        Wait(&err);
    }
    if (!helper_.joinable()) {
        try {
            helper_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    // Idle: the helper does not look at this slot until it is queued.
    Slot& slot = slots_[(head_ + queued_) % depth_];
    slot.fd = fd;
    slot.at = at;
    slot.n = n;
    {
        std::lock_guard<std::mutex> hold(lock_);
        slot.state = kQueued;
    }
    wake_.notify_all();
    ++queued_;
    return true;
}

long ReadAhead::Wait(int* err) {
    *err = 0;
    if (queued_ == 0) return -1;
    const int i = head_;
    long got;
    {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [this, i] { return slots_[i].state == kDone; });
        slots_[i].state = kIdle;
        got = slots_[i].got;
        *err = slots_[i].err;
    }
    last_ = i;
    head_ = (head_ + 1) % depth_;
    --queued_;
    return got;
}

void ReadAhead::Cancel() {
    {
        // The helper reads in queue order: what it has not begun is at the
        // end of the queue, and the next Start fills the first such slot,
        // which is where the helper looks next.
        std::lock_guard<std::mutex> hold(lock_);
        while (queued_ > 0 && slots_[(head_ + queued_ - 1) % depth_].state == kQueued) {
            slots_[(head_ + queued_ - 1) % depth_].state = kIdle;
            --queued_;
        }
    }
    int err = 0;
    while (queued_ > 0) Wait(&err);
}

long ReadAhead::QueuedEnd() const {
    if (queued_ == 0) return -1;
    const Slot& newest = slots_[(head_ + queued_ - 1) % depth_];
    return newest.at + newest.n;
}

long ReadAhead::ReadAt(int fd, char* dst, long n, long at, int* err) {
    long done = 0;
    while (done < n) {
        const ssize_t got =
            ::pread(fd, dst + done, static_cast<size_t>(n - done), static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) *err = errno ? errno : EIO;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

void ReadAhead::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [this] { return stop_ || slots_[next_].state == kQueued; });
        if (stop_) return;
        Slot& slot = slots_[next_];
        slot.state = kReading;
        const int fd = slot.fd;
        const long at = slot.at;
        const int n = slot.n;
        // The storage is the helper's until the slot is done.
        char* block = slot.storage.get() + (size_ - blockSize_);
        hold.unlock();
        int err = 0;
        const long done = ReadAt(fd, block, n, at, &err);
        hold.lock();
        slot.got = done;
        slot.err = err;
        slot.state = kDone;
        next_ = (next_ + 1) % depth_;
        wake_.notify_all();
    }
}

}  // namespace corvina
