#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/TempString.h"

namespace corvina {

// A string: decoded (and decrypted) bytes, written literal or hexadecimal.
class CORVINA_API CPDFString : public CPDFObject, public TempString<char> {
public:
    // The bytes; the type codes of CPDFObject share the name Text.
    using TempString<char>::Text;

    CPDFString() : CPDFObject(String, "String") {}
    CPDFString(const char* data, int length)
        : CPDFObject(String, "String"), TempString<char>(data, length) {}
    explicit CPDFString(const char* text) : CPDFObject(String, "String"), TempString<char>(text) {}

    // Null at "<<", which opens a dictionary (CPDFObject::SerializeObject and
    // CPDFDict::SerializeObject read those).
    static std::unique_ptr<CPDFString> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                       CryptKey crypt);
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt);
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    bool IsLiteral() const { return literal_ != 0; }
    void SetLiteral(bool v) { literal_ = v; }

protected:
    CPDFString(int typeCode, const char* typeName) : CPDFObject(typeCode, typeName) {}
    // Writes bytes in the given form, encrypting a copy when crypt is given.
    void WriteBytes(OutStream& out, CryptKey crypt, bool literal) const;

    unsigned char literal_ = 1;
    // Cached 16-bit form of CPDFText::GetUnicode.
    std::unique_ptr<char16_t[]> wide_;
    int wideLength_ = 0;
};

}  // namespace corvina
