#include "pdf/object/CPDFNumber.h"

#include <new>

#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

std::unique_ptr<CPDFNumber> CPDFNumber::SerializeObject(CPDFDoc* doc, InStream& in,
                                                        CryptKey crypt) {
    auto obj = std::make_unique<CPDFNumber>();
    obj->Serialize(doc, in, crypt);
    return obj;
}

void CPDFNumber::Serialize(CPDFDoc*, InStream& in, CryptKey) {
    parsed_ = 1;
    char word[detail::kTokenSize];
    if (!in.ReadToken(word, sizeof word))
        throw CPDFException("CPDFNumber", "Serialize", CPDFException::InvalidFormat, "ioerror");
    // The word is not validated: both views come from the C library's readers.
    SetBoth(detail::TextToLong(word), detail::TextToReal(word));
}

void CPDFNumber::Serialize(OutStream& out, CryptKey) {
    // Small integer views stand for values that may carry a fraction; larger
    // ones are written exactly, which a float could not do.
    if (intValue_ >= -32767 && intValue_ <= 32767) {
        char text[128];
        OutStream::FormatReal(realValue_, text, sizeof text);
        out.WriteText(text);
    } else {
        out.Printf("%ld", static_cast<long>(intValue_));
    }
}

std::unique_ptr<CPDFObject> CPDFNumber::Duplicate(CPDFDoc*, CPDFDoc*) const {
    auto copy = std::unique_ptr<CPDFNumber>(new (std::nothrow) CPDFNumber());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    copy->SetBoth(intValue_, realValue_);
    return copy;
}

}  // namespace corvina
