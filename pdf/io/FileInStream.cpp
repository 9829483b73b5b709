#include "pdf/io/FileInStream.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "pdf/io/ReadAhead.h"

namespace corvina {

namespace {
constexpr int kFirstFetch = 4096;

// A helper thread only pays when it can run on another processor; on one it
// would take turns with the reader and add the hand-overs.
bool MayRunBeside() {
    cpu_set_t set;
    CPU_ZERO(&set);
    return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
}
}  // namespace

FileInStream::FileInStream(int bufferSize) : InStream(bufferSize) {
    kindName_ = "File";
}

void FileInStream::SetSequential(bool on) {
    sequential_ = on;
    if (!on) ahead_.reset();
}

FileInStream::~FileInStream() {
    Close();
}

bool FileInStream::Open(const char* path, const char* mode, int start, int length, int bufferSize) {
    Close();
    errno_ = 0;
    if (bufferSize >= 1 && bufferSize != bufferSize_) {
        storage_.reset(new char[static_cast<size_t>(bufferSize)]);
        buffer_ = storage_.get();
        bufferSize_ = bufferSize;
    }
    if (start < 0) {
        errno_ = EINVAL;
        return false;
    }

    std::FILE* file;
    long origin = 0;  // file offset of window position 0 before the start offset
    if (path && *path) {
        const char* how = mode && *mode ? mode : "rb";
        if (how[0] == 'r' && !std::strchr(how, '+')) {
            // Opened without blocking: a FIFO with no writer would otherwise
            // hold open() for ever, before anyone could look at what it is.
            const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                errno_ = errno;
                return false;
            }
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
            file = ::fdopen(fd, how);
            if (!file) {
                errno_ = errno;
                ::close(fd);
                return false;
            }
        } else {
            file = std::fopen(path, how);
            if (!file) {
                errno_ = errno;
                return false;
            }
        }
    } else {
        // Standard input: binary already on this platform. The window begins
        // where standard input stands now.
        file = stdin;
        origin = std::ftell(stdin);
        if (origin < 0) origin = 0;
    }

    long available = INT32_MAX;  // unknown for pipes and terminals
    struct stat st;
    const bool known = fstat(fileno(file), &st) == 0;
    fileMode_ = known ? st.st_mode : 0;
    const bool regular = known && S_ISREG(st.st_mode);
    if (regular) {
        openedSize_ = static_cast<long>(st.st_size);
        openedMtime_ = st.st_mtim;
    }
    if (regular) {
        // Offsets are 32-bit throughout the library; refuse rather than misread.
        if (st.st_size > INT32_MAX) {
            if (file != stdin) std::fclose(file);
            errno_ = EFBIG;
            errno = EFBIG;
            return false;
        }
        available = static_cast<long>(st.st_size) - origin - start;
        if (available < 0) available = 0;
    }
    if (start > 0 && std::fseek(file, origin + start, SEEK_SET) != 0) {
        errno_ = errno;
        if (file != stdin) std::fclose(file);
        return false;
    }

    file_ = file;
    isStdin_ = file == stdin;
    positional_ = !isStdin_ && regular;
    path_ = isStdin_ ? "" : path;
    start_ = origin + start;
    length_ = static_cast<int>(length >= 0 && length < available ? length : available);
    bufferBase_ = 0;
    pos_ = 0;
    count_ = 0;
    return true;
}

bool FileInStream::OpenShared(const FileInStream& other, int bufferSize) {
    Close();
    errno_ = 0;
    if (!other.file_ || !other.positional_) {
        errno_ = EBADF;
        return false;
    }
    if (bufferSize >= 1 && bufferSize != bufferSize_) {
        storage_.reset(new char[static_cast<size_t>(bufferSize)]);
        buffer_ = storage_.get();
        bufferSize_ = bufferSize;
    }
    const int fd = ::fcntl(fileno(other.file_), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        errno_ = errno;
        return false;
    }
    file_ = ::fdopen(fd, "rb");
    if (!file_) {
        errno_ = errno;
        ::close(fd);
        return false;
    }
    positional_ = true;
    fileMode_ = other.fileMode_;
    openedSize_ = other.openedSize_;
    openedMtime_ = other.openedMtime_;
    path_ = other.path_;
    start_ = other.start_;
    length_ = other.length_;
    bufferBase_ = 0;
    pos_ = 0;
    count_ = 0;
    fetch_ = 0;
    keepFrom_ = -1;
    return true;
}

