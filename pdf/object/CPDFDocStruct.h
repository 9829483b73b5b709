#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/StructBase.h"

namespace corvina {

// Base of the typed structures that belong to a document part (catalog, page
// tree, information dictionary ...). The value part (a CPDFDict) is what is
// stored in containers and in the document.
class CORVINA_API CPDFDocStruct : public detail::StructBase {
protected:
    explicit CPDFDocStruct(int structType) : StructBase(structType) {}
};

}  // namespace corvina
