#include "pdf/structure/CPDFDocTyping.h"

#include <climits>

#include "pdf/file/CPDFDoc.h"
#include "pdf/object/CPDFText.h"
#include "pdf/object/Factors.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFDate.h"
#include "pdf/structure/CPDFInfoDict.h"
#include "pdf/structure/CPDFPage.h"
#include "pdf/structure/CPDFPages.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina {

namespace {

[[noreturn]] void Raise(const char* method, int type, const char* factor) {
    throw CPDFException("CPDFDoc", method, type, factor);
}

// The page tree root through the working trailer and the catalog; each
// missing link is an internal error of the calling method.
CPDFPages* PageTree(CPDFDoc& doc, const char* method, CPDFObjRef* rootRef = nullptr) {
    const int internal = CPDFException::InternalError;
    CPDFTrailer* trailer = doc.GetTrailer();
    if (!trailer) Raise(method, internal, factor::kCallDocGetTrailer);
    CPDFCatalog* catalog = trailer->Get_Root();
    if (!catalog) Raise(method, internal, "CPDFTrailer::Get_Root()");
    CPDFPages* pages = catalog->Get_Pages(rootRef);
    if (!pages || (rootRef && !rootRef->IsSet()))
        Raise(method, internal, "CPDFCatalog::Get_Pages()");
    return pages;
}

}  // namespace

CPDFDocStructure& DocStructure() {
    static CPDFDocTyping typing;
    return typing;
}

void CPDFDocTyping::TypeRootObjects(CPDFDoc& doc) {
    CPDFTrailer* trailer = doc.GetTrailer();
    CPDFObjRef rootRef;
    CPDFObject* root = trailer->Get_RootObj(&rootRef);
    if (!root) {
        // Why the catalog did not load (a damaged object) is the reason.
        if (!doc.GetLastError().IsEmpty()) throw CPDFException(doc.GetLastError());
        Raise("Open", CPDFException::InternalError, "CPDFTrailer::Get_RootObj()");
    }
    if (doc.IsFDF()) return;

    if (root->IsParsed()) {
        auto* plain = dynamic_cast<CPDFDict*>(root);
        // Every user of the catalog expects the typed form: a Root that is not a
        // catalog is refused here, with a reason, rather than later without one.
        // Readers take the trailer's Root whatever its Type says (misspelt or
        // missing in real files) as long as it leads to the pages.
        if (!plain ||
            (!CPDFCatalog::Recognize(&doc, plain) && !detail::AsDict(plain->GetObj(&doc, "Pages"))))
            Raise("Open", CPDFException::InvalidFormat, "typecheck: Catalog");
        auto catalog = std::make_unique<CPDFCatalog>();
        if (!catalog->Load(&doc, plain)) {
            if (!catalog->LoadProblem().empty())
                Raise("Open", CPDFException::InvalidFormat, catalog->LoadProblem().c_str());
            Raise("Open", CPDFException::InternalError, "CPDFCatalog::Load()");
        }
        if (!trailer->Dict().ReplaceObj(&doc, "Root", std::move(catalog), rootRef))
            Raise("Open", CPDFException::InternalError, "CPDFTrailer::Set_Root()");
    }

    CPDFObjRef infoRef;
    CPDFObject* info = trailer->Get_InfoObj(&infoRef);
    if (info && info->IsParsed()) {
        if (auto* plain = dynamic_cast<CPDFDict*>(info)) {
            auto typed = std::make_unique<CPDFInfoDict>();
            if (!typed->Load(&doc, plain))
                Raise("Open", CPDFException::InternalError, "CPDFInfoDict::Load()");
            if (!trailer->Dict().ReplaceObj(&doc, "Info", std::move(typed), infoRef))
                Raise("Open", CPDFException::InternalError, "CPDFTrailer::Set_Info()");
        }
    }
}

CPDFCatalog* CPDFDocTyping::AsCatalog(CPDFObject* obj) const {
    return dynamic_cast<CPDFCatalog*>(obj);
}

