#include "pdf/structure/CPDFNameTreeNode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/file/CPDFLib.h"
#include "pdf/io/Limits.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFText.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFDestination.h"
#include "pdf/structure/CPDFLinkPoint.h"
#include "pdf/structure/CPDFNameDict.h"
#include "pdf/structure/CPDFNumTreeNode.h"
#include "pdf/structure/CPDFPage.h"
#include "pdf/structure/minimal/CPDFAppearDict.h"
#include "pdf/structure/minimal/CPDFJavaScriptAct.h"
#include "tests/pdf/structure/StructTestUtil.h"

namespace corvina {
namespace {

using structtest::HeldRef;
using structtest::OpenedDoc;
using structtest::ParseAs;

// Catalog 1 with a name dictionary 4, root 2 with page 3.
PdfBuilder WithNames(const std::string& names) {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R /Names 4 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R >>")
        .Obj(4, "<< " + names + " >>")
        .Root(1);
    return pdf;
}

CPDFNameDict* NamesOf(const OpenedDoc& opened) {
    CPDFCatalog* catalog = opened.Doc() ? opened.Doc()->GetCatalog() : nullptr;
    return catalog ? catalog->Get_Names() : nullptr;
}

TEST(CPDFNameTreeNodeTest, StringKeysBecomeText) {
    auto plain =
        ParseAs<CPDFDict>("<< /Names [(a) 1 /b 2 <FEFF0063> 3 (d)] /Limits [(a) (d)] /Extra 5 >>");
    CPDFNameTreeNode node;
    ASSERT_TRUE(node.Load(nullptr, plain.get()));
    EXPECT_EQ(0, plain->Count());
    CPDFArray* names = node.Get_Names();
    ASSERT_TRUE(names);
    ASSERT_EQ(7, names->Count());
    EXPECT_TRUE(dynamic_cast<CPDFText*>(names->GetObj(nullptr, 0)));
    EXPECT_TRUE(IsNameEqual(names->GetObj(nullptr, 2), "b"));  // a name key stays a name
    auto* wide = dynamic_cast<CPDFText*>(names->GetObj(nullptr, 4));
    ASSERT_TRUE(wide);
    EXPECT_EQ(std::u16string(u"c"), std::u16string(wide->GetUnicode()));
    EXPECT_TRUE(dynamic_cast<CPDFText*>(names->GetObj(nullptr, 6)));  // odd length: last key too
    EXPECT_TRUE(names->GetObj(nullptr, 1)->IsParsed());               // values are not touched

    // Limits are left exactly as read.
    CPDFObject* limits = node.GetObj(nullptr, "Limits");
    ASSERT_TRUE(limits);
    EXPECT_TRUE(limits->IsParsed());
    auto* low = static_cast<CPDFArray*>(limits)->GetObj(nullptr, 0);
    EXPECT_EQ(CPDFObject::String, low->TypeCode());
    EXPECT_TRUE(low->IsParsed());
    EXPECT_EQ("<<\r\n/Extra 5\r\n/Limits [(a) (d)]\r\n/Names [(a) 1 /b 2 <FEFF0063> 3 (d)]\r\n>>",
              structtest::Written(node));
}

TEST(CPDFNameTreeNodeTest, EmptyNodeLoadsAndWalks) {
    auto plain = ParseAs<CPDFDict>("<< >>");
    CPDFNameTreeNode node;
    ASSERT_TRUE(node.Load(nullptr, plain.get()));
    int calls = 0;
    EXPECT_TRUE(node.Walk(
        [](CPDFNameTreeNode*, void* data) {
            ++*static_cast<int*>(data);
            return true;
        },
        &calls));
    EXPECT_EQ(1, calls);
}

TEST(CPDFNameTreeNodeTest, DirectKidsAreTypedInPlace) {
    auto plain = ParseAs<CPDFDict>("<< /Kids [<< /Names [(x) 1] >> << /Kids [<< >>] >>] >>");
    CPDFNameTreeNode node;
    ASSERT_TRUE(node.Load(nullptr, plain.get()));
    CPDFArray* kids = node.Get_Kids();
    ASSERT_EQ(2, kids->Count());
    auto* first = dynamic_cast<CPDFNameTreeNode*>(kids->GetObj(nullptr, 0));
    ASSERT_TRUE(first);
    EXPECT_TRUE(dynamic_cast<CPDFText*>(first->Get_Names()->GetObj(nullptr, 0)));
    auto* second = dynamic_cast<CPDFNameTreeNode*>(kids->GetObj(nullptr, 1));
    ASSERT_TRUE(second);
    EXPECT_TRUE(dynamic_cast<CPDFNameTreeNode*>(second->Get_Kids()->GetObj(nullptr, 0)));

    std::vector<CPDFNameTreeNode*> visited;
    EXPECT_TRUE(node.Walk(
        [](CPDFNameTreeNode* n, void* data) {
            static_cast<std::vector<CPDFNameTreeNode*>*>(data)->push_back(n);
            return true;
        },
        &visited));
    EXPECT_EQ((std::vector<CPDFNameTreeNode*>{&node, first, second}), visited);

    int calls = 0;
    EXPECT_FALSE(node.Walk(
        [](CPDFNameTreeNode*, void* data) { return ++*static_cast<int*>(data) < 2; }, &calls));
    EXPECT_EQ(2, calls);
}

TEST(CPDFNameTreeNodeTest, DuplicateLeavesOutKidsAndNames) {
    auto plain = ParseAs<CPDFDict>("<< /Kids [<< >>] /Names [(a) 1] /Limits [(a) (a)] >>");
    CPDFNameTreeNode node;
    ASSERT_TRUE(node.Load(nullptr, plain.get()));
    std::unique_ptr<CPDFObject> copy = node.Duplicate(nullptr, nullptr);
    ASSERT_TRUE(dynamic_cast<CPDFNameTreeNode*>(copy.get()));
    EXPECT_EQ("<<\r\n/Limits [(a) (a)]\r\n>>", structtest::Written(*copy));
}

TEST(CPDFNameTreeNodeTest, NumberTreeKeysBecomeIntegers) {
    auto plain =
        ParseAs<CPDFDict>("<< /Nums [0 << /S /D >> /x 1 7 (v)] /Kids [<< /Nums [9 1] >>] >>");
    CPDFNumTreeNode node;
    ASSERT_TRUE(node.Load(nullptr, plain.get()));
    CPDFArray* nums = node.Get_Nums();
    auto* zero = dynamic_cast<CPDFInt*>(nums->GetObj(nullptr, 0));
    ASSERT_TRUE(zero);
    EXPECT_EQ(0, zero->IntValue());
    EXPECT_TRUE(IsNameEqual(nums->GetObj(nullptr, 2), "x"));
    EXPECT_EQ(7, dynamic_cast<CPDFInt*>(nums->GetObj(nullptr, 4))->IntValue());
    EXPECT_EQ(CPDFObject::String, nums->GetObj(nullptr, 5)->TypeCode());
    auto* kid = dynamic_cast<CPDFNumTreeNode*>(node.Get_Kids()->GetObj(nullptr, 0));
    ASSERT_TRUE(kid);
    EXPECT_TRUE(dynamic_cast<CPDFInt*>(kid->Get_Nums()->GetObj(nullptr, 0)));

    std::unique_ptr<CPDFObject> copy = node.Duplicate(nullptr, nullptr);
    ASSERT_TRUE(dynamic_cast<CPDFNumTreeNode*>(copy.get()));
    EXPECT_EQ("<<\r\n>>", structtest::Written(*copy));
}

TEST(CPDFNameTreeNodeTest, ThreeLevelDestsTree) {
    PdfBuilder pdf = WithNames("/Dests 6 0 R");
    pdf.Obj(6, "<< /Kids [7 0 R 9 0 R] >>")
        .Obj(7, "<< /Names [(a) 20 0 R] /Limits [(a) (a)] >>")
        .Obj(9, "<< /Kids [10 0 R] /Limits [(b) (b)] >>")
        .Obj(10, "<< /Names [(b) 21 0 R] /Limits [(b) (b)] >>")
        .Obj(20, "<< /D [3 0 R /Fit] >>")
        .Obj(21, "<< /D [3 0 R /Fit] >>");
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFObjRef ref;
    CPDFNameTreeNode* root = NamesOf(opened)->Get_Dests(&ref);
    ASSERT_TRUE(root);
    EXPECT_EQ(CPDFObjRef(6, 0), ref);
    for (int n : {6, 7, 9, 10}) EXPECT_TRUE(opened.As<CPDFNameTreeNode>(n)) << n;
    auto* deep = opened.As<CPDFNameTreeNode>(10);
    EXPECT_TRUE(dynamic_cast<CPDFText*>(deep->Get_Names()->GetObj(opened.Doc(), 0)));
    // Values are converted in the root and its kids only.
    EXPECT_TRUE(opened.As<CPDFLinkPoint>(20));
    EXPECT_TRUE(opened.Obj(21)->IsParsed());
    EXPECT_EQ(CPDFObjRef(21, 0), HeldRef(deep->Get_Names()->GetAt(1)));
    CPDFObject* limits = deep->GetObj(opened.Doc(), "Limits");
    EXPECT_TRUE(limits->IsParsed());
    EXPECT_EQ("[(b) (b)]", structtest::Written(*limits));
}

// A stray last key, or a kid that leads nowhere, leaves the rest of the tree
// readable; a value that cannot be resolved still fails the opening.
TEST(CPDFNameTreeNodeTest, OddDestsTreeAndDanglingKidStillOpen) {
    OpenedDoc odd(WithNames("/Dests << /Names [(a) [3 0 R /Fit] (b)] >>"));
    ASSERT_TRUE(odd.Doc()) << odd.Error().GetFactor();
    CPDFNameTreeNode* dests = NamesOf(odd)->Get_Dests();
    ASSERT_TRUE(dests);
    EXPECT_TRUE(dynamic_cast<CPDFDestination*>(dests->Get_Names()->GetObj(odd.Doc(), 1)));

    OpenedDoc kid(
        WithNames("/Dests << /Kids [9 0 R 11 0 R] >>").Obj(11, "<< /Names [(k) [3 0 R /Fit]] >>"));
    ASSERT_TRUE(kid.Doc()) << kid.Error().GetFactor();

    OpenedDoc dangling(WithNames("/Dests << /Names [(a) 9 0 R] >>").Obj(10, "null"));
    EXPECT_EQ(nullptr, dangling.Doc());

    // Trees whose values stay as read do not mind.
    OpenedDoc urls(WithNames("/URLS << /Names [(a) 9 0 R (b)] >> /IDS << /Names [(c)] >>"));
    ASSERT_TRUE(urls.Doc()) << urls.Error().GetFactor();
    CPDFNameTreeNode* tree = NamesOf(urls)->Get_URLS();
    ASSERT_TRUE(tree);
    EXPECT_TRUE(dynamic_cast<CPDFText*>(tree->Get_Names()->GetObj(urls.Doc(), 2)));
}

TEST(CPDFNameTreeNodeTest, ValuesOfTheOtherTrees) {
    PdfBuilder pdf = WithNames(
        "/Templates << /Names [(t) 5 0 R (u) << /Type /Page >>] >>"
        " /JavaScript << /Names [(j) << /S /JavaScript /JS (1) >> (k) << /S /URI >>] >>"
        " /AP << /Names [(n) << /N << >> >> (m) << /D << >> >>] >>"
        " /Pages << /Names [(p) << /Type /Template >>] >>");
    pdf.Obj(5, "<< /Type /Template /Contents 6 0 R >>");
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFNameDict* names = NamesOf(opened);
    ASSERT_TRUE(names);
    CPDFDoc* doc = opened.Doc();
    EXPECT_TRUE(opened.As<CPDFPage>(5));
    EXPECT_TRUE(names->Get_Templates()->Get_Names()->GetObj(doc, 3)->IsParsed());
    EXPECT_TRUE(
        dynamic_cast<CPDFJavaScriptAct*>(names->Get_JavaScript()->Get_Names()->GetObj(doc, 1)));
    EXPECT_TRUE(names->Get_JavaScript()->Get_Names()->GetObj(doc, 3)->IsParsed());
    EXPECT_TRUE(dynamic_cast<CPDFAppearDict*>(names->Get_AP()->Get_Names()->GetObj(doc, 1)));
    EXPECT_TRUE(names->Get_AP()->Get_Names()->GetObj(doc, 3)->IsParsed());
    EXPECT_TRUE(names->Get_Pages()->Get_Names()->GetObj(doc, 1)->IsParsed());
}

TEST(CPDFNameTreeNodeTest, DeepTreeFailsTheOpening) {
    auto chain = [](int depth) {
        PdfBuilder pdf = WithNames("/IDS 100 0 R");
        for (int i = 0; i < depth; ++i)
            pdf.Obj(100 + i, "<< /Kids [" + std::to_string(101 + i) + " 0 R] >>");
        pdf.Obj(100 + depth, "<< /Names [(x) 1] >>");
        return pdf;
    };
    OpenedDoc deep(chain(70));
    EXPECT_EQ(nullptr, deep.Doc());
    OpenedDoc fine(chain(30));
    ASSERT_TRUE(fine.Doc()) << fine.Error().GetFactor();
    EXPECT_TRUE(fine.As<CPDFNameTreeNode>(130));
}

TEST(CPDFNameDictTest, DuplicateAndAttach) {
    OpenedDoc opened(WithNames("/Dests << /Names [(a) [3 0 R /Fit]] >> /Other 1"));
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFNameDict* names = NamesOf(opened);
    ASSERT_TRUE(names);
    EXPECT_EQ(CPDFObjRef(4, 0), HeldRef(opened.Doc()->GetCatalog()->Find("Names")));

    CPDFNameDict fresh;
    EXPECT_TRUE(fresh.Attach(opened.Doc()));
    EXPECT_EQ(opened.Doc(), fresh.GetDoc());
    auto node = std::make_unique<CPDFNameTreeNode>();
    node->Attach(opened.Doc());
    ASSERT_TRUE(node->Set_Names(std::make_unique<CPDFArray>(), false));
    CPDFObjRef ref;
    ASSERT_TRUE(fresh.Set_Dests(std::move(node), true, &ref));
    EXPECT_TRUE(ref.IsSet());
    EXPECT_TRUE(fresh.Get_Dests());
    EXPECT_EQ(fresh.Get_Dests(), opened.Obj(ref.objNum, ref.genNum));
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

std::string KeyOf(const std::unique_ptr<CPDFAtom>& key) {
    auto* text = dynamic_cast<CPDFString*>(AsObject(key.get()));
    return text ? std::string(text->Text(), static_cast<size_t>(text->Length())) : "?";
}

TEST(CPDFNameTreeNodeTake, EveryPairInOrderOnceThroughLoopsAndStrayKids) {
    PdfBuilder pdf = WithNames("/Dests 6 0 R");
    // Kid 7 listed twice, a kid that is a number, one that is a page, one
    // that leads back to the root, and a stray last key.
    pdf.Obj(6, "<< /Kids [7 0 R 9 0 R 7 0 R 12 0 R 3 0 R] >>")
        .Obj(7, "<< /Names [(a) 20 0 R (b) [3 0 R /Fit]] >>")
        .Obj(9, "<< /Kids [10 0 R 6 0 R] >>")
        .Obj(10, "<< /Names [(c) 21 0 R (d)] >>")
        .Obj(12, "5")
        .Obj(20, "<< /D [3 0 R /Fit] >>")
        .Obj(21, "<< /D [3 0 R /Fit] >>");
    OpenedDoc opened(pdf, CPDFLib::LeaveNameTrees);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFNameDict* names = NamesOf(opened);
    ASSERT_TRUE(names);
    // The tree stays as read: nothing of it is loaded at opening.
    for (int n : {6, 7, 9, 10, 20, 21})
        EXPECT_EQ(opened.Doc()->FindObj(CPDFObjRef(n, 0), false), nullptr) << n;
    std::vector<std::string> keys;
    std::vector<std::string> values;
    std::vector<CPDFObjRef> nodes;
    ASSERT_TRUE(CPDFNameTreeNode::TakePairs(
        opened.Doc(), names->Find("Dests"),
        [&](std::unique_ptr<CPDFAtom> key, std::unique_ptr<CPDFAtom> value) {
            keys.push_back(KeyOf(key));
            values.push_back(value->Kind() == CPDFAtom::RefKind
                                 ? std::to_string(HeldRef(value.get()).objNum)
                                 : structtest::Written(*AsObject(value.get())));
            return true;
        },
        &nodes));
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(values, (std::vector<std::string>{"20", "[3 0 R /Fit]", "21"}));
    // The page is no node; the nodes were read from the file, not loaded.
    EXPECT_EQ(nodes, (std::vector<CPDFObjRef>{{7, 0}, {9, 0}, {10, 0}}));
    for (int n : {6, 7, 9, 10, 20, 21})
        EXPECT_EQ(opened.Doc()->FindObj(CPDFObjRef(n, 0), false), nullptr) << n;

    // Loaded nodes give their pairs up the same way; a receiver that says no
    // stops the taking.
    OpenedDoc second(WithNames("/Dests << /Names [(x) 1 0 R (y) 2 0 R] >>"));
    ASSERT_TRUE(second.Doc());
    CPDFNameTreeNode* direct = NamesOf(second)->Get_Dests();
    ASSERT_TRUE(direct);
    int calls = 0;
    EXPECT_FALSE(CPDFNameTreeNode::TakePairs(
        second.Doc(), direct,
        [&](std::unique_ptr<CPDFAtom>, std::unique_ptr<CPDFAtom>) { return ++calls > 5; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(direct->Get_Names()->Count(), 0);
}

TEST(CPDFNameTreeNodeTake, AReceiverThatStopsAStreamedLeafStopsTheTaking) {
    PdfBuilder pdf = WithNames("/Dests 6 0 R");
    pdf.Obj(6, "<< /Names [(x) 1 0 R (y) 2 0 R (z) 3 0 R] >>");
    OpenedDoc opened(pdf, CPDFLib::LeaveNameTrees);
    ASSERT_TRUE(opened.Doc());
    int calls = 0;
    EXPECT_FALSE(CPDFNameTreeNode::TakePairs(
        opened.Doc(), NamesOf(opened)->Find("Dests"),
        [&](std::unique_ptr<CPDFAtom>, std::unique_ptr<CPDFAtom>) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST(CPDFNameTreeNodeTake, ATreeDeeperThanTheLimitIsRefused) {
    // Built in memory: a file this deep is refused when it is opened.
    auto chain = [](int levels) {
        auto leaf = std::make_unique<CPDFDict>();
        auto names = std::make_unique<CPDFArray>();
        names->Push_Back(std::make_unique<CPDFText>("deep"));
        names->Push_Back(std::make_unique<CPDFObjRef>(3, 0));
        leaf->Insert("Names", std::move(names));
        std::unique_ptr<CPDFDict> node = std::move(leaf);
        for (int i = 0; i < levels; ++i) {
            auto kids = std::make_unique<CPDFArray>();
            kids->Push_Back(std::move(node));
            node = std::make_unique<CPDFDict>();
            node->Insert("Kids", std::move(kids));
        }
        auto root = std::make_unique<CPDFNameTreeNode>();
        root->Swap(*node);
        return root;
    };
    int calls = 0;
    auto count = [&](std::unique_ptr<CPDFAtom>, std::unique_ptr<CPDFAtom>) { return ++calls > 0; };
    auto shallow = chain(limits::kMaxTreeDepth - 1);
    EXPECT_TRUE(CPDFNameTreeNode::TakePairs(nullptr, shallow.get(), count));
    EXPECT_EQ(calls, 1);
    auto deep = chain(limits::kMaxTreeDepth + 1);
    EXPECT_FALSE(CPDFNameTreeNode::TakePairs(nullptr, deep.get(), count));
    EXPECT_EQ(calls, 1);
}

TEST(CPDFNameTreeNodeTake, OptionLeavesEveryTreeAsRead) {
    PdfBuilder pdf = WithNames("/Dests 6 0 R /AP << /Names [(ap) 22 0 R] >>");
    pdf.Obj(6, "<< /Names [(a) 20 0 R (b) [3 0 R /Fit]] >>")
        .Obj(20, "<< /D [3 0 R /Fit] >>")
        .Obj(22, "<< /N 20 0 R >>");
    OpenedDoc opened(pdf, CPDFLib::LeaveNameTrees);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    for (int n : {6, 20, 22})
        EXPECT_EQ(opened.Doc()->FindObj(CPDFObjRef(n, 0), false), nullptr) << n;
    auto* ap = dynamic_cast<CPDFDict*>(NamesOf(opened)->GetObj(opened.Doc(), "AP"));
    ASSERT_TRUE(ap);
    EXPECT_TRUE(ap->IsParsed());
}

}  // namespace
}  // namespace corvina
