#include "pdf/io/InStream.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "pdf/io/Limits.h"

namespace corvina {

namespace {
constexpr int kSearchBlock = 4096;
}  // namespace

InStream::InStream(int bufferSize)
    : bufferSize_(bufferSize < 1 ? 4096 : bufferSize),
      storage_(new char[static_cast<size_t>(bufferSize_)]),
      buffer_(storage_.get()) {}

InStream::~InStream() = default;

bool InStream::ExtractText(char* buffer, int size) {
    char token[limits::kTokenSize];
    lastTokenLength_ = 0;
    if (!ReadToken(token, limits::kTokenSize)) return false;
    lastTokenLength_ = static_cast<int>(std::strlen(token));
    if (buffer && size > 0) {
        const int n = lastTokenLength_ < size - 1 ? lastTokenLength_ : size - 1;
        std::memcpy(buffer, token, static_cast<size_t>(n));
        buffer[n] = 0;
    }
    return true;
}

bool InStream::ExtractChar(char& c) {
    lastTokenLength_ = 0;
    SkipWhitespaceAndComments();
    const int b = Get();
    if (b < 0) return false;
    c = static_cast<char>(b);
    lastTokenLength_ = 1;
    return true;
}

bool InStream::ExtractReal(double& value) {
    char token[limits::kTokenSize];
    lastTokenLength_ = 0;
    if (!ReadToken(token, limits::kTokenSize)) return false;
    lastTokenLength_ = static_cast<int>(std::strlen(token));
    value = std::atof(token);
    return true;
}

bool InStream::ExtractInt(long& value) {
    char token[limits::kTokenSize];
    lastTokenLength_ = 0;
    if (!ReadToken(token, limits::kTokenSize)) return false;
    lastTokenLength_ = static_cast<int>(std::strlen(token));
    value = std::atol(token);
    return true;
}

bool InStream::ExtractBool(bool& value) {
    char token[limits::kTokenSize];
    lastTokenLength_ = 0;
    if (!ReadToken(token, limits::kTokenSize)) return false;
    lastTokenLength_ = static_cast<int>(std::strlen(token));
    if (std::strcmp(token, "true") == 0) {
        value = true;
        return true;
    }
    if (std::strcmp(token, "false") == 0) {
        value = false;
        return true;
    }
    return false;
}

int InStream::ReadLine(char* buffer, int len, bool keepEol) {
    if (!buffer || len < 1) return 0;
    int c;
    while ((c = Peek()) == '\r' || c == '\n') Get();
    int n = 0;
    const int max = len - 1;
    while (n < max) {
        c = Peek();
        if (c < 0) break;
        Get();
        if (c == '\n') {
            if (keepEol) buffer[n++] = '\n';
            break;
        }
        if (c == '\r') {
            if (keepEol) buffer[n++] = '\r';
            if (Peek() == '\n') {
                Get();
                if (keepEol && n < max) buffer[n++] = '\n';
            }
            break;
        }
        buffer[n++] = static_cast<char>(c);
    }
    buffer[n] = 0;
    return n;
}

int InStream::Read(void* dst, int n) {
    return ReadBuffered(dst, n);
}

int InStream::ReadBuffered(void* dst, int n) {
    char* out = static_cast<char*>(dst);
    int done = 0;
    while (done < n) {
        if (pos_ >= count_ && Refill() <= 0) break;
        int chunk = count_ - pos_;
        if (chunk > n - done) chunk = n - done;
        std::memcpy(out + done, buffer_ + pos_, static_cast<size_t>(chunk));
        pos_ += chunk;
        done += chunk;
    }
    return done;
}

void InStream::Back(int n) {
    if (n <= 0) return;
    if (pos_ >= n) {
        pos_ -= n;
        return;
    }
    const int here = Tell();
    if (here >= n) Seek(here - n);
}

int InStream::SkipWhitespace() {
    int n = 0;
    for (;;) {
        if (pos_ >= count_ && Refill() <= 0) return n;
        const int start = pos_;
        while (pos_ < count_ &&
               detail::kByteClasses.of[static_cast<unsigned char>(buffer_[pos_])] ==
                   detail::kSpaceClass)
            ++pos_;
        n += pos_ - start;
        if (pos_ < count_) return n;
    }
}

int InStream::ReadRegular(char* dst, int max) {
    int n = 0;
    while (n < max) {
        if (pos_ >= count_ && Refill() <= 0) break;
        // The run within the buffer, through locals the compiler keeps in
        // registers.
        const char* const start = buffer_ + pos_;
        const int room = count_ - pos_ < max - n ? count_ - pos_ : max - n;
        const char* const end = start + room;
        const char* p = start;
        char* out = dst + n;
        while (p < end &&
               detail::kByteClasses.of[static_cast<unsigned char>(*p)] == detail::kRegularClass)
            *out++ = *p++;
        const int k = static_cast<int>(p - start);
        pos_ += k;
        n += k;
        if (k < room) break;
    }
    return n;
}

int InStream::SkipComment(char* copy, int count) {
    if (copy && count > 0) copy[0] = 0;
    if (Peek() != '%') return 0;
    int consumed = 0;
    int copied = 0;
    for (int c = Peek(); c >= 0 && c != '\r' && c != '\n'; c = Peek()) {
        ++pos_;
        ++consumed;
        if (copy && copied < count - 1) copy[copied++] = static_cast<char>(c);
    }
    if (copy && count > 0) copy[copied] = 0;
    return consumed;
}

void InStream::SkipWhitespaceAndComments() {
    for (;;) {
        SkipWhitespace();
        if (Peek() != '%') return;
        SkipComment();
    }
}

char* InStream::ReadToken(char* buffer, int size) {
    if (!buffer || size < 1) return nullptr;
    const int max = size - 1;
    int n = 0;
    while (n < max) {
        const int c = Peek();
        const unsigned char kind = ClassOf(c);
        if (kind == detail::kRegularClass) {
            ++pos_;
            buffer[n++] = static_cast<char>(c);
            continue;
        }
        if (kind == detail::kEndClass) break;
        if (kind == detail::kSpaceClass) {
            if (n > 0) break;
            SkipWhitespace();
            continue;
        }
        if (kind == detail::kDelimiterClass) {
            if (n == 0) {
                ++pos_;
                buffer[n++] = static_cast<char>(c);
            }
            break;
        }
        // '%'
        if (n > 0) break;
        SkipComment();
    }
    buffer[n] = 0;
    return n > 0 ? buffer : nullptr;
}

int InStream::Search(const char* pattern, int length) {
    if (!pattern || length <= 0) return -1;
    const int start = Tell();
    if (start < 0) return -1;
    // The last length-1 bytes of a block are carried in front of the next one,
    // so a match straddling two blocks is still seen whole.
    std::vector<char> block(static_cast<size_t>(kSearchBlock + length - 1));
    int blockPos = start;  // stream position of block[0]
    int held = 0;
    for (;;) {
        const int got = Read(block.data() + held, kSearchBlock);
        if (got <= 0) return -1;
        const int total = held + got;
        if (total >= length) {
            const void* hit = memmem(block.data(), static_cast<size_t>(total), pattern,
                                     static_cast<size_t>(length));
            if (hit)
                return blockPos + static_cast<int>(static_cast<const char*>(hit) - block.data());
        }
        const int keep = total < length - 1 ? total : length - 1;
        std::memmove(block.data(), block.data() + total - keep, static_cast<size_t>(keep));
        blockPos += total - keep;
        held = keep;
    }
}

}  // namespace corvina