bool FileInStream::ChangedSinceOpen() const {
    if (!file_ || openedSize_ < 0) return false;
    struct stat st;
    if (fstat(fileno(file_), &st) != 0) return true;
    return static_cast<long>(st.st_size) != openedSize_ ||
           st.st_mtim.tv_sec != openedMtime_.tv_sec || st.st_mtim.tv_nsec != openedMtime_.tv_nsec;
}

void FileInStream::Close() {
    ahead_.reset();  // its helper may be reading the descriptor
    if (file_ && !isStdin_) std::fclose(file_);
    file_ = nullptr;
    isStdin_ = false;
    positional_ = false;
    fileMode_ = 0;
    openedSize_ = -1;
    path_.clear();
    start_ = -1;
    length_ = 0;
    bufferBase_ = 0;
    fetch_ = 0;
    pos_ = 0;
    count_ = 0;
    sequential_ = false;
    keepFrom_ = -1;
    buffer_ = storage_.get();
}

int FileInStream::Refill() {
    if (!file_) return 0;
    // Unread bytes, and those asked to be kept, move to the front so the
    // window position stays exact.
    const int unread = pos_ < count_ ? pos_ : count_;
    int from = unread;
    if (keepFrom_ >= bufferBase_ && keepFrom_ - bufferBase_ < from) from = keepFrom_ - bufferBase_;
    if (from < unread && count_ - from > bufferSize_ / 2) {
        // What was to be kept would leave too little room to read on: it goes.
        from = unread;
        keepFrom_ = -1;
    }
    const int keep = count_ - from;
    if (ahead_ && ahead_->Pending() == start_ + bufferBase_ + count_ &&
        keep <= bufferSize_ - ahead_->BlockSize()) {
        // The helper read on from here: its block becomes the buffer, with
        // the kept bytes copied in front of it.
        int err = 0;
        const long got = ahead_->Wait(&err);
        char* block = ahead_->Block();
        if (keep > 0) std::memcpy(block - keep, buffer_ + from, static_cast<size_t>(keep));
        std::swap(storage_, ahead_->Storage());
        buffer_ = block - keep;
        bufferBase_ += from;
        pos_ -= from;
        count_ = keep + static_cast<int>(got);
        if (err) errno_ = err;
        ReadOn();
        return static_cast<int>(got);
    }
    // What the helper read is for a place the reader has left, or the kept
    // bytes leave no room in front of it: the reader reads for itself.
    if (ahead_ && ahead_->Queued() > 0) ahead_->Cancel();
    if (keep > 0 && (from > 0 || buffer_ != storage_.get()))
        std::memmove(storage_.get(), buffer_ + from, static_cast<size_t>(keep));
    buffer_ = storage_.get();
    bufferBase_ += from;
    pos_ -= from;
    count_ = keep;
    if (fetch_ < kFirstFetch) fetch_ = kFirstFetch;
    int want = bufferSize_ - keep;
    // Small after a jump, doubling while the reading goes on in sequence:
    // a reader sent back and forth (objects out of file order) does not
    // pull a whole buffer, nor have one read ahead, for each object.
    if (want > fetch_) want = fetch_;
    if (fetch_ < bufferSize_) fetch_ *= 2;
    const int left = length_ - (bufferBase_ + keep);
    if (want > left) want = left;
    if (want <= 0) return 0;
    const long got = Fetch(buffer_ + keep, want, bufferBase_ + keep);
    count_ += static_cast<int>(got);
    if (got > 0 && fetch_ >= bufferSize_) ReadOn();
    return static_cast<int>(got);
}

