#pragma once

#include <cstdint>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/NumberText.h"

namespace corvina {

// Every numeric token parses into this class, which keeps both an integer
// (atol) and a single-precision real (atof) view of it, and the token's own
// text while that is valid number syntax and nobody sets a value.
class CORVINA_API CPDFNumber : public CPDFObject {
public:
    CPDFNumber() : CPDFObject(Number, "Number") {}
    explicit CPDFNumber(int32_t value)
        : CPDFObject(Number, "Number"), intValue_(value), realValue_(static_cast<float>(value)) {}
    explicit CPDFNumber(float value)
        : CPDFObject(Number, "Number"), intValue_(static_cast<int32_t>(value)), realValue_(value) {}
    CPDFNumber(const CPDFNumber&) = default;

    static std::unique_ptr<CPDFNumber> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                       CryptKey crypt);
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt);
    // The token's text when kept; else trimmed "%f" of the real view inside
    // -32767..32767, else "%ld".
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    int32_t IntValue() const { return intValue_; }
    float RealValue() const { return realValue_; }
    // A value set here is the program's: any text read for it is dropped.
    void SetInt(int32_t v) {
        intValue_ = v;
        realValue_ = static_cast<float>(v);
        text_.Clear();
    }
    void SetReal(float v) {
        realValue_ = v;
        intValue_ = static_cast<int32_t>(v);
        text_.Clear();
    }
    // The token's text while kept (empty once a value is set).
    const detail::NumberText& KeptText() const { return text_; }
    // Both views as given.
    void SetBoth(int32_t i, float r) {
        intValue_ = i;
        realValue_ = r;
        text_.Clear();
    }

protected:
    CPDFNumber(int typeCode, const char* typeName) : CPDFObject(typeCode, typeName) {}
    // Both views and the kept text (Duplicate and the typed loads); false when
    // the text could not be copied.
    bool CopyValue(const CPDFNumber& from) {
        intValue_ = from.intValue_;
        realValue_ = from.realValue_;
        return text_.Assign(from.text_);
    }
    // The kept text, when there is one; true when written.
    bool WriteKeptText(OutStream& out) const;

    int32_t intValue_ = 0;
    float realValue_ = 0;
    detail::NumberText text_;
};

}  // namespace corvina
