#include "pdf/structure/CPDFPageLabelDict.h"

#include <exception>

#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFText.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina {

namespace {

constexpr char kType[] = "Type";
constexpr char kPageLabel[] = "PageLabel";
constexpr char kP[] = "P";
constexpr char kSt[] = "St";

}  // namespace

CPDFPageLabelDict::CPDFPageLabelDict() : CPDFDocStruct(detail::PageLabelDictType) {}

bool CPDFPageLabelDict::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    if (!plain) return false;
    const CPDFObject* type = plain->GetObj(doc, kType);
    return !type || IsNameEqual(type, kPageLabel);
}

bool CPDFPageLabelDict::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    try {
        auto self = [this] { return static_cast<CPDFDict*>(this); };
        CPDFObjRef ref;
        if (CPDFString* prefix = detail::AsPlainString(GetObj(doc_, kP, &ref)))
            if (!detail::TypeAt<CPDFText>(doc_, self, kP, prefix, ref)) return false;
        if (CPDFNumber* start = detail::AsPlainNumber(GetObj(doc_, kSt, &ref)))
            if (!detail::TypeAt<CPDFInt>(doc_, self, kSt, start, ref)) return false;
        return true;
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<CPDFObject> CPDFPageLabelDict::Duplicate(CPDFObjHolder* dstDoc,
                                                         CPDFObjHolder* srcDoc) const {
    return detail::DuplicateDict<CPDFPageLabelDict>(*this, dstDoc, srcDoc);
}

CPDFObject* CPDFPageLabelDict::Get_P(CPDFObjRef* ref) {
    return GetObj(doc_, kP, ref);
}

bool CPDFPageLabelDict::Set_P(std::unique_ptr<CPDFText> prefix, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kP, std::move(prefix), indirect, ref);
}

CPDFNumber* CPDFPageLabelDict::Get_St(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kSt, ref);
}

bool CPDFPageLabelDict::Set_St(std::unique_ptr<CPDFInt> start, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kSt, std::move(start), indirect, ref);
}

}  // namespace corvina
