#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: the outline root; First and Last are dictionaries.
class CORVINA_API CPDFOutlines : public detail::CPDFMinimal<CPDFDict, detail::OutlinesType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::AsDict(plain->GetObj(doc, "First")) &&
               detail::AsDict(plain->GetObj(doc, "Last"));
    }
};

}  // namespace corvina
