#include "pdf/structure/CPDFNameDict.h"

#include <exception>

#include "pdf/file/CPDFLib.h"
#include "pdf/object/CPDFException.h"
#include "pdf/structure/CPDFNameTreeNode.h"
#include "pdf/structure/CPDFPage.h"
#include "pdf/structure/DestValue.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFAppearDict.h"
#include "pdf/structure/minimal/CPDFJavaScriptAct.h"

namespace corvina {

namespace {

constexpr char kDests[] = "Dests";
constexpr char kPages[] = "Pages";
constexpr char kTemplates[] = "Templates";
constexpr char kURLS[] = "URLS";
constexpr char kIDS[] = "IDS";
constexpr char kJavaScript[] = "JavaScript";
constexpr char kAP[] = "AP";

// Walk functions converting the values (odd positions of Names) of one node.
// The array is fetched again for every pair because a replacement may
// replace the array itself.

// Every value must resolve. The last key of an odd-length array has no value
// and is passed over: one stray key must not make the document unreadable.
bool ConvertDests(CPDFNameTreeNode* node, void* data) {
    CPDFObjHolder* doc = static_cast<CPDFObjHolder*>(data);
    auto names = [node] { return node->Get_Names(); };
    for (int i = 1;; i += 2) {
        CPDFArray* array = names();
        if (!array || i >= array->Count()) return true;
        CPDFObjRef ref;
        CPDFObject* value = array->GetObj(doc, i, &ref);
        if (!value) return false;
        if (!detail::TypeDestValue(doc, names, i, value, ref)) return false;
    }
}

// Plain dictionaries that pass T's recogniser become T.
template <class T>
bool ConvertDicts(CPDFNameTreeNode* node, void* data) {
    CPDFObjHolder* doc = static_cast<CPDFObjHolder*>(data);
    auto names = [node] { return node->Get_Names(); };
    for (int i = 1;; i += 2) {
        CPDFArray* array = names();
        if (!array || i >= array->Count()) return true;
        CPDFObjRef ref;
        CPDFDict* plain = detail::AsPlainDict(array->GetObj(doc, i, &ref));
        if (plain && T::Recognize(doc, plain) && !detail::TypeAt<T>(doc, names, i, plain, ref))
            return false;
    }
}

}  // namespace

CPDFNameDict::CPDFNameDict() : CPDFDocStruct(detail::NameDictType) {}

bool CPDFNameDict::Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) {
    return plain != nullptr;
}

bool CPDFNameDict::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    if (detail::OptionSet(doc_, CPDFLib::LeaveNameTrees)) return true;
    try {
        static const char* const kTrees[] = {kDests, kPages,      kTemplates, kURLS,
                                             kIDS,   kJavaScript, kAP};
        auto self = [this] { return static_cast<CPDFDict*>(this); };
        for (const char* key : kTrees) {
            CPDFObjRef ref;
            if (CPDFDict* node = detail::AsPlainDict(GetObj(doc_, key, &ref)))
                if (!detail::TypeAt<CPDFNameTreeNode>(doc_, self, key, node, ref)) return false;
        }
        // Pages, URLS and IDS keep their values as read.
        static const struct {
            const char* key;
            CPDFNameTreeNode::WalkFn fn;
        } kWalks[] = {{kDests, ConvertDests},
                      {kTemplates, ConvertDicts<CPDFPage>},
                      {kJavaScript, ConvertDicts<CPDFJavaScriptAct>},
                      {kAP, ConvertDicts<CPDFAppearDict>}};
        for (const auto& walk : kWalks) {
            CPDFNameTreeNode* tree = GetAs<CPDFNameTreeNode>(doc_, walk.key);
            if (tree && !tree->Walk(walk.fn, doc_)) return false;
        }
        return true;
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<CPDFObject> CPDFNameDict::Duplicate(CPDFObjHolder* dstDoc,
                                                    CPDFObjHolder* srcDoc) const {
    return detail::DuplicateDict<CPDFNameDict>(*this, dstDoc, srcDoc);
}

#define CORVINA_TREE_ACCESSORS(Key)                                                     \
    CPDFNameTreeNode* CPDFNameDict::Get_##Key(CPDFObjRef* ref) {                        \
        return GetAs<CPDFNameTreeNode>(doc_, k##Key, ref);                              \
    }                                                                                   \
    bool CPDFNameDict::Set_##Key(std::unique_ptr<CPDFNameTreeNode> node, bool indirect, \
                                 CPDFObjRef* ref) {                                     \
        return SetObj(doc_, k##Key, std::move(node), indirect, ref);                    \
    }

CORVINA_TREE_ACCESSORS(Dests)
CORVINA_TREE_ACCESSORS(Pages)
CORVINA_TREE_ACCESSORS(Templates)
CORVINA_TREE_ACCESSORS(URLS)
CORVINA_TREE_ACCESSORS(IDS)
CORVINA_TREE_ACCESSORS(JavaScript)
CORVINA_TREE_ACCESSORS(AP)

#undef CORVINA_TREE_ACCESSORS

}  // namespace corvina
