#include "pdf/object/CPDFObjRef.h"

#include "pdf/io/OutStream.h"

namespace corvina {

void CPDFObjRef::Serialize(OutStream& out) const {
    out.Printf("%ld %ld R", static_cast<long>(objNum), static_cast<long>(genNum));
}

}  // namespace corvina
