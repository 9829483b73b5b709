#pragma once

#include <memory>
#include <type_traits>

#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFText.h"
#include "pdf/structure/TypedLoad.h"

// What name tree and number tree nodes share: the typed load, the one-level
// walk and the copy. Node is CPDFNameTreeNode (pairs under Names, keys typed as
// CPDFText) or CPDFNumTreeNode (pairs under Nums, keys typed as CPDFInt).
namespace corvina::detail {

constexpr char kTreeKids[] = "Kids";

template <class Node, class Key>
bool LoadTreeNode(Node& node, CPDFObjHolder* doc, CPDFDict* plain, const char* pairsKey,
                  int depth) {
    if (depth >= limits::kMaxTreeDepth) return false;
    node.SetDoc(doc);
    node.Swap(*plain);
    // Every kid at every depth becomes a node. The arrays are fetched again for
    // each element because a replacement may replace the array itself.
    for (int i = 0;; ++i) {
        CPDFArray* kids = node.template GetAs<CPDFArray>(doc, kTreeKids);
        if (!kids || i >= kids->Count()) break;
        CPDFObjRef ref;
        // A kid that leads nowhere holds no entries; the rest of the tree
        // stays readable.
        CPDFDict* plainKid = AsPlainDict(kids->GetObj(doc, i, &ref));
        if (!plainKid) continue;
        auto child = std::make_unique<Node>();
        if (!LoadTreeNode<Node, Key>(*child, doc, plainKid, pairsKey, depth + 1)) return false;
        if (!StoreAt(doc, node.template GetAs<CPDFArray>(doc, kTreeKids), i, std::move(child), ref))
            return false;
    }
    auto pairs = [&node, doc, pairsKey] { return node.template GetAs<CPDFArray>(doc, pairsKey); };
    for (int i = 0;; i += 2) {
        CPDFArray* array = pairs();
        if (!array || i >= array->Count()) break;
        CPDFObjRef ref;
        CPDFObject* key = array->GetObj(doc, i, &ref);
        if (!key) return false;
        if constexpr (std::is_same_v<Key, CPDFText>) {
            if (CPDFString* text = AsPlainString(key))
                if (!TypeAt<CPDFText>(doc, pairs, i, text, ref)) return false;
        } else {
            if (CPDFNumber* number = AsPlainNumber(key))
                if (!TypeAt<CPDFInt>(doc, pairs, i, number, ref)) return false;
        }
    }
    return true;
}

// fn on the node, then on each immediate kid; deeper levels are not visited.
template <class Node, class Fn>
bool WalkTreeNode(Node& node, Fn fn, void* data) {
    if (!fn(&node, data)) return false;
    for (int i = 0;; ++i) {
        CPDFArray* kids = node.Get_Kids();
        if (!kids || i >= kids->Count()) return true;
        Node* kid = dynamic_cast<Node*>(kids->GetObj(node.GetDoc(), i));
        if (kid && !fn(kid, data)) return false;
    }
}

}  // namespace corvina::detail
