// Reading and writing the dictionary syntax.
#include "pdf/object/CPDFDict.h"

#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFString.h"
#include "pdf/object/ContainerSupport.h"
#include "pdf/object/Factors.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

namespace {

[[noreturn]] void Raise(const char* method, int type, const std::string& factor) {
    throw CPDFException("CPDFDict", method, type, factor.c_str());
}

[[noreturn]] void RaiseFormat(const std::string& factor) {
    Raise("Serialize", CPDFException::InvalidFormat, factor);
}

// No key or value starts here: name the word that stands in its place.
[[noreturn]] void RaiseUnexpectedWord(InStream& in) {
    char word[limits::kTokenSize];
    if (!in.ReadToken(word, sizeof word)) RaiseFormat(factor::kIoError);
    RaiseFormat(FormatFactor(factor::kInvalidToken, word));
}

// Two raw bytes as a text; false when the data ends first.
bool ReadPair(InStream& in, char pair[3]) {
    const int a = in.Get();
    if (a < 0) return false;
    const int b = in.Get();
    if (b < 0) return false;
    pair[0] = static_cast<char>(a);
    pair[1] = static_cast<char>(b);
    pair[2] = 0;
    return true;
}

}  // namespace

std::unique_ptr<CPDFObject> CPDFDict::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                      CryptKey crypt) {
    const int second = in.Next();
    if (second < 0) Raise("SerializeObject", CPDFException::InvalidFormat, factor::kIoError);
    in.Back(1);
    if (second != '<') return CPDFString::SerializeObject(doc, in, crypt);

    // A stream that this dictionary may open is the indirect-object reader's
    // business: streams are never direct objects.
    auto dict = std::make_unique<CPDFDict>();
    dict->Serialize(doc, in, crypt);
    return dict;
}

void CPDFDict::Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt) {
    Serialize(doc, in, crypt, nullptr, nullptr);
}

void CPDFDict::Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt, const char* streamed,
                         const CPDFArray::ElementFn& fn) {
    parsed_ = 1;
    detail::DepthGuard nesting(detail::DepthGuard::Parse);
    if (nesting.Exceeded()) RaiseFormat(factor::kNestingTooDeep);

    char pair[3];
    if (!ReadPair(in, pair)) RaiseFormat(factor::kIoError);
    if (pair[0] != '<' || pair[1] != '<') RaiseFormat(FormatFactor(factor::kInvalidToken, pair));
    for (;;) {
        in.SkipWhitespaceAndComments();
        if (!ReadPair(in, pair)) RaiseFormat(factor::kIoError);
        if (pair[0] == '>' && pair[1] == '>') return;
        in.Back(2);

        // Keys carry no key context: only string values are encrypted. A key
        // is read in place and moves into its entry; anything but a name is
        // read the general way for the error it makes.
        CPDFName key;
        if (in.Peek() == '/') {
            key.Serialize(doc, in, nullptr);
        } else {
            std::unique_ptr<CPDFObject> other = CPDFObject::SerializeObject(doc, in, nullptr);
            if (!other) RaiseUnexpectedWord(in);
            RaiseFormat(FormatFactor("typecheck: %s", other->TypeName()));
        }

        std::unique_ptr<CPDFAtom> value;
        if (streamed && key.Equals(streamed)) {
            in.SkipWhitespaceAndComments();
            if (in.Peek() == '[') {
                CPDFArray::SerializeEach(doc, in, crypt, fn);
                value = std::make_unique<CPDFArray>();
            }
        }
        if (!value) value = detail::ReadReference(in);
        if (!value) value = CPDFObject::SerializeObject(doc, in, crypt);
        if (!value) RaiseUnexpectedWord(in);

        if (!Insert(std::move(key), std::move(value)))
            Raise("Serialize", CPDFException::InternalError, "CPDFDict::Insert()");
    }
}

void CPDFDict::Serialize(OutStream& out, CryptKey crypt) {
    out.WriteText("<<");
    out.WriteEol();
    for (Node* node = First(); node; node = Next(node)) {
        node->key.Serialize(out, nullptr);
        out.WriteChar(' ');
        detail::WriteAtom(out, node->value, crypt);
        out.WriteEol();
    }
    out.WriteText(">>");
}

}  // namespace corvina
