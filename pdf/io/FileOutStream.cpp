#include "pdf/io/FileOutStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace corvina {

namespace {

// Errors of copy_file_range that only say the kernel cannot copy between
// these two descriptors; the bytes then go through user space.
bool NoKernelCopy(int e) {
    return e == EXDEV || e == ENOSYS || e == EINVAL || e == EBADF || e == EOPNOTSUPP ||
           e == ETXTBSY || e == EPERM || e == ESPIPE;
}

}  // namespace

FileOutStream::FileOutStream(int bufferSize) : OutStream(bufferSize) {
    kindName_ = "File";
}

FileOutStream::~FileOutStream() {
    Close();
}

bool FileOutStream::Open(const char* path, const char* mode, int bufferSize) {
    Close();
    errno_ = 0;
    noKernelCopy_ = false;
    if (bufferSize >= 1 && bufferSize != bufferSize_) {
        buffer_.reset(new char[static_cast<size_t>(bufferSize)]);
        bufferSize_ = bufferSize;
    }
    count_ = 0;
    if (!path || !*path) {
        // Standard output: what the program printed there comes first.
        std::fflush(stdout);
        fd_ = STDOUT_FILENO;
        isStdout_ = true;
        filePos_ = ::lseek(fd_, 0, SEEK_CUR);
        if (filePos_ < 0) filePos_ = 0;
        return true;
    }
    const bool append = mode && mode[0] == 'a';
    // "wb" truncates only a file that holds something: truncating an empty
    // one (the temporary file just made for this output) would mark it on
    // some file systems for writing back at close, which then waits for it.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : 0);
    const int fd = ::open(path, flags, 0666);
    if (fd < 0) {
        errno_ = errno;
        return false;
    }
    struct stat st;
    if (!append && (::fstat(fd, &st) != 0 ||
                    (S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0))) {
        errno_ = errno;
        ::close(fd);
        return false;
    }
    off_t end = ::lseek(fd, 0, SEEK_END);
    // A FIFO or terminal has no end to seek to; writing starts at 0.
    if (end < 0 && errno == ESPIPE) end = 0;
    if (end < 0) {
        errno_ = errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    filePos_ = static_cast<long>(end);
    path_ = path;
    return true;
}

void FileOutStream::Close() {
    if (fd_ < 0) return;
    Flush();
    // The last block may only fail here (disk full on a network file system).
    if (!isStdout_ && ::close(fd_) != 0 && !errno_) errno_ = errno;
    fd_ = -1;
    isStdout_ = false;
    path_.clear();
    filePos_ = 0;
}

long FileOutStream::Put(const char* data, long n) {
    if (fd_ < 0) {
        errno_ = EBADF;
        return 0;
    }
    // Anything printed to standard output meanwhile keeps its place.
    if (isStdout_) std::fflush(stdout);
    long done = 0;
    while (done < n) {
        const ssize_t put = ::write(fd_, data + done, static_cast<size_t>(n - done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            errno_ = put < 0 ? errno : EIO;
            break;
        }
        done += put;
    }
    filePos_ += done;
    return done;
}

void FileOutStream::WriteDirect(const void* data, int n) {
    Flush();
    if (n > 0) Put(static_cast<const char*>(data), n);
}

void FileOutStream::Flush() {
    if (count_ <= 0) return;
    const int n = count_;
    count_ = 0;  // dropped even on failure, so a full disk cannot loop Write
    Put(buffer_.get(), n);
}

long FileOutStream::CopyFrom(int fd, long offset, long length) {
    Flush();
    if (fd_ < 0 || errno_) return 0;
    long done = 0;
    while (!noKernelCopy_ && done < length) {
        loff_t from = offset + done;
        const ssize_t n =
            ::copy_file_range(fd, &from, fd_, nullptr, static_cast<size_t>(length - done), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && NoKernelCopy(errno)) {
            noKernelCopy_ = true;
            break;
        }
        if (n < 0) {
            errno_ = errno;  // the output's failure (disk full): the save fails
            return done;
        }
        if (n == 0) return done;  // the source ends early
        done += n;
        filePos_ += n;
    }
    return done + OutStream::CopyFrom(fd, offset + done, length - done);
}

long FileOutStream::Tell() {
    if (fd_ < 0) return -1;
    return filePos_ + count_;
}

int FileOutStream::Seek(long pos) {
    if (fd_ < 0) return -1;
    Flush();
    if (pos < 0) return -1;
    if (::lseek(fd_, pos, SEEK_SET) < 0) {
        errno_ = errno;
        return -1;
    }
    filePos_ = pos;
    return 0;
}

long FileOutStream::Size() {
    if (path_.empty()) return 0;
    Flush();
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        errno_ = errno;
        return 0;
    }
    return static_cast<long>(st.st_size);
}

const char* FileOutStream::ErrorText() {
    return errno_ ? std::strerror(errno_) : "";
}

}  // namespace corvina
