#include "pdf/object/CPDFArray.h"

#include <climits>
#include <map>
#include <new>

#include "pdf/object/CPDFObjHolder.h"
#include "pdf/object/ContainerSupport.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

CPDFArray::CPDFArray() : CPDFObject(Array, "Array") {
    releaseFn_ = detail::DeleteAtomSlot;
}

CPDFArray::~CPDFArray() {
    Clear();
}

int CPDFArray::NewSize(int n) const {
    int size = TempArray<CPDFAtom*>::NewSize(n);
    if (n > 1000 && capacity_ <= INT_MAX / 3) {
        const int grown = TempArray<CPDFAtom*>::NewSize(capacity_ + capacity_ / 2);
        if (grown > size) size = grown;
    }
    return size;
}

bool CPDFArray::SetAt(int index, std::unique_ptr<CPDFAtom> atom) {
    if (!TempArray<CPDFAtom*>::SetAt(index, atom.get())) return false;
    atom.release();
    return true;
}

bool CPDFArray::Push_Back(std::unique_ptr<CPDFAtom> atom) {
    if (!TempArray<CPDFAtom*>::Push_Back(atom.get())) return false;
    atom.release();
    return true;
}

bool CPDFArray::PushFront(std::unique_ptr<CPDFAtom> atom) {
    if (!TempArray<CPDFAtom*>::PushFront(atom.get())) return false;
    atom.release();
    return true;
}

std::unique_ptr<CPDFAtom> CPDFArray::Erase(int index) {
    if (index < 0 || index >= count_) return nullptr;
    std::unique_ptr<CPDFAtom> atom(items_[index]);
    TempArray<CPDFAtom*>::Erase(index);
    return atom;
}

void CPDFArray::TakeAll(std::vector<std::unique_ptr<CPDFAtom>>& out) {
    out.reserve(out.size() + static_cast<size_t>(count_));
    for (int i = 0; i < count_; ++i) {
        out.emplace_back(items_[i]);
        items_[i] = nullptr;  // the slot's release passes over an empty slot
    }
    TempArray<CPDFAtom*>::Clear();
}

CPDFObject* CPDFArray::GetObj(CPDFObjHolder* doc, int index, CPDFObjRef* ref) {
    return detail::ResolveAtom(doc, GetAt(index), ref);
}

bool CPDFArray::SetObj(CPDFObjHolder* doc, int index, std::unique_ptr<CPDFObject> value,
                       bool indirect, CPDFObjRef* ref) {
    if (doc) doc->GetLastError().Clear();
    CPDFObjRef given = ref ? *ref : CPDFObjRef();
    if (ref) ref->Reset();
    // Checked before registering, so a bad index leaves no orphan object.
    if (!value || index < 0 || index >= count_) return false;
    if (!indirect) return SetAt(index, std::move(value));
    if (!doc || !doc->RegistObj(std::move(value), &given)) return false;
    if (!SetAt(index, detail::NewRef(given))) return false;
    if (ref) *ref = given;
    return true;
}

bool CPDFArray::Push_Back(CPDFObjHolder* doc, std::unique_ptr<CPDFObject> value, bool indirect,
                          CPDFObjRef* ref) {
    if (doc) doc->GetLastError().Clear();
    CPDFObjRef given = ref ? *ref : CPDFObjRef();
    if (ref) ref->Reset();
    if (!value) return false;
    if (!indirect) return Push_Back(std::unique_ptr<CPDFAtom>(std::move(value)));
    if (!doc || !doc->RegistObj(std::move(value), &given)) return false;
    auto atom = detail::NewRef(given);
    if (!atom || !Push_Back(std::unique_ptr<CPDFAtom>(std::move(atom)))) return false;
    if (ref) *ref = given;
    return true;
}

bool CPDFArray::ReplaceObj(CPDFObjHolder* doc, int index, std::unique_ptr<CPDFObject> value,
                           const CPDFObjRef& through) {
    CPDFObjRef ref = through;
    return SetObj(doc, index, std::move(value), through.IsSet(), &ref);
}

bool CPDFArray::CopyEntries(CPDFArray& dst, CPDFObjHolder* dstDoc, CPDFObjHolder* srcDoc,
                            bool overwrite) const {
    if (dstDoc) dstDoc->GetLastError().Clear();
    if (srcDoc) srcDoc->GetLastError().Clear();
    try {
        // Source reference -> the destination reference of its copy, so that an
        // object referred to twice is copied once.
        std::map<CPDFObjRef, CPDFObjRef> copied;
        for (int i = 0; i < count_; ++i) {
            if (!overwrite && i < dst.Count()) continue;
            CPDFObjRef through;
            CPDFObject* value = detail::ResolveAtom(srcDoc, items_[i], &through);
            if (!value) return false;
            if (!value->IsDuplicable()) continue;
            const bool existing = i < dst.Count();
            if (through.IsSet()) {
                auto it = copied.find(through);
                if (it != copied.end()) {
                    auto ref = detail::NewRef(it->second);
                    if (!ref) return false;
                    const bool stored =
                        existing ? dst.SetAt(i, std::move(ref)) : dst.Push_Back(std::move(ref));
                    if (!stored) return false;
                    continue;
                }
            }
            auto copy = value->Duplicate(dstDoc, srcDoc);
            if (!copy) return false;
            const bool indirect = dstDoc && through.IsSet();
            CPDFObjRef storedRef;
            const bool stored = existing
                                    ? dst.SetObj(dstDoc, i, std::move(copy), indirect, &storedRef)
                                    : dst.Push_Back(dstDoc, std::move(copy), indirect, &storedRef);
            if (!stored) return false;
            if (indirect) copied[through] = storedRef;
        }
        return true;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<CPDFObject> CPDFArray::Duplicate(CPDFObjHolder* dstDoc,
                                                 CPDFObjHolder* srcDoc) const {
    try {
        detail::DepthGuard guard(detail::DepthGuard::Copy);
        if (guard.Exceeded()) return nullptr;
        auto copy = std::make_unique<CPDFArray>();
        copy->CopyFlags(*this);
        if (!CopyEntries(*copy, dstDoc, srcDoc, true)) return nullptr;
        return copy;
    } catch (...) {
        return nullptr;
    }
}

bool CPDFArray::Release(CPDFObjHolder* doc) {
    try {
        detail::DepthGuard guard(detail::DepthGuard::Walk);
        if (guard.Exceeded()) return false;
        for (int i = 0; i < count_; ++i)
            if (!detail::ReleaseAtom(doc, items_[i])) return false;
        return true;
    } catch (...) {
        return false;
    }
}

bool CPDFArray::Linearize(CPDFObjHolder* ctx) {
    try {
        detail::DepthGuard guard(detail::DepthGuard::Walk);
        if (guard.Exceeded()) return false;
        for (int i = 0; i < count_; ++i)
            if (!detail::LinearizeAtom(ctx, items_[i])) return false;
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace corvina
