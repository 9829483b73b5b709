#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDataStruct.h"

namespace corvina {

// An explicit destination: [page /FitType params...].
class CORVINA_API CPDFDestination : public CPDFArray, public CPDFDataStruct {
public:
    CPDFDestination();

    // The only validation of a destination: the fit name and its operands.
    static bool Recognize(CPDFObjHolder* doc, CPDFArray* plain);
    // Copies the elements; callers run Recognize first.
    bool Load(CPDFObjHolder* doc, CPDFArray* plain);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
};

}  // namespace corvina
