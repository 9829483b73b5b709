#include "pdf/object/CPDFNull.h"

#include <cstring>
#include <new>

#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/Factors.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

namespace {

[[noreturn]] void Raise(const std::string& factor) {
    throw CPDFException("CPDFNull", "Serialize", CPDFException::InvalidFormat, factor.c_str());
}

}  // namespace

std::unique_ptr<CPDFNull> CPDFNull::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                    CryptKey crypt) {
    auto obj = std::make_unique<CPDFNull>();
    obj->Serialize(doc, in, crypt);
    return obj;
}

void CPDFNull::Serialize(CPDFObjHolder*, InStream& in, CryptKey) {
    parsed_ = 1;
    char word[limits::kTokenSize];
    if (!in.ReadToken(word, sizeof word)) Raise(factor::kIoError);
    if (std::strcmp(word, "null") != 0) Raise(FormatFactor(factor::kInvalidToken, word));
}

void CPDFNull::Serialize(OutStream& out, CryptKey) {
    out.WriteText("null");
}

std::unique_ptr<CPDFObject> CPDFNull::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFNull>(new (std::nothrow) CPDFNull());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    return copy;
}

}  // namespace corvina
