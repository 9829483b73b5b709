#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/io/TempName.h"
#include "support/OpenedPdf.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

using namespace corvina;

namespace {

std::string Offset10(long v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%010ld", v);
    return buf;
}

std::string Entry(long offset) {
    return Offset10(offset) + " 00000 n \n";
}

void Replace(std::string& s, const std::string& what, const std::string& with) {
    const size_t at = s.find(what);
    if (at != std::string::npos) s.replace(at, what.size(), with);
}

// A two-page file laid out as a linearized one: the parameter dictionary
// (object 1, `params` with {hint} for the offset of object 2) and the
// first-page section at the front, whose trailer ends in "startxref 0", then
// `hint` as object 2, the document objects 3 to 6 and the main section.
std::string LinearizedFile(const std::string& params, const std::string& hint) {
    // Built twice: the numbers are written ten digits wide, so the second
    // pass puts the offsets the first one found at the same places.
    long o2 = 0, m = 0;
    std::string out;
    for (int pass = 0; pass < 2; ++pass) {
        out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
        const long o1 = static_cast<long>(out.size());
        std::string p = params;
        Replace(p, "{hint}", Offset10(o2));
        out += "1 0 obj\n" + p + "\nendobj\n";
        const long x1 = static_cast<long>(out.size());
        out += "xref\n0 3\n0000000000 65535 f \n" + Entry(o1) + Entry(o2) +
               "trailer\n<</Size 7/Root 3 0 R/Prev " + Offset10(m) + ">>\nstartxref\n0\n%%EOF\n";
        o2 = static_cast<long>(out.size());
        out += "2 0 obj\n" + hint + "\nendobj\n";
        const std::vector<std::string> objs = {"<</Type/Catalog/Pages 4 0 R>>",
                                               "<</Type/Pages/Kids[5 0 R 6 0 R]/Count 2>>",
                                               "<</Type/Page/Parent 4 0 R/MediaBox[0 0 200 200]>>",
                                               "<</Type/Page/Parent 4 0 R/MediaBox[0 0 200 200]>>"};
        std::string table = "xref\n3 4\n";
        for (size_t i = 0; i < objs.size(); ++i) {
            table += Entry(static_cast<long>(out.size()));
            out += std::to_string(i + 3) + " 0 obj\n" + objs[i] + "\nendobj\n";
        }
        m = static_cast<long>(out.size());
        out += table + "trailer\n<</Size 7/Root 3 0 R>>\nstartxref\n" + std::to_string(x1) +
               "\n%%EOF\n";
    }
    return out;
}

const char kParams[] = "<</Linearized 1/L 9999/H[{hint} 40]/O 5/E 600/N 2/T 800>>";
const char kHint[] = "<</S 12/Length 4>>stream\nabcd\nendstream";

struct OpenCase {
    const char* name;
    std::string params;
    std::string hint;
    bool hasParams;
    bool hasHint;
    std::string warning;  // factor of the warning, empty for none
};

using Opened = OpenedPdf;

TEST(CPDFDocLinearizeTest, OpeningReadsParametersOrWarns) {
    const std::vector<OpenCase> cases = {
        {"valid", kParams, kHint, true, true, ""},
        {"L not an integer", "<</Linearized 1/L 3 0 R/H[{hint} 40]/O 5/E 600/N 2/T 800>>", kHint,
         false, false, "CPDFLineaParams::Get_Hints()"},
        {"no H", "<</Linearized 1/L 9999/O 5/E 600/N 2/T 800>>", kHint, false, false,
         "CPDFLineaParams::Get_Hints()"},
        {"H of one", "<</Linearized 1/L 9999/H[{hint}]/O 5/E 600/N 2/T 800>>", kHint, true, false,
         "CPDFArray::GetObj()"},
        {"not parameters", "<</Type/Foo/H[{hint} 40]>>", kHint, false, false,
         "CPDFLineaParams::Get_Hints()"},
        {"first object unreadable", "]", kHint, false, false, "invalidtoken: ]"},
        {"hint not at H", "<</Linearized 1/L 9999/H[1 40]/O 5/E 600/N 2/T 800>>", kHint, true,
         false, "invalidtoken: 0"},
        {"hint beyond the file", "<</Linearized 1/L 9999/H[99999999 40]/O 5/E 600/N 2/T 800>>",
         kHint, true, false, "ioerror"},
        {"hint without S", kParams, "<</Length 4>>stream\nabcd\nendstream", true, false, ""},
        {"hint not a stream", kParams, "<</S 12>>", true, false, ""},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        Opened o(LinearizedFile(c.params, c.hint));
        ASSERT_NE(o.Doc(), nullptr) << o.Error().GetFactor();
        EXPECT_TRUE(o.Doc()->IsLinearized());
        EXPECT_EQ(o.Doc()->GetPageCount(), 2);
        EXPECT_EQ(o.Doc()->GetLineaParams() != nullptr, c.hasParams);
        EXPECT_EQ(o.Doc()->GetHintStream() != nullptr, c.hasHint);
        const auto& warnings = o.Doc()->GetWarnings();
        EXPECT_EQ(warnings.size(), c.warning.empty() ? 0u : 1u);
        if (!c.warning.empty() && !warnings.empty()) {
            EXPECT_EQ(warnings[0].GetFactor(), c.warning);
            EXPECT_STREQ(warnings[0].GetModule(), "CPDFDoc");
        }
        if (c.hasHint) {
            CPDFHintStream* hint = o.Doc()->GetHintStream();
            ASSERT_NE(hint->Get_S(), nullptr);
            EXPECT_EQ(hint->Get_S()->IntValue(), 12);
            EXPECT_EQ(std::string(hint->GetData(), 4), "abcd");
        }
    }
}

TEST(CPDFDocLinearizeTest, PlainFileIsNotLinearized) {
    OpenedPdf pdf(PdfBuilder::OnePage());
    ASSERT_NE(pdf.Doc(), nullptr);
    EXPECT_FALSE(pdf.Doc()->IsLinearized());
    EXPECT_EQ(pdf.Doc()->GetLineaParams(), nullptr);
    EXPECT_TRUE(pdf.Doc()->GetWarnings().empty());
}

// Pages 3, 4 and 5; page 5 has an annotation whose destination is page 4 and
// whose P is page 5, and pages 4 and 5 share font 9.
PdfBuilder ThreePages() {
    PdfBuilder b;
    b.Obj(1, "<</Type/Catalog/Pages 2 0 R>>")
        .Obj(2, "<</Type/Pages/Kids[3 0 R 4 0 R 5 0 R]/Count 3/MediaBox[0 0 200 200]>>")
        .Obj(3, "<</Type/Page/Parent 2 0 R/Contents 6 0 R>>")
        .Obj(4, "<</Type/Page/Parent 2 0 R/Contents 7 0 R/Resources<</Font<</F1 9 0 R>>>>>>")
        .Obj(5,
             "<</Type/Page/Parent 2 0 R/Annots[10 0 R]/Contents 8 0 R/Resources<</Font<</F1 9 0 "
             "R>>>>>>")
        .Obj(6, "<</Length 0>>stream\n\nendstream")
        .Obj(7, "<</Length 0>>stream\n\nendstream")
        .Obj(8, "<</Length 0>>stream\n\nendstream")
        .Obj(9, "<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>")
        .Obj(10, "<</Type/Annot/Subtype/Link/Rect[0 0 1 1]/Dest[4 0 R/Fit]/P 5 0 R>>")
        .Root(1);
    return b;
}

std::map<int, int> MovedNumbers(CPDFDoc* doc) {
    std::map<int, int> moved;
    for (int n = 1; n <= 11; ++n) {
        CPDFObjRef to;
        if (doc->FindLinearRef(CPDFObjRef(n, 0), &to)) moved[n] = to.objNum;
    }
    return moved;
}

TEST(CPDFDocLinearizeTest, SaveAskingForLinearizationRegroupsLaterPages) {
    OpenedPdf pdf(ThreePages());
    CPDFDoc* doc = pdf.Doc();
    ASSERT_NE(doc, nullptr);
    const std::string out = pdf.Dir().File("out.pdf");
    ASSERT_TRUE(doc->Save(out.c_str(), false, true)) << doc->GetLastError().GetFactor();
    ASSERT_TRUE(doc->Flush()) << doc->GetLastError().GetFactor();
    // In the order of moving: page 4 and what it reaches, then page 5.
    const std::map<int, int> expected = {{4, 1}, {7, 2}, {9, 3}, {5, 4}, {10, 5}, {8, 6}};
    EXPECT_EQ(MovedNumbers(doc), expected);
    ASSERT_NE(doc->GetLinearTrailer(), nullptr);
    EXPECT_EQ(doc->GetLinearTrailer()->Get_Size()->IntValue(), 7);
    EXPECT_EQ(doc->GetLinearXRef()->Size(), 6);
    // Moved objects refer to each other by their new numbers.
    auto* page5 = dynamic_cast<CPDFDict*>(doc->GetLinearBody()->GetObj(CPDFObjRef(4, 0)));
    ASSERT_NE(page5, nullptr);
    CPDFObjRef contents;
    page5->GetObj(nullptr, "Contents", &contents);
    EXPECT_EQ(contents.objNum, 6);
    CPDFObjRef parent;
    page5->GetObj(nullptr, "Parent", &parent);
    EXPECT_EQ(parent.objNum, 2);  // the page tree stays
    // The file written is a plain one, and still reads.
    EXPECT_EQ(doc->GetPageCount(), 3);
}

TEST(CPDFDocLinearizeTest, NothingMovesForOnePageOrWithoutTheRequest) {
    {
        OpenedPdf pdf(PdfBuilder::OnePage());
        const std::string out = pdf.Dir().File("out.pdf");
        ASSERT_TRUE(pdf.Doc()->Save(out.c_str(), false, true));
        ASSERT_TRUE(pdf.Doc()->Flush());
        EXPECT_EQ(pdf.Doc()->GetLinearBody(), nullptr);
    }
    {
        OpenedPdf pdf(ThreePages());
        const std::string out = pdf.Dir().File("out.pdf");
        ASSERT_TRUE(pdf.Doc()->Save(out.c_str(), false, false));
        ASSERT_TRUE(pdf.Doc()->Flush());
        EXPECT_EQ(pdf.Doc()->GetLinearBody(), nullptr);
        EXPECT_TRUE(MovedNumbers(pdf.Doc()).empty());
    }
}

TEST(CPDFDocLinearizeTest, LinearizedInputSavedPlainIsNotRegrouped) {
    Opened o(LinearizedFile(kParams, kHint));
    ASSERT_NE(o.Doc(), nullptr);
    const std::string out = o.Dir().File("out.pdf");
    ASSERT_TRUE(o.Doc()->Save(out.c_str(), false, false));
    ASSERT_TRUE(o.Doc()->Flush());
    EXPECT_EQ(o.Doc()->GetLinearBody(), nullptr);
    EXPECT_FALSE(o.Doc()->IsLinearized());
    // The old parameter dictionary and hint stream are not carried over.
    EXPECT_EQ(o.Doc()->GetObj(CPDFObjRef(1, 0)), nullptr);
    EXPECT_EQ(o.Doc()->GetObj(CPDFObjRef(2, 0)), nullptr);
    EXPECT_EQ(o.Doc()->GetPageCount(), 2);
}

}  // namespace
