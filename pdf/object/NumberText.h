#pragma once

#include <cstring>
#include <new>

#include "pdf/io/CorvinaApi.h"

namespace corvina::detail {

// The text of a number token as it was read, so that a number nobody changed
// is written back digit for digit. Numbers are the most common object, so the
// text lives inline up to kInline bytes (nearly every token in real files);
// longer ones are moved to a heap block whose pointer takes the inline bytes.
class CORVINA_API NumberText {
public:
    static constexpr int kInline = 11;
    // Tokens are at most 255 bytes; the length fits the one count byte.
    static constexpr int kMaxLength = 255;

    NumberText() = default;
    // Copies throw std::bad_alloc like any other copy; Assign reports instead.
    NumberText(const NumberText& other) {
        if (!Assign(other)) throw std::bad_alloc();
    }
    NumberText& operator=(const NumberText& other) {
        if (this != &other && !Assign(other)) throw std::bad_alloc();
        return *this;
    }
    ~NumberText() { Clear(); }

    // True for the PDF number syntax: an optional sign, then digits with at
    // most one period among them, at least one digit.
    static bool IsNumberSyntax(const char* text, int length) {
        int k = 0;
        if (k < length && (text[k] == '+' || text[k] == '-')) ++k;
        int digits = 0;
        bool period = false;
        for (; k < length; ++k) {
            if (text[k] >= '0' && text[k] <= '9') {
                ++digits;
            } else if (text[k] == '.' && !period) {
                period = true;
            } else {
                return false;
            }
        }
        return digits > 0;
    }

    // False (and empty) when the text is too long or a heap block is not
    // available; length 0 empties.
    bool Assign(const char* text, int length) {
        Clear();
        if (length <= 0) return true;
        if (length > kMaxLength) return false;
        if (length <= kInline) {
            std::memcpy(bytes_, text, static_cast<size_t>(length));
        } else {
            char* block = new (std::nothrow) char[static_cast<size_t>(length)];
            if (!block) return false;
            std::memcpy(block, text, static_cast<size_t>(length));
            std::memcpy(bytes_, &block, sizeof block);
        }
        length_ = static_cast<unsigned char>(length);
        return true;
    }
    bool Assign(const NumberText& other) {
        if (this == &other) return true;
        return Assign(other.Data(), other.Length());
    }
    void Clear() {
        if (length_ > kInline) delete[] HeapBlock();
        length_ = 0;
    }

    bool Empty() const { return length_ == 0; }
    int Length() const { return length_; }
    // Not terminated; Length() bytes.
    const char* Data() const { return length_ > kInline ? HeapBlock() : bytes_; }

private:
    static_assert(kInline >= static_cast<int>(sizeof(char*)));

    char* HeapBlock() const {
        char* block;
        std::memcpy(&block, bytes_, sizeof block);
        return block;
    }

    char bytes_[kInline] = {};
    unsigned char length_ = 0;
};

}  // namespace corvina::detail
