#include "pdf/object/CPDFString.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/Factors.h"
#include "pdf/object/ObjectCrypt.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

namespace {

[[noreturn]] void Raise(const char* method, int type, const std::string& factor) {
    throw CPDFException("CPDFString", method, type, factor.c_str());
}

bool IsHexDigit(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Collects "(" ... ")" with nested parentheses balanced and escapes kept.
void CollectLiteral(InStream& in, detail::ChunkCollector& collector) {
    collector.Put('(');
    int depth = 0;
    bool escaped = false;
    for (;;) {
        const int c = in.Get();
        if (c < 0) Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
        if (escaped) {
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth == 0) break;
            --depth;
        }
        collector.Put(static_cast<char>(c));
    }
    collector.Put(')');
}

// Collects "<" digits ">" with white space dropped.
void CollectHex(InStream& in, detail::ChunkCollector& collector) {
    collector.Put('<');
    for (;;) {
        const int c = in.Get();
        if (c < 0) Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
        if (c == '>') break;
        if (InStream::IsWhitespace(c)) continue;
        if (!IsHexDigit(c))
            Raise("Serialize", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidTokenChar, c));
        collector.Put(static_cast<char>(c));
    }
    collector.Put('>');
}

}  // namespace

std::unique_ptr<CPDFString> CPDFString::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                        CryptKey crypt) {
    const int first = in.Get();
    const int second = in.Peek();
    if (second < 0) Raise("SerializeObject", CPDFException::InvalidFormat, factor::kIoError);
    in.Back(1);
    // "<<" opens a dictionary, which is no string: CPDFObject::SerializeObject
    // and CPDFDict::SerializeObject read those.
    if (first == '<' && second == '<') return nullptr;
    auto obj = std::make_unique<CPDFString>();
    obj->Serialize(doc, in, crypt);
    return obj;
}

void CPDFString::Serialize(CPDFObjHolder*, InStream& in, CryptKey crypt) {
    parsed_ = 1;
    const int first = in.Get();
    if (first < 0) Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);

    detail::ByteBuffer raw;
    detail::ChunkCollector collector(raw);
    if (first == '(') {
        literal_ = 1;
        CollectLiteral(in, collector);
    } else if (first == '<') {
        literal_ = 0;
        CollectHex(in, collector);
    } else {
        Raise("Serialize", CPDFException::InvalidFormat,
              FormatFactor(factor::kInvalidTokenChar, first));
    }
    int rawLength = 0;
    char* text = collector.Collected(rawLength);
    if (!text) Raise("Serialize", CPDFException::InternalError, factor::kCallTempStringAppend);

    int length = literal_ ? detail::DecodeLiteralString(text, rawLength)
                          : detail::DecodeHexString(text, rawLength);
    if (crypt) {
        // AES data that is no whole blocks stays as read: real files carry
        // such strings unencrypted now and then.
        const int plain =
            detail::DecryptData(crypt->strings, reinterpret_cast<unsigned char*>(text), length);
        if (plain >= 0) length = plain;
    }
    if (!Assign(text, length))
        Raise("Serialize", CPDFException::InternalError, factor::kCallTempStringAssign);
}

void CPDFString::Serialize(OutStream& out, CryptKey crypt) {
    WriteBytes(out, crypt, literal_);
}

void CPDFString::WriteBytes(OutStream& out, CryptKey crypt, bool literal) const {
    const char* bytes = Text();
    int length = Length();
    // The object stays plain; only the written copy is encrypted.
    std::string encrypted;
    if (crypt && crypt->strings.method != detail::CryptMethod::None) {
        const auto* plain = reinterpret_cast<const unsigned char*>(bytes);
        unsigned char iv[detail::kAesBlock];
        detail::WriteIv(*crypt, crypt->strings, plain, length, iv);
        detail::EncryptData(crypt->strings, plain, length, iv, encrypted);
        bytes = encrypted.data();
        length = static_cast<int>(encrypted.size());
    }
    if (literal) {
        out.WriteChar('(');
        detail::WriteThroughTable(out, detail::kLiteralByteTable, bytes, length);
        out.WriteChar(')');
    } else {
        out.WriteChar('<');
        detail::WriteThroughTable(out, detail::kHexByteTable, bytes, length);
        out.WriteChar('>');
    }
}

std::unique_ptr<CPDFObject> CPDFString::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFString>(new (std::nothrow) CPDFString());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    if (!copy->Assign(Text(), Length())) return nullptr;
    copy->literal_ = literal_;
    return copy;
}

}  // namespace corvina
