#include "pdf/structure/CPDFPages.h"

#include <gtest/gtest.h>

#include <string>

#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFReal.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFDate.h"
#include "pdf/structure/CPDFPage.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/minimal/CPDFAnnot.h"
#include "pdf/structure/minimal/CPDFRect.h"
#include "pdf/structure/minimal/CPDFResDict.h"
#include "pdf/structure/minimal/CPDFThumbnail.h"
#include "pdf/structure/minimal/CPDFTrans.h"
#include "tests/pdf/structure/StructTestUtil.h"

namespace corvina {
namespace {

using structtest::HeldRef;
using structtest::OpenedDoc;
using structtest::ParseAs;

std::string Ref(int num) {
    return std::to_string(num) + " 0 R";
}

std::string PageBody(int parent, const std::string& extra = "") {
    return "<< /Type /Page /Parent " + Ref(parent) + extra + " >>";
}

// Catalog 1, root 2 with the given Kids text and Count.
PdfBuilder Tree(const std::string& kids, int count, const std::string& rootExtra = "") {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + rootExtra +
                    " >>")
        .Root(1);
    return pdf;
}

// Pages 3, 4, 5 under the root.
PdfBuilder Flat(int rootCount = 3) {
    PdfBuilder pdf = Tree("3 0 R 4 0 R 5 0 R", rootCount);
    for (int n = 3; n <= 5; ++n) pdf.Obj(n, PageBody(2));
    return pdf;
}

// Root 2 with node 10 (pages 11, 12; Count c10) and node 20 (pages 21, 22, 23).
PdfBuilder TwoLevels(int c10 = 2, int rootCount = 5) {
    PdfBuilder pdf = Tree("10 0 R 20 0 R", rootCount);
    pdf.Obj(10, "<< /Type /Pages /Parent 2 0 R /Kids [11 0 R 12 0 R] /Count " +
                    std::to_string(c10) + " >>")
        .Obj(20, "<< /Type /Pages /Parent 2 0 R /Kids [21 0 R 22 0 R 23 0 R] /Count 3 >>");
    for (int n : {11, 12}) pdf.Obj(n, PageBody(10));
    for (int n : {21, 22, 23}) pdf.Obj(n, PageBody(20));
    return pdf;
}

// Pages 3 to 32, all under the root.
PdfBuilder Wide() {
    std::string kids;
    for (int n = 3; n < 33; ++n) kids += Ref(n) + " ";
    PdfBuilder pdf = Tree(kids, 30);
    for (int n = 3; n < 33; ++n) pdf.Obj(n, PageBody(2));
    return pdf;
}

CPDFPages* Root(const OpenedDoc& opened, CPDFObjRef* ref = nullptr) {
    CPDFCatalog* catalog = opened.Doc() ? opened.Doc()->GetCatalog() : nullptr;
    return catalog ? catalog->Get_Pages(ref) : nullptr;
}

// Object number of the page at position, or -1 for nothing; unreadable, when
// given, receives the reference the tree names at a position it cannot read.
int PageAt(CPDFPages& root, int position, CPDFObjRef* unreadable = nullptr) {
    CPDFObjRef ref;
    CPDFPage* page = root.GetPage(position, &ref);
    if (!page) {
        if (unreadable)
            *unreadable = ref;
        else
            EXPECT_FALSE(ref.IsSet());
        return -1;
    }
    return ref.objNum;
}

int CountOf(CPDFPages& node) {
    CPDFNumber* count = node.Get_Count();
    return count ? count->IntValue() : -999;
}

std::string KidsText(CPDFPages& node) {
    return structtest::Written(*node.Get_Kids());
}

TEST(CPDFPagesTest, NodeRecognizer) {
    auto check = [](const std::string& text) {
        auto dict = ParseAs<CPDFDict>(text);
        return CPDFPages::Recognize(nullptr, dict.get());
    };
    EXPECT_TRUE(check("<< /Type /Pages /Kids [] /Count 0 >>"));
    EXPECT_FALSE(check("<< /Type /Page /Kids [] /Count 0 >>"));
    EXPECT_FALSE(check("<< /Type (Pages) /Kids [] /Count 0 >>"));
    EXPECT_FALSE(check("<< /Type /Pages /Kids 3 /Count 0 >>"));
    EXPECT_FALSE(check("<< /Type /Pages /Kids [] /Count (1) >>"));
    EXPECT_FALSE(check("<< /Type /Pages /Count 0 >>"));
    // Count is a hint and inner nodes may lack Type: Kids makes the node.
    EXPECT_TRUE(check("<< /Type /Pages /Kids [] >>"));
    EXPECT_TRUE(check("<< /Kids [] /Count 0 >>"));

    auto dict = ParseAs<CPDFDict>("<< /Type /Pages /Kids [] >>");
    dict->Insert("Count", std::make_unique<CPDFInt>(0));
    EXPECT_FALSE(CPDFPages::Recognize(nullptr, dict.get()));
}

TEST(CPDFPagesTest, PageRecognizer) {
    auto check = [](const std::string& text) {
        auto dict = ParseAs<CPDFDict>(text);
        return CPDFPage::Recognize(nullptr, dict.get());
    };
    EXPECT_TRUE(check("<< /Type /Page /Parent << >> >>"));
    EXPECT_TRUE(check("<< /Type /Page /Parent << >> /B [] >>"));
    EXPECT_FALSE(check("<< /Type /Page /Parent << >> /B << >> >>"));
    EXPECT_FALSE(check("<< /Type /Page >>"));
    EXPECT_FALSE(check("<< /Type /Page /Parent [] >>"));
    EXPECT_FALSE(check("<< /Type /Pages /Parent << >> >>"));
    EXPECT_TRUE(check("<< /Type /Template >>"));
    EXPECT_TRUE(check("<< /Type /Template /B 1 >>"));
}

TEST(CPDFPagesTest, CreateMakesAnEmptyNode) {
    CPDFPages node;
    ASSERT_TRUE(node.Create(nullptr, CPDFObjRef(7, 0)));
    EXPECT_EQ("<<\r\n/Count 0\r\n/Kids []\r\n/Parent 7 0 R\r\n/Type /Pages\r\n>>",
              structtest::Written(node));
    EXPECT_TRUE(dynamic_cast<CPDFInt*>(node.Get_Count()));
    EXPECT_FALSE(node.IsDuplicable());
    EXPECT_FALSE(node.IsReleasable());
    EXPECT_FALSE(node.IsLinearizable());
    EXPECT_EQ(detail::PagesType, node.StructType());

    CPDFPages root;
    ASSERT_TRUE(root.Create(nullptr, CPDFObjRef()));
    EXPECT_FALSE(root.Has("Parent"));
}

TEST(CPDFPagesTest, LoadTypesCountAndBoxes) {
    auto plain = ParseAs<CPDFDict>(
        "<< /Type /Pages /Kids [] /Count 4 /MediaBox [0 0 612 792] /CropBox [0 0 1] "
        "/Resources << /ProcSet [/PDF] >> >>");
    CPDFPages node;
    ASSERT_TRUE(node.Load(nullptr, plain.get()));
    EXPECT_EQ(0, plain->Count());
    auto* count = dynamic_cast<CPDFInt*>(node.Get_Count());
    ASSERT_TRUE(count);
    EXPECT_EQ(4, count->IntValue());
    EXPECT_TRUE(dynamic_cast<CPDFRect*>(node.GetObj(nullptr, "MediaBox")));
    EXPECT_TRUE(node.GetObj(nullptr, "CropBox")->IsParsed());  // three numbers: no rectangle
    EXPECT_TRUE(dynamic_cast<CPDFResDict*>(node.GetObj(nullptr, "Resources")));

    auto noCount = ParseAs<CPDFDict>("<< /Type /Pages /Kids [] >>");
    CPDFPages counted;
    EXPECT_TRUE(counted.Load(nullptr, noCount.get()));
    EXPECT_EQ(counted.PageCount(), -1);  // not known before the leaves are counted
}

TEST(CPDFPagesTest, OneLevel) {
    OpenedDoc opened(Flat());
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_TRUE(opened.Obj(4)->IsParsed());  // leaves wait for GetPage
    EXPECT_EQ(3, PageAt(*root, 0));
    EXPECT_EQ(4, PageAt(*root, 1));
    EXPECT_EQ(5, PageAt(*root, 2));
    EXPECT_EQ(-1, PageAt(*root, 3));
    EXPECT_EQ(-1, PageAt(*root, -1));

    CPDFPage* page = root->GetPage(1, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(page, opened.Obj(4));
    EXPECT_EQ(page, root->GetPage(1, nullptr));  // typed once, then returned as is
    EXPECT_EQ(root, page->Get_Parent());
}

TEST(CPDFPagesTest, TwoLevelsSkipByCount) {
    OpenedDoc opened(TwoLevels());
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_TRUE(opened.As<CPDFPages>(10));  // inner nodes are typed on opening
    EXPECT_TRUE(opened.As<CPDFPages>(20));
    EXPECT_EQ(11, PageAt(*root, 0));
    EXPECT_EQ(12, PageAt(*root, 1));
    EXPECT_EQ(21, PageAt(*root, 2));
    EXPECT_EQ(23, PageAt(*root, 4));
    EXPECT_EQ(-1, PageAt(*root, 5));
}

TEST(CPDFPagesTest, AnyOrderGivesThePagesOfAFreshWalk) {
    // A wide node: the walk resumes where the previous one stopped when asked
    // for a later page, and starts again otherwise.
    OpenedDoc opened(Wide());
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    for (int p = 0; p < 30; ++p) EXPECT_EQ(3 + p, PageAt(*root, p));
    for (int p = 29; p >= 0; --p) EXPECT_EQ(3 + p, PageAt(*root, p));
    for (int p : {17, 4, 4, 28, 0, 29, 13}) EXPECT_EQ(3 + p, PageAt(*root, p));

    EXPECT_EQ(13, PageAt(*root, 10));
    ASSERT_TRUE(root->DeletePage(5, rootRef));
    EXPECT_EQ(14, PageAt(*root, 10));
    EXPECT_EQ(7, PageAt(*root, 4));
    EXPECT_EQ(9, PageAt(*root, 5));
    ASSERT_TRUE(root->DeletePage(28, rootRef));
    EXPECT_EQ(31, PageAt(*root, 27));
    EXPECT_EQ(-1, PageAt(*root, 28));
}

TEST(CPDFPagesTest, AWalkInOrderReadsEachPageOnce) {
    // A job that drops each page once it has its destination must not have
    // the next step read the dropped page back in: over a large document
    // every page would stay in memory to the end.
    OpenedDoc opened(Wide());
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    for (int p = 0; p < 30; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(3 + p, PageAt(*root, p));
        if (p > 0) {
            EXPECT_FALSE(opened.Doc()->FindObj(CPDFObjRef(2 + p, 0), false));
        }
        ASSERT_TRUE(opened.Doc()->ReleaseObj(CPDFObjRef(3 + p, 0), true));
    }
    // Asked again, a page is read again.
    EXPECT_EQ(7, PageAt(*root, 4));
}

TEST(CPDFPagesTest, WalkAfterDeletingInAnEarlierNode) {
    OpenedDoc opened(TwoLevels());
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_EQ(23, PageAt(*root, 4));
    ASSERT_TRUE(root->DeletePage(0, rootRef));
    EXPECT_EQ(23, PageAt(*root, 3));
    EXPECT_EQ(12, PageAt(*root, 0));
    EXPECT_EQ(21, PageAt(*root, 1));
    EXPECT_EQ(-1, PageAt(*root, 4));
}

TEST(CPDFPagesTest, LeavesCountWhereCountsAreWrong) {
    // The root claims 7 pages where there are 5: there are 5.
    OpenedDoc tooMany(TwoLevels(2, 7));
    CPDFPages* root = Root(tooMany);
    ASSERT_TRUE(root) << tooMany.Error().GetFactor();
    EXPECT_EQ(tooMany.Doc()->GetPageCount(), 5);
    EXPECT_EQ(23, PageAt(*root, 4));
    EXPECT_EQ(-1, PageAt(*root, 5));
    EXPECT_EQ(-1, PageAt(*root, 7));

    // The first kid claims 3 pages and holds 2: the second begins at 2.
    OpenedDoc inner(TwoLevels(3, 6));
    root = Root(inner);
    ASSERT_TRUE(root);
    EXPECT_EQ(inner.Doc()->GetPageCount(), 5);
    EXPECT_EQ(12, PageAt(*root, 1));
    EXPECT_EQ(21, PageAt(*root, 2));
    EXPECT_EQ(23, PageAt(*root, 4));
    // The Counts stay as written.
    EXPECT_EQ(root->Get_Count()->IntValue(), 6);
}

TEST(CPDFPagesTest, DirectKidFailsFromItsPositionOn) {
    PdfBuilder pdf = Tree("3 0 R << /Type /Page /Parent 2 0 R >> 4 0 R", 3);
    pdf.Obj(3, PageBody(2)).Obj(4, PageBody(2));
    OpenedDoc opened(pdf);
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_EQ(3, PageAt(*root, 0));
    EXPECT_EQ(-1, PageAt(*root, 1));
    EXPECT_EQ(-1, PageAt(*root, 2));
}

TEST(CPDFPagesTest, UnreadableKidCountsAsOnePage) {
    // Opening resolves every kid, so the element goes bad afterwards (as objects
    // released while saving do).
    OpenedDoc opened(Flat());
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    ASSERT_TRUE(root->Get_Kids()->SetAt(1, std::make_unique<CPDFObjRef>(8, 0)));
    EXPECT_EQ(3, PageAt(*root, 0));
    CPDFObjRef named;
    EXPECT_EQ(-1, PageAt(*root, 1, &named));
    EXPECT_EQ(named, CPDFObjRef(8, 0));  // the job still knows which page it was
    EXPECT_EQ(5, PageAt(*root, 2));
    EXPECT_FALSE(root->DeletePage(1, rootRef));
    EXPECT_EQ(3, CountOf(*root));

    PdfBuilder dangling = Tree("3 0 R 8 0 R", 2);
    dangling.Obj(3, PageBody(2)).Obj(9, "null");  // 8 is free
    OpenedDoc failed(dangling);
    EXPECT_EQ(nullptr, failed.Doc());
}

TEST(CPDFPagesTest, BadKidsGiveNothing) {
    const char* const kBad[] = {
        "<< /Parent 2 0 R >>",                       // no Type
        "<< /Type /Leaf /Parent 2 0 R >>",           // unknown Type
        "<< /Type 9 0 R /Parent 2 0 R >>",           // indirect Type
        "<< /Type /Page >>",                         // no Parent
        "<< /Type /Page /Parent 9 0 R >>",           // Parent not a dictionary
        "<< /Type /Page /Parent 2 0 R /B << >> >>",  // B not an array
        "[/Type /Page]",                             // not a dictionary
    };
    for (const char* body : kBad) {
        PdfBuilder pdf = Tree("3 0 R 4 0 R 5 0 R", 3);
        pdf.Obj(3, PageBody(2)).Obj(4, body).Obj(5, PageBody(2)).Obj(9, "/Page");
        OpenedDoc opened(pdf);
        CPDFPages* root = Root(opened);
        ASSERT_TRUE(root) << body << ": " << opened.Error().GetFactor();
        EXPECT_EQ(3, PageAt(*root, 0)) << body;
        EXPECT_EQ(-1, PageAt(*root, 1)) << body;
    }
    // A node without Count is a node; empty, it holds no page.
    PdfBuilder pdf = Tree("3 0 R 4 0 R 5 0 R", 3);
    pdf.Obj(3, PageBody(2)).Obj(4, "<< /Type /Pages /Parent 2 0 R /Kids [] >>").Obj(5, PageBody(2));
    OpenedDoc opened(pdf);
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_EQ(5, PageAt(*root, 1));
}

TEST(CPDFPagesTest, SharedSubtreeIsWalkedOnce) {
    PdfBuilder pdf = Tree("10 0 R 10 0 R", 4);
    pdf.Obj(10, "<< /Type /Pages /Parent 2 0 R /Kids [11 0 R 12 0 R] /Count 2 >>")
        .Obj(11, PageBody(10))
        .Obj(12, PageBody(10));
    OpenedDoc opened(pdf);
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_EQ(12, PageAt(*root, 1));
    EXPECT_EQ(11, PageAt(*root, 2));
}

TEST(CPDFPagesTest, CyclesAndDepthFailTheOpening) {
    PdfBuilder cycle = Tree("10 0 R", 1);
    cycle.Obj(10, "<< /Type /Pages /Parent 2 0 R /Kids [11 0 R] /Count 1 >>")
        .Obj(11, "<< /Type /Pages /Parent 10 0 R /Kids [10 0 R] /Count 1 >>");
    OpenedDoc cyclic(cycle);
    EXPECT_EQ(nullptr, cyclic.Doc());

    auto chain = [](int depth) {
        PdfBuilder pdf = Tree("100 0 R", 1);
        for (int i = 0; i < depth; ++i)
            pdf.Obj(100 + i, "<< /Type /Pages /Kids [" + Ref(101 + i) + "] /Count 1 >>");
        pdf.Obj(100 + depth, PageBody(99 + depth));
        return pdf;
    };
    OpenedDoc deep(chain(70));
    EXPECT_EQ(nullptr, deep.Doc());
    OpenedDoc fine(chain(40));
    CPDFPages* root = Root(fine);
    ASSERT_TRUE(root) << fine.Error().GetFactor();
    EXPECT_EQ(140, PageAt(*root, 0));
}

TEST(CPDFPagesTest, CycleMadeAfterOpeningEndsInNothing) {
    OpenedDoc opened(Flat());
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    ASSERT_TRUE(rootRef.IsSet());
    // The root becomes its own last kid and claims far more pages than it has.
    root->Get_Kids()->Push_Back(std::make_unique<CPDFObjRef>(rootRef));
    root->Set_Count(std::make_unique<CPDFInt>(1000), false);
    EXPECT_EQ(5, PageAt(*root, 2));
    EXPECT_EQ(4, PageAt(*root, 4));     // one turn round the loop, as the counts say
    EXPECT_EQ(-1, PageAt(*root, 999));  // each turn skips three: the depth limit ends it
    EXPECT_FALSE(root->DeletePage(999, rootRef));
    EXPECT_FALSE(root->DeletePage(4, rootRef));
    EXPECT_EQ(1000, CountOf(*root));
    EXPECT_EQ("[3 0 R 4 0 R 5 0 R " + Ref(rootRef.objNum) + "]", KidsText(*root));
}

TEST(CPDFPagesTest, DeleteFromOneLevel) {
    OpenedDoc opened(Flat());
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    ASSERT_TRUE(root->DeletePage(1, rootRef));
    EXPECT_EQ(2, CountOf(*root));
    EXPECT_EQ("[3 0 R 5 0 R]", KidsText(*root));
    EXPECT_EQ(5, PageAt(*root, 1));
    EXPECT_FALSE(root->DeletePage(2, rootRef));
    EXPECT_FALSE(root->DeletePage(-1, rootRef));
}

TEST(CPDFPagesTest, DeleteTheOnlyPageOfANode) {
    PdfBuilder pdf = Tree("10 0 R 20 0 R", 3);
    pdf.Obj(10, "<< /Type /Pages /Parent 2 0 R /Kids [11 0 R] /Count 1 >>")
        .Obj(11, PageBody(10))
        .Obj(20, "<< /Type /Pages /Parent 2 0 R /Kids [21 0 R 22 0 R] /Count 2 >>")
        .Obj(21, PageBody(20))
        .Obj(22, PageBody(20));
    OpenedDoc opened(pdf);
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    ASSERT_TRUE(root->DeletePage(0, rootRef));
    EXPECT_EQ("[20 0 R]", KidsText(*root));
    EXPECT_EQ(2, CountOf(*root));
    EXPECT_EQ(21, PageAt(*root, 0));

    ASSERT_TRUE(root->DeletePage(1, rootRef));
    auto* node = opened.As<CPDFPages>(20);
    ASSERT_TRUE(node);
    EXPECT_EQ("[21 0 R]", KidsText(*node));
    EXPECT_EQ(1, CountOf(*node));
    EXPECT_EQ(1, CountOf(*root));
}

TEST(CPDFPagesTest, DeleteToTheEnd) {
    OpenedDoc opened(TwoLevels());
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(root->DeletePage(2, rootRef)) << i;
    EXPECT_EQ(2, CountOf(*root));
    EXPECT_EQ("[10 0 R]", KidsText(*root));
    EXPECT_EQ(11, PageAt(*root, 0));
    EXPECT_EQ(12, PageAt(*root, 1));
    EXPECT_EQ(-1, PageAt(*root, 2));
}

TEST(CPDFPagesTest, DeleteBeyondTheRealLeavesChangesNothing) {
    OpenedDoc opened(Flat(5));
    CPDFObjRef rootRef;
    CPDFPages* root = Root(opened, &rootRef);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_FALSE(root->DeletePage(4, rootRef));
    EXPECT_EQ(5, CountOf(*root));
    EXPECT_EQ("[3 0 R 4 0 R 5 0 R]", KidsText(*root));
}

TEST(CPDFPagesTest, InheritedEntriesAndUninherit) {
    PdfBuilder pdf = Tree("3 0 R 4 0 R", 2, " /MediaBox [0 0 612 792] /Resources 9 0 R");
    pdf.Obj(3, PageBody(2, " /MediaBox [0 0 100 100]"))
        .Obj(4, PageBody(2))
        .Obj(9, "<< /ProcSet [/PDF /Text] >>");
    OpenedDoc opened(pdf);
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();

    CPDFPage* own = root->GetPage(0, nullptr);
    ASSERT_TRUE(own);
    CPDFObjRef ref;
    CPDFObject* res = own->Get_Resources(&ref);
    EXPECT_EQ(CPDFObjRef(9, 0), ref);
    EXPECT_TRUE(dynamic_cast<CPDFResDict*>(res));
    CPDFObject* box = own->Get_MediaBox(&ref);
    EXPECT_FALSE(ref.IsSet());
    EXPECT_EQ("[0 0 100 100]", structtest::Written(*box));

    ASSERT_TRUE(own->Uninherit());
    EXPECT_EQ(box, own->Get_MediaBox());  // its own box stays
    const CPDFObjRef copied = HeldRef(own->Find("Resources"));
    EXPECT_TRUE(copied.IsSet());
    EXPECT_NE(9, copied.objNum);
    ASSERT_TRUE(own->Get_Resources());
    EXPECT_EQ("<<\r\n/ProcSet [/PDF /Text]\r\n>>", structtest::Written(*own->Get_Resources()));

    // A direct inherited box is copied directly.
    CPDFPage* bare = root->GetPage(1, nullptr);
    ASSERT_TRUE(bare);
    ASSERT_TRUE(bare->Uninherit());
    ASSERT_TRUE(bare->Find("MediaBox"));
    EXPECT_EQ(CPDFAtom::ObjectKind, bare->Find("MediaBox")->Kind());
    EXPECT_NE(root->GetObj(opened.Doc(), "MediaBox"), bare->Get_MediaBox());
    EXPECT_EQ("[0 0 612 792]", structtest::Written(*bare->Get_MediaBox()));
}

TEST(CPDFPagesTest, UninheritWithoutAncestorValueFails) {
    OpenedDoc opened(Flat());
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    CPDFPage* page = root->GetPage(0, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(nullptr, page->Get_MediaBox());
    EXPECT_FALSE(page->Uninherit());
}

PdfBuilder RichPage() {
    PdfBuilder pdf = Tree("3 0 R", 1);
    pdf.Obj(3, PageBody(2,
                        " /MediaBox [0 0 612 792] /Resources << >> /Rotate 90 /Dur 2.5"
                        " /Annots [8 0 R << /Subtype /Text >> << /Rect [0 0 1 1] >>]"
                        " /LastModified (D:20000101) /Thumb 12 0 R /Trans << /S /R >>"
                        " /AA << >> /PieceInfo << >> /SeparationInfo << /Pages [] >>"))
        .Obj(8, "<< /Subtype /Link /Rect [0 0 10 10] >>")
        .Obj(12, "<< /Width 1 /Height 1 /Length 3 >>\nstream\nabc\nendstream");
    return pdf;
}

TEST(CPDFPagesTest, FullPageLoad) {
    OpenedDoc opened(RichPage());
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    CPDFPage* page = root->GetPage(0, nullptr);
    ASSERT_TRUE(page);
    CPDFDoc* doc = opened.Doc();
    EXPECT_TRUE(dynamic_cast<CPDFRect*>(page->Get_MediaBox()));
    EXPECT_TRUE(dynamic_cast<CPDFResDict*>(page->Get_Resources()));
    auto* rotate = dynamic_cast<CPDFInt*>(page->GetObj(doc, "Rotate"));
    ASSERT_TRUE(rotate);
    EXPECT_EQ(90, rotate->IntValue());
    auto* dur = dynamic_cast<CPDFReal*>(page->GetObj(doc, "Dur"));
    ASSERT_TRUE(dur);
    EXPECT_FLOAT_EQ(2.5f, dur->RealValue());
    EXPECT_TRUE(dynamic_cast<CPDFDate*>(page->GetObj(doc, "LastModified")));
    EXPECT_TRUE(dynamic_cast<CPDFTrans*>(page->GetObj(doc, "Trans")));
    EXPECT_FALSE(page->GetObj(doc, "AA")->IsParsed());
    EXPECT_FALSE(page->GetObj(doc, "PieceInfo")->IsParsed());
    EXPECT_FALSE(page->GetObj(doc, "SeparationInfo")->IsParsed());

    CPDFArray* annots = page->Get_Annots();
    ASSERT_TRUE(annots);
    EXPECT_EQ(CPDFObjRef(8, 0), HeldRef(annots->GetAt(0)));
    EXPECT_TRUE(opened.As<CPDFAnnot>(8));
    EXPECT_TRUE(dynamic_cast<CPDFAnnot*>(annots->GetObj(doc, 1)));
    EXPECT_TRUE(annots->GetObj(doc, 2)->IsParsed());  // the factory made nothing of it

    auto* thumb = opened.As<CPDFThumbnail>(12);
    ASSERT_TRUE(thumb);
    ASSERT_GE(thumb->GetDataLength(), 3);  // the bytes up to endstream
    EXPECT_EQ("abc", std::string(thumb->GetData(), 3));
}

TEST(CPDFPagesTest, PageTreeOnlyLeavesTheRestPlain) {
    OpenedDoc opened(RichPage(), CPDFLib::LoadPageTreeOnly);
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    CPDFPage* page = root->GetPage(0, nullptr);
    ASSERT_TRUE(page);
    EXPECT_TRUE(dynamic_cast<CPDFRect*>(page->Get_MediaBox()));
    EXPECT_TRUE(page->GetObj(opened.Doc(), "Rotate")->IsParsed());
    EXPECT_TRUE(page->GetObj(opened.Doc(), "Trans")->IsParsed());
    EXPECT_TRUE(opened.Obj(8)->IsParsed());
}

TEST(CPDFPagesTest, UnresolvableAnnotationIsNull) {
    // A reference to nothing is the null object; the page reads and keeps it.
    PdfBuilder pdf = Tree("3 0 R 4 0 R", 2);
    pdf.Obj(3, PageBody(2, " /Annots [6 0 R]")).Obj(4, PageBody(2)).Obj(7, "null");
    OpenedDoc opened(pdf);
    CPDFPages* root = Root(opened);
    ASSERT_TRUE(root) << opened.Error().GetFactor();
    EXPECT_EQ(3, PageAt(*root, 0));
    EXPECT_EQ(4, PageAt(*root, 1));
    CPDFPage* page = root->GetPage(0, nullptr);
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->Get_Annots());
    EXPECT_EQ(CPDFObjRef(6, 0), HeldRef(page->Get_Annots()->GetAt(0)));
}

}  // namespace
}  // namespace corvina
