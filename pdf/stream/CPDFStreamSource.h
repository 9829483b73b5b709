#pragma once

#include <cstdint>

namespace corvina {

// Where a stream's bytes come from, read one way. A source is a view: it owns
// none of the bytes it hands out, and whatever it reads from must outlive it.
// Stages (decryption, later the filters) are sources over another source.
class CPDFStreamSource {
public:
    CPDFStreamSource() = default;
    virtual ~CPDFStreamSource();
    CPDFStreamSource(const CPDFStreamSource&) = delete;
    CPDFStreamSource& operator=(const CPDFStreamSource&) = delete;

    virtual int32_t Length() const = 0;
    // Copies the n bytes from offset on into `into`; returns the count copied,
    // which is short only past Length() or where the bytes cannot be read.
    // Never throws.
    virtual int Read(char* into, int32_t offset, int n) = 0;
    // The open file in which the bytes from offset on lie unchanged, for copies
    // the kernel makes: a descriptor and its file offset, -1 when there is none.
    virtual int Descriptor() const { return -1; }
    virtual long FileOffset(int32_t /*offset*/) const { return -1; }
};

}  // namespace corvina
