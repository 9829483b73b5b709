#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

class CORVINA_API CPDFNull : public CPDFObject {
public:
    CPDFNull() : CPDFObject(Null, "Null") {}

    static std::unique_ptr<CPDFNull> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                     CryptKey crypt);
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt);
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
};

}  // namespace corvina
