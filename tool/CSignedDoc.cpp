#include "tool/CSignedDoc.h"

#include <utility>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"

using corvina::CPDFArray;
using corvina::CPDFDict;
using corvina::CPDFNumber;

namespace {

// A form tree is shallow and has a field per widget; beyond these the walk
// stops and the document counts as signed, which only asks for -i.
constexpr int kMaxFields = 100000;
constexpr int kMaxDepth = 32;

// A DocMDP certification whose permission is 1: no change allowed.
bool ForbidsChanges(corvina::CPDFDoc* doc, CPDFDict* signature) {
    auto* refs = signature ? signature->GetAs<CPDFArray>(doc, "Reference") : nullptr;
    const int count = refs ? refs->Count() : 0;
    for (int i = 0; i < count && i < kMaxDepth; ++i) {
        auto* ref = dynamic_cast<CPDFDict*>(refs->GetObj(doc, i));
        if (!ref || !corvina::IsNameEqual(ref->GetObj(doc, "TransformMethod"), "DocMDP")) continue;
        auto* params = ref->GetAs<CPDFDict>(doc, "TransformParams");
        auto* p = params ? dynamic_cast<CPDFNumber*>(params->GetObj(doc, "P")) : nullptr;
        // P defaults to 2 (form filling and signing allowed).
        if (p && p->IntValue() == 1) return true;
    }
    return false;
}

}  // namespace

CSignedDoc::Verdict CSignedDoc::Of(corvina::CPDFDoc* doc, CPDFDict* catalog) {
    if (!catalog) return Unsigned;
    bool isSigned = false;
    if (auto* perms = catalog->GetAs<CPDFDict>(doc, "Perms")) {
        isSigned = true;
        if (ForbidsChanges(doc, perms->GetAs<CPDFDict>(doc, "DocMDP"))) return NoChanges;
    } else if (catalog->Has("Perms")) {
        isSigned = true;
    }
    auto* form = catalog->GetAs<CPDFDict>(doc, "AcroForm");
    auto* fields = form ? form->GetAs<CPDFArray>(doc, "Fields") : nullptr;
    if (!fields) return isSigned ? Signed : Unsigned;

    // Fields and their kids, each with the field type it inherits.
    struct Pending {
        CPDFArray* kids;
        int depth;
        bool sig;
    };
    std::vector<Pending> stack{{fields, 0, false}};
    int seen = 0;
    while (!stack.empty()) {
        const Pending at = stack.back();
        stack.pop_back();
        for (int i = 0; i < at.kids->Count(); ++i) {
            if (++seen > kMaxFields) return Signed;
            auto* field = dynamic_cast<CPDFDict*>(at.kids->GetObj(doc, i));
            if (!field) continue;
            corvina::CPDFObject* type = field->GetObj(doc, "FT");
            const bool sig = type ? corvina::IsNameEqual(type, "Sig") : at.sig;
            if (sig && field->Has("V")) return Signed;
            auto* kids = field->GetAs<CPDFArray>(doc, "Kids");
            if (!kids) continue;
            if (at.depth + 1 > kMaxDepth) return Signed;
            stack.push_back({kids, at.depth + 1, sig});
        }
    }
    return isSigned ? Signed : Unsigned;
}
