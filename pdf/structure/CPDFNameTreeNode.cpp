#include "pdf/structure/CPDFNameTreeNode.h"

#include <exception>

#include "pdf/object/CPDFException.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TreeNodeLoad.h"

namespace corvina {

namespace {

constexpr char kNames[] = "Names";

}  // namespace

CPDFNameTreeNode::CPDFNameTreeNode() : CPDFDataStruct(detail::NameTreeNodeType) {}

bool CPDFNameTreeNode::Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) {
    return plain != nullptr;
}

bool CPDFNameTreeNode::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    try {
        return detail::LoadTreeNode<CPDFNameTreeNode, CPDFText>(*this, doc, plain, kNames, 0);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

bool CPDFNameTreeNode::Walk(WalkFn fn, void* data) {
    return detail::WalkTreeNode(*this, fn, data);
}

std::unique_ptr<CPDFObject> CPDFNameTreeNode::Duplicate(CPDFObjHolder* dstDoc,
                                                        CPDFObjHolder* srcDoc) const {
    // Kids and the pairs stay with the tree.
    return detail::DuplicateDict<CPDFNameTreeNode>(*this, dstDoc, srcDoc,
                                                   {detail::kTreeKids, kNames});
}

CPDFArray* CPDFNameTreeNode::Get_Kids(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, detail::kTreeKids, ref);
}

CPDFArray* CPDFNameTreeNode::Get_Names(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, kNames, ref);
}

bool CPDFNameTreeNode::Set_Names(std::unique_ptr<CPDFArray> names, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kNames, std::move(names), indirect, ref);
}

}  // namespace corvina
