#include "pdf/object/CPDFDict.h"

#include <map>
#include <new>

#include "pdf/object/CPDFObjHolder.h"
#include "pdf/object/ContainerSupport.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

CPDFDict::CPDFDict() : CPDFObject(Dictionary, "Dictionary") {
    releaseFn_ = detail::DeleteAtomSlot;
}

CPDFDict::~CPDFDict() {
    RemoveAll();
}

bool CPDFDict::Insert(const CPDFName& key, std::unique_ptr<CPDFAtom> atom) {
    if (!TempDict::Insert(key, atom.get())) return false;
    atom.release();
    return true;
}

bool CPDFDict::Insert(CPDFName&& key, std::unique_ptr<CPDFAtom> atom) {
    if (!TempDict::Insert(std::move(key), atom.get())) return false;
    atom.release();
    return true;
}

std::unique_ptr<CPDFAtom> CPDFDict::Detach(const char* key) {
    Node* node = TempDict::Find(key);
    if (!node) return nullptr;
    std::unique_ptr<CPDFAtom> atom(node->value);
    node->value = nullptr;
    EraseNode(node);
    return atom;
}

CPDFObject* CPDFDict::GetObj(CPDFObjHolder* doc, const char* key, CPDFObjRef* ref) {
    return detail::ResolveAtom(doc, Find(key), ref);
}

bool CPDFDict::SetObj(CPDFObjHolder* doc, const char* key, std::unique_ptr<CPDFObject> value,
                      bool indirect, CPDFObjRef* ref) {
    return StoreObj(doc, CPDFName(key), std::move(value), indirect, ref);
}

bool CPDFDict::StoreObj(CPDFObjHolder* doc, const CPDFName& key, std::unique_ptr<CPDFObject> value,
                        bool indirect, CPDFObjRef* ref) {
    if (doc) doc->GetLastError().Clear();
    CPDFObjRef given = ref ? *ref : CPDFObjRef();
    if (ref) ref->Reset();
    if (!value) return false;
    if (!indirect) return Insert(key, std::move(value));
    if (!doc || !doc->RegistObj(std::move(value), &given)) return false;
    auto atom = detail::NewRef(given);
    if (!atom || !Insert(key, std::move(atom))) return false;
    if (ref) *ref = given;
    return true;
}

bool CPDFDict::ReplaceObj(CPDFObjHolder* doc, const char* key, std::unique_ptr<CPDFObject> value,
                          const CPDFObjRef& through) {
    CPDFObjRef ref = through;
    return SetObj(doc, key, std::move(value), through.IsSet(), &ref);
}

void CPDFDict::RemoveKey(CPDFObjHolder* doc, const char* key) {
    if (doc) doc->GetLastError().Clear();
    Node* node = TempDict::Find(key);
    if (!node) return;
    // The entry goes first: the referenced object may be this very dictionary
    // (or hold it), and removing it from the document destroys it.
    std::unique_ptr<CPDFAtom> value(node->value);
    node->value = nullptr;
    EraseNode(node);
    if (doc && value && value->Kind() == CPDFAtom::RefKind) {
        const CPDFObjRef ref = *static_cast<CPDFObjRef*>(value.get());
        value.reset();
        doc->RemoveObj(ref);
    }
}

bool CPDFDict::CopyEntries(CPDFDict& dst, CPDFObjHolder* dstDoc, CPDFObjHolder* srcDoc,
                           bool overwrite) const {
    if (dstDoc) dstDoc->GetLastError().Clear();
    if (srcDoc) srcDoc->GetLastError().Clear();
    try {
        // Source reference -> the destination reference of its copy, so that an
        // object referred to twice is copied once.
        std::map<CPDFObjRef, CPDFObjRef> copied;
        for (Node* node = First(); node; node = Next(node)) {
            if (!overwrite && dst.TempDict::Find(node->key)) continue;
            CPDFObjRef through;
            CPDFObject* value = detail::ResolveAtom(srcDoc, node->value, &through);
            if (!value) return false;
            if (!value->IsDuplicable()) continue;
            if (through.IsSet()) {
                auto it = copied.find(through);
                if (it != copied.end()) {
                    auto ref = detail::NewRef(it->second);
                    if (!ref || !dst.Insert(node->key, std::move(ref))) return false;
                    continue;
                }
            }
            auto copy = value->Duplicate(dstDoc, srcDoc);
            if (!copy) return false;
            const bool indirect = dstDoc && through.IsSet();
            CPDFObjRef storedRef;
            if (!dst.StoreObj(dstDoc, node->key, std::move(copy), indirect, &storedRef))
                return false;
            if (indirect) copied[through] = storedRef;
        }
        return true;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<CPDFObject> CPDFDict::Duplicate(CPDFObjHolder* dstDoc,
                                                CPDFObjHolder* srcDoc) const {
    try {
        detail::DepthGuard guard(detail::DepthGuard::Copy);
        if (guard.Exceeded()) return nullptr;
        auto copy = std::make_unique<CPDFDict>();
        copy->CopyFlags(*this);
        if (!CopyEntries(*copy, dstDoc, srcDoc, true)) return nullptr;
        return copy;
    } catch (...) {
        return nullptr;
    }
}

bool CPDFDict::Release(CPDFObjHolder* doc) {
    try {
        detail::DepthGuard guard(detail::DepthGuard::Walk);
        if (guard.Exceeded()) return false;
        for (Node* node = First(); node; node = Next(node))
            if (!detail::ReleaseAtom(doc, node->value)) return false;
        return true;
    } catch (...) {
        return false;
    }
}

bool CPDFDict::Linearize(CPDFObjHolder* ctx) {
    try {
        if (!CPDFObject::Linearize(ctx)) return false;
        detail::DepthGuard guard(detail::DepthGuard::Walk);
        if (guard.Exceeded()) return false;
        for (Node* node = First(); node; node = Next(node))
            if (!detail::LinearizeAtom(ctx, node->value)) return false;
        return true;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<CPDFDict> CPDFObjHolder::StreamDict(
    const CPDFObjRef& /*ref*/, const char* /*key*/,
    const std::function<bool(std::unique_ptr<CPDFAtom>)>& /*fn*/, bool* failed) {
    *failed = false;
    return nullptr;
}

}  // namespace corvina
