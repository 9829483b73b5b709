#include "pdf/structure/CPDFNameTreeNode.h"

#include <exception>
#include <set>
#include <utility>

#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFObjHolder.h"
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

bool CPDFNameTreeNode::TakePairs(CPDFObjHolder* doc, CPDFAtom* root, const TakeFn& fn,
                                 std::vector<CPDFObjRef>* nodes) {
    // Nodes whose kids are still to read, each with the index of the next;
    // the stack's size is the depth. A node read from the file is owned here.
    struct Frame {
        CPDFDict* node;
        std::unique_ptr<CPDFDict> owned;
        int nextKid;
    };
    std::vector<Frame> stack;
    std::set<CPDFObjRef> seen;
    // Members arrive one by one: a key waits for its value.
    std::unique_ptr<CPDFAtom> key;
    auto member = [&](std::unique_ptr<CPDFAtom> m) {
        if (!key) {
            key = std::move(m);
            return true;
        }
        return fn(std::move(key), std::move(m));
    };
    auto visit = [&](CPDFAtom* atom) {
        CPDFObjRef ref;
        CPDFDict* node = nullptr;
        std::unique_ptr<CPDFDict> owned;
        if (atom && atom->Kind() == CPDFAtom::RefKind) {
            ref = *static_cast<CPDFObjRef*>(atom);
            if (!seen.insert(ref).second) return true;
            if (doc) {
                bool failed = false;
                owned = doc->StreamDict(ref, kNames, member, &failed);
                key.reset();
                if (failed) return false;
                node = owned.get();
                if (!node) node = dynamic_cast<CPDFDict*>(doc->GetObj(ref));
            }
        } else {
            node = dynamic_cast<CPDFDict*>(AsObject(atom));
        }
        if (!node) return true;
        // Only what looks like a tree node is given as one: a kid that names a
        // page or any typed object by mistake must not be taken for a node.
        if (ref.IsSet() && nodes && atom != root && !node->Has("Type") &&
            (node->Has(kNames) || node->Has(detail::kTreeKids)))
            nodes->push_back(ref);
        // A Names array of a loaded node, or one written apart from its node.
        if (CPDFArray* names = node->GetAs<CPDFArray>(doc, kNames)) {
            std::vector<std::unique_ptr<CPDFAtom>> pairs;
            names->TakeAll(pairs);
            for (size_t i = 0; i + 1 < pairs.size(); i += 2)
                if (!fn(std::move(pairs[i]), std::move(pairs[i + 1]))) return false;
        }
        if (node->Has(detail::kTreeKids)) {
            if (static_cast<int>(stack.size()) >= limits::kMaxTreeDepth) return false;
            stack.push_back({node, std::move(owned), 0});
        }
        return true;
    };
    if (!visit(root)) return false;
    while (!stack.empty()) {
        Frame& top = stack.back();
        CPDFArray* kids = top.node->GetAs<CPDFArray>(doc, detail::kTreeKids);
        if (!kids || top.nextKid >= kids->Count()) {
            stack.pop_back();
            continue;
        }
        if (!visit(kids->GetAt(top.nextKid++))) return false;
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
