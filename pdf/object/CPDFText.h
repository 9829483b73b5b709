#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFString.h"

namespace corvina {

// A text string: UTF-16BE with the FE FF mark, or code page 932 bytes.
class CORVINA_API CPDFText : public CPDFString {
public:
    CPDFText() : CPDFString(CPDFObject::Text, "Text") {}
    explicit CPDFText(const char* text) : CPDFString(CPDFObject::Text, "Text") { Assign(text); }
    explicit CPDFText(const char16_t* wide) : CPDFString(CPDFObject::Text, "Text") {
        SetUnicode(wide);
    }

    // Hexadecimal when the bytes begin with FE FF, literal otherwise.
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
    // Typed load from a plain string: copies the bytes.
    bool Load(CPDFObjHolder* doc, const CPDFString& plain);

    bool IsUnicode() const;
    // Zero-terminated 16-bit form, cached in the object until the next call;
    // null when code page 932 bytes do not convert.
    const char16_t* GetUnicode();
    int UnicodeLength() const { return wideLength_; }
    void SetUnicode(const char16_t* wide);
    void SetUnicode(const char16_t* wide, int length);
};

}  // namespace corvina
