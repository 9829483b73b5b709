#pragma once

#include <memory>

#include "pdf/object/CPDFAtom.h"

namespace corvina::detail {

// A copy of a member as it is written: references stay the same references
// (to whatever they name, present or not), arrays and plain dictionaries are
// copied member by member, anything else through its Duplicate. Null when
// memory runs out, nesting is too deep, or a Duplicate fails.
std::unique_ptr<CPDFAtom> CopyAsWritten(const CPDFAtom* atom);

}  // namespace corvina::detail
