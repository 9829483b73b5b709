#pragma once

#include <string>

#include "pdf/io/OutStream.h"

namespace corvina {

// Output into memory: the tests' golden checks and formatted texts.
class MemOutStream : public OutStream {
public:
    MemOutStream() : OutStream(4096) {}
    ~MemOutStream() override = default;

    void Close() override { Flush(); }
    void WriteDirect(const void* data, int n) override;
    void Flush() override;
    long Tell() override { return static_cast<long>(data_.size()) + count_; }
    int Seek(long pos) override;
    long Size() override { return Tell(); }
    bool Error() const override { return false; }
    const char* ErrorText() override { return ""; }
    void ClearError() override {}

    // Everything written so far (flushes first).
    const std::string& Data();

private:
    std::string data_;
};

}  // namespace corvina
