// Linearization: the parameter dictionary and hint stream of a linearized
// input, and the regrouping of every page but the first after a save that
// asked for linearized output.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/io/MemInStream.h"
#include "pdf/object/Factors.h"
#include "pdf/object/ObjectCrypt.h"

namespace corvina {

namespace {

constexpr char kOpen[] = "Open";
constexpr char kLinearizeObj[] = "LinearizeObj";

[[noreturn]] void Fail(const char* method, int type, const char* factor) {
    throw CPDFException("CPDFDoc", method, type, factor);
}

}  // namespace

// "num gen obj" at offset and the value after it, read with the object's key;
// a hint stream is read into its own class when its dictionary passes.
std::unique_ptr<CPDFObject> CPDFDoc::ReadFrontObject(int32_t offset, bool hint, CPDFObjRef* ref) {
    const int format = CPDFException::InvalidFormat;
    if (offset < 0 || input_->Seek(offset) != 0) Fail(kOpen, format, factor::kIoError);
    char num[limits::kTokenSize], gen[limits::kTokenSize], word[limits::kTokenSize];
    if (!input_->ReadToken(num, sizeof num) || !input_->ReadToken(gen, sizeof gen) ||
        !input_->ReadToken(word, sizeof word))
        Fail("LoadObj", format, factor::kIoError);
    if (std::strcmp(word, "obj") != 0)
        Fail(kOpen, format, FormatFactor(factor::kInvalidToken, word).c_str());
    *ref = CPDFObjRef(static_cast<int32_t>(std::atol(num)), static_cast<int32_t>(std::atol(gen)));
    detail::ObjectCrypt keyBuf;
    const CryptKey key = ObjectKey(*ref, &keyBuf);
    std::unique_ptr<CPDFObject> obj = CPDFObject::SerializeObject(this, *input_, key);
    if (!obj) {
        if (!input_->ReadToken(word, sizeof word)) Fail(kOpen, format, factor::kIoError);
        Fail(kOpen, format, FormatFactor(factor::kInvalidToken, word).c_str());
    }
    if (obj->TypeCode() != CPDFObject::Dictionary) return obj;
    input_->SkipWhitespaceAndComments();
    if (input_->Peek() != 's') return obj;
    std::unique_ptr<CPDFDict> dict(static_cast<CPDFDict*>(obj.release()));
    std::unique_ptr<CPDFStream> stream;
    if (hint && CPDFHintStream::Recognize(this, dict.get()))
        stream = std::make_unique<CPDFHintStream>(this);
    else
        stream = std::make_unique<CPDFStream>(this);
    stream->Serialize(this, *input_, std::move(dict), key);
    return stream;
}

void CPDFDoc::ReadLinearization() {
    const int internal = CPDFException::InternalError;
    // A file is read through its chain of sections whatever its front says,
    // as every reader does; what the linearization lacks is only reported.
    try {
        CPDFObjRef ref;
        std::unique_ptr<CPDFObject> first = ReadFrontObject(0, false, &ref);
        auto* plain = first->TypeCode() == CPDFObject::Dictionary
                          ? static_cast<CPDFDict*>(first.get())
                          : nullptr;
        // Noted even when the file no longer looks linearized: a whole
        // rewrite must not carry it over to the front of the new file.
        if (plain && plain->Has("Linearized")) lineaRef_ = ref;
        if (!linearized_) return;
        if (plain && CPDFLineaParams::Recognize(this, plain)) {
            auto params = std::make_unique<CPDFLineaParams>();
            if (!params->Load(this, plain) || !params->Realize(this))
                Fail(kOpen, internal, "CPDFLineaParams::Realize()");
            lineaParams_ = std::move(params);
        }
        CPDFArray* hints = lineaParams_ ? lineaParams_->Get_Hints() : nullptr;
        if (!hints) Fail(kOpen, internal, "CPDFLineaParams::Get_Hints()");
        if (hints->Count() < 2 || !lineaParams_->Hint(0) || !lineaParams_->Hint(1))
            Fail(kOpen, internal, "CPDFArray::GetObj()");
        CPDFObjRef at;
        std::unique_ptr<CPDFObject> hint =
            ReadFrontObject(lineaParams_->Hint(0)->IntValue(), true, &at);
        auto* typed = dynamic_cast<CPDFHintStream*>(hint.get());
        if (!typed) return;
        if (!typed->Realize(this)) Fail(kOpen, internal, "CPDFHintStream::Realize()");
        hint.release();
        hintStream_.reset(typed);
        hintRef_ = at;
    } catch (const CPDFException& e) {
        if (linearized_) Warn(e);
    }
    lastError_.Clear();
}

void CPDFDoc::DropLinearization() {
    for (const CPDFObjRef* ref : {&lineaRef_, &hintRef_}) {
        if (!ref->IsSet()) continue;
        const XRefEntry* entry = GetXRef() ? GetXRef()->GetEntry(ref->objNum) : nullptr;
        // Only the objects the file itself holds under those numbers.
        if (entry && entry->inUse && entry->genNum == ref->genNum) RemoveObj(*ref);
    }
    lineaRef_.Reset();
    hintRef_.Reset();
}

void CPDFDoc::KeepWorkingSectionOnly() {
    bodies_.resize(1);
    xrefs_.resize(1);
    trailers_.resize(1);
    DropLinearization();
}

void CPDFDoc::ReleaseLinearization() {
    lineaParams_.reset();
    hintStream_.reset();
    lineaRef_.Reset();
    hintRef_.Reset();
    linBodies_.clear();
    linXRefs_.clear();
    linTrailers_.clear();
    linearMap_.clear();
}

// ---------------------------------------------------------------- regrouping

bool CPDFDoc::Linearize() {
    lastError_.Clear();
    return Guarded("Linearize", false, [&] {
        const int internal = CPDFException::InternalError;
        const int32_t count = GetPageCount();
        if (count < 0) Fail("Linearize", internal, "CPDFDoc::GetPageCount()");
        if (count < 2) return true;
        auto body = std::make_unique<CPDFBody>();
        auto xref = std::make_unique<CPDFXRef>();
        auto trailer = std::make_unique<CPDFTrailer>();
        if (!body->Create(this, nullptr) || !xref->Create(this, nullptr))
            Fail("Linearize", internal, factor::kCallXRefCreate);
        // A trailer of its own, without the new catalog a fresh one would
        // register in this document.
        MemInStream fresh(std::string("trailer\n<</Size 1>>\nstartxref\n0\n%%EOF\n"));
        trailer->Serialize(this, fresh);
        linBodies_.insert(linBodies_.begin(), std::move(body));
        linXRefs_.insert(linXRefs_.begin(), std::move(xref));
        linTrailers_.insert(linTrailers_.begin(), std::move(trailer));
        // Every page is found first: a page reached from an earlier one then
        // is a typed page, which moves in its own turn.
        std::vector<CPDFObjRef> pages;
        for (int32_t i = 1; i < count; ++i) {
            CPDFObjRef ref;
            if (!GetPage(i, &ref) || !ref.IsSet())
                Fail("Linearize", internal, "CPDFDoc::GetPage()");
            pages.push_back(ref);
        }
        for (const CPDFObjRef& ref : pages)
            if (!LinearizeObj(ref, true)) Fail("Linearize", internal, "CPDFDoc::LinearizeObj()");
        return true;
    });
}

bool CPDFDoc::FindLinearRef(const CPDFObjRef& from, CPDFObjRef* to) const {
    auto it = linearMap_.find({from.objNum, from.genNum});
    if (it == linearMap_.end()) return false;
    if (to) *to = it->second;
    return true;
}

bool CPDFDoc::LinearizeObj(const CPDFObjRef& ref) {
    return LinearizeObj(ref, false);
}

bool CPDFDoc::LinearizeObj(const CPDFObjRef& ref, bool force) {
    lastError_.Clear();
    return Guarded(kLinearizeObj, false, [&] {
        const int internal = CPDFException::InternalError;
        CPDFBody* linBody = GetLinearBody();
        CPDFXRef* linXRef = GetLinearXRef();
        CPDFTrailer* linTrailer = GetLinearTrailer();
        // Nothing is renumbered unless a regrouping runs.
        if (!linBody || !linXRef || !linTrailer) return true;
        if (!GetBody()) Fail(kLinearizeObj, internal, factor::kCallDocGetBody);
        if (!GetTrailer()) Fail(kLinearizeObj, internal, factor::kCallDocGetTrailer);
        if (!ref.IsSet()) Fail(kLinearizeObj, CPDFException::UserError, factor::kRefNotDefined);
        // Moved already (reached from an earlier page, or a cycle).
        if (FindLinearRef(ref, nullptr)) return true;
        CPDFObject* obj = GetObjInner(ref);
        if (!obj || !GetBody()->GetObj(ref)) {
            // A reference to nothing stands for null and has nothing to move;
            // a page must be there.
            if (!force) return true;
            Fail(kLinearizeObj, internal, "CPDFBody::GetObj()");
        }
        if (!force && !obj->IsLinearizable()) return true;
        if (!linTrailer->Get_Size()) Fail(kLinearizeObj, internal, "CPDFTrailer::Get_Size()");
        std::unique_ptr<CPDFObject> taken = GetBody()->TakeObj(ref);
        CPDFObject* moved = taken.get();
        CPDFObjRef to;
        if (!linBody->AddObj(std::move(taken), &to))
            Fail(kLinearizeObj, internal, factor::kCallBodyAddObj);
        int32_t num = 0;
        if (!linXRef->AddEntry(&num) || num != to.objNum)
            Fail(kLinearizeObj, internal, factor::kCallXRefAddEntry);
        if (!linTrailer->Set_Size(num + 1))
            Fail(kLinearizeObj, internal, "CPDFTrailer::Set_Size()");
        // Mapped before the walk, so that a reference back to this object
        // (a page's annotation naming its page) ends there.
        linearMap_[{ref.objNum, ref.genNum}] = to;
        if (!moved->Linearize(this)) {
            // The walk's own record, when it kept one, says more.
            Fail(kLinearizeObj, internal, "CPDFObject::Linearize()");
        }
        return true;
    });
}

}  // namespace corvina
