#include "pdf/stream/CPDFMemSource.h"

#include <algorithm>
#include <cstring>

namespace corvina {

CPDFMemSource::CPDFMemSource(const char* data, int32_t length)
    : data_(data), length_(data && length > 0 ? length : 0) {}

int CPDFMemSource::Read(char* into, int32_t offset, int n) {
    if (n <= 0 || offset < 0 || offset >= length_) return 0;
    n = std::min(n, length_ - offset);
    std::memcpy(into, data_ + offset, static_cast<size_t>(n));
    return n;
}

}  // namespace corvina
