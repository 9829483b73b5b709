#pragma once

#include <nettle/aes.h>

namespace corvina::detail {

constexpr int kAesBlock = 16;

// AES in CBC mode over whole 16-byte blocks, with a key of 16 or 32 bytes
// (the cipher itself is nettle's). The chaining value carries over from one
// call to the next, so data may come in pieces of whole blocks.
class AesCbc {
public:
    AesCbc(const unsigned char* key, int keyLength, bool encrypt,
           const unsigned char iv[kAesBlock]);
    // length: a multiple of kAesBlock; in place.
    void Process(unsigned char* data, int length);

private:
    union {
        aes128_ctx narrow;
        aes256_ctx wide;
    } ctx_;
    bool wide_;
    bool encrypt_;
    unsigned char iv_[kAesBlock];
};

}  // namespace corvina::detail
