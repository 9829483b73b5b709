#include "pdf/io/OutStream.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "pdf/io/DecimalText.h"

namespace corvina {

OutStream::OutStream(int bufferSize)
    : bufferSize_(bufferSize < 1 ? 4096 : bufferSize),
      buffer_(new char[static_cast<size_t>(bufferSize_)]) {}

OutStream::~OutStream() = default;

void OutStream::WriteText(const char* text) {
    if (text) Write(text, static_cast<int>(std::strlen(text)));
}

void OutStream::WriteChar(char c) {
    if (count_ >= bufferSize_) Flush();
    buffer_[count_++] = c;
}

void OutStream::WriteReal(double value) {
    char text[400];
    FormatReal(value, text, sizeof text);
    WriteText(text);
}

void OutStream::WriteInt(long value) {
    char text[detail::kDecimalMax];
    Write(text, static_cast<int>(detail::AppendDecimal(text, value) - text));
}

void OutStream::WriteBool(bool value) {
    WriteText(value ? "true" : "false");
}

void OutStream::WriteEol() {
    Write("\r\n", 2);
}

void OutStream::Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VPrintf(format, args);
    va_end(args);
}

void OutStream::VPrintf(const char* format, va_list args) {
    char text[256];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    if (n <= 0) return;
    Write(text, n < static_cast<int>(sizeof text) ? n : static_cast<int>(sizeof text) - 1);
}

void OutStream::Write(const void* data, int n) {
    const char* in = static_cast<const char*>(data);
    while (n > 0) {
        if (count_ >= bufferSize_) Flush();
        int chunk = bufferSize_ - count_;
        if (chunk > n) chunk = n;
        std::memcpy(buffer_.get() + count_, in, static_cast<size_t>(chunk));
        count_ += chunk;
        in += chunk;
        n -= chunk;
    }
}

long OutStream::CopyFrom(int fd, long offset, long length) {
    long done = 0;
    while (done < length) {
        if (count_ >= bufferSize_) Flush();
        long want = bufferSize_ - count_;
        if (want > length - done) want = length - done;
        const ssize_t n = ::pread(fd, buffer_.get() + count_, static_cast<size_t>(want),
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        count_ += static_cast<int>(n);
        done += n;
    }
    return done;
}

void OutStream::FormatReal(double value, char* out, int size) {
    if (!out || size < 1) return;
    // to_chars is "%f" in the C locale whatever LC_NUMERIC says; the output
    // must not depend on the user's decimal comma.
    char text[400];
    const auto result =
        std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, 6);
    char* end = result.ec == std::errc() ? result.ptr : text;
    *end = 0;
    if (std::memchr(text, '.', static_cast<size_t>(end - text))) {
        while (end > text && end[-1] == '0') --end;
        if (end > text && end[-1] == '.') --end;
        *end = 0;
    }
    int n = static_cast<int>(end - text);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, text, static_cast<size_t>(n));
    out[n] = 0;
}

}  // namespace corvina
