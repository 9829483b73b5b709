#include "pdf/object/CPDFBool.h"

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
    throw CPDFException("CPDFBool", "Serialize", CPDFException::InvalidFormat, factor.c_str());
}

}  // namespace

std::unique_ptr<CPDFBool> CPDFBool::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                    CryptKey crypt) {
    auto obj = std::make_unique<CPDFBool>();
    obj->Serialize(doc, in, crypt);
    return obj;
}

void CPDFBool::Serialize(CPDFObjHolder*, InStream& in, CryptKey) {
    parsed_ = 1;
    char word[limits::kTokenSize];
    if (!in.ReadToken(word, sizeof word)) Raise(factor::kIoError);
    if (std::strcmp(word, "true") == 0)
        value_ = 1;
    else if (std::strcmp(word, "false") == 0)
        value_ = 0;
    else
        Raise(FormatFactor(factor::kInvalidToken, word));
}

void CPDFBool::Serialize(OutStream& out, CryptKey) {
    out.WriteText(value_ ? "true" : "false");
}

std::unique_ptr<CPDFObject> CPDFBool::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFBool>(new (std::nothrow) CPDFBool());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    copy->value_ = value_;
    return copy;
}

}  // namespace corvina
