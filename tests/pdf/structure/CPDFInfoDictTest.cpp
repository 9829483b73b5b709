#include "pdf/structure/CPDFInfoDict.h"

#include <gtest/gtest.h>

#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFText.h"
#include "pdf/structure/CPDFDate.h"
#include "pdf/structure/StructType.h"
#include "tests/pdf/structure/StructTestUtil.h"

namespace corvina {
namespace {

using structtest::HeldRef;
using structtest::OpenedDoc;
using structtest::ParseAs;

TEST(CPDFInfoDictTest, StringsBecomeTextAndDates) {
    auto plain = ParseAs<CPDFDict>(
        "<< /Title (T) /Author /Someone /CreationDate (D:20000101120000)"
        " /ModDate (2000-01-01) /Producer <FEFF0041> /Trapped /False /Custom (c) >>");
    CPDFInfoDict info;
    ASSERT_TRUE(info.Load(nullptr, plain.get()));
    EXPECT_EQ(0, plain->Count());
    EXPECT_TRUE(dynamic_cast<CPDFText*>(info.Get_Title()));
    EXPECT_TRUE(dynamic_cast<CPDFText*>(info.Get_Producer()));
    EXPECT_TRUE(IsNameEqual(info.Get_Author(), "Someone"));
    auto* created = dynamic_cast<CPDFDate*>(info.Get_CreationDate());
    ASSERT_TRUE(created);
    EXPECT_EQ("D:20000101120000", std::string(created->Text(), created->Length()));
    CPDFObject* modified = info.Get_ModDate();
    ASSERT_TRUE(modified);
    EXPECT_EQ(nullptr, dynamic_cast<CPDFDate*>(modified));
    EXPECT_TRUE(modified->IsParsed());
    EXPECT_TRUE(info.GetObj(nullptr, "Custom")->IsParsed());  // not a known key
    EXPECT_EQ(nullptr, info.Get_Subject());
    EXPECT_EQ(
        "<<\r\n/Author /Someone\r\n/CreationDate (D:20000101120000)\r\n/Custom (c)\r\n"
        "/ModDate (2000-01-01)\r\n/Producer <FEFF0041>\r\n/Title (T)\r\n/Trapped /False\r\n>>",
        structtest::Written(info));
}

TEST(CPDFInfoDictTest, OpenedInfoKeepsReferences) {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .Obj(5, "<< /Title 6 0 R /CreationDate 7 0 R >>")
        .Obj(6, "(Indirect title)")
        .Obj(7, "(D:19991231235959)")
        .Root(1)
        .Info(5);
    OpenedDoc opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    auto* info = opened.As<CPDFInfoDict>(5);
    ASSERT_TRUE(info);
    CPDFObjRef ref;
    EXPECT_TRUE(dynamic_cast<CPDFText*>(info->Get_Title(&ref)));
    EXPECT_EQ(CPDFObjRef(6, 0), ref);
    EXPECT_TRUE(opened.As<CPDFText>(6));
    EXPECT_TRUE(opened.As<CPDFDate>(7));
    EXPECT_EQ(CPDFObjRef(7, 0), HeldRef(info->Find("CreationDate")));
}

TEST(CPDFInfoDictTest, SettersAndDuplicate) {
    CPDFInfoDict info;
    info.SetDoc(nullptr);
    ASSERT_TRUE(info.Set_Producer(std::make_unique<CPDFText>("corvina"), false));
    auto date = std::make_unique<CPDFDate>();
    date->Assign("D:20000101000000");
    ASSERT_TRUE(info.Set_ModDate(std::move(date), false));
    EXPECT_EQ(detail::InfoDictType, info.StructType());
    std::unique_ptr<CPDFObject> copy = info.Duplicate(nullptr, nullptr);
    auto* typed = dynamic_cast<CPDFInfoDict*>(copy.get());
    ASSERT_TRUE(typed);
    EXPECT_TRUE(dynamic_cast<CPDFDate*>(typed->Get_ModDate()));
    EXPECT_EQ("<<\r\n/ModDate (D:20000101000000)\r\n/Producer (corvina)\r\n>>",
              structtest::Written(*typed));
}

}  // namespace
}  // namespace corvina
