#pragma once

#include <memory>

#include "pdf/object/CPDFDataStruct.h"
#include "pdf/object/CPDFDict.h"

namespace corvina {

class CPDFArray;

// A node of a name tree: Kids, or Names as [key value key value ...].
class CPDFNameTreeNode : public CPDFDict, public CPDFDataStruct {
public:
    using WalkFn = bool (*)(CPDFNameTreeNode* node, void* data);

    CPDFNameTreeNode();

    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);  // any dictionary
    bool Attach(CPDFObjHolder* doc) { return SetDoc(doc); }
    // Types every Kids node (to a bounded depth) and turns string keys into CPDFText.
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    // fn on this node, then on each immediate kid; stops at the first false.
    bool Walk(WalkFn fn, void* data);
    // A copy of every entry but Kids and Names.
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    CPDFArray* Get_Kids(CPDFObjRef* ref = nullptr);
    CPDFArray* Get_Names(CPDFObjRef* ref = nullptr);
    bool Set_Names(std::unique_ptr<CPDFArray> names, bool indirect, CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
