// A document used again after a save: deferred stream data must come from
// where it now lies, whichever file the document stands for, and an input
// rewritten under the document is refused rather than misread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "pdf/stream/CPDFStream.h"
#include "support/OpenedPdf.h"

using corvina::CPDFDoc;
using corvina::CPDFException;
using corvina::CPDFObjRef;
using corvina::CPDFStream;

namespace {

// Stream data no offset mix-up could produce by chance, behind a long
// comment so that the whole rewrite moves it.
std::string Data() {
    std::string d;
    for (int i = 0; i < 3000; ++i) d += static_cast<char>('a' + i * 7 % 26);
    return d;
}

PdfBuilder WithStream() {
    PdfBuilder pdf = PdfBuilder::OnePage();
    pdf.Obj(4, "<< /Padding (" + std::string(2000, 'p') + ") >>");
    pdf.Obj(5, "<< /Length " + std::to_string(Data().size()) + " >>\nstream\n" + Data() +
                   "\nendstream");
    return pdf;
}

CPDFStream* Stream(CPDFDoc* doc) {
    return dynamic_cast<CPDFStream*>(doc->GetObj(CPDFObjRef(5, 0)));
}

std::string DataOf(CPDFStream* s) {
    const char* p = s ? s->GetData() : nullptr;
    return p ? std::string(p, static_cast<size_t>(s->GetDataLength())) : "<unreadable>";
}

// What a fresh open of a file finds in object 5.
std::string DataIn(const std::string& path) {
    auto lib = corvina::CPDFLib::Create(nullptr);
    CPDFException error;
    CPDFDoc* doc = lib->Open(path.c_str(), nullptr, &error);
    if (!doc) return std::string("<open failed: ") + error.GetFactor() + ">";
    std::string d = DataOf(Stream(doc));
    lib->Close(doc);
    return d;
}

bool SaveTo(CPDFDoc* doc, const std::string& path, bool incremental = false) {
    return doc->Save(path.c_str(), incremental, false) && doc->Flush();
}

const std::string kExpected = Data() + "\n";

}  // namespace

