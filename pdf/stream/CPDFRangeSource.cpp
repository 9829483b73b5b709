#include "pdf/stream/CPDFRangeSource.h"

#include <algorithm>

#include "pdf/io/InStream.h"

namespace corvina {

CPDFRangeSource::CPDFRangeSource(InStream& in, int32_t offset, int32_t length)
    : in_(in), offset_(offset), length_(length < 0 ? 0 : length) {}

int CPDFRangeSource::Read(char* into, int32_t offset, int n) {
    if (n <= 0 || offset < 0 || offset >= length_ || offset_ < 0) return 0;
    n = std::min(n, length_ - offset);
    const long at = static_cast<long>(offset_) + offset;
    if (at > INT32_MAX) return 0;
    // Reading on where the last piece ended keeps the input's sequential
    // fetching; a seek only when the caller jumps.
    if (in_.Tell() != at && in_.Seek(static_cast<int>(at)) != 0) return 0;
    int done = 0;
    while (done < n) {
        const int got = in_.Read(into + done, n - done);
        if (got <= 0) break;
        done += got;
    }
    return done;
}

int CPDFRangeSource::Descriptor() const {
    return in_.Descriptor();
}

long CPDFRangeSource::FileOffset(int32_t offset) const {
    return in_.Descriptor() >= 0 ? in_.FileOffset(offset_ + offset) : -1;
}

}  // namespace corvina
