#include "pdf/structure/CPDFDestination.h"

#include <gtest/gtest.h>

#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFReal.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFLinkPoint.h"
#include "pdf/structure/CPDFNameDict.h"
#include "pdf/structure/CPDFNameTreeNode.h"
#include "pdf/structure/StructType.h"
#include "tests/pdf/structure/StructTestUtil.h"

namespace corvina {
namespace {

using structtest::HeldRef;
using structtest::OpenedDoc;
using structtest::ParseAs;

bool IsDest(const std::string& text) {
    auto array = ParseAs<CPDFArray>(text);
    return array && CPDFDestination::Recognize(nullptr, array.get());
}

TEST(CPDFDestinationTest, FitTypesWithoutOperands) {
    EXPECT_TRUE(IsDest("[12 0 R /Fit]"));
    EXPECT_TRUE(IsDest("[12 0 R /FitB]"));
}

TEST(CPDFDestinationTest, XYZNeedsThreeNumbersOrNulls) {
    EXPECT_FALSE(IsDest("[12 0 R /XYZ 1 2]"));
    EXPECT_FALSE(IsDest("[12 0 R /XYZ]"));
    EXPECT_TRUE(IsDest("[12 0 R /XYZ null null null]"));
    EXPECT_TRUE(IsDest("[12 0 R /XYZ 10 20.5 0]"));
    EXPECT_TRUE(IsDest("[12 0 R /XYZ 10 null 2]"));
    EXPECT_FALSE(IsDest("[12 0 R /XYZ 10 /Top 2]"));
    EXPECT_FALSE(IsDest("[12 0 R /XYZ (1) 2 3]"));
}

TEST(CPDFDestinationTest, OneNumberForFitHFitVFitBHFitBV) {
    for (const char* fit : {"FitH", "FitV", "FitBH", "FitBV"}) {
        const std::string head = std::string("[12 0 R /") + fit;
        EXPECT_TRUE(IsDest(head + " 500]")) << fit;
        EXPECT_FALSE(IsDest(head + " null]")) << fit;
        EXPECT_FALSE(IsDest(head + "]")) << fit;
        EXPECT_FALSE(IsDest(head + " /Top]")) << fit;
    }
}

TEST(CPDFDestinationTest, FitRNeedsFourNumbers) {
    EXPECT_FALSE(IsDest("[12 0 R /FitR 1 2 3]"));
    EXPECT_TRUE(IsDest("[12 0 R /FitR 1 2 3 4]"));
    EXPECT_FALSE(IsDest("[12 0 R /FitR 1 2 null 4]"));
}

TEST(CPDFDestinationTest, OtherNamesPassAndPositionZeroIsNotExamined) {
    EXPECT_TRUE(IsDest("[12 0 R /fit]"));
    EXPECT_TRUE(IsDest("[12 0 R /fith]"));  // not FitH: no operand needed
    EXPECT_TRUE(IsDest("[12 0 R /Foo]"));
    EXPECT_TRUE(IsDest("[5 /Fit]"));
    EXPECT_TRUE(IsDest("[(page) /Fit]"));
    EXPECT_TRUE(IsDest("[12 0 R /Fit 1 2 3]"));  // extra elements are ignored
    EXPECT_TRUE(IsDest("[12 0 R /FitH 5 6]"));
}

TEST(CPDFDestinationTest, ShortArraysAndNonNameFitsFail) {
    EXPECT_FALSE(IsDest("[]"));
    EXPECT_FALSE(IsDest("[12 0 R]"));
    EXPECT_FALSE(IsDest("[/Fit]"));
    EXPECT_FALSE(IsDest("[12 0 R 5]"));
    EXPECT_FALSE(IsDest("[12 0 R (Fit)]"));
}

TEST(CPDFDestinationTest, OnlyParsedNumbersCount) {
    auto make = [](std::unique_ptr<CPDFObject> top) {
        auto array = std::make_unique<CPDFArray>();
        array->Push_Back(std::make_unique<CPDFObjRef>(12, 0));
        array->Push_Back(std::make_unique<CPDFName>("FitH"));
        array->Push_Back(std::move(top));
        return array;
    };
    EXPECT_TRUE(CPDFDestination::Recognize(nullptr, make(std::make_unique<CPDFNumber>(5)).get()));
    EXPECT_FALSE(CPDFDestination::Recognize(nullptr, make(std::make_unique<CPDFInt>(5)).get()));
    auto real = std::make_unique<CPDFReal>();
    real->SetReal(5.5f);
    EXPECT_FALSE(CPDFDestination::Recognize(nullptr, make(std::move(real)).get()));
}

TEST(CPDFDestinationTest, LoadTakesOverTheElements) {
    auto plain = ParseAs<CPDFArray>("[12 0 R /XYZ null null null]");
    ASSERT_TRUE(plain);
    CPDFDestination dest;
    ASSERT_TRUE(dest.Load(nullptr, plain.get()));
    EXPECT_EQ(0, plain->Count());
    EXPECT_EQ(5, dest.Count());
    EXPECT_FALSE(dest.IsParsed());
    EXPECT_EQ(detail::DestinationType, dest.StructType());
    EXPECT_EQ(CPDFObject::Array, dest.TypeCode());
    EXPECT_EQ("[12 0 R /XYZ null null null]", structtest::Written(dest));
}

TEST(CPDFDestinationTest, DuplicateCopiesADirectPage) {
    auto plain = ParseAs<CPDFArray>("[5 /FitH 100]");
    CPDFDestination dest;
    ASSERT_TRUE(dest.Load(nullptr, plain.get()));
    std::unique_ptr<CPDFObject> copy = dest.Duplicate(nullptr, nullptr);
    ASSERT_TRUE(dynamic_cast<CPDFDestination*>(copy.get()));
    EXPECT_EQ("[5 /FitH 100]", structtest::Written(*copy));
}

TEST(CPDFDestinationTest, DuplicateGivesNothingForAnUnresolvablePage) {
    auto plain = ParseAs<CPDFArray>("[12 0 R /Fit]");
    CPDFDestination dest;
    ASSERT_TRUE(dest.Load(nullptr, plain.get()));
    EXPECT_EQ(nullptr, dest.Duplicate(nullptr, nullptr));
    CPDFDestination empty;
    EXPECT_EQ(nullptr, empty.Duplicate(nullptr, nullptr));
}

TEST(CPDFLinkPointTest, Recognizer) {
    auto check = [](const std::string& text) {
        auto dict = ParseAs<CPDFDict>(text);
        return dict && CPDFLinkPoint::Recognize(nullptr, dict.get());
    };
    EXPECT_TRUE(check("<< /D [1 0 R /Fit] >>"));
    EXPECT_TRUE(check("<< /D [] >>"));  // no further test of D
    EXPECT_FALSE(check("<< /D << /Fit 1 >> >>"));
    EXPECT_FALSE(check("<< /S /GoTo >>"));
}

TEST(CPDFLinkPointTest, CreateStoresTheDestinationDirectly) {
    auto plain = ParseAs<CPDFArray>("[12 0 R /XYZ null null null]");
    auto dest = std::make_unique<CPDFDestination>();
    ASSERT_TRUE(dest->Load(nullptr, plain.get()));
    CPDFDestination* raw = dest.get();
    CPDFLinkPoint point;
    ASSERT_TRUE(point.Create(nullptr, std::move(dest)));
    EXPECT_EQ(static_cast<CPDFAtom*>(raw), point.Find("D"));
    EXPECT_EQ(raw, point.Get_D());
    EXPECT_EQ(1, point.Count());
    EXPECT_EQ("<<\r\n/D [12 0 R /XYZ null null null]\r\n>>", structtest::Written(point));
}

TEST(CPDFLinkPointTest, LoadTypesADestinationArray) {
    auto plain = ParseAs<CPDFDict>("<< /D [1 0 R /FitH 5] /Extra 1 >>");
    CPDFLinkPoint point;
    ASSERT_TRUE(point.Load(nullptr, plain.get()));
    EXPECT_EQ(0, plain->Count());
    auto* dest = dynamic_cast<CPDFDestination*>(point.Get_D());
    ASSERT_TRUE(dest);
    EXPECT_FALSE(dest->IsParsed());
    EXPECT_TRUE(point.Has("Extra"));
}

TEST(CPDFLinkPointTest, LoadLeavesAFailingArrayPlainAndNeedsD) {
    auto plain = ParseAs<CPDFDict>("<< /D [1 0 R /FitH] >>");
    CPDFLinkPoint point;
    ASSERT_TRUE(point.Load(nullptr, plain.get()));
    CPDFObject* d = point.Get_D();
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->IsParsed());
    EXPECT_EQ(nullptr, dynamic_cast<CPDFDestination*>(d));

