#include "pdf/structure/CPDFViewPref.h"

#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina {

CPDFViewPref::CPDFViewPref() : CPDFDocStruct(detail::ViewPrefType) {}

bool CPDFViewPref::Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) {
    return plain != nullptr;
}

bool CPDFViewPref::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    return true;
}

std::unique_ptr<CPDFObject> CPDFViewPref::Duplicate(CPDFObjHolder* dstDoc,
                                                    CPDFObjHolder* srcDoc) const {
    return detail::DuplicateDict<CPDFViewPref>(*this, dstDoc, srcDoc);
}

}  // namespace corvina
