// Files that qpdf, poppler and MuPDF open without a word, as real producers
// write them: hybrid files, updates chained after cross-reference streams,
// trailers of their own, loose catalogs, references to nothing, abbreviated
// filter names, page trees with wrong counts, object streams that an older
// section contradicts. The job succeeds on each, qpdf finds nothing wrong
// with the output, and every object the job does not own comes out equal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"
#include "support/Fidelity.h"
#include "support/ScratchDir.h"
#include "support/XRefStreamPdf.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

std::string Pad10(long v) {
    std::string s = std::to_string(v);
    return std::string(10 - s.size(), '0') + s;
}

// The 7-byte row of a cross-reference stream with widths [1 4 2].
std::string Row(int type, long f2, int f3) {
    const unsigned char b[7] = {
        static_cast<unsigned char>(type),     static_cast<unsigned char>(f2 >> 24),
        static_cast<unsigned char>(f2 >> 16), static_cast<unsigned char>(f2 >> 8),
        static_cast<unsigned char>(f2),       static_cast<unsigned char>(f3 >> 8),
        static_cast<unsigned char>(f3)};
    return std::string(reinterpret_cast<const char*>(b), 7);
}

const char kCatalog[] = "<< /Type /Catalog /Pages 2 0 R >>";
const char kPages[] = "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>";
const char kPage[] =
    "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 6 0 R >>";
const char kFont[] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
const char kContent[] = "<< /Length 34 >>\nstream\nBT /F1 12 Tf 72 720 Td (Hi) Tj ET\n\nendstream";

// A hybrid file as word processors write it: a classic table whose trailer
// names a cross-reference stream (/XRefStm) listing the objects kept in an
// object stream. The table lists those objects free; headLinked makes the
// free list run through them, as some producers do.
std::string Hybrid(bool headLinked) {
    std::string file = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    long at[9] = {};
    auto put = [&](int num, const std::string& body) {
        at[num] = static_cast<long>(file.size());
        file += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
    };
    put(1, kCatalog);
    put(2, kPages);
    put(3, kPage);
    const std::string header = "5 0 ";
    const std::string stm = header + kFont + "\n";
    put(4, "<< /Type /ObjStm /N 1 /First " + std::to_string(header.size()) + " /Length " +
               std::to_string(stm.size()) + " >>\nstream\n" + stm + "\nendstream");
    put(6, kContent);
    const std::string rows = Row(2, 4, 0);
    put(7, "<< /Type /XRef /W [1 4 2] /Index [5 1] /Size 8 /Length " + std::to_string(rows.size()) +
               " >>\nstream\n" + rows + "\nendstream");
    const long xref = static_cast<long>(file.size());
    file += "xref\n0 8\n";
    file += headLinked ? "0000000005 65535 f \n" : "0000000000 65535 f \n";
    for (int n = 1; n <= 7; ++n) {
        if (n == 5)
            file += headLinked ? "0000000000 00001 f \n" : "0000000000 65535 f \n";
        else
            file += Pad10(at[n]) + " 00000 n \n";
    }
    file += "trailer\n<< /Size 8 /Root 1 0 R /XRefStm " + std::to_string(at[7]) +
            " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return file;
}

// The document of kCatalog .. kContent with its font in an object stream and
// a cross-reference stream.
XRefStreamPdf StreamBase() {
    XRefStreamPdf pdf;
    pdf.Obj(1, kCatalog).Obj(2, kPages).Obj(3, kPage).Obj(6, kContent);
    pdf.ObjStm(4, {{5, kFont}, {8, "<< /Producer (base) >>"}});
    pdf.extraDict = "/Root 1 0 R /Info 8 0 R";
    return pdf;
}

class ReaderFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::Have("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    }
    // The job on bytes: the input is one qpdf reads cleanly, the job
    // succeeds, qpdf reads its output cleanly with the same pages, and every
    // object the job does not own is equal. Returns the output's path.
    std::string ExpectJobDone(const std::string& name, const std::string& bytes) {
        SCOPED_TRACE(name);
        const std::string in = dir_.Write(name, bytes);
        std::string check;
        EXPECT_TRUE(e2e::QpdfCheck(in, &check)) << "the template: " << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << "the template: " << check;
        const std::string out = dir_.File(name + ".out.pdf");
        const e2e::RunResult r = e2e::Linkpoint({in, out});
        EXPECT_EQ(r.code, 0) << r.out;
        if (r.code != 0) return out;
        EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        EXPECT_EQ(e2e::QpdfPages(out), e2e::QpdfPages(in));
        EXPECT_EQ(Joined(e2e::JobDifferences(in, out)), "");
        return out;
    }
    ScratchDir dir_;
};

TEST_F(ReaderFilesTest, HybridFiles) {
    ExpectJobDone("hybrid.pdf", Hybrid(false));
    ExpectJobDone("hybrid-linked.pdf", Hybrid(true));
}

TEST_F(ReaderFilesTest, UpdatesChainedAfterStreamSections) {
    const std::string base = StreamBase().Bytes();
    // A first update changes the page; its free list starts at a number
    // only the base lists (in use there).
    XRefStreamPdf one;
    one.Obj(3, std::string(kPage).insert(std::string(kPage).size() - 2, " /Rotate 0"));
    one.extraDict = "/Root 1 0 R /Info 8 0 R";
    one.xrefNum = 10;
    one.editRows = [](std::map<int, XRefStreamPdf::Row>& rows) { rows[0] = {0, 5, 65535}; };
    const std::string first = one.Bytes(base);
    ExpectJobDone("update1.pdf", first);
    // A second one moves the font out of its object stream.
    XRefStreamPdf two;
    two.Obj(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
    two.extraDict = "/Root 1 0 R /Info 8 0 R";
    two.xrefNum = 11;
    const std::string second = two.Bytes(first);
    ExpectJobDone("update2.pdf", second);
}

TEST_F(ReaderFilesTest, TrailerEntriesOfTheirOwn) {
    const std::string bytes = E2EPdf::Fill(
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>\nendobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
        "4 0 obj\n<< /Length {len} >>\nstream\nthe source document\nendstream\nendobj\n"
        "{xref}\n"
        "trailer\n<< /Size {size} /Root 1 0 R /ID [<00112233> <44556677>]"
        " /AdditionalStreams [/application#2Fvnd.oasis.opendocument.text 4 0 R]"
        " /DocChecksum /0123456789ABCDEF /Private << /Kids [1 2 3] /Source 4 0 R >> >>\n"
        "startxref\n{startxref}\n%%EOF\n");
    const std::string out = ExpectJobDone("trailer.pdf", bytes);
    const std::string trailer = e2e::QpdfObject(out, "trailer");
    EXPECT_NE(
        trailer.find("/AdditionalStreams [ /application#2fvnd.oasis.opendocument.text 4 0 R ]"),
        std::string::npos)
        << trailer;
    EXPECT_NE(trailer.find("/DocChecksum /0123456789ABCDEF"), std::string::npos) << trailer;
    EXPECT_NE(trailer.find("/Source 4 0 R"), std::string::npos) << trailer;
    // The stream is not copied into a new object.
    const std::string bytesOut = e2e::ReadBytes(out);
    EXPECT_EQ(bytesOut.find("the source document"), bytesOut.rfind("the source document"));
}

TEST_F(ReaderFilesTest, CatalogTypeMisspeltOrMissing) {
    for (const char* type : {"/Type /Catalgg", ""}) {
        SCOPED_TRACE(type);
        ExpectJobDone("catalog.pdf",
                      E2EPdf::Fill(std::string("%PDF-1.4\n1 0 obj\n<< ") + type +
                                   " /Pages 2 0 R >>\nendobj\n"
                                   "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 "
                                   "0 612 792] >>\nendobj\n"
                                   "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n{xref}\n"
                                   "trailer\n<< /Size {size} /Root 1 0 R >>\n"
                                   "startxref\n{startxref}\n%%EOF\n"));
    }
}

TEST_F(ReaderFilesTest, ReferencesToMissingObjectsStayReferences) {
    // Objects 5 and 8 are listed free: references to them are null.
    const std::string bytes = E2EPdf::Fill(
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R /Outlines 8 0 R /OpenAction 5 0 R"
        " /Dests << /gone 8 0 R >> >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>\nendobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /Resources << /Font 8 0 R /ProcSet 5 0 R >>"
        " /Annots [8 0 R 5 0 R] /Thumb 5 0 R >>\nendobj\n"
        "4 0 obj\n[8 0 R 5 0 R]\nendobj\n"
        "6 0 obj\n<< /Kids [4 0 R] >>\nendobj\n"
        "9 0 obj\n(the last)\nendobj\n"
        "{xref}\n"
        "trailer\n<< /Size {size} /Root 1 0 R >>\n"
        "startxref\n{startxref}\n%%EOF\n");
    const std::string out = ExpectJobDone("missing.pdf", bytes);
    const std::string written = e2e::ReadBytes(out);
    for (const char* kept : {"/ProcSet 5 0 R", "/Font 8 0 R", "/Annots [8 0 R 5 0 R]"})
        EXPECT_NE(written.find(kept), std::string::npos) << kept;
}

TEST_F(ReaderFilesTest, ReplacedUnderAnotherGenerationStaysTheReference) {
    // The update writes object 8 as generation 1: "8 0 R" names nothing.
    const std::string base = E2EPdf::Fill(
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>\nendobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /Resources << /Font 7 0 R /ProcSet 8 0 R >>"
        " /Annots [8 0 R] >>\nendobj\n"
        "7 0 obj\n<< /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >>\nendobj\n"
        "8 0 obj\n[/PDF /Text]\nendobj\n"
        "{xref}\n"
        "trailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n");
    const std::string bytes = E2EPdf::Fill(
        "8 1 obj\n[/PDF]\nendobj\n{xref}\n"
        "trailer\n<< /Size {size} /Root 1 0 R /Prev {prev} >>\nstartxref\n{startxref}\n%%EOF\n",
        base);
    const std::string in = dir_.Write("generation.pdf", bytes);
    const std::string out = dir_.File("generation.out.pdf");
    const e2e::RunResult r = e2e::Linkpoint({in, out});
    ASSERT_EQ(r.code, 0) << r.out;
    std::string check;
    EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
    // The page is written as it was read, the reference to nothing included.
    const std::string written = e2e::ReadBytes(out);
    const size_t page = written.find("3 0 obj");
    ASSERT_NE(page, std::string::npos);
    const std::string text = written.substr(page, written.find("endobj", page) - page);
    EXPECT_NE(text.find("/ProcSet 8 0 R"), std::string::npos) << text;
    EXPECT_NE(text.find("/Annots [8 0 R]"), std::string::npos) << text;
    // qpdf alone still reads "8 0 R" as the generation the update replaced;
    // one table holds one generation of a number, so only those two differ.
    for (const std::string& d : e2e::JobDifferences(in, out))
        EXPECT_TRUE(d.rfind("obj:8 0 R", 0) == 0 || d.rfind("obj:3 0 R", 0) == 0) << d;
}

TEST_F(ReaderFilesTest, StreamKeepsItsLengthAndData) {
    // ASCII85 data ends "~>" right before the end of line; Length is exact.
    // The page's thumbnail is read when the page is, and written back.
    const std::string a85 = "GhVa=~>";
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(eol == std::string("\n") ? "LF" : eol == std::string("\r") ? "CR" : "CRLF");
        const std::string image =
            "<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8"
            " /ColorSpace /DeviceGray /Filter [/ASCII85Decode] /Length " +
            std::to_string(a85.size()) + " >>\nstream\n" + a85 + eol + "endstream";
        const std::string bytes = E2EPdf::Fill(
            "%PDF-1.4\n"
            "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
            "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>\nendobj\n"
            "3 0 obj\n<< /Type /Page /Parent 2 0 R /Resources << /XObject << /Im1 4 0 R >> >> "
            "/Thumb 4 0 R >>\nendobj\n"
            "4 0 obj\n" +
            image +
            "\nendobj\n{xref}\n"
            "trailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n");
        const std::string out = ExpectJobDone("image.pdf", bytes);
        const std::string dict = e2e::QpdfObject(out, 4);
        EXPECT_NE(dict.find("/Length 7"), std::string::npos) << dict;
    }
}

