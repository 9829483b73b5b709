#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFNumber.h"

namespace corvina {

// An integer as typed code builds it: written with "%ld", or as the text it
// was loaded with while no value is set.
class CORVINA_API CPDFInt : public CPDFNumber {
public:
    CPDFInt() : CPDFNumber(Integer, "Integer") {}
    explicit CPDFInt(int32_t value) : CPDFNumber(Integer, "Integer") { SetInt(value); }
    CPDFInt(const CPDFInt&) = default;

    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
    // Typed load from a plain number: copies both views and the kept text.
    bool Load(CPDFObjHolder* doc, const CPDFNumber& plain);
};

}  // namespace corvina