TEST(CPDFDocSaveAgain, DeferredDataFollowsEachSave) {
    struct Case {
        const char* what;
        bool inPlace;
        bool incremental;
    } cases[] = {
        {"new file, whole", false, false},
        {"input replaced, whole", true, false},
        {"input appended to", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenedPdf opened(WithStream());
        CPDFDoc* doc = opened.Doc();
        ASSERT_TRUE(doc);
        CPDFStream* s = Stream(doc);
        ASSERT_TRUE(s && s->IsDeferred());
        const std::string first = c.inPlace ? opened.Path() : opened.Dir().File("first.pdf");
        ASSERT_TRUE(SaveTo(doc, first, c.incremental)) << doc->GetLastError().GetFactor();
        EXPECT_TRUE(s->IsDeferred());  // still not held in memory
        EXPECT_EQ(DataOf(s), kExpected);
        const std::string second = opened.Dir().File("second.pdf");
        ASSERT_TRUE(SaveTo(doc, second)) << doc->GetLastError().GetFactor();
        EXPECT_EQ(DataIn(first), kExpected);
        EXPECT_EQ(DataIn(second), kExpected);
        EXPECT_EQ(DataOf(s), kExpected);
    }
}

TEST(CPDFDocSaveAgain, AfterWritingIntoADeviceTheDataIsKeptInMemory) {
    OpenedPdf opened(WithStream());
    CPDFDoc* doc = opened.Doc();
    ASSERT_TRUE(doc);
    CPDFStream* s = Stream(doc);
    ASSERT_TRUE(SaveTo(doc, "/dev/null")) << doc->GetLastError().GetFactor();
    EXPECT_FALSE(s->IsDeferred());
    EXPECT_EQ(DataOf(s), kExpected);
    // The document has no file to read the rest from any more.
    const std::string again = opened.Dir().File("again.pdf");
    EXPECT_FALSE(SaveTo(doc, again));
    EXPECT_EQ(doc->GetLastError().GetType(), CPDFException::UserError);
    EXPECT_STREQ(doc->GetLastError().GetFactor(),
                 "nothing to read the document from after writing it into /dev/null");
    EXPECT_FALSE(access(again.c_str(), F_OK) == 0);
}

TEST(CPDFDocSaveAgain, InputRewrittenInPlaceIsRefused) {
    OpenedPdf opened(WithStream());
    CPDFDoc* doc = opened.Doc();
    ASSERT_TRUE(doc);
    // Other bytes in the same file (same inode), as an editor saving in place does.
    std::string bytes = ScratchDir::Read(opened.Path());
    const size_t at = bytes.find(Data());
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'Z';
    FILE* f = std::fopen(opened.Path().c_str(), "r+b");
    ASSERT_TRUE(f);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    // Same size: only the modification time tells. Make sure it moved.
    usleep(10000);
    f = std::fopen(opened.Path().c_str(), "r+b");
    std::fputc(bytes[0], f);
    std::fclose(f);

    const std::string out = opened.Dir().File("out.pdf");
    EXPECT_FALSE(doc->Save(out.c_str(), false, false));
    EXPECT_EQ(doc->GetLastError().GetType(), CPDFException::UserError);
    EXPECT_EQ(std::string(doc->GetLastError().GetFactor()),
              "input file changed since it was opened: " + opened.Path());
}

TEST(CPDFDocSaveAgain, InputReplacedByRenameIsStillReadAsOpened) {
    OpenedPdf opened(WithStream());
    CPDFDoc* doc = opened.Doc();
    ASSERT_TRUE(doc);
    const std::string other = opened.Dir().Write("other.pdf", PdfBuilder::OnePage().Bytes());
    ASSERT_EQ(std::rename(other.c_str(), opened.Path().c_str()), 0);
    const std::string out = opened.Dir().File("out.pdf");
    ASSERT_TRUE(SaveTo(doc, out)) << doc->GetLastError().GetFactor();
    EXPECT_EQ(DataIn(out), kExpected);
}

// Whatever a read of a cut input meets (an offset past the end, a short
// copy), the cause reported is the cut.
TEST(CPDFDocSaveAgain, InputCutShortIsReportedAsChangedWhereverItIsMet) {
    const std::string cutMessage = "input file changed since it was opened: ";
    {
        // An object beyond what the reader holds, read after the cut.
        PdfBuilder pdf = WithStream();
        pdf.Obj(6, "<< /Padding (" + std::string(4 << 20, 'p') + ") >>");
        pdf.Obj(7, "<< /Far true >>");
        OpenedPdf opened(pdf);
        CPDFDoc* doc = opened.Doc();
        ASSERT_TRUE(doc);
        ASSERT_EQ(truncate(opened.Path().c_str(), 40), 0);
        EXPECT_EQ(doc->GetObj(CPDFObjRef(7, 0)), nullptr);
        EXPECT_EQ(doc->GetLastError().GetType(), CPDFException::UserError);
        EXPECT_EQ(std::string(doc->GetLastError().GetFactor()), cutMessage + opened.Path());
    }
    {
        // Cut after Save: the copy in Flush runs short.
        OpenedPdf opened(WithStream());
        CPDFDoc* doc = opened.Doc();
        ASSERT_TRUE(doc);
        const std::string out = opened.Dir().File("out.pdf");
        ASSERT_TRUE(doc->Save(out.c_str(), false, false));
        ASSERT_EQ(truncate(opened.Path().c_str(), 1000), 0);
        EXPECT_FALSE(doc->Flush());
        EXPECT_EQ(std::string(doc->GetLastError().GetFactor()), cutMessage + opened.Path());
        EXPECT_FALSE(access(out.c_str(), F_OK) == 0);
    }
}
