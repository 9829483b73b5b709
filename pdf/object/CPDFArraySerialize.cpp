// Reading and writing the array syntax.
#include "pdf/object/CPDFArray.h"

#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/ContainerSupport.h"
#include "pdf/object/Factors.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

namespace {

[[noreturn]] void Raise(int type, const std::string& factor) {
    throw CPDFException("CPDFArray", "Serialize", type, factor.c_str());
}

// No value starts here: name the word that stands in its place.
[[noreturn]] void RaiseUnexpectedWord(InStream& in) {
    char word[limits::kTokenSize];
    if (!in.ReadToken(word, sizeof word)) Raise(CPDFException::InvalidFormat, factor::kIoError);
    Raise(CPDFException::InvalidFormat, FormatFactor(factor::kInvalidToken, word));
}

}  // namespace

std::unique_ptr<CPDFArray> CPDFArray::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                      CryptKey crypt) {
    auto obj = std::make_unique<CPDFArray>();
    obj->Serialize(doc, in, crypt);
    return obj;
}

void CPDFArray::Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt) {
    parsed_ = 1;
    SerializeEach(doc, in, crypt, [this](std::unique_ptr<CPDFAtom> value) {
        if (!Push_Back(std::move(value)))
            Raise(CPDFException::InternalError, "CPDFArray::Push_Back()");
        return true;
    });
}

void CPDFArray::SerializeEach(CPDFObjHolder* doc, InStream& in, CryptKey crypt,
                              const ElementFn& fn) {
    detail::DepthGuard nesting(detail::DepthGuard::Parse);
    if (nesting.Exceeded()) Raise(CPDFException::InvalidFormat, factor::kNestingTooDeep);

    const int first = in.Get();
    if (first < 0) Raise(CPDFException::InvalidFormat, factor::kIoError);
    if (first != '[')
        Raise(CPDFException::InvalidFormat, FormatFactor(factor::kInvalidTokenChar, first));
    for (;;) {
        in.SkipWhitespaceAndComments();
        const int c = in.Peek();
        if (c < 0) Raise(CPDFException::InvalidFormat, factor::kIoError);
        if (c == ']') {
            in.Get();
            return;
        }
        std::unique_ptr<CPDFAtom> value = detail::ReadReference(in);
        if (!value) value = CPDFObject::SerializeObject(doc, in, crypt);
        if (!value) RaiseUnexpectedWord(in);
        if (!fn(std::move(value))) Raise(CPDFException::UserError, "stopped by the array's reader");
    }
}

void CPDFArray::Serialize(OutStream& out, CryptKey crypt) {
    out.WriteChar('[');
    for (int i = 0; i < count_; ++i) {
        if (i > 0) out.WriteChar(' ');
        detail::WriteAtom(out, items_[i], crypt);
    }
    out.WriteChar(']');
}

}  // namespace corvina
