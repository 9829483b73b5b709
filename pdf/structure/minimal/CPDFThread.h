#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: an article thread; F is a dictionary.
class CORVINA_API CPDFThread : public detail::CPDFMinimal<CPDFDict, detail::ThreadType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::AsDict(plain->GetObj(doc, "F"));
    }
};

}  // namespace corvina
