#include "pdf/object/CPDFReal.h"

#include <new>

#include "pdf/io/OutStream.h"

namespace corvina {

void CPDFReal::Serialize(OutStream& out, CryptKey) {
    if (WriteKeptText(out)) return;
    char text[128];
    OutStream::FormatReal(realValue_, text, sizeof text);
    out.WriteText(text);
}

std::unique_ptr<CPDFObject> CPDFReal::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFReal>(new (std::nothrow) CPDFReal());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    if (!copy->CopyValue(*this)) return nullptr;
    return copy;
}

bool CPDFReal::Load(CPDFObjHolder*, const CPDFNumber& plain) {
    return CopyValue(plain);
}

}  // namespace corvina
