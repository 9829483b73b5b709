#pragma once

#include <cstdint>

#include "pdf/stream/CPDFStreamSource.h"

namespace corvina {

class InStream;

// The bytes [offset, offset+length) of an input: the document's file for data
// not loaded yet, or the input a stream is being parsed from. The input is
// borrowed; reading moves its position (whoever shares it restores it), and a
// range that runs past the input's end reads short.
class CPDFRangeSource : public CPDFStreamSource {
public:
    // A file input also offers its descriptor for copies the kernel makes.
    CPDFRangeSource(InStream& in, int32_t offset, int32_t length);

    int32_t Length() const override { return length_; }
    int Read(char* into, int32_t offset, int n) override;
    int Descriptor() const override;
    long FileOffset(int32_t offset) const override;

private:
    InStream& in_;
    int32_t offset_;
    int32_t length_;
};

}  // namespace corvina
