// Opening damaged files: when the sections are rebuilt, what the warnings
// say, and random damage that must end in a clean output or a clean refusal.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"
#include "support/E2EPdf.h"
#include "support/OpenedPdf.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"
#include "support/XRefStreamPdf.h"

using corvina::CPDFDoc;
using corvina::CPDFException;
using corvina::CPDFLib;
using corvina::CPDFObjRef;

namespace {

std::vector<std::string> Texts(const CPDFDoc& doc) {
    std::vector<std::string> out;
    for (const CPDFException& w : doc.GetWarnings()) out.emplace_back(w.GetFactor());
    return out;
}

const char kThreePages[] =
    "%PDF-1.5\n"
    "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
    "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>\nendobj\n"
    "3 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>\nendobj\n"
    "4 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
    "5 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
    "6 0 obj\n<< /Length {len} >>\nstream\n(7 0 obj) Tj\nendstream\nendobj\n"
    "{xref}"
    "trailer\n<< /Size {size} /Root 1 0 R >>\n"
    "startxref\n{startxref}\n%%EOF\n";

}  // namespace

TEST(CPDFDocRecoverTest, SoundFileIsReadWithoutWarnings) {
    OpenedPdf pdf(E2EPdf::Fill(kThreePages));
    ASSERT_NE(pdf.Doc(), nullptr) << pdf.Error().GetFactor();
    EXPECT_FALSE(pdf.Doc()->WasRecovered());
    EXPECT_TRUE(pdf.Doc()->GetWarnings().empty());
}

TEST(CPDFDocRecoverTest, JunkBeforeTheHeaderWithOffsetsEitherWay) {
    // Offsets counted from the header: read as they are.
    OpenedPdf relative("\r\n\r\nGET /x.pdf\r\n" + E2EPdf::Fill(kThreePages));
    ASSERT_NE(relative.Doc(), nullptr) << relative.Error().GetFactor();
    EXPECT_FALSE(relative.Doc()->WasRecovered());
    EXPECT_EQ(Texts(*relative.Doc()),
              std::vector<std::string>{"16 bytes before the %PDF- header ignored"});
    EXPECT_EQ(relative.Doc()->GetPageCount(), 3);

    // Offsets counted from the file's first byte: the table is rebuilt.
    OpenedPdf absolute(E2EPdf::Fill(std::string("junk line\n") + kThreePages));
    ASSERT_NE(absolute.Doc(), nullptr) << absolute.Error().GetFactor();
    EXPECT_TRUE(absolute.Doc()->WasRecovered());
    EXPECT_EQ(
        Texts(*absolute.Doc()),
        (std::vector<std::string>{
            "10 bytes before the %PDF- header ignored",
            "cross-reference table rebuilt: 6 objects found (cross-reference stream at offset "
            "356: no object starts here)"}));
    EXPECT_EQ(absolute.Doc()->GetPageCount(), 3);
}

TEST(CPDFDocRecoverTest, TrailerComesFromAnXRefStreamAndObjectsFromObjectStreams) {
    XRefStreamPdf pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .ObjStm(5, {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>"},
                    {3, "<< /Type /Page /Parent 2 0 R >>"},
                    {4, "<< /Type /Page /Parent 2 0 R >>"}});
    std::string bytes = pdf.Bytes();
    // The stream is still there, but startxref leads nowhere.
    const size_t at = bytes.rfind("startxref") + 10;
    bytes = bytes.substr(0, at) + "3" + bytes.substr(bytes.find('\n', at));
    OpenedPdf opened(bytes);
    ASSERT_NE(opened.Doc(), nullptr) << opened.Error().GetFactor();
    EXPECT_TRUE(opened.Doc()->WasRecovered());
    EXPECT_EQ(opened.Doc()->GetPageCount(), 2);
    ASSERT_EQ(opened.Doc()->GetWarnings().size(), 1u);
    EXPECT_EQ(Texts(*opened.Doc())[0],
              "cross-reference table rebuilt: 6 objects found (no cross-reference table at offset "
              "3)");
}

TEST(CPDFDocRecoverTest, WarningsStopAtTheCap) {
    PdfBuilder b = PdfBuilder::OnePage();
    for (int n = 4; n < 4 + 150; ++n) b.Obj(n, "<< /Length 1 >>\nstream\nabc\nendstream");
    OpenedPdf pdf(b);
    ASSERT_NE(pdf.Doc(), nullptr) << pdf.Error().GetFactor();
    for (int n = 4; n < 4 + 150; ++n) ASSERT_NE(pdf.Doc()->GetObj(CPDFObjRef(n, 0)), nullptr);
    const std::vector<std::string> texts = Texts(*pdf.Doc());
    ASSERT_EQ(texts.size(), CPDFDoc::kMaxWarnings);
    EXPECT_EQ(texts[0], "object 4 0: wrong /Length, the data runs to its endstream (3 bytes)");
    EXPECT_EQ(texts.back(), "too many warnings: the rest are not listed");
}

