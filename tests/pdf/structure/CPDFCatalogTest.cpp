#include "pdf/structure/CPDFCatalog.h"

#include <gtest/gtest.h>

#include <string>

#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFText.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/structure/CPDFDestination.h"
#include "pdf/structure/CPDFLinkPoint.h"
#include "pdf/structure/CPDFNameDict.h"
#include "pdf/structure/CPDFNumTreeNode.h"
#include "pdf/structure/CPDFPageLabelDict.h"
#include "pdf/structure/CPDFPages.h"
#include "pdf/structure/CPDFViewPref.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/minimal/CPDFAcroFormDict.h"
#include "pdf/structure/minimal/CPDFAction.h"
#include "pdf/structure/minimal/CPDFOutlines.h"
#include "pdf/structure/minimal/CPDFThread.h"
#include "pdf/structure/minimal/CPDFURIDict.h"
#include "tests/pdf/structure/StructTestUtil.h"

namespace corvina {
namespace {

using structtest::HeldRef;
using structtest::OpenedDoc;
using structtest::ParseAs;

// Catalog 1 with extra entries, root 2 with page 3.
PdfBuilder WithCatalog(const std::string& extra) {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R" + extra + " >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R >>")
        .Root(1);
    return pdf;
}

TEST(CPDFCatalogTest, Recognizer) {
    auto check = [](const std::string& text) {
        auto dict = ParseAs<CPDFDict>(text);
        return CPDFCatalog::Recognize(nullptr, dict.get());
    };
    EXPECT_TRUE(check("<< /Type /Catalog /Pages << >> >>"));
    EXPECT_FALSE(check("<< /Pages << >> >>"));
    EXPECT_FALSE(check("<< /Type (Catalog) /Pages << >> >>"));
    EXPECT_FALSE(check("<< /Type /Catalogue /Pages << >> >>"));
    EXPECT_FALSE(check("<< /Type /Catalog >>"));
    EXPECT_FALSE(check("<< /Type /Catalog /Pages [] >>"));

    auto streamPages = ParseAs<CPDFDict>("<< /Type /Catalog >>");
    streamPages->Insert("Pages", std::make_unique<CPDFStream>());
    EXPECT_FALSE(CPDFCatalog::Recognize(nullptr, streamPages.get()));
}

TEST(CPDFCatalogTest, CreateMakesAnEmptyPageTree) {
    OpenedDoc opened(WithCatalog(""));
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFCatalog catalog;
    ASSERT_TRUE(catalog.Create(opened.Doc()));
    EXPECT_TRUE(IsNameEqual(catalog.FindDirect("Type"), "Catalog"));
    CPDFObjRef ref;
    CPDFPages* root = catalog.Get_Pages(&ref);
    ASSERT_TRUE(root);
    EXPECT_TRUE(ref.IsSet());
    EXPECT_EQ(root, opened.Obj(ref.objNum, ref.genNum));
    EXPECT_EQ("<<\r\n/Count 0\r\n/Kids []\r\n/Type /Pages\r\n>>", structtest::Written(*root));
    EXPECT_EQ(detail::CatalogType, catalog.StructType());
    EXPECT_FALSE(catalog.IsDuplicable());
}

TEST(CPDFCatalogTest, OpenedCatalogIsTyped) {
    OpenedDoc opened(WithCatalog(" /PageMode /UseOutlines"));
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFCatalog* catalog = opened.As<CPDFCatalog>(1);
    ASSERT_TRUE(catalog);
    EXPECT_EQ(catalog, opened.Doc()->GetCatalog());
    CPDFObjRef ref;
    EXPECT_TRUE(catalog->Get_Pages(&ref));
    EXPECT_EQ(CPDFObjRef(2, 0), ref);
    EXPECT_EQ(nullptr, catalog->Get_Names());
    EXPECT_TRUE(IsNameEqual(catalog->GetObj(opened.Doc(), "PageMode"), "UseOutlines"));
}

TEST(CPDFCatalogTest, DirectPagesStaysDirect) {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages << /Type /Pages /Kids [3 0 R] /Count 1 >> >>")
        .Obj(3, "<< /Type /Page /Parent << >> >>")
        .Root(1);
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFCatalog* catalog = opened.Doc()->GetCatalog();
    ASSERT_TRUE(catalog);
    EXPECT_EQ(CPDFAtom::ObjectKind, catalog->Find("Pages")->Kind());
    CPDFPages* root = catalog->Get_Pages();
    ASSERT_TRUE(root);
    CPDFObjRef ref;
    EXPECT_TRUE(root->GetPage(0, &ref));
    EXPECT_EQ(CPDFObjRef(3, 0), ref);
}

TEST(CPDFCatalogTest, PagesThatIsNoNodeFailsTheOpening) {
    for (const char* root : {"<< /Type /Pages /Count 0 >>", "<< /Type /Page /Kids [] >>",
                             "<< /Type /Pages /Kids [] /Count (0) >>"}) {
        PdfBuilder pdf;
        pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>").Obj(2, root).Root(1);
        OpenedDoc opened(pdf);
        EXPECT_EQ(nullptr, opened.Doc()) << root;
    }
}

TEST(CPDFCatalogTest, PageTreeIsCountedByItsLeaves) {
    // Count is a hint: missing, or wrong on the root and on an inner node
    // (which has no Type either), the leaves decide.
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2147483647 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R >>")
        .Obj(4, "<< /Kids [5 0 R 6 0 R] /Parent 2 0 R /Count 1 >>")
        .Obj(5, "<< /Type /Page /Parent 4 0 R >>")
        .Obj(6, "<< /Type /Page /Parent 4 0 R >>")
        .Root(1);
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    EXPECT_EQ(opened.Doc()->GetPageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        CPDFObjRef ref;
        EXPECT_TRUE(opened.Doc()->GetPage(i, &ref)) << i;
        EXPECT_EQ(ref, CPDFObjRef(i == 0 ? 3 : i + 4, 0));
    }
    EXPECT_FALSE(opened.Doc()->GetPage(3, nullptr));

    PdfBuilder empty;
    empty.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>").Obj(2, "<< /Type /Pages /Kids [] >>").Root(1);
    OpenedDoc none(empty);
    ASSERT_TRUE(none.Doc()) << none.Error().GetFactor();
    EXPECT_EQ(none.Doc()->GetPageCount(), 0);
}

TEST(CPDFCatalogTest, OpenActionDestinationOrAction) {
    OpenedDoc dest(WithCatalog(" /OpenAction [3 0 R /Fit]"));
    ASSERT_TRUE(dest.Doc()) << dest.Error().GetFactor();
    EXPECT_TRUE(dynamic_cast<CPDFDestination*>(dest.Doc()->GetCatalog()->Get_OpenAction()));

    OpenedDoc action(WithCatalog(" /OpenAction 5 0 R").Obj(5, "<< /S /GoTo /D [3 0 R /Fit] >>"));
    ASSERT_TRUE(action.Doc()) << action.Error().GetFactor();
    CPDFObjRef ref;
    EXPECT_TRUE(dynamic_cast<CPDFAction*>(action.Doc()->GetCatalog()->Get_OpenAction(&ref)));
    EXPECT_EQ(CPDFObjRef(5, 0), ref);

    OpenedDoc neither(WithCatalog(" /OpenAction [3 0 R /FitH]"));
    ASSERT_TRUE(neither.Doc()) << neither.Error().GetFactor();
    EXPECT_TRUE(neither.Doc()->GetCatalog()->Get_OpenAction()->IsParsed());
}

TEST(CPDFCatalogTest, InteractiveEntriesAreTyped) {
    PdfBuilder pdf = WithCatalog(
        " /Outlines 5 0 R /AcroForm << /Fields [] >> /URI << /Base (http://x/) >>"
        " /ViewerPreferences << /HideToolbar true >> /Threads [6 0 R << /I << >> >>]");
    pdf.Obj(5, "<< /First 7 0 R /Last 7 0 R /Count 1 >>")
        .Obj(6, "<< /F << /T 6 0 R >> >>")
        .Obj(7, "<< /Title (One) /Parent 5 0 R /Dest [3 0 R /Fit] >>");
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFCatalog* catalog = opened.Doc()->GetCatalog();
    EXPECT_TRUE(opened.As<CPDFOutlines>(5));
    EXPECT_TRUE(catalog->Get_AcroForm());
    EXPECT_TRUE(catalog->Get_URI());
    ASSERT_TRUE(catalog->Get_ViewerPreferences());
    EXPECT_TRUE(catalog->Get_ViewerPreferences()->Has("HideToolbar"));
    EXPECT_TRUE(opened.As<CPDFThread>(6));
    EXPECT_TRUE(catalog->Get_Threads()->GetObj(opened.Doc(), 1)->IsParsed());

    OpenedDoc half(WithCatalog(" /Outlines << /First << >> >> /URI << /Base /x >>"));
    ASSERT_TRUE(half.Doc()) << half.Error().GetFactor();
    EXPECT_TRUE(half.Doc()->GetCatalog()->Get_Outlines()->IsParsed());
    EXPECT_EQ(nullptr, half.Doc()->GetCatalog()->Get_URI());
}

TEST(CPDFCatalogTest, OldDestsDictionaryIsTyped) {
    PdfBuilder pdf = WithCatalog(" /Dests << /a [3 0 R /Fit] /b 5 0 R /c 6 0 R /d 7 >>");
    pdf.Obj(5, "<< /D [3 0 R /XYZ null null null] >>").Obj(6, "[3 0 R /FitR 1 2 3]");
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    auto* dests = dynamic_cast<CPDFDict*>(opened.Doc()->GetCatalog()->Get_Dests());
    ASSERT_TRUE(dests);
    EXPECT_TRUE(dynamic_cast<CPDFDestination*>(dests->GetObj(opened.Doc(), "a")));
    EXPECT_TRUE(opened.As<CPDFLinkPoint>(5));
    EXPECT_EQ(CPDFObjRef(5, 0), HeldRef(dests->Find("b")));
    EXPECT_TRUE(opened.Obj(6)->IsParsed());
    EXPECT_TRUE(dests->GetObj(opened.Doc(), "d")->IsParsed());

    // A reference to nothing is the null object: no destination, and the
    // entry stays as written.
    OpenedDoc dangling(WithCatalog(" /Dests << /a 9 0 R >>").Obj(10, "null"));
    ASSERT_TRUE(dangling.Doc()) << dangling.Error().GetFactor();
    auto* kept = dynamic_cast<CPDFDict*>(dangling.Doc()->GetCatalog()->Get_Dests());
    ASSERT_TRUE(kept);
    EXPECT_EQ(CPDFObjRef(9, 0), HeldRef(kept->Find("a")));
}

TEST(CPDFCatalogTest, PageTreeOnlyStopsAfterThePages) {
    PdfBuilder pdf = WithCatalog(" /Names << /Dests 5 0 R >> /OpenAction [3 0 R /Fit]");
    pdf.Obj(5, "<< /Names [(a) [3 0 R /Fit]] >>");
    OpenedDoc opened(pdf, CPDFLib::LoadPageTreeOnly);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFCatalog* catalog = opened.Doc()->GetCatalog();
    ASSERT_TRUE(catalog);
    EXPECT_TRUE(catalog->Get_Pages());
    EXPECT_EQ(nullptr, catalog->Get_Names());
    EXPECT_TRUE(catalog->GetObj(opened.Doc(), "Names")->IsParsed());
    EXPECT_TRUE(catalog->Get_OpenAction()->IsParsed());
    EXPECT_TRUE(opened.Obj(5)->IsParsed());
}

TEST(CPDFCatalogTest, PageLabelsNumberTree) {
    PdfBuilder pdf = WithCatalog(" /PageLabels 5 0 R");
    pdf.Obj(5, "<< /Nums [0 << /S /r >> 1 6 0 R] /Kids [7 0 R] >>")
        .Obj(6, "<< /Type /PageLabel /P (A-) /St 3 >>")
        .Obj(7, "<< /Nums [4 << /Type /Other >> 5 << /S /D >>] /Kids [8 0 R] >>")
        .Obj(8, "<< /Nums [9 << /S /D >>] >>");
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFNumTreeNode* labels = opened.Doc()->GetCatalog()->Get_PageLabels();
    ASSERT_TRUE(labels);
    CPDFDoc* doc = opened.Doc();
    CPDFArray* nums = labels->Get_Nums();
    ASSERT_TRUE(nums);
    EXPECT_TRUE(dynamic_cast<CPDFInt*>(nums->GetObj(doc, 0)));
    EXPECT_TRUE(dynamic_cast<CPDFPageLabelDict*>(nums->GetObj(doc, 1)));
    auto* label = opened.As<CPDFPageLabelDict>(6);
    ASSERT_TRUE(label);
    EXPECT_TRUE(dynamic_cast<CPDFText*>(label->Get_P()));
    ASSERT_TRUE(dynamic_cast<CPDFInt*>(label->Get_St()));
    EXPECT_EQ(3, label->Get_St()->IntValue());

    auto* kid = opened.As<CPDFNumTreeNode>(7);
    ASSERT_TRUE(kid);
    EXPECT_TRUE(kid->Get_Nums()->GetObj(doc, 1)->IsParsed());  // Type is not PageLabel
    EXPECT_TRUE(dynamic_cast<CPDFPageLabelDict*>(kid->Get_Nums()->GetObj(doc, 3)));
    auto* grandchild = opened.As<CPDFNumTreeNode>(8);
    ASSERT_TRUE(grandchild);  // typed, but below the walk
    EXPECT_TRUE(dynamic_cast<CPDFInt*>(grandchild->Get_Nums()->GetObj(doc, 0)));
    EXPECT_TRUE(grandchild->Get_Nums()->GetObj(doc, 1)->IsParsed());
}

// Files whose references run in circles must end in a clean result.
TEST(CPDFCatalogTest, CircularEntriesDoNotBreakTheLoad) {
    const char* const kCatalogs[] = {
        " /Names 1 0 R /ViewerPreferences 1 0 R",
        " /Dests 1 0 R /D [3 0 R /Fit]",
        " /Names << /Dests << /Names 5 0 R >> >>",
        " /Names << /Dests << /Names 5 0 R /Kids [6 0 R] >> >>",
    };
    for (const char* extra : kCatalogs) {
        PdfBuilder pdf = WithCatalog(extra);
        pdf.Obj(5, "[(a) /Fit (b) << /D 5 0 R >> (c) 7 0 R]")
            .Obj(6, "<< /Names 5 0 R /Kids [6 0 R] >>")
            .Obj(7, "<< /D 5 0 R >>");
        OpenedDoc opened(pdf);
        if (opened.Doc()) {
            EXPECT_TRUE(opened.Doc()->GetPage(0, nullptr)) << extra;
        }
    }
}

}  // namespace
}  // namespace corvina
