#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: the catalog's URI dictionary; Base is absent or a string.
class CORVINA_API CPDFURIDict : public detail::CPDFMinimal<CPDFDict, detail::URIDictType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        if (!plain) return false;
        const CPDFObject* base = plain->GetObj(doc, "Base");
        return !base || base->TypeCode() == CPDFObject::String ||
               base->TypeCode() == CPDFObject::Text;
    }
};

}  // namespace corvina
