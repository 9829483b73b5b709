#pragma once

#include <cstdint>
#include <string>

#include "pdf/object/AesCbc.h"

namespace corvina::detail {

constexpr int kMaxCryptKey = 32;

// The ciphers of the standard security handler's crypt filters: none
// (Identity), RC4 (V2) and AES-CBC with the IV in front and PKCS#5 padding
// (AESV2 with 16-byte keys, AESV3 with 32).
enum class CryptMethod : unsigned char { None, RC4, AES };

// One cipher with the key of one object.
struct CryptFilter {
    CryptMethod method = CryptMethod::None;
    int keyLength = 0;
    unsigned char key[kMaxCryptKey] = {};
};

// How the strings and the stream data of one indirect object are encrypted.
// The document derives it per object (see CPDFDoc::ObjectKey) and lends it
// to the readers and writers of values as their CryptKey.
struct ObjectCrypt {
    CryptFilter strings;
    CryptFilter streams;
    // False (EncryptMetadata false): a metadata stream is stored plain.
    bool encryptMetadata = true;
    int32_t objNum = 0;
    int32_t genNum = 0;
};

// Decrypts data in place and returns its plain length, which AES makes
// shorter (the IV and the padding go); -1 when AES data is shorter than its
// IV or not whole blocks. A padding that is no padding is kept as data.
int DecryptData(const CryptFilter& filter, unsigned char* data, int length);

// The encrypted copy of data, appended to out; AES puts iv in front.
void EncryptData(const CryptFilter& filter, const unsigned char* data, int length,
                 const unsigned char iv[kAesBlock], std::string& out);

// The IV an AES-encrypted copy is written with. It comes from the object's
// key and number and from seed (a string's bytes, a stream's length), not
// from a random source, so that the writer stays deterministic; two equal
// values of one object get the same ciphertext, which shows only that they
// are equal.
void WriteIv(const ObjectCrypt& crypt, const CryptFilter& filter, const void* seed, int seedLength,
             unsigned char iv[kAesBlock]);

// RC4 (nettle's ARCFOUR) over data in place.
void Rc4(const unsigned char* key, int keyLength, unsigned char* data, int length);

}  // namespace corvina::detail
