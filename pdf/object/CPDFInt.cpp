#include "pdf/object/CPDFInt.h"

#include <new>

#include "pdf/io/OutStream.h"

namespace corvina {

void CPDFInt::Serialize(OutStream& out, CryptKey) {
    out.Printf("%ld", static_cast<long>(intValue_));
}

std::unique_ptr<CPDFObject> CPDFInt::Duplicate(CPDFDoc*, CPDFDoc*) const {
    auto copy = std::unique_ptr<CPDFInt>(new (std::nothrow) CPDFInt());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    copy->SetBoth(intValue_, realValue_);
    return copy;
}

bool CPDFInt::Load(CPDFDoc*, const CPDFNumber& plain) {
    SetBoth(plain.IntValue(), plain.RealValue());
    return true;
}

}  // namespace corvina
