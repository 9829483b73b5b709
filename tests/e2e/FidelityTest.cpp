// What the job does not own comes out exactly as it went in, on files from
// many producers: every object compared through qpdf's view of both files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"
#include "support/Fidelity.h"
#include "support/NoiseBytes.h"
#include "support/PdfBuilder.h"
#include "support/QpdfJson.h"

namespace {

using e2e::Linkpoint;
using e2e::RunResult;

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

// A page, an annotation and a font descriptor whose numbers a float cannot
// hold, strings of every form, and an uncompressed stream quoting PDF syntax.
const char kAwkwardText[] =
    "6 0 obj\n<< /Type /Annot /Subtype /Link /Rect [121.9 559.1 134.2 571] /Border [0 0 0.5]"
    " /C [0.25 0.5 1] /A << /S /URI /URI (https://example.org/a\\(b\\)) >> >>\nendobj\n"
    "7 0 obj\n<< /Type /FontDescriptor /FontName /Awkward /Flags 32 /FontBBox [-1.5 -250 "
    "1000.75 900] /ItalicAngle -12.5 /Ascent 718.0109 /Descent -207.25 /CapHeight 40000.5"
    " /StemV 0.0000001 /XHeight +5 /Leading .5 /AvgWidth 5. /MissingWidth -.25 /MaxWidth 007 >>"
    "\nendobj\n"
    "8 0 obj\n<< /Title (Tab\\there, octal \\101\\102, paren \\( \\)) /Subject <FEFF00E9>"
    " /Keywords (\xe9\xa0\x00\xff) /Big 2147483647 /Small -2147483647 /Empty / / (empty key)"
    " >>\nendobj\n"
    "9 0 obj\n<< /Length 72 >>\nstream\n"
    "A quoted file: 1 0 obj\n<< /Length 2 >>\nstream\nxx\nendstream\nendobj\n%%EOF\n"
    "\nendstream\nendobj\n"
    "10 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612.5 792.25]"
    " /CropBox [10.125 10.125 602.375 782.125] /Annots [6 0 R] /UserUnit 1.0 >>\nendobj\n";
const std::string kAwkward(kAwkwardText, sizeof kAwkwardText - 1);

std::string AwkwardPdf() {
    std::string pdf = E2EPdf::Flat(3, "/Extra [7 0 R 8 0 R 9 0 R 10 0 R]", kAwkward);
    return pdf;
}

class FidelityTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::Have("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    }
    // The default job, then -o over its output, then -d over that: each
    // output faithful to its input and clean for qpdf.
    void ExpectFaithful(const std::string& in) {
        ASSERT_FALSE(in.empty()) << "the producer failed";
        const std::string out1 = dir_.File("out1.pdf"), out2 = dir_.File("out2.pdf"),
                          out3 = dir_.File("out3.pdf");
        struct Step {
            std::string from, to;
            std::vector<std::string> args;
            bool destsOwned;
        } steps[] = {{in, out1, {}, false}, {out1, out2, {"-o"}, true}, {out2, out3, {"-d"}, true}};
        for (const Step& s : steps) {
            SCOPED_TRACE(s.args.empty() ? "default" : s.args[0]);
            std::vector<std::string> argv = {s.from, s.to};
            argv.insert(argv.end(), s.args.begin(), s.args.end());
            const RunResult r = Linkpoint(argv);
            ASSERT_EQ(r.code, 0) << r.out;
            std::string check;
            EXPECT_TRUE(e2e::QpdfCheck(s.to, &check)) << check;
            EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
            EXPECT_EQ(Joined(e2e::JobDifferences(s.from, s.to, s.destsOwned)), "");
        }
    }
    std::string Shipped(const std::string& name) {
        const std::string bytes =
            e2e::ReadBytes(std::string(SOURCE_DIR) + "/tests/data/producers/" + name);
        return bytes.empty() ? "" : dir_.Write(name, bytes);
    }
    ScratchDir dir_;
};

TEST_F(FidelityTest, PdfTeX) {
    ExpectFaithful(Shipped("pdftex.pdf"));
}

TEST_F(FidelityTest, LibreOffice) {
    ExpectFaithful(Shipped("libreoffice.pdf"));
}

TEST_F(FidelityTest, ChromiumPrintToPdf) {
    ExpectFaithful(Shipped("chromium.pdf"));
}

TEST_F(FidelityTest, Ghostscript) {
    E2E_REQUIRE("gs");
    ExpectFaithful(e2e::GhostscriptPdf(dir_, "gs.pdf", 5));
}

TEST_F(FidelityTest, Groff) {
    E2E_REQUIRE("groff");
    ExpectFaithful(e2e::GroffPdf(dir_, "groff.pdf", 4));
}

TEST_F(FidelityTest, QpdfRewriteOfEveryProducer) {
    for (const char* name : {"pdftex.pdf", "libreoffice.pdf", "chromium.pdf"}) {
        SCOPED_TRACE(name);
        const std::string in = Shipped(name);
        ExpectFaithful(e2e::QpdfRewrite(in, dir_.File(std::string("qpdf-") + name),
                                        {"--object-streams=disable", "--stream-data=uncompress"}));
    }
}

TEST_F(FidelityTest, ByteWrittenAwkwardValues) {
    ExpectFaithful(dir_.Write("awkward.pdf", AwkwardPdf()));
}

TEST_F(FidelityTest, IncrementalUpdateChain) {
    const std::string base = AwkwardPdf();
    const std::string update =
        "6 0 obj\n<< /Type /Annot /Subtype /Text /Rect [1.5 2.25 3.125 4.0625] >>\nendobj\n"
        "11 0 obj\n(a new string \\\\ with a backslash)\nendobj\n"
        "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R /Prev {prev} >>\nstartxref\n{startxref}\n"
        "%%EOF\n";
    ExpectFaithful(dir_.Write("update.pdf", E2EPdf::Fill(update, base)));
}

// The comparison itself: a changed number, string or stream byte is caught.
TEST_F(FidelityTest, ComparisonSeesEveryChange) {
    const std::string in = dir_.Write("in.pdf", AwkwardPdf());
    struct Change {
        const char* from;
        const char* to;
    } changes[] = {{"121.9 559.1", "121.900002 559.1"},
                   {"/StemV 0.0000001", "/StemV 0        "},
                   {"octal \\101", "octal \\102"},
                   {"stream\nxx\nendstream", "stream\nxy\nendstream"}};
    for (const Change& c : changes) {
        SCOPED_TRACE(c.from);
        std::string bytes = AwkwardPdf();
        const size_t at = bytes.find(c.from);
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, std::string(c.from).size(), c.to);
        const std::string changed = dir_.Write("changed.pdf", bytes);
        EXPECT_NE(Joined(e2e::JobDifferences(in, changed)), "");
    }
    EXPECT_EQ(Joined(e2e::JobDifferences(in, in)), "");
}

