#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/StructBase.h"

namespace corvina {

// Base of the typed data structures (tree nodes, destinations, dates).
class CORVINA_API CPDFDataStruct : public detail::StructBase {
protected:
    explicit CPDFDataStruct(int structType) : StructBase(structType) {}
};

}  // namespace corvina