    auto noD = ParseAs<CPDFDict>("<< /S /GoTo >>");
    CPDFLinkPoint other;
    EXPECT_FALSE(other.Load(nullptr, noD.get()));
}

// Document-backed cases: destinations reached through references.
PdfBuilder DestsFile() {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R /Names 5 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
        .Obj(5, "<< /Dests 6 0 R >>")
        .Obj(6, "<< /Names [(a) 7 0 R (b) 8 0 R (c) [3 0 R /Fit] (d) 9 0 R (e) 10 0 R] >>")
        .Obj(7, "<< /D 11 0 R >>")
        .Obj(8, "[3 0 R /FitR 1 2 3 4]")
        .Obj(9, "<< /D [3 0 R /FitH] >>")
        .Obj(10, "<< /S /GoTo >>")
        .Obj(11, "[3 0 R /XYZ 0 792 null]")
        .Root(1);
    return pdf;
}

TEST(CPDFLinkPointTest, TypedValuesKeepTheirReferences) {
    OpenedDoc opened(DestsFile());
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    // A destination dictionary whose D is a reference keeps it, now to a typed array.
    auto* point = opened.As<CPDFLinkPoint>(7);
    ASSERT_TRUE(point);
    CPDFObjRef ref;
    EXPECT_TRUE(dynamic_cast<CPDFDestination*>(point->Get_D(&ref)));
    EXPECT_EQ(CPDFObjRef(11, 0), ref);
    EXPECT_TRUE(opened.As<CPDFDestination>(11));
    EXPECT_TRUE(opened.As<CPDFDestination>(8));
    // A D array failing the test stays plain, the dictionary is typed anyway.
    auto* weak = opened.As<CPDFLinkPoint>(9);
    ASSERT_TRUE(weak);
    EXPECT_TRUE(weak->Get_D()->IsParsed());
    // A dictionary without D stays plain.
    CPDFObject* action = opened.Obj(10);
    ASSERT_TRUE(action);
    EXPECT_TRUE(action->IsParsed());

    // The direct array in the tree stays direct and becomes typed.
    CPDFCatalog* catalog = opened.Doc()->GetCatalog();
    ASSERT_TRUE(catalog);
    CPDFNameTreeNode* tree = catalog->Get_Names()->Get_Dests();
    ASSERT_TRUE(tree);
    CPDFArray* names = tree->Get_Names();
    ASSERT_EQ(10, names->Count());
    EXPECT_EQ(CPDFAtom::ObjectKind, names->GetAt(5)->Kind());
    EXPECT_TRUE(dynamic_cast<CPDFDestination*>(names->GetObj(opened.Doc(), 5)));
    EXPECT_EQ(CPDFObjRef(7, 0), HeldRef(names->GetAt(1)));
}

TEST(CPDFLinkPointTest, DuplicateLeavesTheCopysPageUnset) {
    OpenedDoc opened(DestsFile());
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    auto* dest = opened.As<CPDFDestination>(8);
    ASSERT_TRUE(dest);
    std::unique_ptr<CPDFObject> copy = dest->Duplicate(nullptr, opened.Doc());
    auto* typed = dynamic_cast<CPDFDestination*>(copy.get());
    ASSERT_TRUE(typed);
    EXPECT_FALSE(HeldRef(typed->GetAt(0)).IsSet());
    EXPECT_EQ(CPDFAtom::RefKind, typed->GetAt(0)->Kind());
    EXPECT_EQ("[-1 -1 R /FitR 1 2 3 4]", structtest::Written(*typed));
}

}  // namespace
}  // namespace corvina