// The page the job reads and types (with its annotation, resources and page
// boxes) and what the job never reads go out as the very bytes they came in
// as; only the catalog and the information dictionary are written anew.
TEST_F(FidelityTest, WhatTheJobDoesNotChangeGoesOutByteForByte) {
    const std::string in = dir_.Write(
        "in.pdf",
        E2EPdf::Fill("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"
                     "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                     "2 0 obj\n<</Type/Pages/Kids[3 0 R]/Count 1>>\nendobj\n"
                     "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612.50 792]"
                     " /CropBox [ 1 1 611 791 ] /Rotate 90 /Annots [4 0 R] /Resources 5 0 R"
                     " /Contents 6 0 R >>\nendobj\n"
                     "4 0 obj\n<< /Type /Annot /Subtype /Link /Rect [121.9 559.1 134.2 571]"
                     " /Border [0 0 0] /Dest [3 0 R /Fit] >>\nendobj\n"
                     "5 0 obj\n<< /Font << /F1 7 0 R >> /ProcSet [/PDF /Text] >>\nendobj\n"
                     "6 0 obj\n<< /Length 34 >>\nstream\nBT /F1 12 Tf 72 720 Td (Hi) Tj ET\n\n"
                     "endstream\nendobj\n"
                     "7 0 obj\n<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\nendobj\n"
                     "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n"
                     "%%EOF\n"));
    const std::string out = dir_.File("out.pdf");
    const RunResult r = Linkpoint({in, out});
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string before = e2e::ReadBytes(in), after = e2e::ReadBytes(out);
    auto object = [](const std::string& file, int num) {
        const std::string head = "\n" + std::to_string(num) + " 0 obj";
        const size_t at = file.find(head);
        if (at == std::string::npos) return std::string("<missing>");
        return file.substr(at + 1, file.find("endobj", at) + 6 - at - 1);
    };
    for (int num = 2; num <= 7; ++num) EXPECT_EQ(object(after, num), object(before, num)) << num;
    EXPECT_NE(object(after, 1), object(before, 1));
    std::string check;
    EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
}

TEST(CanonicalDecimal, ExactValueForms) {
    EXPECT_EQ(e2e::CanonicalDecimal("007"), "7");
    EXPECT_EQ(e2e::CanonicalDecimal("+5"), "5");
    EXPECT_EQ(e2e::CanonicalDecimal("5."), "5");
    EXPECT_EQ(e2e::CanonicalDecimal("-.50"), "-0.5");
    EXPECT_EQ(e2e::CanonicalDecimal("-0.0"), "0");
    EXPECT_EQ(e2e::CanonicalDecimal("0.0000001"), "0.0000001");
    EXPECT_EQ(e2e::CanonicalDecimal("121.900002"), "121.900002");
}

}  // namespace

// A file of several reader buffers, read ahead by a helper while the job
// finds and writes the objects: streams of every size from a byte to more
// than a buffer, small objects between them, all carried over byte for byte.
TEST_F(FidelityTest, FileOfManyReaderBuffersGoesOutByteForByte) {
    PdfBuilder pdf = PdfBuilder::OnePage();
    const int sizes[] = {1,      700,    4095,    4096, 65536, 200000, 524287,
                         524288, 524289, 1100000, 3,    90000, 700000, 12};
    std::string extra;
    int num = 4;
    for (const int size : sizes) {
        const std::string data = NoiseBytes(static_cast<size_t>(size), static_cast<unsigned>(num));
        pdf.Obj(num, "<< /Length " + std::to_string(size) + " >>\nstream\n" + data + "\nendstream");
        pdf.Obj(num + 1,
                "<< /Size " + std::to_string(size) + " /Next [" + std::to_string(num) + " 0 R] >>");
        extra += std::to_string(num) + " 0 R " + std::to_string(num + 1) + " 0 R ";
        num += 2;
    }
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R /Extra [" + extra + "] >>");
    const std::string in = dir_.Write("large.pdf", pdf.Bytes());
    ExpectFaithful(in);

    const std::string before = e2e::ReadBytes(in), after = e2e::ReadBytes(dir_.File("out1.pdf"));
    auto object = [](const std::string& file, int n) {
        const std::string head = "\n" + std::to_string(n) + " 0 obj";
        const size_t at = file.find(head);
        if (at == std::string::npos) return std::string("<missing>");
        return file.substr(at + 1, file.find("endobj", at) + 6 - at - 1);
    };
    for (int n = 2; n < num; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(object(after, n) == object(before, n));
    }
}
