#pragma once

#include "pdf/object/StructBase.h"

namespace corvina {

// Base of the typed data structures (tree nodes, destinations, dates).
class CPDFDataStruct : public detail::StructBase {
protected:
    explicit CPDFDataStruct(int structType) : StructBase(structType) {}
};

}  // namespace corvina
