#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: a page transition; Type is absent or the name Trans.
class CORVINA_API CPDFTrans : public detail::CPDFMinimal<CPDFDict, detail::TransType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        if (!plain) return false;
        const CPDFObject* type = plain->GetObj(doc, "Type");
        return !type || IsNameEqual(type, "Trans");
    }
    // The transition factory: a typed transition built from plain, or nothing
    // (plain is then untouched).
    static std::unique_ptr<CPDFTrans> Create(CPDFObjHolder* doc, CPDFDict* plain) {
        if (!Recognize(doc, plain)) return nullptr;
        auto trans = std::make_unique<CPDFTrans>();
        trans->Load(doc, plain);
        return trans;
    }
};

}  // namespace corvina
