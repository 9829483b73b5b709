// A program built on corvina alone: opens a PDF, lists its pages and the
// named destinations of its Dests name tree, adds one destination that opens
// page 1, and saves the result.
//   add-dest IN.pdf OUT.pdf NAME
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/io/Version.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFString.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFNameDict.h"
#include "pdf/structure/CPDFNameTreeNode.h"

using namespace corvina;

namespace {

int Fail(const CPDFException& e) {
    std::fprintf(stderr, "add-dest: %s (%s, %s)\n", e.GetFactor(), e.GetModule(), e.GetMethod());
    return 1;
}

// A key as its bytes: the tree's order.
std::string KeyBytes(const CPDFAtom* key) {
    const auto* s = dynamic_cast<const CPDFString*>(static_cast<const CPDFObject*>(key));
    return s ? std::string(s->Text(), s->Length()) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: add-dest IN.pdf OUT.pdf NAME\n");
        return 2;
    }
    std::printf("corvina %s\n", Version());
    std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    CPDFException error;
    CPDFDoc* doc = lib->Open(argv[1], nullptr, &error);
    if (!doc) return Fail(error);
    auto fail = [&] {
        const CPDFException e = doc->GetLastError();  // a copy: Close ends it
        lib->Close(doc);
        return Fail(e);
    };

    const int pages = doc->GetPageCount();
    if (pages < 1) return fail();
    CPDFObjRef first;
    for (int i = 0; i < pages; ++i) {
        CPDFObjRef ref;
        if (!doc->GetPage(i, &ref)) return fail();
        if (i == 0) first = ref;
        std::printf("page %d: object %d %d\n", i + 1, ref.objNum, ref.genNum);
    }

    // The pairs of the tree, taken out of it in order, then the new one.
    CPDFCatalog* catalog = doc->GetCatalog();
    if (!catalog) return fail();
    CPDFNameDict* names = catalog->Get_Names();
    std::vector<std::pair<std::unique_ptr<CPDFAtom>, std::unique_ptr<CPDFAtom>>> pairs;
    if (CPDFAtom* root = names ? names->Find("Dests") : nullptr) {
        const bool taken = CPDFNameTreeNode::TakePairs(
            doc, root, [&](std::unique_ptr<CPDFAtom> key, std::unique_ptr<CPDFAtom> value) {
                std::printf("dest %s\n", KeyBytes(key.get()).c_str());
                pairs.emplace_back(std::move(key), std::move(value));
                return true;
            });
        if (!taken) return fail();
    }
    auto view = std::make_unique<CPDFArray>();
    view->Push_Back(std::make_unique<CPDFObjRef>(first.objNum, first.genNum));
    view->Push_Back(std::make_unique<CPDFName>("Fit"));
    pairs.emplace_back(std::make_unique<CPDFString>(argv[3]), std::move(view));
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) {
        return KeyBytes(a.first.get()) < KeyBytes(b.first.get());
    });

    // One leaf holds them all; it becomes the tree's root.
    auto leaf = std::make_unique<CPDFArray>();
    for (auto& [key, value] : pairs) {
        leaf->Push_Back(std::move(key));
        leaf->Push_Back(std::move(value));
    }
    auto node = std::make_unique<CPDFNameTreeNode>();
    node->Attach(doc);
    if (!node->Set_Names(std::move(leaf), false)) return fail();
    if (!names) {
        auto dict = std::make_unique<CPDFNameDict>();
        dict->Attach(doc);
        names = dict.get();
        if (!catalog->Set_Names(std::move(dict), true)) return fail();
    }
    if (!names->Set_Dests(std::move(node), true)) return fail();

    if (!doc->Save(argv[2], false, false) || !doc->Flush()) return fail();
    std::printf("added %s: %zu names\n", argv[3], pairs.size());
    lib->Close(doc);
    return 0;
}
