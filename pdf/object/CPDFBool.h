#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

class CORVINA_API CPDFBool : public CPDFObject {
public:
    CPDFBool() : CPDFObject(Bool, "Bool") {}
    explicit CPDFBool(bool value) : CPDFObject(Bool, "Bool"), value_(value) {}

    static std::unique_ptr<CPDFBool> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                     CryptKey crypt);
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt);
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    bool Value() const { return value_ != 0; }
    void SetValue(bool v) { value_ = v; }

private:
    unsigned char value_ = 0;
};

}  // namespace corvina
