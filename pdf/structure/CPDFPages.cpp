#include "pdf/structure/CPDFPages.h"

#include <cstdint>
#include <exception>
#include <typeinfo>
#include <vector>

#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/structure/CPDFPage.h"
#include "pdf/structure/PageBoxLoad.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina {

namespace {

constexpr char kType[] = "Type";
constexpr char kPages[] = "Pages";
constexpr char kPage[] = "Page";
constexpr char kKids[] = "Kids";
constexpr char kCount[] = "Count";
constexpr char kParent[] = "Parent";

// Where the wanted position lies among a node's Kids.
struct Hit {
    enum Kind { OutOfRange, Unreadable, Failed, RanOut, Node, Leaf } kind = RanOut;
    int index = -1;
    CPDFObjRef ref;              // the Kids element's reference
    CPDFPages* node = nullptr;   // Node: the typed child ...
    int32_t position = 0;        // ... and the position within it
    CPDFObject* leaf = nullptr;  // Leaf: the page object as resolved
};

CPDFArray* KidsOf(CPDFObjHolder* doc, const CPDFDict& node) {
    return detail::AsArray(detail::Lookup(doc, node, kKids));
}

const CPDFNumber* CountOf(CPDFObjHolder* doc, const CPDFDict& node) {
    const CPDFObject* count = detail::Lookup(doc, node, kCount);
    return count && count->Is(CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real)
               ? static_cast<const CPDFNumber*>(count)
               : nullptr;
}

// A typed Pages kid; the exact class is compared because this runs for every
// inner node before the wanted page.
CPDFPages* AsPages(CPDFObject* kid) {
    return kid && kid->TypeCode() == CPDFObject::Dictionary && typeid(*kid) == typeid(CPDFPages)
               ? static_cast<CPDFPages*>(static_cast<CPDFDict*>(kid))
               : nullptr;
}

// Types the plain Pages kid at index and gives the typed node.
CPDFPages* TypeNode(CPDFObjHolder* doc, CPDFPages& parent, int index, CPDFObject* kid,
                    const CPDFObjRef& ref) {
    CPDFDict* plain = detail::AsDict(kid);
    if (!plain || !CPDFPages::Recognize(doc, plain)) return nullptr;
    auto kids = [doc, &parent] { return KidsOf(doc, parent); };
    if (!detail::TypeAt<CPDFPages>(doc, kids, index, plain, ref)) return nullptr;
    return AsPages(detail::ValueAt(doc, kids(), index, ref));
}

// The Kids walk shared by GetPage and DeletePage. Pages are counted depth
// first; a Pages kid's Count is trusted to skip its subtree, so the cost is one
// pass over this node's Kids. Kids are read in place, each element's Type
// straight from its own dictionary.
Hit Locate(CPDFPages& node, int32_t position) {
    Hit hit;
    CPDFObjHolder* doc = node.GetDoc();
    CPDFArray* kids = KidsOf(doc, node);
    const int64_t count = node.PageCount();
    if (!kids || count < 0 || position < 0 || position > count - 1) {
        hit.kind = Hit::OutOfRange;
        return hit;
    }
    int64_t seen = 0;
    int start = 0;
    CPDFPages::Cursor& cursor = node.WalkCursor();
    if (cursor.kids == kids && cursor.count == kids->Count() && cursor.position <= position) {
        start = cursor.index;
        seen = cursor.seen;
    }
    // Remembers the element a hit was found at and the pages before it.
    auto remember = [&](int index, int64_t before) {
        cursor = {kids, kids->Count(), index, before, position};
    };
    for (int i = start; i < kids->Count(); ++i) {
        CPDFAtom* atom = kids->GetAt(i);
        const bool indirect = atom && atom->Kind() == CPDFAtom::RefKind;
        CPDFObjRef ref;
        CPDFObject* kid;
        if (indirect) {
            ref = *static_cast<CPDFObjRef*>(atom);
            kid = doc && ref.IsSet() ? doc->GetObj(ref) : nullptr;
        } else {
            kid = AsObject(atom);
        }
        if (!kid) {
            // An unreadable element stands for one page.
            if (position == seen) {
                hit.kind = Hit::Unreadable;
                hit.ref = ref;
                return hit;
            }
            ++seen;
            continue;
        }
        hit.kind = Hit::Failed;
        if (!indirect) return hit;
        CPDFDict* entries = detail::AsEntries(kid);
        const CPDFObject* type = entries ? entries->FindDirect(kType) : nullptr;
        // A typed node is one whatever its Type says (inner nodes may have none).
        const bool inner = AsPages(kid) != nullptr;
        if (!inner && (!type || type->TypeCode() != CPDFObject::Name)) return hit;
        const CPDFName* name = inner ? nullptr : static_cast<const CPDFName*>(type);
        if (inner || name->Equals(kPages)) {
            CPDFPages* child;
            if (kid->IsParsed()) {
                child = TypeNode(doc, node, i, kid, ref);
                // Fetched again: typing the kid may have replaced the array.
                kids = KidsOf(doc, node);
                if (!kids) return hit;
            } else {
                child = AsPages(kid);
            }
            const int64_t childCount = child ? child->PageCount() : -1;
            if (childCount < 0) return hit;
            if (position < seen + childCount) {
                remember(i, seen);
                hit.kind = Hit::Node;
                hit.index = i;
                hit.ref = ref;
                hit.node = child;
                hit.position = static_cast<int32_t>(position - seen);
                return hit;
            }
            seen += childCount;
        } else if (name->Equals(kPage)) {
            if (position == seen) {
                // The next walk starts past this leaf: visiting it again
                // would read a page that was written and dropped meanwhile.
                if (position < INT32_MAX)
                    cursor = {kids, kids->Count(), i + 1, seen + 1, position + 1};
                hit.kind = Hit::Leaf;
                hit.index = i;
                hit.ref = ref;
                hit.leaf = kid;
                return hit;
            }
            ++seen;
        } else {
            return hit;
        }
    }
    hit.kind = Hit::RanOut;
    return hit;
}

CPDFPage* FindPage(CPDFPages& node, int32_t position, CPDFObjRef* ref, int depth) {
    // A Kids cycle recurses with the same position until this limit.
    if (depth >= limits::kMaxTreeDepth) return nullptr;
    const Hit hit = Locate(node, position);
    if (hit.kind == Hit::Node) return FindPage(*hit.node, hit.position, ref, depth + 1);
    if (hit.kind == Hit::Unreadable && ref) *ref = hit.ref;
    if (hit.kind != Hit::Leaf) return nullptr;
    CPDFObject* leaf = hit.leaf;
    if (leaf->IsParsed()) {
        CPDFObjHolder* doc = node.GetDoc();
        CPDFDict* plain = detail::AsDict(leaf);
        if (!plain || !CPDFPage::Recognize(doc, plain)) return nullptr;
        auto kids = [doc, &node] { return KidsOf(doc, node); };
        if (!detail::TypeAt<CPDFPage>(doc, kids, hit.index, plain, hit.ref)) return nullptr;
        leaf = detail::ValueAt(doc, kids(), hit.index, hit.ref);
    }
    CPDFPage* page = dynamic_cast<CPDFPage*>(leaf);
    if (page && ref) *ref = hit.ref;
    return page;
}

bool OnPath(const std::vector<CPDFPages*>& path, const CPDFPages* node) {
    for (const CPDFPages* p : path)
        if (p == node) return true;
    return false;
}

// Removes Kids element index when it still is the reference the walk found
// there (a Kids array shared with a descendant may have shifted meanwhile).
bool RemoveKid(CPDFPages& node, int index, const CPDFObjRef& ref) {
    CPDFArray* kids = node.Get_Kids();
    if (!kids) return false;
    const CPDFAtom* atom = kids->GetAt(index);
    if (!atom || atom->Kind() != CPDFAtom::RefKind ||
        !(*static_cast<const CPDFObjRef*>(atom) == ref))
        return false;
    kids->Erase(index);
    return true;
}

bool DeleteIn(CPDFPages& node, int32_t position, const CPDFObjRef& nodeRef,
              std::vector<CPDFPages*>& path) {
    if (static_cast<int>(path.size()) >= limits::kMaxTreeDepth) return false;
    CPDFObjHolder* doc = node.GetDoc();
    const Hit hit = Locate(node, position);
    switch (hit.kind) {
        case Hit::RanOut:
            return true;
        case Hit::Node: {
            // Removing an ancestor would pull the node being worked on from
            // under this walk: a cycle fails instead.
            if (hit.node == &node || OnPath(path, hit.node)) return false;
            path.push_back(&node);
            DeleteIn(*hit.node, hit.position, hit.ref, path);
            path.pop_back();
            if (hit.node->PageCount() == 0) {
                if (!doc || !doc->UpdateObj(nodeRef)) return false;
                if (!RemoveKid(node, hit.index, hit.ref)) return false;
                doc->RemoveObj(hit.ref);
            }
            break;
        }
        case Hit::Leaf:
            if (!doc || !doc->UpdateObj(nodeRef)) return false;
            if (!RemoveKid(node, hit.index, hit.ref)) return false;
            doc->RemoveObj(hit.ref);
            break;
        default:
            return false;
    }
    const CPDFNumber* count = node.Get_Count();
    const int64_t leaves = node.Leaves();
    if (count && !node.Set_Count(std::make_unique<CPDFInt>(count->IntValue() - 1), false))
        return false;
    if (leaves > 0) node.SetLeaves(leaves - 1);
    return count || leaves > 0;
}

}  // namespace

