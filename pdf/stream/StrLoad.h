#pragma once

#include <cstdint>

#include "pdf/io/InStream.h"

namespace corvina {

// Buffered input over a block of memory it does not own (a stream's data
// while a filter decodes it, or decoded data parsed as objects). The block
// must outlive the input and stay unchanged while it is read.
class StrLoad : public InStream {
public:
    static constexpr int kKind = 2;

    StrLoad();
    ~StrLoad() override = default;

    // Attaches the block; a buffer size below 1 gives 4096. False when the
    // buffer cannot be allocated or the block is invalid.
    bool Open(const char* block, int32_t length, int bufferSize = -1);
    void Close() override;
    int Refill() override;
    int Read(void* dst, int n) override;
    int Tell() override { return next_ - (count_ - pos_); }
    int Seek(int pos) override;
    int Length() override { return length_; }
    bool Error() const override { return false; }
    const char* ErrorText() override { return ""; }
    void ClearError() override {}

    int Kind() const { return kind_; }
    const char* KindName() const { return kindName_; }

private:
    const char* block_ = nullptr;
    int32_t length_ = 0;
    int32_t next_ = 0;  // block offset of the next refill
};

}  // namespace corvina
