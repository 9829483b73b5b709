// Cross-reference streams, hybrid files and object streams: read, updated in
// place as a stream section, rewritten whole as classic objects, and refused
// cleanly when a field is hostile.
#include "pdf/file/CPDFXRefStream.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFNumber.h"
#include "support/E2E.h"
#include "support/E2EPdf.h"
#include "support/OpenedPdf.h"
#include "support/ScratchDir.h"
#include "support/XRefStreamPdf.h"

using corvina::CPDFDoc;
using corvina::CPDFException;
using corvina::CPDFLib;
using corvina::CPDFObject;
using corvina::CPDFObjRef;

namespace {

// A library and a document opened from bytes in a scratch directory.
class Opened : public OpenedPdf {
public:
    using OpenedPdf::OpenedPdf;
    // The open's error, or the first error of loading every object up to max
    // and counting the pages; "" when all of it reads.
    std::string FirstError(int max = 8) {
        CPDFDoc* doc = Doc();
        if (!doc) return std::string(Error().GetModule()) + ": " + Error().GetFactor();
        // Sections that cannot be used are rebuilt from the objects: the
        // warning saying so gives the reason.
        for (const auto& w : doc->GetWarnings()) {
            const std::string text = w.GetFactor();
            const size_t open = text.find(" found (");
            if (text.rfind("cross-reference table rebuilt", 0) == 0 && open != std::string::npos)
                return "CPDFDoc: " + text.substr(open + 8, text.size() - open - 9);
        }
        for (int n = 1; n <= max; ++n) {
            const corvina::XRefEntry* e = doc->FindEntry(n, false);
            if (!e || !e->inUse) continue;
            if (!doc->GetObj(CPDFObjRef(n, e->genNum)) && !doc->GetLastError().IsEmpty())
                return Last();
        }
        if (doc->GetPageCount() < 0) return Last();
        return "";
    }
    std::string Last() const {
        return std::string(Doc()->GetLastError().GetModule()) + ": " +
               Doc()->GetLastError().GetFactor();
    }
    std::string Text(int num, int gen = 0) {
        CPDFObject* obj = Doc()->GetObj(CPDFObjRef(num, gen));
        if (!obj) return "(none) " + Last();
        corvina::MemOutStream out;
        obj->Serialize(out, nullptr);
        std::string text = out.Data();
        for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
        return text;
    }
};

// Catalog 1 and page 4 plain; the page tree 2 and page 3 in object stream 5;
// the cross-reference stream is object 6.
XRefStreamPdf Base() {
    XRefStreamPdf pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.Obj(4, "<< /Type /Page /Parent 2 0 R >>");
    pdf.ObjStm(5, {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>"},
                   {3, "<< /Type /Page /Parent 2 0 R /Rotate 90 >>"}});
    return pdf;
}

TEST(CPDFXRefStreamRead, ObjectsComeFromTheirStreams) {
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress);
        XRefStreamPdf pdf = Base();
        pdf.compress = compress;
        Opened f(pdf.Bytes());
        ASSERT_NE(f.Doc(), nullptr) << f.FirstError();
        EXPECT_EQ(f.Doc()->GetPageCount(), 2);
        EXPECT_EQ(f.Text(3), "<< /Parent 2 0 R /Rotate 90 /Type /Page >>");
        EXPECT_EQ(f.Text(4), "<< /Parent 2 0 R /Type /Page >>");
        // The stream section's dictionary is the trailer, without its stream keys.
        corvina::MemOutStream out;
        f.Doc()->GetTrailerAt(1)->Dict().Serialize(out, nullptr);
        EXPECT_EQ(out.Data(), "<<\r\n/Root 1 0 R\r\n/Size 7\r\n>>");
        EXPECT_EQ(f.FirstError(), "");
    }
}

