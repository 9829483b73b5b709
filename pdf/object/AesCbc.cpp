#include "pdf/object/AesCbc.h"

#include <nettle/cbc.h>

#include <cstring>

namespace corvina::detail {

namespace {

// The block functions in the shape nettle's CBC mode calls.
void Encrypt128(const void* ctx, size_t n, uint8_t* dst, const uint8_t* src) {
    aes128_encrypt(static_cast<const aes128_ctx*>(ctx), n, dst, src);
}
void Decrypt128(const void* ctx, size_t n, uint8_t* dst, const uint8_t* src) {
    aes128_decrypt(static_cast<const aes128_ctx*>(ctx), n, dst, src);
}
void Encrypt256(const void* ctx, size_t n, uint8_t* dst, const uint8_t* src) {
    aes256_encrypt(static_cast<const aes256_ctx*>(ctx), n, dst, src);
}
void Decrypt256(const void* ctx, size_t n, uint8_t* dst, const uint8_t* src) {
    aes256_decrypt(static_cast<const aes256_ctx*>(ctx), n, dst, src);
}

}  // namespace

AesCbc::AesCbc(const unsigned char* key, int keyLength, bool encrypt,
               const unsigned char iv[kAesBlock])
    : wide_(keyLength == AES256_KEY_SIZE), encrypt_(encrypt) {
    if (wide_) {
        if (encrypt)
            aes256_set_encrypt_key(&ctx_.wide, key);
        else
            aes256_set_decrypt_key(&ctx_.wide, key);
    } else {
        if (encrypt)
            aes128_set_encrypt_key(&ctx_.narrow, key);
        else
            aes128_set_decrypt_key(&ctx_.narrow, key);
    }
    std::memcpy(iv_, iv, kAesBlock);
}

void AesCbc::Process(unsigned char* data, int length) {
    if (length <= 0) return;
    const void* ctx = wide_ ? static_cast<const void*>(&ctx_.wide) : &ctx_.narrow;
    if (encrypt_)
        cbc_encrypt(ctx, wide_ ? Encrypt256 : Encrypt128, kAesBlock, iv_, length, data, data);
    else
        cbc_decrypt(ctx, wide_ ? Decrypt256 : Decrypt128, kAesBlock, iv_, length, data, data);
}

}  // namespace corvina::detail
