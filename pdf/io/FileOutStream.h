#pragma once

#include <cstdio>
#include <string>

#include "pdf/io/OutStream.h"

namespace corvina {

// A file opened with "wb" or "ab", or standard output for an empty path.
class FileOutStream : public OutStream {
public:
    explicit FileOutStream(int bufferSize = 4096);
    ~FileOutStream() override;

    bool Open(const char* path, const char* mode = "wb", int bufferSize = 0);
    void Close() override;
    bool IsOpen() const { return file_ != nullptr; }
    const char* Path() const { return path_.c_str(); }

    void WriteDirect(const void* data, int n) override;
    void Flush() override;
    long Tell() override;
    int Seek(long pos) override;
    long Size() override;
    bool Error() const override { return errno_ != 0; }
    int SavedErrno() const { return errno_; }
    const char* ErrorText() override;
    void ClearError() override { errno_ = 0; }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    bool isStdout_ = false;
    long filePos_ = 0;  // offset of the first buffered byte
    int errno_ = 0;
};

}  // namespace corvina