CPDFPages::CPDFPages() : CPDFDocStruct(detail::PagesType) {
    SetDuplicable(false);
    SetReleasable(false);
    SetLinearizable(false);
}

bool CPDFPages::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    if (!plain) return false;
    const CPDFObject* type = plain->GetObj(doc, kType);
    const CPDFObject* count = plain->GetObj(doc, kCount);
    return (!type || IsNameEqual(type, kPages)) &&
           detail::IsType(plain->GetObj(doc, kKids), CPDFObject::Array) &&
           (!count || detail::IsType(count, CPDFObject::Number));
}

int64_t CPDFPages::PageCount() {
    if (leaves_ >= 0) return leaves_;
    const CPDFNumber* count = CountOf(doc_, *this);
    return count ? count->IntValue() : -1;
}

bool CPDFPages::Create(CPDFObjHolder* doc, const CPDFObjRef& parent) {
    SetDoc(doc);
    if (!Insert(kType, std::make_unique<CPDFName>(kPages))) return false;
    if (parent.IsSet() && !Set_Parent(parent)) return false;
    return Set_Kids(std::make_unique<CPDFArray>(), false) &&
           Set_Count(std::make_unique<CPDFInt>(0), false);
}

bool CPDFPages::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    try {
        auto self = [this] { return static_cast<CPDFDict*>(this); };
        CPDFObjRef ref;
        CPDFObject* count = GetObj(doc_, kCount, &ref);
        if (CPDFNumber* number = detail::AsPlainNumber(count))
            if (!detail::TypeAt<CPDFInt>(doc_, self, kCount, number, ref)) return false;
        return detail::LoadPageBoxes(doc_, *this);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

CPDFPage* CPDFPages::GetPage(int32_t position, CPDFObjRef* ref) {
    if (ref) ref->Reset();
    try {
        return FindPage(*this, position, ref, 0);
    } catch (const CPDFException&) {
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool CPDFPages::DeletePage(int32_t position, const CPDFObjRef& nodeRef) {
    try {
        std::vector<CPDFPages*> path;
        return DeleteIn(*this, position, nodeRef, path);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

CPDFArray* CPDFPages::Get_Kids(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, kKids, ref);
}

bool CPDFPages::Set_Kids(std::unique_ptr<CPDFArray> kids, bool indirect, CPDFObjRef* ref) {
    cursor_ = Cursor();
    leaves_ = -1;
    return SetObj(doc_, kKids, std::move(kids), indirect, ref);
}

CPDFNumber* CPDFPages::Get_Count(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kCount, ref);
}

bool CPDFPages::Set_Count(std::unique_ptr<CPDFInt> count, bool indirect, CPDFObjRef* ref) {
    // A count set by a caller stands until the leaves are counted again.
    leaves_ = -1;
    return SetObj(doc_, kCount, std::move(count), indirect, ref);
}

CPDFPages* CPDFPages::Get_Parent(CPDFObjRef* ref) {
    return GetAs<CPDFPages>(doc_, kParent, ref);
}

bool CPDFPages::Set_Parent(const CPDFObjRef& parent) {
    return Insert(kParent, std::make_unique<CPDFObjRef>(parent));
}

}  // namespace corvina
