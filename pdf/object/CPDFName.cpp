#include "pdf/object/CPDFName.h"

#include <new>

#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/Factors.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

namespace {

[[noreturn]] void Raise(int type, const std::string& factor) {
    throw CPDFException("CPDFName", "Serialize", type, factor.c_str());
}

}  // namespace

std::unique_ptr<CPDFName> CPDFName::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                    CryptKey crypt) {
    auto obj = std::make_unique<CPDFName>();
    obj->Serialize(doc, in, crypt);
    return obj;
}

void CPDFName::Serialize(CPDFObjHolder*, InStream& in, CryptKey) {
    parsed_ = 1;
    const int first = in.Get();
    if (first < 0) Raise(CPDFException::InvalidFormat, factor::kIoError);
    if (first != '/')
        Raise(CPDFException::InvalidFormat, FormatFactor(factor::kInvalidTokenChar, first));

    // Short names (nearly all) are read into the stack; longer ones go on
    // into the heap buffer.
    char chunk[128];
    chunk[0] = '/';
    int rawLength = 1 + in.ReadRegular(chunk + 1, sizeof chunk - 1);
    char* text = chunk;
    detail::ByteBuffer raw;
    if (rawLength == static_cast<int>(sizeof chunk)) {
        for (int got = rawLength; got > 0; got = in.ReadRegular(chunk, sizeof chunk)) {
            if (!raw.Append(chunk, got))
                Raise(CPDFException::InternalError, factor::kCallTempStringAppend);
        }
        text = raw.Data();
        rawLength = raw.Length();
    }
    // A name needs something after it: the end of the data is no end of name.
    if (in.Peek() < 0) Raise(CPDFException::InvalidFormat, factor::kIoError);
    // A solidus alone is the empty name, which is valid.

    const int length = detail::DecodeName(text, rawLength);
    if (!Assign(text, length)) Raise(CPDFException::InternalError, factor::kCallTempStringAssign);
}

void CPDFName::Serialize(OutStream& out, CryptKey) {
    out.WriteChar('/');
    detail::WriteThroughTable(out, detail::kNameByteTable, Text(), Length());
}

std::unique_ptr<CPDFObject> CPDFName::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFName>(new (std::nothrow) CPDFName());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    if (!copy->Assign(Text(), Length())) return nullptr;
    return copy;
}

}  // namespace corvina
