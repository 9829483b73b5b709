#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFNumber.h"

namespace corvina {

// A real as typed code builds it: written in the trimmed "%f" form, or as the
// text it was loaded with while no value is set.
class CORVINA_API CPDFReal : public CPDFNumber {
public:
    CPDFReal() : CPDFNumber(Real, "Real") {}
    CPDFReal(const CPDFReal&) = default;

    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
    // Typed load from a plain number: copies both views and the kept text.
    bool Load(CPDFObjHolder* doc, const CPDFNumber& plain);
};

}  // namespace corvina
