#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: a JavaScript action; S is the name JavaScript.
class CORVINA_API CPDFJavaScriptAct
    : public detail::CPDFMinimal<CPDFDict, detail::JavaScriptActType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && IsNameEqual(plain->GetObj(doc, "S"), "JavaScript");
    }
};

}  // namespace corvina
