#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: additional actions; any dictionary.
class CORVINA_API CPDFAddActDict : public detail::CPDFMinimal<CPDFDict, detail::AddActDictType> {
public:
    static bool Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) { return plain != nullptr; }
};

}  // namespace corvina
