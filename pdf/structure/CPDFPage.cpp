#include "pdf/structure/CPDFPage.h"

#include <exception>

#include "pdf/file/CPDFLib.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/object/CPDFReal.h"
#include "pdf/structure/CPDFDate.h"
#include "pdf/structure/PageBoxLoad.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFAddActDict.h"
#include "pdf/structure/minimal/CPDFAnnot.h"
#include "pdf/structure/minimal/CPDFPieceInfoDict.h"
#include "pdf/structure/minimal/CPDFSepInfoDict.h"
#include "pdf/structure/minimal/CPDFThumbnail.h"
#include "pdf/structure/minimal/CPDFTrans.h"

namespace corvina {

namespace {

constexpr char kType[] = "Type";
constexpr char kPage[] = "Page";
constexpr char kTemplate[] = "Template";
constexpr char kParent[] = "Parent";
constexpr char kB[] = "B";
constexpr char kMediaBox[] = "MediaBox";
constexpr char kResources[] = "Resources";
constexpr char kRotate[] = "Rotate";
constexpr char kThumb[] = "Thumb";
constexpr char kAnnots[] = "Annots";
constexpr char kDur[] = "Dur";
constexpr char kTrans[] = "Trans";
constexpr char kAA[] = "AA";
constexpr char kPieceInfo[] = "PieceInfo";
constexpr char kLastModified[] = "LastModified";
constexpr char kSeparationInfo[] = "SeparationInfo";
constexpr char kContents[] = "Contents";

// The page's own entry, else the nearest ancestor's; ref tells which entry
// was found.
CPDFObject* Inherited(CPDFPage& page, const char* key, CPDFObjRef* ref) {
    CPDFObjHolder* doc = page.GetDoc();
    if (CPDFObject* own = page.GetObj(doc, key, ref)) return own;
    CPDFDict* node = detail::AsDict(page.GetObj(doc, kParent));
    for (int depth = 0; node && depth < limits::kMaxTreeDepth; ++depth) {
        if (CPDFObject* value = node->GetObj(doc, key, ref)) return value;
        node = detail::AsDict(node->GetObj(doc, kParent));
    }
    if (ref) ref->Reset();
    return nullptr;
}

// Each plain dictionary of Annots becomes what the annotation factory makes
// of it; an element that refers to nothing is null and stays as written.
bool LoadAnnots(CPDFObjHolder* doc, CPDFPage& page) {
    for (int i = 0;; ++i) {
        // Fetched again for every element: a replacement may replace the array.
        CPDFArray* annots = page.Get_Annots();
        if (!annots || i >= annots->Count()) return true;
        CPDFObjRef ref;
        CPDFObject* element = annots->GetObj(doc, i, &ref);
        if (!element) continue;
        if (CPDFDict* plain = detail::AsPlainDict(element)) {
            std::unique_ptr<CPDFAnnot> annot = CPDFAnnot::Create(doc, plain);
            if (annot && !detail::StoreAt(doc, page.Get_Annots(), i, std::move(annot), ref))
                return false;
        }
    }
}

// The entries typed only under full loading.
bool LoadFull(CPDFObjHolder* doc, CPDFPage& page) {
    auto self = [&page] { return static_cast<CPDFDict*>(&page); };
    CPDFObjRef ref;
    if (CPDFNumber* rotate = detail::AsPlainNumber(page.GetObj(doc, kRotate, &ref)))
        if (!detail::TypeAt<CPDFInt>(doc, self, kRotate, rotate, ref)) return false;
    if (CPDFStream* thumb = detail::AsPlainStream(page.GetObj(doc, kThumb, &ref)))
        if (CPDFThumbnail::Recognize(doc, thumb) &&
            !detail::TypeAt<CPDFThumbnail>(doc, self, kThumb, thumb, ref))
            return false;
    if (page.Get_Annots() && !LoadAnnots(doc, page)) return false;
    if (CPDFNumber* dur = detail::AsPlainNumber(page.GetObj(doc, kDur, &ref)))
        if (!detail::TypeAt<CPDFReal>(doc, self, kDur, dur, ref)) return false;
    if (CPDFDict* trans = detail::AsPlainDict(page.GetObj(doc, kTrans, &ref))) {
        std::unique_ptr<CPDFTrans> typed = CPDFTrans::Create(doc, trans);
        if (typed && !detail::StoreAt(doc, &page, kTrans, std::move(typed), ref)) return false;
    }
    if (CPDFDict* aa = detail::AsPlainDict(page.GetObj(doc, kAA, &ref)))
        if (!detail::TypeAt<CPDFAddActDict>(doc, self, kAA, aa, ref)) return false;
    if (CPDFDict* piece = detail::AsPlainDict(page.GetObj(doc, kPieceInfo, &ref)))
        if (!detail::TypeAt<CPDFPieceInfoDict>(doc, self, kPieceInfo, piece, ref)) return false;
    if (CPDFString* date = detail::AsPlainString(page.GetObj(doc, kLastModified, &ref)))
        if (CPDFDate::Recognize(doc, date) &&
            !detail::TypeAt<CPDFDate>(doc, self, kLastModified, date, ref))
            return false;
    if (CPDFDict* sep = detail::AsPlainDict(page.GetObj(doc, kSeparationInfo, &ref)))
        if (CPDFSepInfoDict::Recognize(doc, sep) &&
            !detail::TypeAt<CPDFSepInfoDict>(doc, self, kSeparationInfo, sep, ref))
            return false;
    return true;
}

}  // namespace

CPDFPage::CPDFPage() : CPDFDocStruct(detail::PageType) {
    SetDuplicable(false);
    SetReleasable(false);
    SetLinearizable(false);
}

bool CPDFPage::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    if (!plain) return false;
    const CPDFObject* type = plain->GetObj(doc, kType);
    if (IsNameEqual(type, kTemplate)) return true;
    if (!IsNameEqual(type, kPage) || !detail::AsDict(plain->GetObj(doc, kParent))) return false;
    const CPDFObject* b = plain->GetObj(doc, kB);
    return !b || b->TypeCode() == CPDFObject::Array;
}

