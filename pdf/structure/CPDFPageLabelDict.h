#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"

namespace corvina {

class CPDFInt;
class CPDFNumber;
class CPDFText;

// A page label dictionary (a value of the catalog's PageLabels number tree).
class CORVINA_API CPDFPageLabelDict : public CPDFDict, public CPDFDocStruct {
public:
    CPDFPageLabelDict();

    // Type absent or the name PageLabel.
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);
    // Takes over the entries; a string P becomes CPDFText, a number St CPDFInt.
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    // The plain object when the entry did not type.
    CPDFObject* Get_P(CPDFObjRef* ref = nullptr);
    bool Set_P(std::unique_ptr<CPDFText> prefix, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_St(CPDFObjRef* ref = nullptr);
    bool Set_St(std::unique_ptr<CPDFInt> start, bool indirect, CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
