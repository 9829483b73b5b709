#pragma once

#include <charconv>
#include <climits>

// Integer text for the writer's hot paths (object headers, references,
// cross-reference lines): the same bytes as printf's "%ld" and "%0*ld",
// without a format string to interpret for every object.
namespace corvina::detail {

// Room for any long in decimal, sign included.
constexpr int kDecimalMax = 20;

// Writes value as "%ld" at out (at least kDecimalMax bytes free) and returns
// the end. No terminating zero.
inline char* AppendDecimal(char* out, long value) {
    return std::to_chars(out, out + kDecimalMax, value).ptr;
}

// "%0*ld" with width at most kDecimalMax: zeros after the sign up to width
// characters in all; a longer value is written whole.
inline char* AppendPadded(char* out, long value, int width) {
    char digits[kDecimalMax];
    char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const char* first = digits;
    int length = static_cast<int>(end - digits);
    if (value < 0) {
        *out++ = '-';
        ++first;
        --length;
        --width;
    }
    for (; width > length; --width) *out++ = '0';
    for (const char* p = first; p < end; ++p) *out++ = *p;
    return out;
}

// strtol(text, nullptr, 10) for a text that begins with a digit: the leading
// digits, LONG_MAX when they overflow. The reader's object numbers, offsets
// and generations take this path; anything else goes to strtol itself.
inline long ParseDecimal(const char* text) {
    long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        if (value > (LONG_MAX - digit) / 10) return LONG_MAX;
        value = value * 10 + digit;
    }
    return value;
}

inline bool StartsWithDigit(const char* text) {
    return *text >= '0' && *text <= '9';
}

}  // namespace corvina::detail
