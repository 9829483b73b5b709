#include "pdf/structure/CPDFCatalog.h"

#include <exception>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFName.h"
#include "pdf/structure/CPDFDestination.h"
#include "pdf/structure/CPDFNameDict.h"
#include "pdf/structure/CPDFNumTreeNode.h"
#include "pdf/structure/CPDFPageLabelDict.h"
#include "pdf/structure/CPDFPages.h"
#include "pdf/structure/CPDFViewPref.h"
#include "pdf/structure/DestValue.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFAcroFormDict.h"
#include "pdf/structure/minimal/CPDFAction.h"
#include "pdf/structure/minimal/CPDFOutlines.h"
#include "pdf/structure/minimal/CPDFThread.h"
#include "pdf/structure/minimal/CPDFURIDict.h"

namespace corvina {

namespace {

constexpr char kType[] = "Type";
constexpr char kCatalog[] = "Catalog";
constexpr char kPages[] = "Pages";
constexpr char kDests[] = "Dests";
constexpr char kOutlines[] = "Outlines";
constexpr char kThreads[] = "Threads";
constexpr char kAcroForm[] = "AcroForm";
constexpr char kNames[] = "Names";
constexpr char kOpenAction[] = "OpenAction";
constexpr char kURI[] = "URI";
constexpr char kViewerPreferences[] = "ViewerPreferences";
constexpr char kPageLabels[] = "PageLabels";

// The pages below a node whose inner kids are counted already: each kid
// that is no typed node (a page, or what cannot be read) is one page, as the
// page lookup takes it.
int64_t CountLeaves(CPDFObjHolder* doc, CPDFDoc* document, CPDFPages* node) {
    CPDFArray* kids = node->Get_Kids();
    if (!kids) return 0;
    int64_t leaves = 0;
    for (int i = 0; i < kids->Count(); ++i) {
        const CPDFAtom* atom = kids->GetAt(i);
        CPDFObject* obj = nullptr;
        if (atom && atom->Kind() == CPDFAtom::RefKind) {
            // What a document has not loaded is no typed node; other holders
            // keep everything loaded.
            const auto& ref = *static_cast<const CPDFObjRef*>(atom);
            obj = document ? document->FindObj(ref, false) : doc ? doc->GetObj(ref) : nullptr;
        } else {
            obj = AsObject(const_cast<CPDFAtom*>(atom));
        }
        const auto* child = dynamic_cast<CPDFPages*>(obj);
        leaves += child && child->Leaves() >= 0 ? child->Leaves() : 1;
    }
    return leaves;
}

// Types the inner nodes of the page tree, depth first with an explicit stack:
// first every Kids element of a node that passes the node test, then each
// typed kid in turn. A node met again on the current path (a cycle) or a path
// deeper than the limit fails; a subtree reached twice is walked once.
bool TypePageTree(CPDFObjHolder* doc, CPDFPages* root, std::string& why) {
    // Without a document every kid counts as not loaded before and stays loaded.
    CPDFDoc* document = detail::DocumentOf(doc);
    struct Frame {
        CPDFPages* node;
        int next;
    };
    std::vector<Frame> stack;
    std::unordered_set<const CPDFPages*> done;
    auto enter = [&](CPDFPages* node) {
        auto kids = [node] { return node->Get_Kids(); };
        for (int i = 0;; ++i) {
            CPDFArray* array = kids();
            if (!array || i >= array->Count()) break;
            CPDFObjRef ref;
            const CPDFAtom* atom = array->GetAt(i);
            const bool wasLoaded =
                !atom || atom->Kind() != CPDFAtom::RefKind ||
                (document && document->FindObj(*static_cast<const CPDFObjRef*>(atom), false));
            if (!wasLoaded && document) {
                // A leaf whose words say it is no Pages node, and that the
                // reader would take as it stands, is not built just to see so.
                const std::optional<std::string> type =
                    document->PeekType(*static_cast<const CPDFObjRef*>(atom));
                // Inner nodes without Type exist; only a Type names a leaf.
                if (type && !type->empty() && *type != kPages) continue;
            }
            CPDFObject* kid = array->GetObj(doc, i, &ref);
            if (!kid) return false;
            CPDFDict* plain = detail::AsPlainDict(kid);
            if (plain && CPDFPages::Recognize(doc, plain)) {
                if (!detail::TypeAt<CPDFPages>(doc, kids, i, plain, ref)) return false;
            } else if (!wasLoaded && plain && document) {
                // A leaf read only to learn that it is no node: reading every
                // page at open must not keep every page in memory.
                document->UnloadObj(ref);
            }
        }
        stack.push_back({node, 0});
        return true;
    };
    if (!enter(root)) return false;
    while (!stack.empty()) {
        Frame& top = stack.back();
        CPDFArray* kids = top.node->Get_Kids();
        CPDFPages* child = nullptr;
        CPDFObjRef childRef;
        while (!child && kids && top.next < kids->Count()) {
            // Typed nodes are loaded; what is not loaded is a leaf.
            const CPDFAtom* atom = kids->GetAt(top.next++);
            CPDFObject* obj = nullptr;
            if (atom && atom->Kind() == CPDFAtom::RefKind) {
                childRef = *static_cast<const CPDFObjRef*>(atom);
                if (document) obj = document->FindObj(*static_cast<const CPDFObjRef*>(atom), false);
            } else {
                obj = AsObject(const_cast<CPDFAtom*>(atom));
            }
            child = dynamic_cast<CPDFPages*>(obj);
        }
        if (!child) {
            done.insert(top.node);
            top.node->SetLeaves(CountLeaves(doc, document, top.node));
            stack.pop_back();
            continue;
        }
        if (done.count(child)) continue;
        for (const Frame& frame : stack) {
            if (frame.node == child) {
                why = FormatFactor("page tree loops at object %ld %ld",
                                   static_cast<long>(childRef.objNum),
                                   static_cast<long>(childRef.genNum));
                return false;
            }
        }
        if (static_cast<int>(stack.size()) >= limits::kMaxTreeDepth) {
            why = FormatFactor("page tree deeper than %d levels", limits::kMaxTreeDepth);
            return false;
        }
        if (!enter(child)) return false;
    }
    return true;
}

// Page labels: the values of Nums (odd positions) in the visited node.
bool ConvertPageLabels(CPDFNumTreeNode* node, void* data) {
    CPDFObjHolder* doc = static_cast<CPDFObjHolder*>(data);
    auto nums = [node] { return node->Get_Nums(); };
    for (int i = 1;; i += 2) {
        CPDFArray* array = nums();
        if (!array || i >= array->Count()) return true;
        CPDFObjRef ref;
        CPDFDict* plain = detail::AsPlainDict(array->GetObj(doc, i, &ref));
        if (plain && CPDFPageLabelDict::Recognize(doc, plain) &&
            !detail::TypeAt<CPDFPageLabelDict>(doc, nums, i, plain, ref))
            return false;
    }
}

// Steps 2 on of the typed load, on the entries already taken over.
bool LoadEntries(CPDFCatalog& cat) {
    CPDFObjHolder* doc = cat.GetDoc();
    auto self = [&cat] { return static_cast<CPDFDict*>(&cat); };
    CPDFObjRef ref;

    CPDFObject* pages = cat.GetObj(doc, kPages, &ref);
    if (!pages) return false;
    if (pages->IsParsed()) {
        CPDFDict* plain = detail::AsDict(pages);
        if (!plain || !CPDFPages::Recognize(doc, plain)) return false;
        if (!detail::TypeAt<CPDFPages>(doc, self, kPages, plain, ref)) return false;
    }
    CPDFPages* root = cat.Get_Pages();
    std::string why;
    if (!root || !TypePageTree(doc, root, why)) {
        cat.SetLoadProblem(std::move(why));
        return false;
    }

    if (detail::OptionSet(doc, CPDFLib::LoadPageTreeOnly)) return true;

    if (CPDFDict* dests = detail::AsDict(cat.Get_Dests())) {
        // By key, each time from a fresh lookup of Dests: a replacement may
        // replace the dictionary itself.
        std::vector<std::string> keys;
        for (CPDFDict::Node* n = dests->First(); n; n = CPDFDict::Next(n))
            keys.emplace_back(n->key.Text());
        auto holder = [&cat] { return detail::AsDict(cat.Get_Dests()); };
        for (const std::string& key : keys) {
            CPDFDict* current = holder();
            CPDFObject* value = current ? current->GetObj(doc, key.c_str(), &ref) : nullptr;
            // A reference to nothing is the null object: no destination.
            if (!value) continue;
            if (!detail::TypeDestValue(doc, holder, key.c_str(), value, ref)) return false;
        }
    }

    if (CPDFDict* outlines = detail::AsPlainDict(cat.GetObj(doc, kOutlines, &ref)))
        if (CPDFOutlines::Recognize(doc, outlines) &&
            !detail::TypeAt<CPDFOutlines>(doc, self, kOutlines, outlines, ref))
            return false;

    auto threads = [&cat] { return cat.Get_Threads(); };
    for (int i = 0;; ++i) {
        CPDFArray* array = threads();
        if (!array || i >= array->Count()) break;
        CPDFDict* thread = detail::AsPlainDict(array->GetObj(doc, i, &ref));
        if (thread && CPDFThread::Recognize(doc, thread) &&
            !detail::TypeAt<CPDFThread>(doc, threads, i, thread, ref))
            return false;
    }

    if (CPDFDict* form = detail::AsPlainDict(cat.GetObj(doc, kAcroForm, &ref)))
        if (CPDFAcroFormDict::Recognize(doc, form) &&
            !detail::TypeAt<CPDFAcroFormDict>(doc, self, kAcroForm, form, ref))
            return false;

    if (CPDFDict* names = detail::AsPlainDict(cat.GetObj(doc, kNames, &ref)))
        if (!detail::TypeAt<CPDFNameDict>(doc, self, kNames, names, ref)) return false;

    CPDFObject* open = cat.GetObj(doc, kOpenAction, &ref);
    if (CPDFArray* dest = detail::AsPlainArray(open)) {
        if (CPDFDestination::Recognize(doc, dest) &&
            !detail::TypeAt<CPDFDestination>(doc, self, kOpenAction, dest, ref))
            return false;
    } else if (CPDFDict* action = detail::AsPlainDict(open)) {
        std::unique_ptr<CPDFAction> typed = CPDFAction::Create(doc, action);
        if (typed && !detail::StoreAt(doc, &cat, kOpenAction, std::move(typed), ref)) return false;
    }

    if (CPDFDict* uri = detail::AsPlainDict(cat.GetObj(doc, kURI, &ref)))
        if (CPDFURIDict::Recognize(doc, uri) &&
            !detail::TypeAt<CPDFURIDict>(doc, self, kURI, uri, ref))
            return false;

    if (CPDFDict* pref = detail::AsPlainDict(cat.GetObj(doc, kViewerPreferences, &ref)))
        if (!detail::TypeAt<CPDFViewPref>(doc, self, kViewerPreferences, pref, ref)) return false;

    if (CPDFDict* labels = detail::AsPlainDict(cat.GetObj(doc, kPageLabels, &ref)))
        if (!detail::TypeAt<CPDFNumTreeNode>(doc, self, kPageLabels, labels, ref)) return false;
    if (CPDFNumTreeNode* labels = cat.Get_PageLabels())
        if (!labels->Walk(ConvertPageLabels, doc)) return false;
    return true;
}

}  // namespace

CPDFCatalog::CPDFCatalog() : CPDFDocStruct(detail::CatalogType) {
    SetDuplicable(false);
    SetReleasable(false);
    SetLinearizable(false);
}

bool CPDFCatalog::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    return plain && IsNameEqual(plain->GetObj(doc, kType), kCatalog) &&
           detail::AsDict(plain->GetObj(doc, kPages));
}