bool CPDFPage::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    try {
        if (!detail::LoadPageBoxes(doc_, *this)) return false;
        if (detail::OptionSet(doc_, CPDFLib::LoadPageTreeOnly)) return true;
        return LoadFull(doc_, *this);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

bool CPDFPage::Uninherit() {
    static const char* const kKeys[] = {kMediaBox, kResources};
    try {
        for (const char* key : kKeys) {
            if (GetObj(doc_, key)) continue;
            CPDFObjRef found;
            const CPDFObject* value = Inherited(*this, key, &found);
            if (!value) return false;
            std::unique_ptr<CPDFObject> copy = value->Duplicate(doc_, doc_);
            if (!copy) return false;
            // An ancestor's indirect value is copied as a new indirect object.
            CPDFObjRef stored;
            if (!SetObj(doc_, key, std::move(copy), found.IsSet(), &stored)) return false;
        }
        return true;
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

CPDFObject* CPDFPage::Get_MediaBox(CPDFObjRef* ref) {
    return Inherited(*this, kMediaBox, ref);
}

CPDFObject* CPDFPage::Get_Resources(CPDFObjRef* ref) {
    return Inherited(*this, kResources, ref);
}

bool CPDFPage::Set_Resources(std::unique_ptr<CPDFObject> res, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kResources, std::move(res), indirect, ref);
}

CPDFArray* CPDFPage::Get_Annots(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, kAnnots, ref);
}

bool CPDFPage::Set_Annots(std::unique_ptr<CPDFArray> annots, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kAnnots, std::move(annots), indirect, ref);
}

CPDFObject* CPDFPage::Get_Contents(CPDFObjRef* ref) {
    return GetObj(doc_, kContents, ref);
}

bool CPDFPage::Set_Contents(std::unique_ptr<CPDFObject> contents, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kContents, std::move(contents), indirect, ref);
}

}  // namespace corvina
