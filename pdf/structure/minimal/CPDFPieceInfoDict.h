#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: page-piece data; any dictionary.
class CORVINA_API CPDFPieceInfoDict
    : public detail::CPDFMinimal<CPDFDict, detail::PieceInfoDictType> {
public:
    static bool Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) { return plain != nullptr; }
};

}  // namespace corvina
