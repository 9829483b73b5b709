#include "pdf/io/MemInStream.h"

#include <cstring>

namespace corvina {

// The whole block is the buffer, so Peek and Get never refill.
MemInStream::MemInStream(const char* data, int length) : InStream(data && length > 0 ? length : 1) {
    kindName_ = "Memory";
    if (data && length > 0) {
        std::memcpy(buffer_, data, static_cast<size_t>(length));
        count_ = length;
    }
}

MemInStream::MemInStream(const std::string& data)
    : MemInStream(data.data(), static_cast<int>(data.size())) {}

void MemInStream::Close() {
    pos_ = 0;
    count_ = 0;
}

int MemInStream::Refill() {
    return 0;
}

int MemInStream::Read(void* dst, int n) {
    if (n <= 0) return 0;
    int chunk = count_ - pos_;
    if (chunk > n) chunk = n;
    if (chunk <= 0) return 0;
    std::memcpy(dst, buffer_ + pos_, static_cast<size_t>(chunk));
    pos_ += chunk;
    return chunk;
}

int MemInStream::Seek(int pos) {
    if (pos < 0 || pos > count_) return -1;
    pos_ = pos;
    return 0;
}

}  // namespace corvina
