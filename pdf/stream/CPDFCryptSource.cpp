#include "pdf/stream/CPDFCryptSource.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace corvina {

namespace {

constexpr int kSkipPiece = 4096;
constexpr int kBlock = detail::kAesBlock;

}  // namespace

CPDFCryptSource::CPDFCryptSource(CPDFStreamSource& inner, const detail::CryptFilter& filter,
                                 bool encrypt, const unsigned char* iv)
    : inner_(inner), filter_(filter), encrypt_(encrypt) {
    const int32_t in = inner_.Length();
    switch (filter_.method) {
        case detail::CryptMethod::None:
            length_ = in;
            break;
        case detail::CryptMethod::RC4:
            length_ = in;
            arcfour_set_key(&rc4_, filter_.keyLength, filter_.key);
            break;
        case detail::CryptMethod::AES:
            if (encrypt_) {
                // Whole blocks of padding; refused where the length would
                // pass what offsets hold.
                valid_ = in <= INT32_MAX - 2 * kBlock;
                length_ = valid_ ? kBlock + (in / kBlock + 1) * kBlock : 0;
                if (iv) std::memcpy(iv_, iv, kBlock);
            } else {
                MeasurePlain();
            }
            break;
    }
}

void CPDFCryptSource::MeasurePlain() {
    const int32_t in = inner_.Length();
    // Nothing at all is empty data; a lone IV is too.
    if (in == 0 || in == kBlock) return;
    if (in < kBlock || in % kBlock != 0) {
        valid_ = false;
        return;
    }
    unsigned char tail[2 * kBlock];
    if (inner_.Read(reinterpret_cast<char*>(tail), in - 2 * kBlock, 2 * kBlock) != 2 * kBlock) {
        valid_ = false;
        return;
    }
    detail::AesCbc(filter_.key, filter_.keyLength, false, tail).Process(tail + kBlock, kBlock);
    int32_t plain = in - kBlock;
    const int pad = tail[2 * kBlock - 1];
    bool padded = pad >= 1 && pad <= kBlock;
    for (int k = 1; padded && k <= pad; ++k) padded = tail[2 * kBlock - k] == pad;
    if (padded) plain -= pad;
    length_ = plain;
}

int CPDFCryptSource::Read(char* into, int32_t offset, int n) {
    if (!valid_ || n <= 0 || offset < 0 || offset >= length_) return 0;
    n = static_cast<int>(std::min<int32_t>(n, length_ - offset));
    switch (filter_.method) {
        case detail::CryptMethod::None:
            return inner_.Read(into, offset, n);
        case detail::CryptMethod::RC4:
            return ReadRc4(into, offset, n);
        case detail::CryptMethod::AES:
            break;
    }
    return encrypt_ ? ReadAesCipher(into, offset, n) : ReadAesPlain(into, offset, n);
}

int CPDFCryptSource::ReadRc4(char* into, int32_t offset, int n) {
    if (offset < at_) {
        arcfour_set_key(&rc4_, filter_.keyLength, filter_.key);
        at_ = 0;
    }
    // RC4's key stream does not depend on the data: skipping ahead only runs
    // the cipher, it need not read the skipped bytes.
    unsigned char skipped[kSkipPiece] = {};
    while (at_ < offset) {
        const int step = std::min(offset - at_, kSkipPiece);
        arcfour_crypt(&rc4_, step, skipped, skipped);
        at_ += step;
    }
    const int got = inner_.Read(into, offset, n);
    if (got <= 0) return 0;
    auto* bytes = reinterpret_cast<unsigned char*>(into);
    arcfour_crypt(&rc4_, got, bytes, bytes);
    at_ += got;
    return got;
}

int CPDFCryptSource::ReadAesPlain(char* into, int32_t offset, int n) {
    // Plain block b is cipher block b + 1 (after the IV), chained from
    // cipher block b.
    const int32_t first = offset / kBlock;
    const int32_t last = (offset + n - 1) / kBlock;
    const int span = static_cast<int>((last - first + 2) * kBlock);
    std::vector<unsigned char> buf(static_cast<size_t>(span));
    if (inner_.Read(reinterpret_cast<char*>(buf.data()), first * kBlock, span) != span) return 0;
    detail::AesCbc(filter_.key, filter_.keyLength, false, buf.data())
        .Process(buf.data() + kBlock, span - kBlock);
    std::memcpy(into, buf.data() + kBlock + (offset - first * kBlock), static_cast<size_t>(n));
    return n;
}

// Makes block next_ into last_: the IV, or the next plain block (padded
// when it is the last) encrypted on from the one before.
bool CPDFCryptSource::NextCipherBlock() {
    if (next_ == 0) {
        chain_.emplace(filter_.key, filter_.keyLength, true, iv_);
        std::memcpy(last_, iv_, kBlock);
        ++next_;
        return true;
    }
    const int32_t plainAt = (next_ - 1) * kBlock;
    const int32_t plainLength = inner_.Length();
    const int have = static_cast<int>(std::min<int32_t>(kBlock, plainLength - plainAt));
    if (have > 0 && inner_.Read(reinterpret_cast<char*>(last_), plainAt, have) != have)
        return false;
    if (have < kBlock) {
        const int pad = kBlock - std::max(have, 0);
        std::memset(last_ + kBlock - pad, pad, static_cast<size_t>(pad));
    }
    chain_->Process(last_, kBlock);
    ++next_;
    return true;
}

int CPDFCryptSource::ReadAesCipher(char* into, int32_t offset, int n) {
    if (offset / kBlock < next_ - 1) next_ = 0;
    int done = 0;
    while (done < n) {
        const int32_t at = offset + done;
        const int32_t block = at / kBlock;
        // Whole blocks of plain data in order go straight through `into`.
        if (block == next_ && next_ > 0 && at % kBlock == 0) {
            const int32_t plainAt = (next_ - 1) * kBlock;
            const int32_t whole = (inner_.Length() - plainAt) / kBlock;
            const int blocks = static_cast<int>(std::min<int32_t>(whole, (n - done) / kBlock));
            if (blocks > 0) {
                const int bytes = blocks * kBlock;
                auto* out = reinterpret_cast<unsigned char*>(into + done);
                if (inner_.Read(into + done, plainAt, bytes) != bytes) return done;
                chain_->Process(out, bytes);
                std::memcpy(last_, out + bytes - kBlock, kBlock);
                next_ += blocks;
                done += bytes;
                continue;
            }
        }
        while (next_ <= block)
            if (!NextCipherBlock()) return done;
        const int from = static_cast<int>(at - block * kBlock);
        const int take = std::min(kBlock - from, n - done);
        std::memcpy(into + done, last_ + from, static_cast<size_t>(take));
        done += take;
    }
    return done;
}

}  // namespace corvina
