#include "pdf/io/ReadAhead.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace corvina {

ReadAhead::ReadAhead(int size, int blockSize)
    : size_(size), blockSize_(blockSize), storage_(new char[static_cast<size_t>(size)]) {}

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
    int err = 0;
    Wait(&err);
    if (fd < 0 || at < 0 || n <= 0) return false;
    if (n > blockSize_) n = blockSize_;
    if (!helper_.joinable()) {
        try {
            helper_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        requested_ = true;
        done_ = false;
        fd_ = fd;
        at_ = at;
        n_ = n;
    }
    wake_.notify_all();
    pendingAt_ = at;
    return true;
}

long ReadAhead::Wait(int* err) {
    *err = 0;
    if (pendingAt_ < 0) return -1;
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait(hold, [this] { return done_; });
    pendingAt_ = -1;
    *err = err_;
    return got_;
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
        wake_.wait(hold, [this] { return stop_ || requested_; });
        if (stop_) return;
        requested_ = false;
        const int fd = fd_;
        const long at = at_;
        const int n = n_;
        hold.unlock();
        // The storage is the helper's until done_ is set: Block() is stable.
        int err = 0;
        const long done = ReadAt(fd, Block(), n, at, &err);
        hold.lock();
        got_ = done;
        err_ = err;
        done_ = true;
        wake_.notify_all();
    }
}

}  // namespace corvina
