#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: an annotation of any kind; Subtype is a name.
class CORVINA_API CPDFAnnot : public detail::CPDFMinimal<CPDFDict, detail::AnnotType> {
public:
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
        return plain && detail::IsType(plain->GetObj(doc, "Subtype"), CPDFObject::Name);
    }
    // The annotation factory: a typed annotation built from plain, or nothing (plain
    // is then untouched).
    static std::unique_ptr<CPDFAnnot> Create(CPDFObjHolder* doc, CPDFDict* plain) {
        if (!Recognize(doc, plain)) return nullptr;
        auto annot = std::make_unique<CPDFAnnot>();
        annot->Load(doc, plain);
        return annot;
    }
};

}  // namespace corvina
