#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: an appearance dictionary; N is a dictionary or a stream.
class CORVINA_API CPDFAppearDict : public detail::CPDFMinimal<CPDFDict, detail::AppearDictType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::AsEntries(plain->GetObj(doc, "N"));
    }
};

}  // namespace corvina
