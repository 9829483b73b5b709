#pragma once

#include <cstdint>
#include <memory>

#include "pdf/io/Limits.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/DepthGuard.h"
#include "pdf/object/Factors.h"
#include "pdf/object/SyntaxTables.h"
#include "pdf/object/TempString.h"

namespace corvina {
class InStream;
class OutStream;
}  // namespace corvina

namespace corvina::detail {

// Puts the stream back where it was unless the look-ahead is committed.
class PositionGuard {
public:
    explicit PositionGuard(InStream& in);
    ~PositionGuard();
    PositionGuard(const PositionGuard&) = delete;
    PositionGuard& operator=(const PositionGuard&) = delete;
    void Commit() { committed_ = true; }

private:
    InStream& in_;
    int start_;
    bool committed_ = false;
};

// "N G R" at the current position (after white space and comments), or null
// with the stream where it was before the reference could start.
std::unique_ptr<CPDFObjRef> ReadReference(InStream& in);

// atol and atof as 32-bit values: out-of-range integers saturate, reals are
// decimal only (no hex, inf or nan), read in the C locale and kept finite.
int32_t TextToLong(const char* text);
float TextToReal(const char* text);

// A byte buffer that grows geometrically, for collecting raw tokens of any
// length in linear time.
class ByteBuffer : public TempString<char> {
public:
    ByteBuffer() { initialSize_ = 256; }
    int NewSize(int n) const override;
};

// Gathers bytes in a 256-byte chunk on the stack and appends whole chunks.
class ChunkCollector {
public:
    explicit ChunkCollector(ByteBuffer& dst) : dst_(dst) {}
    void Put(char c) {
        if (used_ == kChunk) Flush();
        chunk_[used_++] = c;
    }
    // False when the buffer could not grow at some point.
    bool Finish() {
        Flush();
        return !failed_;
    }
    // Everything collected as one writable block: the chunk itself when it
    // never filled (no heap at all for short tokens), else the buffer. Null
    // when the buffer could not grow.
    char* Collected(int& length) {
        if (dst_.Length() == 0 && !failed_) {
            length = used_;
            return chunk_;
        }
        if (!Finish()) return nullptr;
        length = dst_.Length();
        return dst_.Data();
    }

private:
    static constexpr int kChunk = 256;
    void Flush();

    ByteBuffer& dst_;
    char chunk_[kChunk];
    int used_ = 0;
    bool failed_ = false;
};

// Decode raw text in place and return the decoded length. Literal strings
// include their parentheses, hexadecimal strings their angle brackets, names
// their solidus.
int DecodeLiteralString(char* raw, int length);
int DecodeHexString(char* raw, int length);
int DecodeName(char* raw, int length);

// Writes each byte's text from the table.
void WriteThroughTable(OutStream& out, const ByteTextTable& table, const char* data, int length);

}  // namespace corvina::detail
