#include "pdf/stream/CPDFCryptSource.h"

#include <algorithm>

namespace corvina {

namespace {

constexpr int kSkipPiece = 4096;

const unsigned char* Derived(CryptKey context, unsigned char* key) {
    detail::DeriveObjectKey(context, key);
    return key;
}

}  // namespace

CPDFCryptSource::CPDFCryptSource(CPDFStreamSource& inner, CryptKey key)
    : inner_(inner), cipher_(Derived(key, key_), detail::kObjectKeyLength) {}

void CPDFCryptSource::Restart() {
    cipher_ = detail::RC4(key_, detail::kObjectKeyLength);
    at_ = 0;
}

int CPDFCryptSource::Read(char* into, int32_t offset, int n) {
    if (n <= 0 || offset < 0 || offset >= Length()) return 0;
    if (offset < at_) Restart();
    // RC4's key stream does not depend on the data: skipping ahead only runs
    // the cipher, it need not read the skipped bytes.
    unsigned char skipped[kSkipPiece] = {};
    while (at_ < offset) {
        const int step = std::min(offset - at_, kSkipPiece);
        cipher_.Process(skipped, step);
        at_ += step;
    }
    const int got = inner_.Read(into, offset, n);
    if (got <= 0) return 0;
    cipher_.Process(reinterpret_cast<unsigned char*>(into), got);
    at_ += got;
    return got;
}

}  // namespace corvina
