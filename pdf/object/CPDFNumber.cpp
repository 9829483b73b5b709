#include "pdf/object/CPDFNumber.h"

#include <cstring>
#include <new>

#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/Factors.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

// The kept text fills what was padding and one more 8-byte step; a number must
// not grow beyond that, there are millions of them in a large document.
static_assert(sizeof(void*) != 8 || sizeof(CPDFNumber) <= 64);

std::unique_ptr<CPDFNumber> CPDFNumber::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                        CryptKey crypt) {
    auto obj = std::make_unique<CPDFNumber>();
    obj->Serialize(doc, in, crypt);
    return obj;
}

void CPDFNumber::Serialize(CPDFObjHolder*, InStream& in, CryptKey) {
    parsed_ = 1;
    char word[limits::kTokenSize];
    if (!in.ReadToken(word, sizeof word))
        throw CPDFException("CPDFNumber", "Serialize", CPDFException::InvalidFormat,
                            factor::kIoError);
    // The word is not validated: both views come from the C library's readers.
    SetBoth(detail::TextToLong(word), detail::TextToReal(word));
    // Valid syntax is kept as read, so an unchanged number keeps all its digits
    // (the views cannot: a float has 24 bits, atol drops fractions).
    const int length = static_cast<int>(std::strlen(word));
    if (detail::NumberText::IsNumberSyntax(word, length) && !text_.Assign(word, length))
        throw CPDFException("CPDFNumber", "Serialize", CPDFException::InternalError,
                            "NumberText::Assign()");
}

bool CPDFNumber::WriteKeptText(OutStream& out) const {
    if (text_.Empty()) return false;
    out.Write(text_.Data(), text_.Length());
    return true;
}

void CPDFNumber::Serialize(OutStream& out, CryptKey) {
    if (WriteKeptText(out)) return;
    // Small integer views stand for values that may carry a fraction; larger
    // ones are written exactly, which a float could not do.
    if (intValue_ >= -32767 && intValue_ <= 32767) {
        char text[128];
        OutStream::FormatReal(realValue_, text, sizeof text);
        out.WriteText(text);
    } else {
        out.WriteInt(static_cast<long>(intValue_));
    }
}

std::unique_ptr<CPDFObject> CPDFNumber::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFNumber>(new (std::nothrow) CPDFNumber());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    if (!copy->CopyValue(*this)) return nullptr;
    return copy;
}

}  // namespace corvina