TEST_F(ReaderFilesTest, AbbreviatedFilterNames) {
    XRefStreamPdf pdf = StreamBase();
    pdf.editObjStm = nullptr;
    std::string bytes = pdf.Bytes();
    // The object stream's and the cross-reference stream's filter, abbreviated.
    for (size_t at = bytes.find("/Filter /FlateDecode"); at != std::string::npos;
         at = bytes.find("/Filter /FlateDecode", at))
        bytes.replace(at, 20, "/Filter /Fl         ");
    const std::string out = ExpectJobDone("abbreviated.pdf", bytes);
    // The probe decodes each abbreviation it has.
    const std::string probeIn = dir_.Write(
        "ahx.pdf", E2EPdf::Fill("%PDF-1.4\n"
                                "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                                "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
                                "3 0 obj\n<< /Filter [/AHx /A85 /RL] /Length {len} >>\nstream\n"
                                "224444405F43693D687E3E>\nendstream\nendobj\n{xref}\n"
                                "trailer\n<< /Size {size} /Root 1 0 R >>\n"
                                "startxref\n{startxref}\n%%EOF\n"));
    const e2e::RunResult r = e2e::Run({PROBE_BIN, "--stream", "3", probeIn});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "hello");
}

TEST_F(ReaderFilesTest, PageTreesCountedByTheirLeaves) {
    // An intermediate node whose Count is wrong, with a MediaBox its pages
    // inherit; a root Count far past its one page.
    const std::string wrongNode = E2EPdf::Fill(
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [4 0 R 3 0 R] /Count 3 >>\nendobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>\nendobj\n"
        "4 0 obj\n<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 1"
        " /MediaBox [0 0 300 300] >>"
        "\nendobj\n"
        "5 0 obj\n<< /Type /Page /Parent 4 0 R >>\nendobj\n"
        "6 0 obj\n<< /Type /Page /Parent 4 0 R >>\nendobj\n"
        "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n");
    ExpectJobDone("wrong-node.pdf", wrongNode);
    const std::string hugeCount = E2EPdf::Fill(
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 2147483647 >>\nendobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>\nendobj\n"
        "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n");
    const std::string out = ExpectJobDone("huge-count.pdf", hugeCount);
    // One destination, for the one page.
    EXPECT_EQ(e2e::DestNames(e2e::RunProbe(out)), std::vector<std::string>{"1"});
}

TEST_F(ReaderFilesTest, ObjectStreamIndexesThatMissTheirObject) {
    // The base places object 8 past its stream's /N; the update's table
    // swaps the indexes of the two objects its stream holds. Each stream's
    // header lists the object all the same, and readers take it from there.
    XRefStreamPdf base = StreamBase();
    base.editRows = [](std::map<int, XRefStreamPdf::Row>& rows) { rows[8].f3 = 7; };
    XRefStreamPdf update;
    update.ObjStm(11, {{3, std::string(kPage).insert(std::string(kPage).size() - 2, " /Rotate 90")},
                       {5, kFont}});
    update.extraDict = "/Root 1 0 R /Info 8 0 R";
    update.xrefNum = 12;
    update.editRows = [](std::map<int, XRefStreamPdf::Row>& rows) {
        rows[3].f3 = 1;
        rows[5].f3 = 0;
    };
    const std::string out = ExpectJobDone("objstm.pdf", update.Bytes(base.Bytes()));
    EXPECT_NE(e2e::QpdfObject(out, 3).find("/Rotate 90"), std::string::npos);
}

}  // namespace
