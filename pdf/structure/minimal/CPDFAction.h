#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: an action of any kind; S is a name.
class CORVINA_API CPDFAction : public detail::CPDFMinimal<CPDFDict, detail::ActionType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::IsType(plain->GetObj(doc, "S"), CPDFObject::Name);
    }
    // The action factory: a typed action built from plain, or nothing (plain
    // is then untouched).
    static std::unique_ptr<CPDFAction> Create(CPDFObjHolder* doc, CPDFDict* plain) {
        if (!Recognize(doc, plain)) return nullptr;
        auto action = std::make_unique<CPDFAction>();
        action->Load(doc, plain);
        return action;
    }
};

}  // namespace corvina