TEST(CPDFXRefStreamRead, HybridFileAndMixedChain) {
    // Hybrid: a classic table for 1, 4, 5 and 6 whose trailer names the
    // stream that adds 2 and 3.
    std::string bytes = Base().Bytes();
    bytes.resize(bytes.rfind("startxref"));
    auto at = [&](int num) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n",
                      bytes.find("\n" + std::to_string(num) + " 0 obj") + 1);
        return std::string(line);
    };
    const size_t table = bytes.size();
    bytes += "xref\n0 2\n0000000000 65535 f \n" + at(1) + "4 3\n" + at(4) + at(5) + at(6) +
             "trailer\n<< /Size 7 /Root 1 0 R /XRefStm " +
             std::to_string(bytes.find("\n6 0 obj") + 1) + " >>\nstartxref\n" +
             std::to_string(table) + "\n%%EOF\n";
    Opened hybrid(bytes);
    ASSERT_NE(hybrid.Doc(), nullptr) << hybrid.FirstError();
    EXPECT_EQ(hybrid.FirstError(), "");
    EXPECT_EQ(hybrid.Text(3), "<< /Parent 2 0 R /Rotate 90 /Type /Page >>");
    // Rewritten whole: the objects of its stream in a new object stream, one
    // cross-reference stream and no classic table, qpdf content.
    const std::string out = hybrid.Dir().File("out.pdf");
    ASSERT_TRUE(hybrid.Doc()->Save(out.c_str(), false, false)) << hybrid.Last();
    ASSERT_TRUE(hybrid.Doc()->Flush()) << hybrid.Last();
    const std::string written = ScratchDir::Read(out);
    EXPECT_NE(written.find("/Type /XRef"), std::string::npos);
    EXPECT_EQ(written.find("XRefStm"), std::string::npos);
    EXPECT_EQ(written.find("\nxref"), std::string::npos);
    EXPECT_NE(written.find("/ObjStm"), std::string::npos);
    if (e2e::Have("qpdf")) {
        std::string check;
        EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        EXPECT_EQ(e2e::QpdfPageCount(out), 2);
    }

    // A classic file updated by a stream section that moves page 3 into an
    // object stream.
    XRefStreamPdf update;
    update.ObjStm(7, {{3, "<< /Type /Page /Parent 2 0 R /Rotate 180 >>"}});
    Opened mixed(update.Bytes(E2EPdf::Flat(2)));
    ASSERT_NE(mixed.Doc(), nullptr) << mixed.FirstError();
    EXPECT_EQ(mixed.Doc()->SectionCount(), 3);
    EXPECT_EQ(mixed.Text(3), "<< /Parent 2 0 R /Rotate 180 /Type /Page >>");
    EXPECT_EQ(mixed.Doc()->GetPageCount(), 2);
}

struct Hostile {
    const char* name;
    std::function<void(XRefStreamPdf&)> change;
    const char* factor;  // part of the first error's text
};

