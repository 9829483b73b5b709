#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: a rectangle; an array of exactly four numbers.
class CORVINA_API CPDFRect : public detail::CPDFMinimal<CPDFArray, detail::RectType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFArray* plain) {
        if (!plain || plain->Count() != 4) return false;
        for (int i = 0; i < 4; ++i) {
            const CPDFObject* v = plain->GetObj(doc, i);
            if (!v || !v->Is(CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real))
                return false;
        }
        return true;
    }
};

}  // namespace corvina
