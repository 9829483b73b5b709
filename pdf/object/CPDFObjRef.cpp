#include "pdf/object/CPDFObjRef.h"

#include "pdf/io/DecimalText.h"
#include "pdf/io/OutStream.h"

namespace corvina {

void CPDFObjRef::Serialize(OutStream& out) const {
    char text[2 * detail::kDecimalMax + 4];
    char* end = detail::AppendDecimal(text, objNum);
    *end++ = ' ';
    end = detail::AppendDecimal(end, genNum);
    *end++ = ' ';
    *end++ = 'R';
    out.Write(text, static_cast<int>(end - text));
}

}  // namespace corvina
