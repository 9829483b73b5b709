#pragma once

#include <nettle/arcfour.h>

#include <cstdint>
#include <optional>

#include "pdf/object/ObjectCrypt.h"
#include "pdf/stream/CPDFStreamSource.h"

namespace corvina {

// A source run through one object's crypt filter: the plain bytes of
// encrypted data when reading, the encrypted copy when writing. The inner
// source is borrowed; the filter is copied.
//
// RC4 is a stream cipher: reading on from where the last read ended costs
// nothing extra, a jump back starts the cipher again and a jump ahead runs it
// over the bytes skipped. AES-CBC decrypts any block from the one before it,
// so reads go anywhere; its plain length is known from the last block, read
// when the stage is made. AES encryption chains forward: the IV comes first,
// then the blocks in order, the last one padded; a jump back starts again.
class CPDFCryptSource : public CPDFStreamSource {
public:
    // iv: the IV written in front of AES-encrypted data; unused otherwise.
    CPDFCryptSource(CPDFStreamSource& inner, const detail::CryptFilter& filter, bool encrypt,
                    const unsigned char* iv = nullptr);

    // False when AES data is shorter than its IV or not whole blocks; the
    // stage then has no bytes.
    bool Valid() const { return valid_; }
    int32_t Length() const override { return length_; }
    int Read(char* into, int32_t offset, int n) override;

private:
    int ReadRc4(char* into, int32_t offset, int n);
    int ReadAesPlain(char* into, int32_t offset, int n);
    int ReadAesCipher(char* into, int32_t offset, int n);
    void MeasurePlain();
    bool NextCipherBlock();

    CPDFStreamSource& inner_;
    detail::CryptFilter filter_;
    bool encrypt_;
    bool valid_ = true;
    int32_t length_ = 0;
    // RC4: the cipher and the offset it stands at.
    arcfour_ctx rc4_;
    int32_t at_ = 0;
    // AES encryption: the IV, the chain, the next block to make (0 is the
    // IV) and the last one made.
    unsigned char iv_[detail::kAesBlock] = {};
    std::optional<detail::AesCbc> chain_;
    int32_t next_ = 0;
    unsigned char last_[detail::kAesBlock] = {};
};

}  // namespace corvina