// A few hundred cuts, byte flips and lost ranges of sound files, with a
// fixed seed: each opens and saves into a clean file that opens without a
// warning, or is refused with a reason; the input is never touched.
TEST(CPDFDocRecoverTest, RandomDamageEndsInACleanOutputOrACleanRefusal) {
    XRefStreamPdf streams;
    streams.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .ObjStm(6, {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>"},
                    {3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>"},
                    {4, "<< /Type /Page /Parent 2 0 R >>"}})
        .Obj(5, "<< /Length 11 >>\nstream\n(5 0 obj) '\nendstream");
    const std::vector<std::string> sound = {E2EPdf::Fill(kThreePages), streams.Bytes(),
                                            E2EPdf::Flat(12)};
    std::mt19937 random(34);
    const std::string savedTemp = corvina::TempSettings::Directory();
    ScratchDir dir;
    std::unique_ptr<CPDFLib> lib = CPDFLib::Create(dir.Path().c_str());
    int repaired = 0, refused = 0;
    for (int round = 0; round < 360; ++round) {
        std::string bytes = sound[round % sound.size()];
        const size_t size = bytes.size();
        switch (round % 3) {
            case 0:  // cut short
                bytes.resize(random() % size);
                break;
            case 1:  // bytes changed
                for (unsigned i = 0, n = 1 + random() % 8; i < n; ++i)
                    bytes[random() % size] = static_cast<char>(random());
                break;
            default: {  // a range lost
                const size_t from = random() % size;
                bytes.erase(from, 1 + random() % 200);
            }
        }
        SCOPED_TRACE(round);
        const std::string in = dir.Write("in.pdf", bytes);
        const std::string out = dir.File("out.pdf");
        std::remove(out.c_str());
        CPDFException error;
        CPDFDoc* doc = lib->Open(in.c_str(), nullptr, &error);
        bool ok = doc != nullptr;
        int32_t pages = -1;
        if (ok) {
            pages = doc->GetPageCount();
            ok = pages >= 0 && doc->Save(out.c_str(), false, false);
            for (int32_t p = 0; ok && p < pages; ++p) ok = doc->GetPage(p, nullptr) != nullptr;
            ok = ok && doc->Flush();
            if (!ok) error = doc->GetLastError();
            lib->Close(doc);
        }
        EXPECT_EQ(ScratchDir::Read(in), bytes);
        if (!ok) {
            EXPECT_NE(error.GetType(), 0);
            ++refused;
            continue;
        }
        ++repaired;
        CPDFDoc* again = lib->Open(out.c_str(), nullptr, &error);
        ASSERT_NE(again, nullptr) << error.GetFactor();
        EXPECT_TRUE(again->GetWarnings().empty());
        EXPECT_EQ(again->GetPageCount(), pages);
        lib->Close(again);
    }
    corvina::TempSettings::Directory() = savedTemp;
    // A cut or a lost range takes pages or the catalog with it as often as
    // not; a third of the files still come out whole (110 of 360 with this
    // seed).
    EXPECT_GT(repaired, 90);
    EXPECT_GT(refused, 0);
}

TEST(CPDFDocRecoverTest, RepairedFileIsSavedWholeNotAsAnUpdate) {
    std::string bytes = E2EPdf::Fill(kThreePages);
    bytes.resize(bytes.rfind("trailer"));
    for (const std::string& damaged : {bytes, "junk\n" + E2EPdf::Fill(kThreePages)}) {
        OpenedPdf pdf(damaged);
        ASSERT_NE(pdf.Doc(), nullptr) << pdf.Error().GetFactor();
        const std::string out = pdf.Dir().File("out.pdf");
        EXPECT_FALSE(pdf.Doc()->Save(pdf.Path().c_str(), true, false));
        EXPECT_STREQ(pdf.Doc()->GetLastError().GetFactor(),
                     "the file was repaired when it was read: save it whole, not as an update");
        EXPECT_EQ(ScratchDir::Read(pdf.Path()), damaged);
        // Saved whole, the document reads the sound file it wrote: an update
        // to that is fine.
        ASSERT_TRUE(pdf.Doc()->Save(out.c_str(), false, false));
        ASSERT_TRUE(pdf.Doc()->Flush()) << pdf.Doc()->GetLastError().GetFactor();
        EXPECT_FALSE(pdf.Doc()->WasRecovered());
        ASSERT_TRUE(pdf.Doc()->Save(out.c_str(), true, false))
            << pdf.Doc()->GetLastError().GetFactor();
        EXPECT_TRUE(pdf.Doc()->Flush()) << pdf.Doc()->GetLastError().GetFactor();
    }
}
