#pragma once

namespace corvina::detail {

// The RC4 stream cipher of the standard security handler.
class RC4 {
public:
    RC4(const unsigned char* key, int length);
    // Encryption and decryption are the same operation.
    void Process(unsigned char* data, int length);

private:
    unsigned char s_[256];
    unsigned char i_ = 0;
    unsigned char j_ = 0;
};

// Length of an object key context: 5 document-key bytes, the low three bytes
// of the object number and the low two of the generation.
constexpr int kObjectKeyContextLength = 10;
// Revision 2 uses n + 5 = 10 bytes of the MD5 digest as the object's RC4 key.
constexpr int kObjectKeyLength = 10;

void DeriveObjectKey(const unsigned char* context, unsigned char key[kObjectKeyLength]);
// Encrypts or decrypts data in place with the object key derived from context.
void CryptObjectData(const unsigned char* context, unsigned char* data, int length);

}  // namespace corvina::detail
