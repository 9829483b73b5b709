#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: a resource dictionary; any dictionary.
class CORVINA_API CPDFResDict : public detail::CPDFMinimal<CPDFDict, detail::ResDictType> {
public:
    static bool Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) { return plain != nullptr; }
};

}  // namespace corvina
