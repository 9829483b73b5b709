#pragma once

#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: separation information; Pages is an array.
class CPDFSepInfoDict : public detail::CPDFMinimal<CPDFDict, detail::SepInfoDictType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::IsType(plain->GetObj(doc, "Pages"), CPDFObject::Array);
    }
};

}  // namespace corvina
