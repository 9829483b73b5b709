#pragma once

#include <string>

#include "pdf/io/CorvinaApi.h"
#include "pdf/io/OutStream.h"

namespace corvina {

// A file opened with "wb" or "ab", or standard output for an empty path. The
// stream's own buffer is the only one: blocks go to the descriptor with
// write(2), so a file range can be copied in between by the kernel.
class CORVINA_API FileOutStream : public OutStream {
public:
    explicit FileOutStream(int bufferSize = 4096);
    ~FileOutStream() override;

    bool Open(const char* path, const char* mode = "wb", int bufferSize = 0);
    void Close() override;
    bool IsOpen() const { return fd_ >= 0; }
    const char* Path() const { return path_.c_str(); }
    // The open descriptor, -1 when closed.
    int Descriptor() const { return fd_; }

    void WriteDirect(const void* data, int n) override;
    // copy_file_range(2) from the source file to this one; large read/write
    // blocks where the kernel cannot (another file system, a pipe, an
    // appending descriptor).
    long CopyFrom(int fd, long offset, long length) override;
    void Flush() override;
    long Tell() override;
    int Seek(long pos) override;
    long Size() override;
    bool Error() const override { return errno_ != 0; }
    int SavedErrno() const { return errno_; }
    const char* ErrorText() override;
    void ClearError() override { errno_ = 0; }

private:
    // Writes all n bytes or records the error; returns the count written.
    long Put(const char* data, long n);

    std::string path_;
    int fd_ = -1;
    bool isStdout_ = false;
    bool noKernelCopy_ = false;  // copy_file_range refused once: not again
    long filePos_ = 0;           // offset of the first buffered byte
    int errno_ = 0;
};

}  // namespace corvina