void FileInStream::SetReadAhead(bool on) {
    if (!on || !sequential_ || !positional_ || bufferSize_ < 2 * kFirstFetch || !MayRunBeside()) {
        ahead_.reset();
        return;
    }
    if (ahead_) return;
    try {
        // Two blocks queued: the helper reads on while the reader takes one,
        // and its waking up is not waited for between them.
        ahead_ = std::make_unique<ReadAhead>(bufferSize_, bufferSize_ / 2, 2);
    } catch (const std::bad_alloc&) {
        ahead_.reset();  // read for itself, as before
    }
}

void FileInStream::ReadOn() {
    if (!ahead_) return;
    // The queued blocks follow the buffered bytes and each other.
    long next = ahead_->Queued() > 0 ? ahead_->QueuedEnd() : start_ + bufferBase_ + count_;
    while (ahead_->Queued() < ahead_->Depth()) {
        const long left = start_ + length_ - next;
        if (left <= 0) return;
        const int n = left < ahead_->BlockSize() ? static_cast<int>(left) : ahead_->BlockSize();
        if (!ahead_->Start(fileno(file_), next, n)) {
            ahead_.reset();
            return;
        }
        next += n;
    }
}

long FileInStream::Fetch(char* dst, long n, long at) {
    if (!positional_) {
        const size_t got = std::fread(dst, 1, static_cast<size_t>(n), file_);
        if (got < static_cast<size_t>(n) && std::ferror(file_)) {
            errno_ = errno ? errno : EIO;
            std::clearerr(file_);
        }
        return static_cast<long>(got);
    }
    return ReadAhead::ReadAt(fileno(file_), dst, n, start_ + at, &errno_);
}

int FileInStream::Read(void* dst, int n) {
    if (!file_ || n <= 0) return 0;
    char* out = static_cast<char*>(dst);
    int done = count_ - pos_;
    if (done > n) done = n;
    if (done > 0) {
        std::memcpy(out, buffer_ + pos_, static_cast<size_t>(done));
        pos_ += done;
    }
    while (done < n) {
        int rest = n - done;
        if (rest < bufferSize_) {
            // Small remainders go through the buffer to keep the fread count low.
            if (Refill() <= 0) break;
            int chunk = count_ - pos_;
            if (chunk > rest) chunk = rest;
            std::memcpy(out + done, buffer_ + pos_, static_cast<size_t>(chunk));
            pos_ += chunk;
            done += chunk;
            continue;
        }
        const int left = length_ - (bufferBase_ + count_);
        if (rest > left) rest = left;
        if (rest <= 0) break;
        const long got = Fetch(out + done, rest, bufferBase_ + count_);
        bufferBase_ += count_ + static_cast<int>(got);
        pos_ = 0;
        count_ = 0;
        done += static_cast<int>(got);
        if (got < rest) break;
    }
    return done;
}

int FileInStream::Tell() {
    if (!file_) return -1;
    return bufferBase_ + pos_;
}

int FileInStream::Seek(int pos) {
    if (!file_ || pos < 0 || pos > length_) return -1;
    // The document seeks before every object it loads, often into bytes
    // already buffered.
    if (pos >= bufferBase_ && pos <= bufferBase_ + count_) {
        pos_ = pos - bufferBase_;
        return 0;
    }
    const int end = bufferBase_ + count_;
    if (sequential_ && positional_ && pos > end && pos - end < bufferSize_) {
        // Read through: the bytes skipped are likely wanted by a caller that
        // keeps them, and one read costs less than two.
        while (bufferBase_ + count_ < pos) {
            pos_ = count_;
            if (Refill() <= 0) return -1;
        }
        pos_ = pos - bufferBase_;
        return 0;
    }
    if (!positional_ && std::fseek(file_, start_ + pos, SEEK_SET) != 0) {
        errno_ = errno;
        return -1;
    }
    bufferBase_ = pos;
    pos_ = 0;
    count_ = 0;
    fetch_ = kFirstFetch;
    return 0;
}

const char* FileInStream::ErrorText() {
    return errno_ ? std::strerror(errno_) : "";
}

}  // namespace corvina
