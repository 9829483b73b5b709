#pragma once

#include "pdf/object/CPDFNumber.h"

namespace corvina {

// A real as typed code builds it; always written in the trimmed "%f" form.
class CPDFReal : public CPDFNumber {
public:
    CPDFReal() : CPDFNumber(Real, "Real") {}
    CPDFReal(const CPDFReal&) = default;

    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFDoc* dstDoc, CPDFDoc* srcDoc) const override;
    bool Load(CPDFDoc* doc, const CPDFNumber& plain);
};

}  // namespace corvina
