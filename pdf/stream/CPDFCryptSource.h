#pragma once

#include <cstdint>

#include "pdf/object/CPDFObject.h"
#include "pdf/object/RC4.h"
#include "pdf/stream/CPDFStreamSource.h"

namespace corvina {

// A source run through one object's RC4 cipher (the standard security
// handler): the plain bytes of encrypted data when reading, the encrypted
// copy when writing, as both are the same operation. The inner source is
// borrowed. RC4 is a stream cipher, so reading on from where the last read
// ended costs nothing extra; a jump back starts the cipher again and a jump
// ahead runs it over the bytes skipped.
class CPDFCryptSource : public CPDFStreamSource {
public:
    // key: the object's key context (see CPDFDoc::ObjectKey), not null.
    CPDFCryptSource(CPDFStreamSource& inner, CryptKey key);

    int32_t Length() const override { return inner_.Length(); }
    int Read(char* into, int32_t offset, int n) override;

private:
    void Restart();

    CPDFStreamSource& inner_;
    unsigned char key_[detail::kObjectKeyLength];
    detail::RC4 cipher_;
    int32_t at_ = 0;  // the offset the cipher stands at
};

}  // namespace corvina
