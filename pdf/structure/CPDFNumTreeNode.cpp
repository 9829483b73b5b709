#include "pdf/structure/CPDFNumTreeNode.h"

#include <exception>

#include "pdf/object/CPDFException.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TreeNodeLoad.h"

namespace corvina {

namespace {

constexpr char kNums[] = "Nums";

}  // namespace

CPDFNumTreeNode::CPDFNumTreeNode() : CPDFDataStruct(detail::NumTreeNodeType) {}

bool CPDFNumTreeNode::Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) {
    return plain != nullptr;
}

bool CPDFNumTreeNode::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    try {
        return detail::LoadTreeNode<CPDFNumTreeNode, CPDFInt>(*this, doc, plain, kNums, 0);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

bool CPDFNumTreeNode::Walk(WalkFn fn, void* data) {
    return detail::WalkTreeNode(*this, fn, data);
}

std::unique_ptr<CPDFObject> CPDFNumTreeNode::Duplicate(CPDFObjHolder* dstDoc,
                                                       CPDFObjHolder* srcDoc) const {
    // Kids and the pairs stay with the tree.
    return detail::DuplicateDict<CPDFNumTreeNode>(*this, dstDoc, srcDoc,
                                                  {detail::kTreeKids, kNums});
}

CPDFArray* CPDFNumTreeNode::Get_Kids(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, detail::kTreeKids, ref);
}

CPDFArray* CPDFNumTreeNode::Get_Nums(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, kNums, ref);
}

}  // namespace corvina
