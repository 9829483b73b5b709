#include "pdf/structure/CPDFNameTreeNode.h"

#include <exception>
#include <set>
#include <utility>

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

bool CPDFNameTreeNode::TakePairs(const TakeFn& fn, const CPDFObjRef& self,
                                 std::vector<CPDFObjRef>* nodes) {
    // Nodes still to finish, each with the index of the kid it reads next
    // (counting down); the stack's size is the depth.
    struct Frame {
        CPDFDict* node;
        int nextKid;
    };
    std::vector<Frame> stack;
    std::set<CPDFObjRef> seen;
    if (self.IsSet()) seen.insert(self);
    auto enter = [&](CPDFDict* node) {
        CPDFArray* kids = node->GetAs<CPDFArray>(doc_, detail::kTreeKids);
        if (node->Has(detail::kTreeKids)) {
            stack.push_back({node, kids ? kids->Count() - 1 : -1});
            return true;
        }
        CPDFArray* names = node->GetAs<CPDFArray>(doc_, kNames);
        if (!names) return true;
        if (names->Count() % 2 != 0) names->Erase(names->Count() - 1);
        while (names->Count() >= 2) {
            std::unique_ptr<CPDFAtom> value = names->Erase(names->Count() - 1);
            std::unique_ptr<CPDFAtom> key = names->Erase(names->Count() - 1);
            if (!fn(std::move(key), std::move(value))) return false;
        }
        return true;
    };
    if (!enter(this)) return false;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.nextKid < 0) {
            stack.pop_back();
            continue;
        }
        CPDFArray* kids = top.node->GetAs<CPDFArray>(doc_, detail::kTreeKids);
        const int index = top.nextKid--;
        if (!kids || index >= kids->Count()) continue;
        CPDFObjRef ref;
        auto* kid = dynamic_cast<CPDFDict*>(kids->GetObj(doc_, index, &ref));
        if (!kid || (ref.IsSet() && !seen.insert(ref).second)) continue;
        if (ref.IsSet() && nodes) nodes->push_back(ref);
        if (static_cast<int>(stack.size()) >= limits::kMaxTreeDepth) return false;
        if (!enter(kid)) return false;
    }
    return true;
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
