#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: separation information; Pages is an array.
class CORVINA_API CPDFSepInfoDict : public detail::CPDFMinimal<CPDFDict, detail::SepInfoDictType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::IsType(plain->GetObj(doc, "Pages"), CPDFObject::Array);
    }
};

}  // namespace corvina
