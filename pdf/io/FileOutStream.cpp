#include "pdf/io/FileOutStream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace corvina {

FileOutStream::FileOutStream(int bufferSize) : OutStream(bufferSize) {
    kindName_ = "File";
}

FileOutStream::~FileOutStream() {
    Close();
}

bool FileOutStream::Open(const char* path, const char* mode, int bufferSize) {
    Close();
    errno_ = 0;
    if (bufferSize >= 1 && bufferSize != bufferSize_) {
        buffer_.reset(new char[static_cast<size_t>(bufferSize)]);
        bufferSize_ = bufferSize;
    }
    count_ = 0;
    if (!path || !*path) {
        // Standard output is binary here already; this stream does the buffering.
        file_ = stdout;
        isStdout_ = true;
        filePos_ = std::ftell(stdout);
        if (filePos_ < 0) filePos_ = 0;
        return true;
    }
    std::FILE* file = std::fopen(path, mode && *mode ? mode : "wb");
    if (!file) {
        errno_ = errno;
        return false;
    }
    long end = 0;
    if (std::fseek(file, 0, SEEK_END) != 0) {
        // A FIFO or terminal has no end to seek to; writing starts at 0.
        if (errno != ESPIPE) {
            errno_ = errno;
            std::fclose(file);
            return false;
        }
    } else {
        end = std::ftell(file);
    }
    if (end < 0) {
        errno_ = errno;
        std::fclose(file);
        return false;
    }
    file_ = file;
    filePos_ = end;
    path_ = path;
    return true;
}

void FileOutStream::Close() {
    if (!file_) return;
    Flush();
    if (isStdout_) {
        if (std::fflush(stdout) != 0 && !errno_) errno_ = errno;
    } else if (std::fclose(file_) != 0 && !errno_) {
        errno_ = errno;  // the last block may only fail here (disk full)
    }
    file_ = nullptr;
    isStdout_ = false;
    path_.clear();
    filePos_ = 0;
}

void FileOutStream::WriteDirect(const void* data, int n) {
    Flush();
    if (n <= 0) return;
    if (!file_) {
        errno_ = EBADF;
        return;
    }
    const size_t put = std::fwrite(data, 1, static_cast<size_t>(n), file_);
    filePos_ += static_cast<long>(put);
    if (put < static_cast<size_t>(n)) errno_ = errno ? errno : EIO;
    if (isStdout_) std::fflush(stdout);
}

void FileOutStream::Flush() {
    if (count_ <= 0) return;
    const int n = count_;
    count_ = 0;  // dropped even on failure, so a full disk cannot loop Write
    if (!file_) {
        errno_ = EBADF;
        return;
    }
    const size_t put = std::fwrite(buffer_.get(), 1, static_cast<size_t>(n), file_);
    filePos_ += static_cast<long>(put);
    if (put < static_cast<size_t>(n)) errno_ = errno ? errno : EIO;
    if (isStdout_) std::fflush(stdout);
}

long FileOutStream::Tell() {
    if (!file_) return -1;
    return filePos_ + count_;
}

int FileOutStream::Seek(long pos) {
    if (!file_) return -1;
    Flush();
    if (pos < 0 || std::fseek(file_, pos, SEEK_SET) != 0) {
        if (pos >= 0) errno_ = errno;
        return -1;
    }
    filePos_ = pos;
    return 0;
}

long FileOutStream::Size() {
    if (path_.empty()) return 0;
    Flush();
    if (file_) std::fflush(file_);
    struct stat st;
    if (stat(path_.c_str(), &st) != 0) {
        errno_ = errno;
        return 0;
    }
    return static_cast<long>(st.st_size);
}

const char* FileOutStream::ErrorText() {
    return errno_ ? std::strerror(errno_) : "";
}

}  // namespace corvina
