#include "pdf/io/MemOutStream.h"

#include <algorithm>

namespace corvina {

void MemOutStream::WriteDirect(const void* data, int n) {
    Flush();
    if (n > 0) Store(static_cast<const char*>(data), n);
}

void MemOutStream::Flush() {
    if (count_ > 0) Store(buffer_.get(), count_);
    count_ = 0;
}

void MemOutStream::Store(const char* data, int n) {
    const size_t at = static_cast<size_t>(writePos_);
    if (at == data_.size()) {
        data_.append(data, static_cast<size_t>(n));
    } else {
        data_.replace(at, std::min(static_cast<size_t>(n), data_.size() - at), data,
                      static_cast<size_t>(n));
    }
    writePos_ += n;
}

int MemOutStream::Seek(long pos) {
    Flush();
    if (pos < 0 || pos > static_cast<long>(data_.size())) return -1;
    writePos_ = pos;
    return 0;
}

const std::string& MemOutStream::Data() {
    Flush();
    return data_;
}

}  // namespace corvina
