#include "pdf/structure/TypedLoad.h"

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

namespace corvina::detail {

CPDFObject* Lookup(CPDFObjHolder* doc, const CPDFDict& dict, const char* key, CPDFObjRef* ref) {
    if (ref) ref->Reset();
    const CPDFAtom* atom = dict.Find(key);
    if (!atom || atom->Kind() != CPDFAtom::RefKind) return AsObject(const_cast<CPDFAtom*>(atom));
    const CPDFObjRef& through = *static_cast<const CPDFObjRef*>(atom);
    if (ref) *ref = through;
    return doc && through.IsSet() ? doc->GetObj(through) : nullptr;
}

CPDFDoc* DocumentOf(CPDFObjHolder* holder) {
    return dynamic_cast<CPDFDoc*>(holder);
}

bool OptionSet(CPDFObjHolder* doc, uint32_t option) {
    const CPDFDoc* document = DocumentOf(doc);
    return document && document->GetLib() && (document->GetLib()->Options() & option) != 0;
}

namespace {

bool Reregister(CPDFObjHolder* doc, std::unique_ptr<CPDFObject> value, const CPDFObjRef& through) {
    if (!doc) return false;
    CPDFObjRef ref(through);
    return doc->RegistObj(std::move(value), &ref);
}

}  // namespace

bool StoreAt(CPDFObjHolder* doc, CPDFDict* holder, const char* key,
             std::unique_ptr<CPDFObject> value, const CPDFObjRef& through) {
    if (through.IsSet()) return Reregister(doc, std::move(value), through);
    return holder && holder->ReplaceObj(doc, key, std::move(value), through);
}

bool StoreAt(CPDFObjHolder* doc, CPDFArray* holder, int index, std::unique_ptr<CPDFObject> value,
             const CPDFObjRef& through) {
    if (through.IsSet()) return Reregister(doc, std::move(value), through);
    return holder && index >= 0 && index < holder->Count() &&
           holder->ReplaceObj(doc, index, std::move(value), through);
}

CPDFObject* ValueAt(CPDFObjHolder* doc, CPDFDict* holder, const char* key,
                    const CPDFObjRef& through) {
    if (through.IsSet()) return doc ? doc->GetObj(through) : nullptr;
    return holder ? AsObject(holder->Find(key)) : nullptr;
}

CPDFObject* ValueAt(CPDFObjHolder* doc, CPDFArray* holder, int index, const CPDFObjRef& through) {
    if (through.IsSet()) return doc ? doc->GetObj(through) : nullptr;
    return holder ? AsObject(holder->GetAt(index)) : nullptr;
}

}  // namespace corvina::detail