bool CPDFCatalog::Create(CPDFObjHolder* doc) {
    SetDoc(doc);
    if (!Insert(kType, std::make_unique<CPDFName>(kCatalog))) return false;
    auto root = std::make_unique<CPDFPages>();
    if (!root->Create(doc, CPDFObjRef())) return false;
    return Set_Pages(std::move(root), true);
}

bool CPDFCatalog::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    try {
        return LoadEntries(*this);
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

CPDFPages* CPDFCatalog::Get_Pages(CPDFObjRef* ref) {
    return GetAs<CPDFPages>(doc_, kPages, ref);
}

bool CPDFCatalog::Set_Pages(std::unique_ptr<CPDFPages> pages, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kPages, std::move(pages), indirect, ref);
}

CPDFObject* CPDFCatalog::Get_Dests(CPDFObjRef* ref) {
    return GetObj(doc_, kDests, ref);
}

CPDFObject* CPDFCatalog::Get_Outlines(CPDFObjRef* ref) {
    return GetObj(doc_, kOutlines, ref);
}

bool CPDFCatalog::Set_Outlines(std::unique_ptr<CPDFObject> outlines, bool indirect,
                               CPDFObjRef* ref) {
    return SetObj(doc_, kOutlines, std::move(outlines), indirect, ref);
}

