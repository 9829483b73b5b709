#pragma once

#include <nettle/md5.h>

#include <cstring>

#include "pdf/object/ObjectCrypt.h"

namespace corvina::testing {

// The RC4 crypt of one object as revision 2 makes it from a 10-byte key
// context (five key bytes, three of the number, two of the generation): the
// first ten bytes of the context's MD5, for strings and streams alike.
inline detail::ObjectCrypt Rc4Context(const unsigned char* context) {
    detail::ObjectCrypt crypt;
    unsigned char digest[MD5_DIGEST_SIZE];
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, 10, context);
    md5_digest(&md5, MD5_DIGEST_SIZE, digest);
    crypt.strings.method = detail::CryptMethod::RC4;
    crypt.strings.keyLength = 10;
    std::memcpy(crypt.strings.key, digest, 10);
    crypt.streams = crypt.strings;
    return crypt;
}

// Encrypts (or decrypts) data in place with the RC4 of the crypt's streams.
inline void CryptObjectData(const detail::ObjectCrypt& crypt, unsigned char* data, int length) {
    detail::Rc4(crypt.streams.key, crypt.streams.keyLength, data, length);
}

}  // namespace corvina::testing
