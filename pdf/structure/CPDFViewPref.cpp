#include "pdf/structure/CPDFViewPref.h"

#include "pdf/structure/StructType.h"

namespace corvina {

CPDFViewPref::CPDFViewPref() : CPDFDocStruct(detail::ViewPrefType) {}

bool CPDFViewPref::Recognize(CPDFDoc* /*doc*/, CPDFDict* plain) {
    return plain != nullptr;
}

bool CPDFViewPref::Load(CPDFDoc* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    return true;
}

std::unique_ptr<CPDFObject> CPDFViewPref::Duplicate(CPDFDoc* dstDoc, CPDFDoc* srcDoc) const {
    auto copy = std::make_unique<CPDFViewPref>();
    copy->CopyFlags(*this);
    copy->SetDoc(dstDoc);
    if (!CopyEntries(*copy, dstDoc, srcDoc, true)) return nullptr;
    return copy;
}

}  // namespace corvina
