#pragma once

#include <cstdint>

#include "pdf/object/CPDFObject.h"

namespace corvina {

// Every numeric token parses into this class, which keeps both an integer
// (atol) and a single-precision real (atof) view of it.
class CPDFNumber : public CPDFObject {
public:
    CPDFNumber() : CPDFObject(Number, "Number") {}
    explicit CPDFNumber(int32_t value)
        : CPDFObject(Number, "Number"), intValue_(value), realValue_(static_cast<float>(value)) {}
    explicit CPDFNumber(float value)
        : CPDFObject(Number, "Number"), intValue_(static_cast<int32_t>(value)), realValue_(value) {}
    CPDFNumber(const CPDFNumber&) = default;

    static std::unique_ptr<CPDFNumber> SerializeObject(CPDFDoc* doc, InStream& in,
                                                       CryptKey crypt);
    void Serialize(CPDFDoc* doc, InStream& in, CryptKey crypt);
    // Trimmed "%f" of the real view inside -32767..32767, else "%ld".
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFDoc* dstDoc, CPDFDoc* srcDoc) const override;

    int32_t IntValue() const { return intValue_; }
    float RealValue() const { return realValue_; }
    void SetInt(int32_t v) {
        intValue_ = v;
        realValue_ = static_cast<float>(v);
    }
    void SetReal(float v) {
        realValue_ = v;
        intValue_ = static_cast<int32_t>(v);
    }
    // Both views as given (the parser's case).
    void SetBoth(int32_t i, float r) {
        intValue_ = i;
        realValue_ = r;
    }

protected:
    CPDFNumber(int typeCode, const char* typeName) : CPDFObject(typeCode, typeName) {}

    int32_t intValue_ = 0;
    float realValue_ = 0;
};

}  // namespace corvina