CPDFInfoDict* CPDFDocTyping::AsInfoDict(CPDFObject* obj) const {
    return dynamic_cast<CPDFInfoDict*>(obj);
}

std::unique_ptr<CPDFObject> CPDFDocTyping::NewCatalog(CPDFObjHolder* doc) const {
    auto catalog = std::make_unique<CPDFCatalog>();
    if (!catalog->Create(doc)) return nullptr;
    return catalog;
}

CPDFPage* CPDFDocTyping::GetPage(CPDFDoc& doc, int32_t index, CPDFObjRef* ref) {
    const int internal = CPDFException::InternalError;
    if (doc.IsFDF()) Raise("GetPage", internal, factor::kNoPageForFdf);
    CPDFPage* page = PageTree(doc, "GetPage")->GetPage(index, ref);
    if (!page) Raise("GetPage", internal, "CPDFPages::GetPage()");
    return page;
}

int32_t CPDFDocTyping::GetPageCount(CPDFDoc& doc) {
    if (doc.IsFDF()) Raise("GetPageCount", CPDFException::UserError, factor::kNoPageForFdfUser);
    // The leaves counted at open, else Count. A negative count is no count:
    // the result would read as "none".
    const int64_t count = PageTree(doc, "GetPageCount")->PageCount();
    if (count < 0 || count > INT32_MAX)
        Raise("GetPageCount", CPDFException::InternalError, factor::kCallPagesGetCount);
    return static_cast<int32_t>(count);
}

void CPDFDocTyping::DeletePage(CPDFDoc& doc, int32_t position, int32_t count) {
    const int user = CPDFException::UserError;
    const int internal = CPDFException::InternalError;
    if (doc.IsFDF()) Raise("DeletePage", user, factor::kNoPageForFdfUser);
    CPDFObjRef rootRef;
    CPDFPages* pages = PageTree(doc, "DeletePage", &rootRef);
    const int64_t total = pages->PageCount();
    if (total < 0 || total > INT32_MAX) Raise("DeletePage", internal, factor::kCallPagesGetCount);
    const auto pageCount = static_cast<int32_t>(total);
    if (position < 0 || position > pageCount - 1)
        Raise("DeletePage", user, factor::kPageOutOfRange);
    if (count == -1) count = pageCount - position;
    if (count < 0 || static_cast<int64_t>(position) + count > pageCount)
        Raise("DeletePage", user, factor::kPageOutOfRange);
    for (int32_t i = 0; i < count; ++i)
        if (!pages->DeletePage(position, rootRef))
            Raise("DeletePage", internal, "CPDFPages::DeletePage()");
}

bool CPDFDocTyping::StampInfo(CPDFDoc& doc) {
    CPDFTrailer* trailer = doc.GetTrailer();
    if (!trailer) Raise("SetDocInfo", CPDFException::InternalError, factor::kCallDocGetTrailer);
    CPDFObjRef ref;
    CPDFObject* found = trailer->Get_InfoObj(&ref);
    auto* info = dynamic_cast<CPDFInfoDict*>(found);
    if (!info) {
        // None, or something that is not an information dictionary: a new
        // one takes its place.
        auto fresh = std::make_unique<CPDFInfoDict>();
        fresh->SetDoc(&doc);
        info = fresh.get();
        CPDFObjRef newRef;
        if (!trailer->Set_Info(std::move(fresh), true, &newRef)) return false;
    } else if (ref.IsSet() && !doc.UpdateObj(ref)) {
        Raise("SetDocInfo", CPDFException::InternalError, "CPDFDoc::UpdateObj()");
    }
    auto date = std::make_unique<CPDFDate>();
    date->SetTime(doc.Now(), false);
    const bool dated = info->Has("CreationDate") ? info->Set_ModDate(std::move(date), false)
                                                 : info->Set_CreationDate(std::move(date), false);
    if (!dated) return false;
    return info->Set_Producer(std::make_unique<CPDFText>("corvina"), false);
}

}  // namespace corvina
