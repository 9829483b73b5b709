#include "pdf/object/RC4.h"

#include <md5.h>

#include <cstdint>
#include <utility>

namespace corvina::detail {

RC4::RC4(const unsigned char* key, int length) {
    for (int k = 0; k < 256; ++k) s_[k] = static_cast<unsigned char>(k);
    if (length <= 0) return;
    unsigned char j = 0;
    for (int k = 0; k < 256; ++k) {
        j = static_cast<unsigned char>(j + s_[k] + key[k % length]);
        std::swap(s_[k], s_[j]);
    }
}

void RC4::Process(unsigned char* data, int length) {
    for (int k = 0; k < length; ++k) {
        i_ = static_cast<unsigned char>(i_ + 1);
        j_ = static_cast<unsigned char>(j_ + s_[i_]);
        std::swap(s_[i_], s_[j_]);
        data[k] ^= s_[static_cast<unsigned char>(s_[i_] + s_[j_])];
    }
}

void DeriveObjectKey(const unsigned char* context, unsigned char key[kObjectKeyLength]) {
    MD5_CTX md5;
    uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Init(&md5);
    MD5Update(&md5, context, kObjectKeyContextLength);
    MD5Final(digest, &md5);
    for (int k = 0; k < kObjectKeyLength; ++k) key[k] = digest[k];
}

void CryptObjectData(const unsigned char* context, unsigned char* data, int length) {
    if (!context || length <= 0) return;
    unsigned char key[kObjectKeyLength];
    DeriveObjectKey(context, key);
    RC4(key, kObjectKeyLength).Process(data, length);
}

}  // namespace corvina::detail
