#include "pdf/structure/CPDFLinkPoint.h"

#include <exception>

#include "pdf/object/CPDFException.h"
#include "pdf/structure/CPDFDestination.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina {

namespace {

constexpr char kD[] = "D";

}  // namespace

CPDFLinkPoint::CPDFLinkPoint() : CPDFDataStruct(detail::LinkPointType) {}

bool CPDFLinkPoint::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    return plain && detail::IsType(plain->GetObj(doc, kD), CPDFObject::Array);
}

bool CPDFLinkPoint::Create(CPDFObjHolder* doc, std::unique_ptr<CPDFDestination> dest) {
    SetDoc(doc);
    return Set_D(std::move(dest), false);
}

bool CPDFLinkPoint::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    try {
        CPDFObjRef ref;
        CPDFObject* d = GetObj(doc_, kD, &ref);
        if (!d) return false;
        // A D array that is no destination stays plain; the load still succeeds.
        CPDFArray* array = detail::AsPlainArray(d);
        if (!array || !CPDFDestination::Recognize(doc_, array)) return true;
        auto self = [this] { return static_cast<CPDFDict*>(this); };
        return detail::TypeAt<CPDFDestination>(doc_, self, kD, array, ref);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<CPDFObject> CPDFLinkPoint::Duplicate(CPDFObjHolder* dstDoc,
                                                     CPDFObjHolder* srcDoc) const {
    return detail::DuplicateDict<CPDFLinkPoint>(*this, dstDoc, srcDoc);
}

CPDFObject* CPDFLinkPoint::Get_D(CPDFObjRef* ref) {
    return GetObj(doc_, kD, ref);
}

bool CPDFLinkPoint::Set_D(std::unique_ptr<CPDFDestination> dest, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kD, std::move(dest), indirect, ref);
}

}  // namespace corvina
