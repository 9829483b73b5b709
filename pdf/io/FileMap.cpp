#include "pdf/io/FileMap.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pdf/io/TempName.h"

namespace corvina {

namespace {
// mmap refuses an empty mapping, so the file always holds at least one byte.
size_t MappedBytes(long size) {
    return size > 0 ? static_cast<size_t>(size) : 1;
}
}  // namespace

FileMap::~FileMap() {
    Close(true);
}

bool FileMap::Create(const char* dir, const char* prefix, long size, bool zeroFill) {
    Close(true);
    if (size < 0) {
        errno = EINVAL;
        return false;
    }
    char name[PATH_MAX];
    if (!GetTempName(dir, prefix, name, sizeof name)) return false;
    name_ = name;
    fd_ = open(name, O_RDWR | O_CLOEXEC);
    if (fd_ < 0) return Fail();
    // The file is new and empty, so the grown mapping already reads as zeros
    // and zeroFill needs no work.
    (void)zeroFill;
    return Map(0, size, false);
}

bool FileMap::CreateByName(const char* name, long size, bool zeroFill) {
    Close(true);
    if (!name || !*name || size < 0) {
        errno = EINVAL;
        return false;
    }
    fd_ = open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
    name_ = name;
    (void)zeroFill;  // truncated to empty: zeros already
    return Map(0, size, false);
}

bool FileMap::Resize(long size, bool zeroFill) {
    if (fd_ < 0 || size < 0) {
        errno = fd_ < 0 ? EBADF : EINVAL;
        return false;
    }
    const long old = size_;
    if (base_) munmap(base_, MappedBytes(size_));
    base_ = nullptr;
    return Map(old, size, zeroFill);
}

void FileMap::Close(bool deleteFile) {
    if (base_) munmap(base_, MappedBytes(size_));
    base_ = nullptr;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (deleteFile && !name_.empty()) unlink(name_.c_str());
    name_.clear();
    size_ = 0;
}

bool FileMap::Map(long oldSize, long size, bool zeroFill) {
    const size_t bytes = MappedBytes(size);
    if (ftruncate(fd_, static_cast<off_t>(bytes)) != 0) return Fail();
    // Reserve the blocks now: a full disk must fail here, not raise SIGBUS on
    // a later store into the mapping.
    if (size > oldSize) {
        const int rc =
            posix_fallocate(fd_, static_cast<off_t>(oldSize), static_cast<off_t>(size - oldSize));
        if (rc != 0 && rc != EOPNOTSUPP && rc != ENOSYS) {
            errno = rc;
            return Fail();
        }
    }
    void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (base == MAP_FAILED) return Fail();
    base_ = base;
    size_ = size;
    if (zeroFill && size > oldSize)
        std::memset(static_cast<char*>(base_) + oldSize, 0, static_cast<size_t>(size - oldSize));
    return true;
}

bool FileMap::Fail() {
    const int saved = errno;
    Close(true);
    errno = saved;
    return false;
}

}  // namespace corvina
