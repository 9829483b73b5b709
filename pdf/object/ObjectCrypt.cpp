#include "pdf/object/ObjectCrypt.h"

#include <nettle/arcfour.h>
#include <nettle/sha2.h>

#include <cstring>

namespace corvina::detail {

void Rc4(const unsigned char* key, int keyLength, unsigned char* data, int length) {
    if (length <= 0) return;
    arcfour_ctx ctx;
    arcfour_set_key(&ctx, keyLength, key);
    arcfour_crypt(&ctx, length, data, data);
}

int DecryptData(const CryptFilter& filter, unsigned char* data, int length) {
    switch (filter.method) {
        case CryptMethod::None:
            return length;
        case CryptMethod::RC4:
            Rc4(filter.key, filter.keyLength, data, length);
            return length;
        case CryptMethod::AES:
            break;
    }
    if (length == 0) return 0;
    if (length < kAesBlock || length % kAesBlock != 0) return -1;
    const int body = length - kAesBlock;
    AesCbc(filter.key, filter.keyLength, false, data).Process(data + kAesBlock, body);
    std::memmove(data, data + kAesBlock, body);
    int plain = body;
    if (plain > 0) {
        const int pad = data[plain - 1];
        bool padded = pad >= 1 && pad <= kAesBlock;
        for (int k = 1; padded && k <= pad; ++k) padded = data[plain - k] == pad;
        if (padded) plain -= pad;
    }
    return plain;
}

void EncryptData(const CryptFilter& filter, const unsigned char* data, int length,
                 const unsigned char iv[kAesBlock], std::string& out) {
    const size_t start = out.size();
    if (filter.method != CryptMethod::AES) {
        out.append(reinterpret_cast<const char*>(data), length > 0 ? length : 0);
        if (filter.method == CryptMethod::RC4)
            Rc4(filter.key, filter.keyLength, reinterpret_cast<unsigned char*>(&out[start]),
                length);
        return;
    }
    const int pad = kAesBlock - length % kAesBlock;
    out.append(reinterpret_cast<const char*>(iv), kAesBlock);
    out.append(reinterpret_cast<const char*>(data), length);
    out.append(static_cast<size_t>(pad), static_cast<char>(pad));
    AesCbc(filter.key, filter.keyLength, true, iv)
        .Process(reinterpret_cast<unsigned char*>(&out[start + kAesBlock]), length + pad);
}

void WriteIv(const ObjectCrypt& crypt, const CryptFilter& filter, const void* seed, int seedLength,
             unsigned char iv[kAesBlock]) {
    sha256_ctx sha;
    sha256_init(&sha);
    sha256_update(&sha, filter.keyLength, filter.key);
    const int32_t ids[2] = {crypt.objNum, crypt.genNum};
    sha256_update(&sha, sizeof ids, reinterpret_cast<const uint8_t*>(ids));
    if (seedLength > 0) sha256_update(&sha, seedLength, static_cast<const uint8_t*>(seed));
    sha256_digest(&sha, kAesBlock, iv);
}

}  // namespace corvina::detail
