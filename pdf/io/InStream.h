#pragma once

#include <cstdint>
#include <memory>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

namespace detail {
// What a byte is to the tokenizer.
enum ByteClass : unsigned char {
    kRegularClass,
    kSpaceClass,
    kDelimiterClass,
    kPercentClass,
    kEndClass
};
struct CORVINA_API ByteClasses {
    unsigned char of[256];
};
constexpr ByteClasses MakeByteClasses() {
    ByteClasses t{};
    for (int c : {9, 10, 12, 13, 32}) t.of[c] = kSpaceClass;
    for (int c : {'(', ')', '/', '<', '>', '[', ']'}) t.of[c] = kDelimiterClass;
    t.of[static_cast<int>('%')] = kPercentClass;
    return t;
}
inline constexpr ByteClasses kByteClasses = MakeByteClasses();
}  // namespace detail

// Buffered input. Positions are relative to the stream's window. Peek/Get are
// inline because the tokenizer calls them for every byte of a file.
class CORVINA_API InStream {
public:
    explicit InStream(int bufferSize = 4096);
    virtual ~InStream();
    InStream(const InStream&) = delete;
    InStream& operator=(const InStream&) = delete;

    // Typed extractions: each records the token length (0 when there was none).
    virtual bool ExtractText(char* buffer, int size);
    virtual bool ExtractChar(char& c);  // after white space and comments
    virtual bool ExtractReal(double& value);
    virtual bool ExtractInt(long& value);
    virtual bool ExtractBool(bool& value);  // leaves value alone unless "true"/"false"
    virtual void Close() = 0;
    // Reads up to len-1 bytes; leading CR/LF skipped; a line ends at LF, CR or
    // CR LF, kept in the buffer only when keepEol. Returns the length.
    virtual int ReadLine(char* buffer, int len, bool keepEol = false);
    // Buffered bytes first, the rest directly from the source. Returns the count.
    virtual int Read(void* dst, int n);
    // Through the buffer, refilling as needed. Returns the count.
    virtual int ReadBuffered(void* dst, int n);
    virtual int LastTokenLength() const { return lastTokenLength_; }
    virtual bool IsExhausted() const { return pos_ >= count_; }
    // Loads the next block into the buffer; returns the number of bytes loaded.
    virtual int Refill() = 0;
    virtual int Tell() = 0;
    // 0 on success, -1 when pos lies outside 0..Length().
    virtual int Seek(int pos) = 0;
    virtual int Length() = 0;
    virtual bool Error() const = 0;
    virtual const char* ErrorText() = 0;
    virtual void ClearError() = 0;
    // The descriptor of a file behind the stream (-1 when there is none) and
    // the file offset of a window position, for copies that bypass the buffer.
    virtual int Descriptor() const { return -1; }
    virtual long FileOffset(int pos) const { return pos; }

    int Peek() {
        if (pos_ >= count_ && Refill() <= 0) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    int Get() {
        if (pos_ >= count_ && Refill() <= 0) return -1;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    int Next() {
        Get();
        return Peek();
    }
    // The bytes buffered from the current position on, refilling when none
    // are; null at the end of the data. Valid until the next read or seek;
    // Skip(n) then steps over n of them.
    const char* Window(int* n) {
        if (pos_ >= count_ && Refill() <= 0) return nullptr;
        *n = count_ - pos_;
        return buffer_ + pos_;
    }
    void Skip(int n) { pos_ += n; }
    // Steps back n bytes, inside the buffer when possible.
    void Back(int n);
    int SkipWhitespace();
    // At a '%', consumes up to (not including) the next CR or LF; copies at most
    // count-1 bytes of it into copy when given. Returns the bytes consumed.
    int SkipComment(char* copy = nullptr, int count = 0);
    // Whitespace and comments, as before every value.
    void SkipWhitespaceAndComments();
    // One word of at most size-1 bytes (see the tokenizer rules); null when none.
    char* ReadToken(char* buffer, int size);
    // Position where pattern begins, searching forward from the current
    // position in 4096-byte blocks; -1 at the end. Leaves the stream after the
    // part already read.
    int Search(const char* pattern, int length);

    // Copies the regular bytes (neither white space, delimiter nor '%') that
    // come next, at most max of them, into dst; returns how many.
    int ReadRegular(char* dst, int max);

    static bool IsWhitespace(int c) { return ClassOf(c) == detail::kSpaceClass; }
    static bool IsDelimiter(int c) { return ClassOf(c) == detail::kDelimiterClass; }

private:
    // The class of a byte, or kEndClass for the end of data (-1).
    static unsigned char ClassOf(int c) {
        return static_cast<unsigned>(c) < 256 ? detail::kByteClasses.of[c]
                                              : static_cast<unsigned char>(detail::kEndClass);
    }

protected:
    int kind_ = -1;
    const char* kindName_ = "";
    int bufferSize_;
    int pos_ = 0;    // read position in the buffer
    int count_ = 0;  // valid bytes in the buffer
    int lastTokenLength_ = 0;
    std::unique_ptr<char[]> storage_;
    // The buffered bytes: usually storage_ itself, but a reader may place
    // them anywhere in storage it owns.
    char* buffer_;
};

}  // namespace corvina
