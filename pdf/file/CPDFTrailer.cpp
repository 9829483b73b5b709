#include "pdf/file/CPDFTrailer.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "pdf/file/CPDFDocStructure.h"
#include "pdf/file/CPDFEncryptDict.h"
#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/object/CopyAsWritten.h"
#include "pdf/object/Factors.h"

namespace corvina {

namespace {

constexpr char kSize[] = "Size";
constexpr char kPrev[] = "Prev";
constexpr char kRoot[] = "Root";
constexpr char kInfo[] = "Info";
constexpr char kID[] = "ID";
constexpr char kEncrypt[] = "Encrypt";
constexpr char kXRefStm[] = "XRefStm";

[[noreturn]] void Raise(const char* factor) {
    throw CPDFException("CPDFTrailer", "Serialize", CPDFException::InvalidFormat, factor);
}
[[noreturn]] void RaiseToken(const char* word) {
    Raise(FormatFactor(factor::kInvalidToken, word).c_str());
}

// An indirect number replaced by the same value held directly.
bool MakeDirectNumber(CPDFDict& dict, CPDFObjHolder* doc, const char* key, bool required) {
    CPDFObjRef ref;
    CPDFObject* value = dict.GetObj(doc, key, &ref);
    if (!value) return !required && !dict.Has(key);
    if (!ref.IsSet()) return true;
    if (!value->Is(CPDFObject::Number | CPDFObject::Integer)) return false;
    const int32_t v = static_cast<CPDFNumber*>(value)->IntValue();
    return dict.SetObj(doc, key, std::make_unique<CPDFInt>(v), false);
}

}  // namespace

CPDFTrailer::CPDFTrailer() : CPDFFileStruct(TrailerKind), dict_(std::make_unique<CPDFDict>()) {}

CPDFTrailer::~CPDFTrailer() = default;

void CPDFTrailer::Serialize(CPDFObjHolder* doc, InStream& in) {
    doc_ = doc;
    dict_->RemoveAll();
    char word[limits::kTokenSize];
    auto next = [&]() {
        if (!in.ReadToken(word, sizeof word)) Raise(factor::kIoError);
    };

    next();
    if (std::strcmp(word, "trailer") != 0) RaiseToken(word);
    next();
    if (std::strcmp(word, "<") != 0) RaiseToken(word);
    in.Back(1);
    dict_->Serialize(doc, in, nullptr);

    next();
    if (std::strcmp(word, "startxref") != 0) RaiseToken(word);
    next();
    // atol would accept anything; an offset must be a plain 32-bit decimal.
    char* end = nullptr;
    const long offset = std::strtol(word, &end, 10);
    if (*end || end == word || offset < 0 || offset > INT32_MAX) RaiseToken(word);
    startxref_ = static_cast<int32_t>(offset);

    in.SkipWhitespace();
    char eof[6] = {};
    if (in.Read(eof, 5) != 5) Raise(factor::kIoError);
    if (std::memcmp(eof, "%%EOF", 5) != 0) RaiseToken(eof);
}

void CPDFTrailer::Serialize(OutStream& out) {
    out.WriteText("trailer");
    out.WriteEol();
    dict_->Serialize(out, nullptr);
    out.WriteEol();
    out.WriteText("startxref");
    out.WriteEol();
    out.Printf("%ld", static_cast<long>(startxref_));
    out.WriteEol();
    out.WriteText("%%EOF");
    out.WriteEol();
}

bool CPDFTrailer::Create(CPDFObjHolder* doc, const CPDFTrailer* source) {
    doc_ = doc;
    try {
        dict_ = std::make_unique<CPDFDict>();
        if (doc && doc->IsFDF()) {
            // The FDF catalog has no typed form here; an empty dictionary keeps
            // Root in its indirect place until it has one.
            return Set_Root(std::make_unique<CPDFDict>(), true);
        }
        if (source) {
            // As written: a reference, at any depth, stays a reference to the
            // same object (present or not) rather than becoming a copy of it.
            for (CPDFDict::Node* n = source->dict_->First(); n; n = CPDFDict::Next(n)) {
                // The hybrid file's stream belongs to the section that names it.
                if (n->key.Equals(kXRefStm) || !n->value) continue;
                std::unique_ptr<CPDFAtom> copy = detail::CopyAsWritten(n->value);
                if (!copy || !dict_->Insert(n->key, std::move(copy))) return false;
            }
            return Set_Prev(source->StartXRef());
        }
        if (!Set_Size(1)) return false;
        auto catalog = DocStructure().NewCatalog(doc);
        if (!catalog) return false;
        return Set_Root(std::move(catalog), true);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CPDFTrailer::AdoptStreamSection(std::unique_ptr<CPDFDict> dict, int32_t offset) {
    dict_ = std::move(dict);
    startxref_ = offset;
    streamSection_ = true;
}

bool CPDFTrailer::Realize(CPDFObjHolder* doc) {
    doc_ = doc;
    if (doc && doc->IsFDF()) return true;
    try {
        if (!MakeDirectNumber(*dict_, doc, kSize, true)) return false;
        if (!MakeDirectNumber(*dict_, doc, kPrev, false)) return false;

        // Direct or indirect, the dictionary is typed the same way; one that
        // does not type stays plain and fails the handler check later.
        CPDFObjRef ref;
        CPDFObject* encrypt = dict_->GetObj(doc, kEncrypt, &ref);
        if (encrypt && encrypt->TypeCode() == CPDFObject::Dictionary && encrypt->IsParsed() &&
            !dynamic_cast<CPDFEncryptDict*>(encrypt)) {
            CPDFDict* plain = static_cast<CPDFDict*>(encrypt);
            if (CPDFEncryptDict::Recognize(doc, plain)) {
                auto typed = std::make_unique<CPDFEncryptDict>();
                if (!typed->Load(doc, plain)) return false;
                CPDFEncryptDict* held = typed.get();
                if (!dict_->ReplaceObj(doc, kEncrypt, std::move(typed), ref)) return false;
                if (!held->Realize(doc)) return false;
            }
        }
        return true;
    } catch (const CPDFException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

CPDFNumber* CPDFTrailer::Get_Size(CPDFObjRef* ref) {
    return dict_->GetAs<CPDFNumber>(doc_, kSize, ref);
}

bool CPDFTrailer::Set_Size(int32_t size) {
    return dict_->SetObj(doc_, kSize, std::make_unique<CPDFInt>(size), false);
}

CPDFNumber* CPDFTrailer::Get_Prev(CPDFObjRef* ref) {
    return dict_->GetAs<CPDFNumber>(doc_, kPrev, ref);
}

bool CPDFTrailer::Set_Prev(int32_t offset) {
    return dict_->SetObj(doc_, kPrev, std::make_unique<CPDFInt>(offset), false);
}

CPDFCatalog* CPDFTrailer::Get_Root(CPDFObjRef* ref) {
    return DocStructure().AsCatalog(Get_RootObj(ref));
}

CPDFObject* CPDFTrailer::Get_RootObj(CPDFObjRef* ref) {
    return dict_->GetObj(doc_, kRoot, ref);
}

bool CPDFTrailer::Set_Root(std::unique_ptr<CPDFObject> root, bool indirect, CPDFObjRef* ref) {
    return dict_->SetObj(doc_, kRoot, std::move(root), indirect, ref);
}

CPDFInfoDict* CPDFTrailer::Get_Info(CPDFObjRef* ref) {
    return DocStructure().AsInfoDict(Get_InfoObj(ref));
}

CPDFObject* CPDFTrailer::Get_InfoObj(CPDFObjRef* ref) {
    return dict_->GetObj(doc_, kInfo, ref);
}

bool CPDFTrailer::Set_Info(std::unique_ptr<CPDFObject> info, bool indirect, CPDFObjRef* ref) {
    return dict_->SetObj(doc_, kInfo, std::move(info), indirect, ref);
}

CPDFArray* CPDFTrailer::Get_ID(CPDFObjRef* ref) {
    return dict_->GetAs<CPDFArray>(doc_, kID, ref);
}

CPDFDict* CPDFTrailer::Get_Encrypt(CPDFObjRef* ref) {
    return dict_->GetAs<CPDFDict>(doc_, kEncrypt, ref);
}

bool CPDFTrailer::Set_Encrypt(std::unique_ptr<CPDFObject> encrypt, bool indirect, CPDFObjRef* ref) {
    return dict_->SetObj(doc_, kEncrypt, std::move(encrypt), indirect, ref);
}

}  // namespace corvina
