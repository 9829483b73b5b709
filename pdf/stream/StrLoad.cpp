#include "pdf/stream/StrLoad.h"

#include <cstring>
#include <new>

namespace corvina {

StrLoad::StrLoad() : InStream(1) {
    kind_ = kKind;
    kindName_ = "Str";
}

bool StrLoad::Open(const char* block, int32_t length, int bufferSize) {
    if (length < 0 || (length > 0 && !block)) return false;
    const int size = bufferSize < 1 ? 4096 : bufferSize;
    char* fresh = new (std::nothrow) char[static_cast<size_t>(size)];
    if (!fresh) return false;
    storage_.reset(fresh);
    buffer_ = fresh;
    bufferSize_ = size;
    block_ = block;
    length_ = length;
    next_ = 0;
    pos_ = count_ = 0;
    return true;
}

void StrLoad::Close() {
    block_ = nullptr;
    length_ = next_ = 0;
    pos_ = count_ = 0;
}

int StrLoad::Refill() {
    pos_ = count_ = 0;
    int n = length_ - next_;
    if (n <= 0) return 0;
    if (n > bufferSize_) n = bufferSize_;
    std::memcpy(buffer_, block_ + next_, static_cast<size_t>(n));
    next_ += n;
    count_ = n;
    return n;
}

// What is buffered first, then straight from the block: a filter reading
// whole pieces costs one copy, not two.
int StrLoad::Read(void* dst, int n) {
    if (n <= 0) return 0;
    char* out = static_cast<char*>(dst);
    int done = count_ - pos_;
    if (done > n) done = n;
    if (done > 0) {
        std::memcpy(out, buffer_ + pos_, static_cast<size_t>(done));
        pos_ += done;
    }
    int rest = n - done;
    if (rest > length_ - next_) rest = length_ - next_;
    if (rest > 0) {
        std::memcpy(out + done, block_ + next_, static_cast<size_t>(rest));
        next_ += rest;
        done += rest;
    }
    return done;
}

int StrLoad::Seek(int pos) {
    if (pos < 0 || pos > length_) return -1;
    const int start = next_ - count_;
    if (pos >= start && pos <= next_) {
        pos_ = pos - start;
        return 0;
    }
    next_ = pos;
    pos_ = count_ = 0;
    return 0;
}

}  // namespace corvina
