#include "pdf/object/ContainerSupport.h"

#include <new>

#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFObjHolder.h"

namespace corvina::detail {

void DeleteAtomSlot(CPDFAtom** slot) {
    delete *slot;
    *slot = nullptr;
}

CPDFObject* ResolveAtom(CPDFObjHolder* doc, CPDFAtom* atom, CPDFObjRef* ref) {
    if (doc) doc->GetLastError().Clear();
    if (ref) ref->Reset();
    if (!atom) return nullptr;
    if (atom->Kind() == CPDFAtom::RefKind) {
        const auto* through = static_cast<const CPDFObjRef*>(atom);
        if (ref) *ref = *through;
        return doc ? doc->GetObj(*through) : nullptr;
    }
    return AsObject(atom);
}

std::unique_ptr<CPDFObjRef> NewRef(const CPDFObjRef& ref) {
    return std::unique_ptr<CPDFObjRef>(new (std::nothrow) CPDFObjRef(ref));
}

bool ReleaseAtom(CPDFObjHolder* doc, CPDFAtom* atom) {
    if (!atom) return true;
    if (atom->Kind() == CPDFAtom::RefKind)
        return !doc || doc->ReleaseObj(*static_cast<CPDFObjRef*>(atom), false);
    if (CPDFObject* obj = AsObject(atom)) return obj->Release(doc);
    return true;
}

bool LinearizeAtom(CPDFObjHolder* ctx, CPDFAtom* atom) {
    if (!atom || !ctx) return true;
    if (atom->Kind() == CPDFAtom::RefKind) {
        auto* ref = static_cast<CPDFObjRef*>(atom);
        CPDFObjRef renumbered;
        if (ctx->FindLinearRef(*ref, &renumbered)) {
            *ref = renumbered;
            return true;
        }
        if (!ctx->LinearizeObj(*ref)) return false;
        // The target has just moved; follow it so this reference does not
        // point at the number it left.
        if (ctx->FindLinearRef(*ref, &renumbered)) *ref = renumbered;
        return true;
    }
    CPDFObject* obj = AsObject(atom);
    if (obj && obj->IsLinearizable()) return obj->Linearize(ctx);
    return true;
}

void WriteAtom(OutStream& out, CPDFAtom* atom, CryptKey crypt) {
    if (!atom) return;
    if (atom->Kind() == CPDFAtom::RefKind)
        static_cast<CPDFObjRef*>(atom)->Serialize(out);
    else if (CPDFObject* obj = AsObject(atom))
        obj->Serialize(out, crypt);
}

}  // namespace corvina::detail
