#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDataStruct.h"
#include "pdf/object/CPDFDict.h"

namespace corvina {

class CPDFDestination;

// A destination dictionary: << /D [page /FitType ...] >>.
class CORVINA_API CPDFLinkPoint : public CPDFDict, public CPDFDataStruct {
public:
    CPDFLinkPoint();

    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);  // D present and an array
    // Stores dest directly under D.
    bool Create(CPDFObjHolder* doc, std::unique_ptr<CPDFDestination> dest);
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    CPDFObject* Get_D(CPDFObjRef* ref = nullptr);
    bool Set_D(std::unique_ptr<CPDFDestination> dest, bool indirect, CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
