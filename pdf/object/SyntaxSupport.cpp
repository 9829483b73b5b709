#include "pdf/object/SyntaxSupport.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pdf/io/DecimalText.h"
#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"

namespace corvina::detail {

namespace {

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

int HexValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Reads "digits, white space, digits, white space, R" and the byte that ends
// the R from the buffered bytes p[0..n), p[0] a digit, as the token reader
// would: 1 with the two numbers and the bytes taken when it is a reference,
// 0 when it surely is none, -1 when only reading token by token can tell
// (comments, words such as 12.5, the buffer ending first).
int QuickReference(const char* p, int n, int32_t* num, int32_t* gen, int* taken) {
    const char* const begin = p;
    const char* const end = p + n;
    auto byte = [](const char* at) { return static_cast<unsigned char>(*at); };
    int32_t* const out[2] = {num, gen};
    for (int k = 0; k < 2; ++k) {
        if (k == 1) {
            if (p == end || *p == '%') return -1;
            if (!IsDigit(*p)) return 0;  // the second word is no number
        }
        const char* const start = p;
        long value = 0;
        for (; p < end && IsDigit(*p); ++p) {
            const int digit = *p - '0';
            value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
        }
        if (p == end || p - start > kDecimalMax) return -1;
        *out[k] = value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
        if (InStream::IsDelimiter(byte(p))) return 0;  // the next word is the delimiter
        if (!InStream::IsWhitespace(byte(p))) return -1;
        while (p < end && InStream::IsWhitespace(byte(p))) ++p;
    }
    if (p == end || *p == '%') return -1;
    if (*p != 'R') return 0;
    ++p;
    if (p == end) return -1;
    // A longer word than R; a NUL ends the word's text for the reader.
    if (!InStream::IsWhitespace(byte(p)) && !InStream::IsDelimiter(byte(p)) && *p != '%')
        return *p == 0 ? -1 : 0;
    *taken = static_cast<int>(p - begin);
    return 1;
}

}  // namespace

PositionGuard::PositionGuard(InStream& in) : in_(in), start_(in.Tell()) {}

PositionGuard::~PositionGuard() {
    if (committed_) return;
    const int now = in_.Tell();
    if (now > start_) in_.Back(now - start_);
}

std::unique_ptr<CPDFObjRef> ReadReference(InStream& in) {
    in.SkipWhitespaceAndComments();
    if (!IsDigit(in.Peek())) return nullptr;
    // Most references lie whole in the buffer in their plain form.
    int n = 0;
    if (const char* window = in.Window(&n)) {
        int32_t num = 0, gen = 0;
        int taken = 0;
        const int quick = QuickReference(window, n, &num, &gen, &taken);
        if (quick == 0) return nullptr;
        if (quick == 1) {
            auto ref = std::make_unique<CPDFObjRef>(num, gen);
            in.Skip(taken);
            return ref;
        }
    }
    PositionGuard guard(in);
    char word[limits::kTokenSize];
    if (!in.ReadToken(word, sizeof word) || !IsDigit(word[0])) return nullptr;
    const int32_t objNum = TextToLong(word);
    if (!in.ReadToken(word, sizeof word) || !IsDigit(word[0])) return nullptr;
    const int32_t genNum = TextToLong(word);
    if (!in.ReadToken(word, sizeof word) || std::strcmp(word, "R") != 0) return nullptr;
    auto ref = std::make_unique<CPDFObjRef>(objNum, genNum);
    guard.Commit();
    return ref;
}

int32_t TextToLong(const char* text) {
    const long v = StartsWithDigit(text) ? ParseDecimal(text) : std::strtol(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

float TextToReal(const char* text) {
    // Only the decimal form counts; strtod alone would also take hex floats,
    // inf and nan.
    size_t k = 0;
    if (text[k] == '+' || text[k] == '-') ++k;
    int digits = 0;
    while (IsDigit(text[k])) ++k, ++digits;
    if (text[k] == '.') {
        ++k;
        while (IsDigit(text[k])) ++k, ++digits;
    }
    if (digits == 0) return 0.0f;
    if (text[k] == 'e' || text[k] == 'E') {
        size_t m = k + 1;
        if (text[m] == '+' || text[m] == '-') ++m;
        if (IsDigit(text[m])) {
            while (IsDigit(text[m])) ++m;
            k = m;
        }
    }
    const std::string number(text, k);
    const double d = strtod_l(number.c_str(), nullptr, CLocale());
    if (d > FLT_MAX) return FLT_MAX;
    if (d < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(d);
}

int ByteBuffer::NewSize(int n) const {
    if (capacity_ > INT_MAX / 2) return n;
    return n > capacity_ * 2 ? n : capacity_ * 2;
}

void ChunkCollector::Flush() {
    if (used_ > 0 && !failed_ && !dst_.Append(chunk_, used_)) failed_ = true;
    used_ = 0;
}

int DecodeLiteralString(char* raw, int length) {
    if (length < 2 || raw[0] != '(' || raw[length - 1] != ')') return 0;
    const int end = length - 1;
    int o = 0;
    int i = 1;
    while (i < end) {
        const char c = raw[i++];
        if (c != '\\') {
            raw[o++] = c;
            continue;
        }
        if (i >= end) break;
        const char e = raw[i++];
        switch (e) {
            case '\n':
                break;
            case '\r':
                if (i < end && raw[i] == '\n') ++i;
                break;
            case 'n':
                raw[o++] = '\n';
                break;
            case 'r':
                raw[o++] = '\r';
                break;
            case 't':
                raw[o++] = '\t';
                break;
            case 'b':
                raw[o++] = '\b';
                break;
            case 'f':
                raw[o++] = '\f';
                break;
            case '\\':
            case '(':
            case ')':
                raw[o++] = e;
                break;
            default: {
                // Three octal digits, taken without checks, modulo 256.
                if (end - (i - 1) < 3) return o;
                const unsigned d1 = static_cast<unsigned char>(e) - unsigned{'0'};
                const unsigned d2 = static_cast<unsigned char>(raw[i]) - unsigned{'0'};
                const unsigned d3 = static_cast<unsigned char>(raw[i + 1]) - unsigned{'0'};
                raw[o++] = static_cast<char>((d1 * 64 + d2 * 8 + d3) & 0xFF);
                i += 2;
            }
        }
    }
    return o;
}

int DecodeHexString(char* raw, int length) {
    if (length < 2 || raw[0] != '<' || raw[length - 1] != '>') return 0;
    const int end = length - 1;
    int o = 0;
    for (int i = 1; i < end; i += 2) {
        const int hi = HexValue(static_cast<unsigned char>(raw[i]));
        const int lo = i + 1 < end ? HexValue(static_cast<unsigned char>(raw[i + 1])) : 0;
        raw[o++] = static_cast<char>(hi * 16 + lo);
    }
    return o;
}

int DecodeName(char* raw, int length) {
    if (length < 1 || raw[0] != '/') return 0;
    int o = 0;
    int i = 1;
    while (i < length) {
        const char c = raw[i++];
        if (c != '#') {
            raw[o++] = c;
            continue;
        }
        if (length - i < 2) break;
        raw[o++] = static_cast<char>(HexValue(static_cast<unsigned char>(raw[i])) * 16 +
                                     HexValue(static_cast<unsigned char>(raw[i + 1])));
        i += 2;
    }
    return o;
}

void WriteThroughTable(OutStream& out, const ByteTextTable& table, const char* data, int length) {
    char buffer[1024];
    int used = 0;
    for (int k = 0; k < length; ++k) {
        const auto b = static_cast<unsigned char>(data[k]);
        if (used > static_cast<int>(sizeof buffer) - 5) {
            out.Write(buffer, used);
            used = 0;
        }
        const int n = table.length[b];
        std::memcpy(buffer + used, table.text[b], static_cast<size_t>(n));
        used += n;
    }
    if (used > 0) out.Write(buffer, used);
}

}  // namespace corvina::detail
