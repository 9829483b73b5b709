#include "pdf/structure/CPDFDestination.h"

#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina {

namespace {

// Numbers as the parser makes them; CPDFInt and CPDFReal do not count.
bool IsNumber(const CPDFObject* obj) {
    return obj && obj->TypeCode() == CPDFObject::Number;
}
bool IsNumberOrNull(const CPDFObject* obj) {
    return obj && (obj->TypeCode() == CPDFObject::Number || obj->TypeCode() == CPDFObject::Null);
}

}  // namespace

CPDFDestination::CPDFDestination() : CPDFDataStruct(detail::DestinationType) {}

bool CPDFDestination::Recognize(CPDFObjHolder* doc, CPDFArray* plain) {
    if (!plain) return false;
    const CPDFObject* fit = plain->GetObj(doc, 1);
    if (!fit || fit->TypeCode() != CPDFObject::Name) return false;
    const CPDFName& name = *static_cast<const CPDFName*>(fit);
    auto numbers = [&](int first, int last, bool (*test)(const CPDFObject*)) {
        for (int i = first; i <= last; ++i)
            if (!test(plain->GetObj(doc, i))) return false;
        return true;
    };
    if (name.Equals("XYZ")) return numbers(2, 4, IsNumberOrNull);
    if (name.Equals("Fit")) return true;
    if (name.Equals("FitH") || name.Equals("FitV")) return numbers(2, 2, IsNumber);
    if (name.Equals("FitR")) return numbers(2, 5, IsNumber);
    if (name.Equals("FitB")) return true;
    if (name.Equals("FitBH") || name.Equals("FitBV")) return numbers(2, 2, IsNumber);
    return true;
}

bool CPDFDestination::Load(CPDFObjHolder* doc, CPDFArray* plain) {
    SetDoc(doc);
    Swap(*plain);
    return true;
}

std::unique_ptr<CPDFObject> CPDFDestination::Duplicate(CPDFObjHolder* dstDoc,
                                                       CPDFObjHolder* srcDoc) const {
    try {
        detail::CopyGuard guard;
        if (guard.Exceeded()) return nullptr;
        const CPDFAtom* first = GetAt(0);
        if (!first) return nullptr;
        auto copy = std::make_unique<CPDFDestination>();
        copy->CopyFlags(*this);
        copy->SetDoc(dstDoc);
        if (first->Kind() == CPDFAtom::RefKind) {
            // The page is not carried over: whoever moves pages sets it.
            const CPDFObjRef& page = *static_cast<const CPDFObjRef*>(first);
            if (!srcDoc || !page.IsSet() || !srcDoc->GetObj(page)) return nullptr;
            if (!copy->Push_Back(std::make_unique<CPDFObjRef>())) return nullptr;
        } else {
            const CPDFObject* page = AsObject(first);
            if (!page) return nullptr;
            std::unique_ptr<CPDFObject> pageCopy = page->Duplicate(dstDoc, srcDoc);
            if (!pageCopy || !copy->Push_Back(std::move(pageCopy))) return nullptr;
        }
        // Without overwrite the copy skips position 0, which it already has.
        if (!CopyEntries(*copy, dstDoc, srcDoc, false)) return nullptr;
        return copy;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace corvina