CPDFArray* CPDFCatalog::Get_Threads(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, kThreads, ref);
}

CPDFAcroFormDict* CPDFCatalog::Get_AcroForm(CPDFObjRef* ref) {
    return GetAs<CPDFAcroFormDict>(doc_, kAcroForm, ref);
}

bool CPDFCatalog::Set_AcroForm(std::unique_ptr<CPDFAcroFormDict> form, bool indirect,
                               CPDFObjRef* ref) {
    return SetObj(doc_, kAcroForm, std::move(form), indirect, ref);
}

CPDFNameDict* CPDFCatalog::Get_Names(CPDFObjRef* ref) {
    return GetAs<CPDFNameDict>(doc_, kNames, ref);
}

bool CPDFCatalog::Set_Names(std::unique_ptr<CPDFNameDict> names, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kNames, std::move(names), indirect, ref);
}

CPDFObject* CPDFCatalog::Get_OpenAction(CPDFObjRef* ref) {
    return GetObj(doc_, kOpenAction, ref);
}

bool CPDFCatalog::Set_OpenAction(std::unique_ptr<CPDFObject> action, bool indirect,
                                 CPDFObjRef* ref) {
    return SetObj(doc_, kOpenAction, std::move(action), indirect, ref);
}

CPDFURIDict* CPDFCatalog::Get_URI(CPDFObjRef* ref) {
    return GetAs<CPDFURIDict>(doc_, kURI, ref);
}

bool CPDFCatalog::Set_URI(std::unique_ptr<CPDFURIDict> uri, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kURI, std::move(uri), indirect, ref);
}

CPDFViewPref* CPDFCatalog::Get_ViewerPreferences(CPDFObjRef* ref) {
    return GetAs<CPDFViewPref>(doc_, kViewerPreferences, ref);
}

bool CPDFCatalog::Set_ViewerPreferences(std::unique_ptr<CPDFViewPref> pref, bool indirect,
                                        CPDFObjRef* ref) {
    return SetObj(doc_, kViewerPreferences, std::move(pref), indirect, ref);
}

CPDFNumTreeNode* CPDFCatalog::Get_PageLabels(CPDFObjRef* ref) {
    return GetAs<CPDFNumTreeNode>(doc_, kPageLabels, ref);
}

bool CPDFCatalog::Set_PageLabels(std::unique_ptr<CPDFNumTreeNode> labels, bool indirect,
                                 CPDFObjRef* ref) {
    return SetObj(doc_, kPageLabels, std::move(labels), indirect, ref);
}

}  // namespace corvina
