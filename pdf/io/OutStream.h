#pragma once

#include <cstdarg>
#include <memory>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

// Buffered output. Line ends are CR LF; reals are written trimmed.
class CORVINA_API OutStream {
public:
    explicit OutStream(int bufferSize = 4096);
    virtual ~OutStream();
    OutStream(const OutStream&) = delete;
    OutStream& operator=(const OutStream&) = delete;

    virtual void WriteText(const char* text);
    virtual void WriteChar(char c);
    virtual void WriteReal(double value);  // "%f", trailing zeros and '.' removed
    virtual void WriteInt(long value);     // "%ld"
    virtual void WriteBool(bool value);
    virtual void WriteEol();  // CR LF
    virtual void Close() = 0;
    // printf into a 256-byte buffer (longer output is cut, never overflows).
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual void VPrintf(const char* format, va_list args);
    // Flushes, then writes straight to the target.
    virtual void WriteDirect(const void* data, int n) = 0;
    virtual void Write(const void* data, int n);
    // Appends length bytes of the file open on fd, from offset on, without
    // moving fd's own offset. Returns the count copied; a shorter count means
    // fd cannot be read there (a pipe, an I/O error) or ends early, and the
    // caller copies the rest some other way. This version reads into the
    // stream's buffer with pread(2).
    virtual long CopyFrom(int fd, long offset, long length);
    virtual void Flush() = 0;
    // Offset at which the next byte will land.
    virtual long Tell() = 0;
    virtual int Seek(long pos) = 0;
    virtual long Size() = 0;
    virtual bool Error() const = 0;
    virtual const char* ErrorText() = 0;
    virtual void ClearError() = 0;

    // The trimmed "%f" form shared by numbers and this stream.
    static void FormatReal(double value, char* out, int size);

protected:
    int kind_ = -1;
    const char* kindName_ = "";
    int bufferSize_;
    int count_ = 0;
    std::unique_ptr<char[]> buffer_;
};

}  // namespace corvina
