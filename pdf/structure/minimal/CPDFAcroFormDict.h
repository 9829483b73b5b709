#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: the interactive form; Fields is an array.
class CORVINA_API CPDFAcroFormDict
    : public detail::CPDFMinimal<CPDFDict, detail::AcroFormDictType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::IsType(plain->GetObj(doc, "Fields"), CPDFObject::Array);
    }
};

}  // namespace corvina
