// Numbers read from a file come back with exactly their text; numbers the
// program sets use the computed forms.
#include "pdf/object/CPDFNumber.h"

#include <gtest/gtest.h>

#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFReal.h"
#include "support/ObjectTestUtil.h"
#include "support/OpenedPdf.h"
#include "support/PdfBuilder.h"

namespace corvina {
namespace {
using namespace corvina::testing;

// Texts the single-precision views would have changed, the edge forms of the
// syntax, and both sides of the inline/heap boundary of the kept text.
TEST(CPDFNumberText, ValidTokensAreWrittenVerbatim) {
    const char* tokens[] = {
        "121.9",
        "559.1",
        "134.2",
        "571",
        "498.0109",
        "40000.5",
        "40000.75",
        "0.0000001",
        "-0.0000001",
        "-0.000001",
        "+5",
        ".5",
        "-.5",
        "+.5",
        "5.",
        "007",
        "-0",
        "00.00",
        "2.0",
        "1234.5678",
        "1.23456789",
        "32767.5",
        "-32768",
        "32768",
        "3000000000",
        "-3000000000",
        "12345678901",
        "123456789012",
        "-1234567890",
        "0.1234567890123456789",
        "99999999999999999999999999999999999999999.000000000000000000000000000000000001",
    };
    for (const char* token : tokens) {
        EXPECT_EQ(Rewrite(std::string(token) + " "), token) << token;
        EXPECT_EQ(Rewrite(std::string("[") + token + "]"), std::string("[") + token + "]");
    }
}

// The views are still those of atol and atof.
TEST(CPDFNumberText, ViewsAreUnchangedByTheKeptText) {
    auto n = ParseText("498.0109 ");
    EXPECT_EQ(AsNumber(n)->IntValue(), 498);
    EXPECT_FLOAT_EQ(AsNumber(n)->RealValue(), 498.0109f);
    auto big = ParseText("40000.5 ");
    EXPECT_EQ(AsNumber(big)->IntValue(), 40000);
    EXPECT_EQ(WriteText(*big), "40000.5");
}

// Words that start like a number but are not one keep the computed forms.
TEST(CPDFNumberText, InvalidWordsUseTheComputedForm) {
    struct Case {
        const char* token;
        const char* written;
    } cases[] = {
        {"1e5", "100000"}, {"2E+2", "200"}, {"3e", "3"},  {"1.2.3", "1.2"}, {"-", "0"},
        {"+", "0"},        {".", "0"},      {"+-5", "0"}, {"5-", "5"},      {"0x10", "0"},
        {"..5", "0"},      {"1.5e1", "15"}, {"--1", "0"}, {"7a", "7"},      {"-.", "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rewrite(std::string(c.token) + " "), c.written) << c.token;
}

// Set values drop the text and are written as computed (golden bytes).
TEST(CPDFNumberText, ChangedNumbersUseTheSpecifiedForms) {
    auto a = ParseText("121.9 ");
    AsNumber(a)->SetReal(121.9f);
    EXPECT_EQ(WriteText(*a), "121.900002");
    auto b = ParseText("40000.5 ");
    AsNumber(b)->SetInt(40000);
    EXPECT_EQ(WriteText(*b), "40000");
    auto c = ParseText("40000.5 ");
    AsNumber(c)->SetBoth(40000, 40000.5f);
    EXPECT_EQ(WriteText(*c), "40000");
    auto d = ParseText("0.0000001 ");
    AsNumber(d)->SetReal(1e-7f);
    EXPECT_EQ(WriteText(*d), "0");
    auto e = ParseText("7 ");
    AsNumber(e)->SetInt(7);  // the same value, but set: the computed form
    EXPECT_EQ(WriteText(*e), "7");
    auto f = ParseText("007 ");
    AsNumber(f)->SetInt(7);
    EXPECT_EQ(WriteText(*f), "7");
    EXPECT_EQ(WriteText(*std::make_unique<CPDFNumber>(1234.5678f)), "1234.567749");
    EXPECT_EQ(WriteText(*std::make_unique<CPDFNumber>(-1e-7f)), "-0");
    EXPECT_EQ(WriteText(*std::make_unique<CPDFNumber>(40000)), "40000");
    EXPECT_EQ(WriteText(*std::make_unique<CPDFNumber>(40000.5f)), "40000");
}

TEST(CPDFNumberText, TypedValuesCarryTheText) {
    auto plain = ParseText("12.70 ");
    CPDFInt i;
    ASSERT_TRUE(i.Load(nullptr, *AsNumber(plain)));
    EXPECT_EQ(i.IntValue(), 12);
    EXPECT_EQ(WriteText(i), "12.70");
    i.SetInt(13);
    EXPECT_EQ(WriteText(i), "13");
    i.SetReal(40000.5f);
    EXPECT_EQ(WriteText(i), "40000");

    auto real = ParseText("1234.5678 ");
    CPDFReal r;
    ASSERT_TRUE(r.Load(nullptr, *AsNumber(real)));
    EXPECT_EQ(WriteText(r), "1234.5678");
    r.SetReal(1234.5678f);
    EXPECT_EQ(WriteText(r), "1234.567749");
    CPDFReal r2;
    ASSERT_TRUE(r2.Load(nullptr, *AsNumber(real)));
    r2.SetInt(3);
    EXPECT_EQ(WriteText(r2), "3");

    // Without a valid text the typed forms apply at once.
    auto exp = ParseText("1e5 ");
    CPDFInt ie;
    ASSERT_TRUE(ie.Load(nullptr, *AsNumber(exp)));
    EXPECT_EQ(WriteText(ie), "1");
    CPDFReal re;
    ASSERT_TRUE(re.Load(nullptr, *AsNumber(exp)));
    EXPECT_EQ(WriteText(re), "100000");
}

TEST(CPDFNumberText, CopiesKeepTheText) {
    const std::string longText = "0.000000000000000000000000123456789";
    for (const std::string& token : {std::string("498.0109"), longText}) {
        auto plain = ParseText(token + " ");
        auto copy = plain->Duplicate(nullptr, nullptr);
        ASSERT_TRUE(copy);
        EXPECT_EQ(WriteText(*copy), token);

        CPDFInt i;
        ASSERT_TRUE(i.Load(nullptr, *AsNumber(plain)));
        auto intCopy = i.Duplicate(nullptr, nullptr);
        EXPECT_EQ(typeid(*intCopy), typeid(CPDFInt));
        EXPECT_EQ(WriteText(*intCopy), token);
        CPDFReal r;
        ASSERT_TRUE(r.Load(nullptr, *AsNumber(plain)));
        auto realCopy = r.Duplicate(nullptr, nullptr);
        EXPECT_EQ(WriteText(*realCopy), token);

        // Each copy owns its text: changing or dropping one leaves the others.
        CPDFNumber assigned(*AsNumber(plain));
        AsNumber(plain)->SetInt(1);
        plain.reset();
        EXPECT_EQ(WriteText(*copy), token);
        EXPECT_EQ(WriteText(assigned), token);
        assigned = CPDFNumber(5);
        EXPECT_EQ(WriteText(assigned), "5");
    }
    // A set value duplicates as set.
    CPDFReal set;
    set.SetReal(2.5f);
    EXPECT_EQ(WriteText(*set.Duplicate(nullptr, nullptr)), "2.5");
}

// A full rewrite of a document keeps every real of the page, an annotation
// and a font descriptor digit for digit.
TEST(CPDFNumberText, FullRewriteKeepsEveryReal) {
    const std::string page =
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.276 841.89] "
        "/CropBox [10.5 20.25 584.776 821.64] /Rotate 90 /Dur 2.50 /UserUnit 1.0 "
        "/Annots [4 0 R] /Resources << /Font << /F1 5 0 R >> >> >>";
    const std::string annot =
        "<< /Type /Annot /Subtype /Link /Rect [121.9 559.1 134.2 571] /Border [0 0 .5] "
        "/C [0.0 0.7490196 1] /Dest [3 0 R /XYZ 72.0001 498.0109 0] >>";
    const std::string font = "<< /Type /Font /Subtype /Type1 /BaseFont /X /FontDescriptor 6 0 R >>";
    const std::string descriptor =
        "<< /Type /FontDescriptor /FontName /X /FontBBox [-166.0 -225 1000.5 931.123456789] "
        "/ItalicAngle -12.5 /StemV 80.00 /Ascent 718.0 /Descent -207.25 /Flags 0000034 "
        "/MissingWidth 40000.5 /XHeight 0.0000001 >>";
    PdfBuilder pdf = PdfBuilder::OnePage();
    pdf.Obj(3, page).Obj(4, annot).Obj(5, font).Obj(6, descriptor);
    OpenedPdf in(pdf);
    ASSERT_TRUE(in.Doc()) << in.Error().GetFactor();
    const std::string outPath = in.Dir().File("out.pdf");
    ASSERT_TRUE(in.Doc()->Save(outPath.c_str(), false, false));
    ASSERT_TRUE(in.Doc()->Flush());
    const std::string out = ScratchDir::Read(outPath);
    for (const char* expected : {
             "/MediaBox [0 0 595.276 841.89]",
             "/CropBox [10.5 20.25 584.776 821.64]",
             "/Rotate 90",
             "/Dur 2.50",
             "/UserUnit 1.0",
             "/Rect [121.9 559.1 134.2 571]",
             "/Border [0 0 .5]",
             "/C [0.0 0.7490196 1]",
             "/XYZ 72.0001 498.0109 0]",
             "/FontBBox [-166.0 -225 1000.5 931.123456789]",
             "/ItalicAngle -12.5",
             "/StemV 80.00",
             "/Ascent 718.0",
             "/Descent -207.25",
             "/Flags 0000034",
             "/MissingWidth 40000.5",
             "/XHeight 0.0000001",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

}  // namespace
}  // namespace corvina
