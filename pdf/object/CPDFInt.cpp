#include "pdf/object/CPDFInt.h"

#include <new>

#include "pdf/io/OutStream.h"

namespace corvina {

void CPDFInt::Serialize(OutStream& out, CryptKey) {
    if (WriteKeptText(out)) return;
    out.WriteInt(static_cast<long>(intValue_));
}

std::unique_ptr<CPDFObject> CPDFInt::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFInt>(new (std::nothrow) CPDFInt());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    if (!copy->CopyValue(*this)) return nullptr;
    return copy;
}

bool CPDFInt::Load(CPDFObjHolder*, const CPDFNumber& plain) {
    return CopyValue(plain);
}

}  // namespace corvina
