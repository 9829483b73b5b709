#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"

namespace corvina {

class CPDFNameTreeNode;

// The catalog's Names dictionary; every known value is a name tree.
class CORVINA_API CPDFNameDict : public CPDFDict, public CPDFDocStruct {
public:
    CPDFNameDict();

    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);  // any dictionary
    bool Attach(CPDFObjHolder* doc) { return SetDoc(doc); }
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    CPDFNameTreeNode* Get_Dests(CPDFObjRef* ref = nullptr);
    bool Set_Dests(std::unique_ptr<CPDFNameTreeNode> node, bool indirect,
                   CPDFObjRef* ref = nullptr);
    CPDFNameTreeNode* Get_Pages(CPDFObjRef* ref = nullptr);
    bool Set_Pages(std::unique_ptr<CPDFNameTreeNode> node, bool indirect,
                   CPDFObjRef* ref = nullptr);
    CPDFNameTreeNode* Get_Templates(CPDFObjRef* ref = nullptr);
    bool Set_Templates(std::unique_ptr<CPDFNameTreeNode> node, bool indirect,
                       CPDFObjRef* ref = nullptr);
    CPDFNameTreeNode* Get_URLS(CPDFObjRef* ref = nullptr);
    bool Set_URLS(std::unique_ptr<CPDFNameTreeNode> node, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFNameTreeNode* Get_IDS(CPDFObjRef* ref = nullptr);
    bool Set_IDS(std::unique_ptr<CPDFNameTreeNode> node, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFNameTreeNode* Get_JavaScript(CPDFObjRef* ref = nullptr);
    bool Set_JavaScript(std::unique_ptr<CPDFNameTreeNode> node, bool indirect,
                        CPDFObjRef* ref = nullptr);
    CPDFNameTreeNode* Get_AP(CPDFObjRef* ref = nullptr);
    bool Set_AP(std::unique_ptr<CPDFNameTreeNode> node, bool indirect, CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
