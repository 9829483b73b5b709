#pragma once

#include <string>

#include "pdf/io/CorvinaApi.h"
#include "pdf/io/OutStream.h"

namespace corvina {

// Output into memory: the tests' golden checks and formatted texts.
class CORVINA_API MemOutStream : public OutStream {
public:
    MemOutStream() : OutStream(4096) {}
    ~MemOutStream() override = default;

    void Close() override { Flush(); }
    void WriteDirect(const void* data, int n) override;
    void Flush() override;
    long Tell() override { return writePos_ + count_; }
    // pos in 0..Size(); later writes overwrite from there, as in a file.
    int Seek(long pos) override;
    long Size() override {
        const long held = static_cast<long>(data_.size());
        return Tell() > held ? Tell() : held;
    }
    bool Error() const override { return false; }
    const char* ErrorText() override { return ""; }
    void ClearError() override {}

    // Everything written so far (flushes first).
    const std::string& Data();

private:
    void Store(const char* data, int n);

    std::string data_;
    long writePos_ = 0;  // offset in data_ where the buffer goes
};

}  // namespace corvina
