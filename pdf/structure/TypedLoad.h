#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>

#include "pdf/io/CorvinaApi.h"
#include "pdf/io/Limits.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFNull.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/CPDFString.h"
#include "pdf/object/DepthGuard.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina {
class CPDFDoc;
}  // namespace corvina

// Helpers shared by the typed loads of the document structure.
namespace corvina::detail {

// The document behind a holder, for what only a document offers (its
// library's options, the objects loaded so far, unloading); null when the
// holder is null or no document.
CORVINA_API CPDFDoc* DocumentOf(CPDFObjHolder* holder);

// Class tests go by the exact type code, so a stream never passes for a
// dictionary and a CPDFInt never for a parsed number.
inline bool IsPlain(const CPDFObject* obj) {
    return obj && obj->IsParsed();
}
inline bool IsType(const CPDFObject* obj, int code) {
    return obj && obj->TypeCode() == code;
}
inline CPDFDict* AsDict(CPDFObject* obj) {
    return IsType(obj, CPDFObject::Dictionary) ? static_cast<CPDFDict*>(obj) : nullptr;
}
inline CPDFArray* AsArray(CPDFObject* obj) {
    return IsType(obj, CPDFObject::Array) ? static_cast<CPDFArray*>(obj) : nullptr;
}
inline CPDFDict* AsPlainDict(CPDFObject* obj) {
    return IsPlain(obj) ? AsDict(obj) : nullptr;
}
inline CPDFArray* AsPlainArray(CPDFObject* obj) {
    return IsPlain(obj) ? AsArray(obj) : nullptr;
}
inline CPDFString* AsPlainString(CPDFObject* obj) {
    return IsPlain(obj) && IsType(obj, CPDFObject::String) ? static_cast<CPDFString*>(obj)
                                                           : nullptr;
}
inline CPDFNumber* AsPlainNumber(CPDFObject* obj) {
    return IsPlain(obj) && IsType(obj, CPDFObject::Number) ? static_cast<CPDFNumber*>(obj)
                                                           : nullptr;
}
inline CPDFStream* AsPlainStream(CPDFObject* obj) {
    return IsPlain(obj) && IsType(obj, CPDFObject::Stream) ? static_cast<CPDFStream*>(obj)
                                                           : nullptr;
}
// Dictionaries and streams both carry entries.
inline CPDFDict* AsEntries(CPDFObject* obj) {
    return obj && (obj->TypeCode() == CPDFObject::Dictionary ||
                   obj->TypeCode() == CPDFObject::Stream)
               ? static_cast<CPDFDict*>(obj)
               : nullptr;
}

// What dict.GetObj(doc, key, ref) gives, found without building a key name:
// for the walks that run once per page.
CORVINA_API CPDFObject* Lookup(CPDFObjHolder* doc, const CPDFDict& dict, const char* key,
                               CPDFObjRef* ref = nullptr);

// True when doc is a document whose library has the option bit set.
CORVINA_API bool OptionSet(CPDFObjHolder* doc, uint32_t option);

// Stores a typed value where its plain form was found, keeping the entry's
// form. A value reached through a reference is registered again under that
// reference (the holder already refers to it and is not touched, so a holder
// that the load has replaced does no harm); a direct value goes back into the
// holder, which the caller fetched again after the load. The value is
// consumed in every case.
CORVINA_API bool StoreAt(CPDFObjHolder* doc, CPDFDict* holder, const char* key,
                         std::unique_ptr<CPDFObject> value, const CPDFObjRef& through);
CORVINA_API bool StoreAt(CPDFObjHolder* doc, CPDFArray* holder, int index,
                         std::unique_ptr<CPDFObject> value, const CPDFObjRef& through);

// Bounds the nesting of the typed classes' Duplicate: values read from a file
// may refer to themselves, and a copy follows references.
struct CORVINA_API CopyGuard : DepthGuard {
    CopyGuard() : DepthGuard(DepthGuard::TypedCopy) {}
};

// Duplicate of a typed dictionary T: a T holding copies of every entry but
// the skipped keys (placeholders keep the copy, which then does not
// overwrite, off them). Null on failure; never throws.
template <class T>
std::unique_ptr<CPDFObject> DuplicateDict(const CPDFDict& self, CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc,
                                          std::initializer_list<const char*> skip = {}) {
    try {
        CopyGuard guard;
        if (guard.Exceeded()) return nullptr;
        auto copy = std::make_unique<T>();
        copy->CopyFlags(self);
        copy->SetDoc(dstDoc);
        for (const char* key : skip)
            if (!copy->Insert(key, std::make_unique<CPDFNull>())) return nullptr;
        if (!self.CopyEntries(*copy, dstDoc, srcDoc, skip.size() == 0)) return nullptr;
        for (const char* key : skip) copy->Detach(key);
        return copy;
    } catch (...) {
        return nullptr;
    }
}

// Typed loads take the plain value by pointer or, for the scalar classes, by
// reference.
template <class T, class P>
bool LoadTyped(T& typed, CPDFObjHolder* doc, P* plain) {
    if constexpr (requires { typed.Load(doc, plain); })
        return typed.Load(doc, plain);
    else
        return typed.Load(doc, *plain);
}

// The value now standing at key of holder, or behind through.
CORVINA_API CPDFObject* ValueAt(CPDFObjHolder* doc, CPDFDict* holder, const char* key,
                                const CPDFObjRef& through);
CORVINA_API CPDFObject* ValueAt(CPDFObjHolder* doc, CPDFArray* holder, int index,
                                const CPDFObjRef& through);

// A failed load gives the plain value its entries back, so that it reads as
// before; only when the value still stands where it was found, since in a
// circular file the load itself may have replaced (and destroyed) it.
template <class T, class P, class Holder, class Key>
void Restore(CPDFObjHolder* doc, Holder&& holder, Key key, P* plain, const CPDFObjRef& through,
             T& typed) {
    if constexpr (requires { plain->Swap(typed); }) {
        CPDFObject* now = ValueAt(doc, holder(), key, through);
        if (now == plain && now->IsParsed()) plain->Swap(typed);
    }
}

// Builds a T from plain and stores it at key of the container that holder()
// gives after the load. Once Load has run, plain must not be used again: it
// belongs to the document or the holder until the store replaces it, and a
// circular file may even have replaced it during the load.
template <class T, class P, class Holder, class Key>
bool TypeAt(CPDFObjHolder* doc, Holder&& holder, Key key, P* plain, const CPDFObjRef& through) {
    auto typed = std::make_unique<T>();
    if (!LoadTyped(*typed, doc, plain)) {
        Restore(doc, holder, key, plain, through, *typed);
        return false;
    }
    return StoreAt(doc, holder(), key, std::move(typed), through);
}

}  // namespace corvina::detail
