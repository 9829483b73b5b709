#pragma once

#include <string>

#include "pdf/io/CorvinaApi.h"
#include "pdf/io/InStream.h"

namespace corvina {

// Input from a block of memory (decoded stream data, text the job formats,
// and the tests' inline bytes). Keeps its own copy of the bytes.
class CORVINA_API MemInStream : public InStream {
public:
    MemInStream(const char* data, int length);
    explicit MemInStream(const std::string& data);
    ~MemInStream() override = default;

    void Close() override;
    int Refill() override;
    int Read(void* dst, int n) override;
    int Tell() override { return pos_; }
    int Seek(int pos) override;
    int Length() override { return count_; }
    bool Error() const override { return false; }
    const char* ErrorText() override { return ""; }
    void ClearError() override {}
};

}  // namespace corvina
