#pragma once

#include <cstdint>

#include "pdf/stream/CPDFStreamSource.h"

namespace corvina {

// Bytes held in memory: a stream's own buffer, on the heap or in the mapped
// temporary file that large data moves to. Borrowed, never copied.
class CPDFMemSource : public CPDFStreamSource {
public:
    CPDFMemSource(const char* data, int32_t length);

    // The bytes in one block, for writers that take them whole.
    const char* Data() const { return data_; }
    int32_t Length() const override { return length_; }
    int Read(char* into, int32_t offset, int n) override;

private:
    const char* data_;
    int32_t length_;
};

}  // namespace corvina
