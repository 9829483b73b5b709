#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDataStruct.h"
#include "pdf/object/CPDFDict.h"

namespace corvina {

class CPDFArray;

// A node of a number tree: Kids, or Nums as [key value key value ...] with
// integer keys (CPDFInt once loaded).
class CORVINA_API CPDFNumTreeNode : public CPDFDict, public CPDFDataStruct {
public:
    using WalkFn = bool (*)(CPDFNumTreeNode* node, void* data);

    CPDFNumTreeNode();

    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);  // any dictionary
    bool Attach(CPDFObjHolder* doc) { return SetDoc(doc); }
    // Types every Kids node (to a bounded depth) and turns number keys into CPDFInt.
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    // fn on this node, then on each immediate kid; stops at the first false.
    bool Walk(WalkFn fn, void* data);
    // A copy of every entry but Kids and Nums.
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    CPDFArray* Get_Kids(CPDFObjRef* ref = nullptr);
    CPDFArray* Get_Nums(CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
