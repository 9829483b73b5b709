#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "pdf/object/CPDFDataStruct.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFObjRef.h"

namespace corvina {

class CPDFArray;

// A node of a name tree: Kids, or Names as [key value key value ...].
class CPDFNameTreeNode : public CPDFDict, public CPDFDataStruct {
public:
    using WalkFn = bool (*)(CPDFNameTreeNode* node, void* data);
    // Receives one pair taken out of a tree, key and value as the tree held
    // them (a reference stays a reference); false stops the taking.
    using TakeFn =
        std::function<bool(std::unique_ptr<CPDFAtom> key, std::unique_ptr<CPDFAtom> value)>;

    CPDFNameTreeNode();

    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);  // any dictionary
    bool Attach(CPDFObjHolder* doc) { return SetDoc(doc); }
    // Types every Kids node (to a bounded depth) and turns string keys into CPDFText.
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    // fn on this node, then on each immediate kid; stops at the first false.
    bool Walk(WalkFn fn, void* data);
    // Takes every pair out of the tree, at every depth, last first: Kids
    // from the last to the first, a node's pairs from the last to the first,
    // so a receiver that keeps the first of equal keys keeps the one the tree
    // holds last. A node's pairs are freed as they are handed over, so the
    // tree and the receiver's copy are never held whole at once. A node with
    // Kids is not read for Names. Kids that are no dictionary, kids met again
    // (a loop; self is the tree's own reference, when it has one) and the
    // last key of an odd Names array are passed over. False when fn stops or
    // the tree is deeper than the tree limit. nodes, when given, receives the
    // references of the kids read.
    bool TakePairs(const TakeFn& fn, const CPDFObjRef& self,
                   std::vector<CPDFObjRef>* nodes = nullptr);
    // A copy of every entry but Kids and Names.
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    CPDFArray* Get_Kids(CPDFObjRef* ref = nullptr);
    CPDFArray* Get_Names(CPDFObjRef* ref = nullptr);
    bool Set_Names(std::unique_ptr<CPDFArray> names, bool indirect, CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
