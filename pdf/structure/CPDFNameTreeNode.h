#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDataStruct.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFObjRef.h"

namespace corvina {

class CPDFArray;

// A node of a name tree: Kids, or Names as [key value key value ...].
class CORVINA_API CPDFNameTreeNode : public CPDFDict, public CPDFDataStruct {
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
    // Takes every pair out of the tree whose root is the atom root (a
    // reference or a dictionary), at every depth, in order: a node's pairs,
    // then its Kids one by one. A node not loaded yet is read from the file
    // with its pairs passing straight to fn, never held whole; a loaded node
    // gives its pairs up and is left without them. Kids that are no
    // dictionary, kids met again (a loop) and the last key of an odd Names
    // array are passed over. False when fn stops, a node cannot be read, or
    // the tree is deeper than the tree limit. nodes, when given, receives
    // the references of the kids read.
    static bool TakePairs(CPDFObjHolder* doc, CPDFAtom* root, const TakeFn& fn,
                          std::vector<CPDFObjRef>* nodes = nullptr);
    // A copy of every entry but Kids and Names.
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    CPDFArray* Get_Kids(CPDFObjRef* ref = nullptr);
    CPDFArray* Get_Names(CPDFObjRef* ref = nullptr);
    bool Set_Names(std::unique_ptr<CPDFArray> names, bool indirect, CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