TEST(CPDFXRefStreamRead, HostileFieldsEndInCleanErrors) {
    const Hostile cases[] = {
        {"WidthPastEight", [](XRefStreamPdf& p) { p.w = "[1 9 1]"; }, "/W width 9 is not 0 to 8"},
        {"WidthsPastTheRow", [](XRefStreamPdf& p) { p.w = "[1 4 4]"; },
         "/Index lists 7 entries of 9 bytes"},
        {"IndexPastSize", [](XRefStreamPdf& p) { p.size = "5"; }, "is past /Size 5"},
        {"IndexOverlaps", [](XRefStreamPdf& p) { p.index = "0 4 3 3"; },
         "/Index ranges overlap at object 3"},
        {"SizeOfTwoBillion", [](XRefStreamPdf& p) { p.size = "2000000000"; },
         "/Size 2000000000 is past the largest object number"},
        {"NPastTheData",
         [](XRefStreamPdf& p) { p.editObjStm = [](int, std::string&, int& n, int&) { n = 50; }; },
         "/N 50 of object stream 5 runs past /First"},
        {"FirstPastTheData",
         [](XRefStreamPdf& p) {
             p.editObjStm = [](int, std::string&, int&, int& first) { first = 99999; };
         },
         "/First 99999 of object stream 5 is past"},
        {"IndexNamesAnotherObject",
         [](XRefStreamPdf& p) {
             p.editObjStm = [](int, std::string& h, int&, int&) { h[0] = '3'; };
         },
         "object stream 5 holds object 3 at index 0, not object 2"},
        {"ObjectStreamInsideObjectStream",
         [](XRefStreamPdf& p) { p.editRows = [](auto& rows) {
                                    rows[5] = {2, 4, 0};
                                }; },
         "object stream 5 lies inside object stream 4"},
        {"ObjectStreamNamesItself",
         [](XRefStreamPdf& p) { p.editRows = [](auto& rows) {
                                    rows[2] = {2, 2, 0};
                                }; },
         "object stream 2 names itself"},
        {"ObjectInTheXRefStream",
         [](XRefStreamPdf& p) { p.editRows = [](auto& rows) {
                                    rows[2] = {2, 6, 0};
                                }; },
         "object 2 is in the cross-reference stream 6"},
        {"StreamThatIsNoObjectStream",
         [](XRefStreamPdf& p) { p.editRows = [](auto& rows) {
                                    rows[2] = {2, 4, 0};
                                }; },
         "object 4 is not an object stream"},
        {"EntryIntoTheMiddleOfAnObject",
         [](XRefStreamPdf& p) { p.editRows = [](auto& rows) { rows[4].f2 += 9; }; },
         "CPDFDoc: object 4 0 is not at offset"},
        // Past /N, and the header does not list the object either.
        {"IndexPastN",
         [](XRefStreamPdf& p) {
             p.editRows = [](auto& rows) { rows[3].f3 = 7; };
             p.editObjStm = [](int, std::string& h, int&, int&) { h[h.find(' ', 2) + 1] = '9'; };
         },
         "index 7 is past /N 2 of object stream 5"},
        {"ExtendsLoop",
         [](XRefStreamPdf& p) {
             p.ObjStm(5, {{2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"}, {3, "<< >>"}},
                      "/Extends 5 0 R");
         },
         "/Extends of object stream 5 loops back to 5"},
        {"BadPredictor",
         [](XRefStreamPdf& p) {
             p.extraDict = "/Root 1 0 R /DecodeParms << /Predictor 12 /Columns 2000000000 >>";
         },
         "predictor row of 2000000000 columns is too long"},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        XRefStreamPdf pdf = Base();
        c.change(pdf);
        Opened f(pdf.Bytes());
        EXPECT_NE(f.FirstError().find(c.factor), std::string::npos) << f.FirstError();
    }
}

TEST(CPDFXRefStreamRead, LoopsAndMissingSectionsAreNamed) {
    // A /Prev back to the stream itself.
    std::string bytes = Base().Bytes();
    const std::string self = std::to_string(bytes.find("\n6 0 obj") + 1);
    XRefStreamPdf looped = Base();
    looped.extraDict = "/Root 1 0 R /Prev " + self;
    Opened loop(looped.Bytes());
    EXPECT_EQ(loop.FirstError(),
              "CPDFDoc: /Prev " + self + " leads back to a section already read");

    // startxref at a word that starts no section.
    const size_t s = bytes.rfind("startxref\n") + 10;
    const std::string endobj = std::to_string(bytes.find("endobj"));
    bytes.replace(s, bytes.find('\n', s) - s, endobj);
    Opened none(bytes);
    EXPECT_EQ(none.FirstError(), "CPDFDoc: no cross-reference table at offset " + endobj);
    // startxref past the end of the file.
    bytes.replace(s, bytes.find('\n', s) - s, "99999999");
    Opened beyond(bytes);
    EXPECT_EQ(beyond.FirstError(), "CPDFDoc: no cross-reference table at offset 99999999");
}

TEST(CPDFXRefStreamWrite, IncrementalUpdateAppendsAStreamSection) {
    Opened f(Base().Bytes());
    ASSERT_NE(f.Doc(), nullptr) << f.FirstError();
    const std::string before = ScratchDir::Read(f.Path());
    ASSERT_TRUE(f.Doc()->Save(f.Path().c_str(), true, false)) << f.Last();
    CPDFObjRef ref;
    ASSERT_TRUE(f.Doc()->RegistObj(std::make_unique<corvina::CPDFNumber>(42), &ref)) << f.Last();
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();
    EXPECT_EQ(ref.objNum, 7);

    const std::string after = ScratchDir::Read(f.Path());
    ASSERT_EQ(after.compare(0, before.size(), before), 0);
    const std::string tail = after.substr(before.size());
    // Info (8) is stamped, 7 is new, 9 is the section's own stream.
    auto row = [](int type, long f2, int f3) {
        const char b[7] = {static_cast<char>(type),     static_cast<char>(f2 >> 24),
                           static_cast<char>(f2 >> 16), static_cast<char>(f2 >> 8),
                           static_cast<char>(f2),       static_cast<char>(f3 >> 8),
                           static_cast<char>(f3)};
        return std::string(b, 7);
    };
    auto offset = [&](int num) {
        return static_cast<long>(before.size() + tail.find(std::to_string(num) + " 0 obj\r\n"));
    };
    const long xs = offset(9);
    const std::string expected =
        "9 0 obj\r\n<<\r\n/Index [0 1 7 3]\r\n/Info 8 0 R\r\n/Length 28\r\n/Prev " +
        std::to_string(before.find("\n6 0 obj") + 1) +
        "\r\n/Root 1 0 R\r\n/Size 10\r\n/Type /XRef\r\n/W [1 4 2]\r\n>>\r\nstream\r\n" +
        row(0, 0, 65535) + row(1, offset(7), 0) + row(1, offset(8), 0) + row(1, xs, 0) +
        "\r\nendstream\r\nendobj\r\nstartxref\r\n" + std::to_string(xs) + "\r\n%%EOF\r\n";
    EXPECT_EQ(tail.substr(static_cast<size_t>(xs) - before.size()), expected);

    Opened again(after);
    ASSERT_NE(again.Doc(), nullptr) << again.FirstError();
    EXPECT_EQ(again.Text(7), "42");
    EXPECT_EQ(again.Text(3), "<< /Parent 2 0 R /Rotate 90 /Type /Page >>");
    EXPECT_EQ(again.Doc()->SectionCount(), 3);
    if (e2e::Have("qpdf")) {
        std::string check;
        EXPECT_TRUE(e2e::QpdfCheck(f.Path(), &check)) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        EXPECT_EQ(e2e::QpdfObject(f.Path(), 7), "42");
    }
}

TEST(CPDFXRefStreamWrite, ANumberFreedLeavesItsObjectStream) {
    XRefStreamPdf pdf = Base();
    pdf.ObjStm(5, {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>"},
                   {3, "<< /Type /Page /Parent 2 0 R >>"},
                   {7, "(spare)"}});
    Opened f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << f.FirstError();
    f.Doc()->RemoveObj(CPDFObjRef(7, 0));
    ASSERT_TRUE(f.Doc()->Save(f.Path().c_str(), true, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();
    // The information dictionary takes the freed number: a plain object now.
    Opened again(ScratchDir::Read(f.Path()));
    ASSERT_NE(again.Doc(), nullptr) << again.FirstError();
    const corvina::XRefEntry* e = again.Doc()->FindEntry(7, false);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->stmNum, 0);
    EXPECT_EQ(e->genNum, 1);
    EXPECT_NE(again.Text(7, 1).find("/Producer (corvina)"), std::string::npos);
    EXPECT_EQ(again.FirstError(), "");
}

// The file with the data of each Flate stream inflated: a cross-reference
// stream's rows (W [1 4 2] under the Up predictor) as "type field field"
// lines, other bytes outside printable ASCII as \\xx. What a compact
// rewrite writes, readable.
std::string Inflated(const std::string& file) {
    std::string out;
    size_t at = 0;
    for (size_t data; (data = file.find("stream\r\n", at)) != std::string::npos;) {
        data += 8;
        const size_t end = file.find("\r\nendstream", data);
        if (end == std::string::npos) break;
        out += file.substr(at, data - at);
        std::string inflated(1 << 16, '\0');
        uLongf size = inflated.size();
        if (uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                       reinterpret_cast<const Bytef*>(file.data() + data), end - data) != Z_OK)
            return "not Flate at " + std::to_string(data);
        inflated.resize(size);
        const bool rows = file.rfind("/Columns 7", data) > file.rfind("endobj", data) &&
                          file.rfind("/Columns 7", data) != std::string::npos;
        if (rows) {
            unsigned char row[7] = {};
            for (size_t r = 0; r + 8 <= inflated.size(); r += 8) {
                for (int i = 0; i < 7; ++i)
                    row[i] = static_cast<unsigned char>(row[i] + inflated[r + 1 + i]);
                const unsigned long f2 = (static_cast<unsigned long>(row[1]) << 24) |
                                         (row[2] << 16) | (row[3] << 8) | row[4];
                out += std::to_string(row[0]) + " " + std::to_string(f2) + " " +
                       std::to_string((row[5] << 8) | row[6]) + "\n";
            }
        } else {
            for (const char ch : inflated) {
                const unsigned char c = static_cast<unsigned char>(ch);
                char hex[4];
                std::snprintf(hex, sizeof hex, "\\%02x", c);
                out += (c >= 0x20 && c < 0x7f) || c == '\n' ? std::string(1, ch) : hex;
            }
        }
        out += "\r\nendstream";
        at = end + 11;
    }
    return out + file.substr(at);
}

TEST(CPDFXRefStreamWrite, WholeRewriteRepacksTheStreams) {
    Opened f(Base().Bytes());
    ASSERT_NE(f.Doc(), nullptr) << f.FirstError();
    f.Doc()->SetClock([] { return std::time_t{1700000000}; });
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.Doc()->Save(out.c_str(), false, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();
    const std::string bytes = ScratchDir::Read(out);
    // Plain objects stay plain (copied as they are); those of object stream
    // 5, unchanged, as their bytes there, and the new information dictionary
    // go into a new stream that takes number 5; the old cross-reference
    // stream's number is free, its generation raised, and a new one (rows:
    // type, offset or stream, generation or index) ends the file.
    const char* const golden =
        "%PDF-1.5\r\n"
        "%\xe2\xe3\xcf\xd3\r\n"
        "1 0 obj\n"
        "<< /Type /Catalog /Pages 2 0 R >>\n"
        "endobj\n"
        "4 0 obj\n"
        "<< /Type /Page /Parent 2 0 R >>\n"
        "endobj\r\n"
        "5 0 obj\r\n"
        "<<\r\n"
        "/Filter /FlateDecode\r\n"
        "/First 14\r\n"
        "/Length 138\r\n"
        "/N 3\r\n"
        "/Type /ObjStm\r\n"
        ">>\r\n"
        "stream\r\n"
        "2 0 3 48 7 91 << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>\n"
        "<< /Type /Page /Parent 2 0 R /Rotate 90 >>\n"
        "<<\\0d\n"
        "/CreationDate (D:20231114221320)\\0d\n"
        "/Producer (corvina)\\0d\n"
        ">>\n"
        "\r\n"
        "endstream\r\n"
        "endobj\r\n"
        "8 0 obj\r\n"
        "<<\r\n"
        "/DecodeParms <<\r\n"
        "/Columns 7\r\n"
        "/Predictor 12\r\n"
        ">>\r\n"
        "/Filter /FlateDecode\r\n"
        "/Index [0 9]\r\n"
        "/Info 7 0 R\r\n"
        "/Length 55\r\n"
        "/Root 1 0 R\r\n"
        "/Size 9\r\n"
        "/Type /XRef\r\n"
        "/W [1 4 2]\r\n"
        ">>\r\n"
        "stream\r\n"
        "0 6 65535\n"
        "1 17 0\n"
        "2 5 0\n"
        "2 5 1\n"
        "1 66 0\n"
        "1 114 0\n"
        "0 0 1\n"
        "2 5 2\n"
        "1 365 0\n"
        "\r\n"
        "endstream\r\n"
        "endobj\r\n"
        "startxref\r\n"
        "365\r\n"
        "%%EOF\r\n";
    EXPECT_EQ(Inflated(bytes), golden);
    Opened again(bytes);
    EXPECT_EQ(again.FirstError(), "");
    EXPECT_EQ(again.Text(3), "<< /Parent 2 0 R /Rotate 90 /Type /Page >>");
    if (e2e::Have("qpdf")) {
        std::string check;
        EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    }
}

}  // namespace
