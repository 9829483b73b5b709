// Streams read from a document's file: deferred data, Length resolution and
// copying the source range on writing.
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/io/FileInStream.h"
#include "pdf/io/FileOutStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/stream/CPDFStream.h"
#include "support/CryptTestUtil.h"
#include "support/OpenedPdf.h"

using corvina::CPDFAtom;
using corvina::CPDFDoc;
using corvina::CPDFException;
using corvina::CPDFNumber;
using corvina::CPDFObject;
using corvina::CPDFObjRef;
using corvina::CPDFStream;
using corvina::FileOutStream;
using corvina::MemOutStream;

namespace {

// A one-page document whose object 4 (and on) the test supplies.
PdfBuilder Base() {
    return PdfBuilder::OnePage();
}

class Opened : public OpenedPdf {
public:
    using OpenedPdf::OpenedPdf;
    CPDFStream* Stream(int num) const {
        return dynamic_cast<CPDFStream*>(Doc()->GetObj(CPDFObjRef(num, 0)));
    }
};

std::string Written(CPDFStream& s) {
    MemOutStream out;
    s.Serialize(out, nullptr);
    return out.Data();
}

std::string Data(CPDFStream& s) {
    return std::string(s.GetData(), s.GetDataLength());
}

std::string Hundred() {
    std::string data;
    for (int i = 0; i < 99; ++i) data += static_cast<char>('A' + i % 26);
    return data + "\n";
}

}  // namespace

TEST(CPDFStreamDoc, DataStaysInTheFileUntilNeeded) {
    PdfBuilder pdf = Base();
    pdf.Obj(4, "<< /Length 100 >>\nstream\n" + Hundred() + "endstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->IsDeferred());
    EXPECT_EQ(s->SourceLength(), 100);
    EXPECT_EQ(opened.Dir().Read(opened.Path()).substr(s->SourceOffset(), 100), Hundred());

    // Appending loads the 100 bytes first.
    ASSERT_TRUE(s->AppendData("0123456789", 10));
    EXPECT_FALSE(s->IsDeferred());
    EXPECT_EQ(Data(*s), Hundred() + "0123456789");
    EXPECT_EQ(s->Get_Length()->IntValue(), 110);
}

TEST(CPDFStreamDoc, WritingCopiesTheSourceRangeUnchanged) {
    PdfBuilder pdf = Base();
    // No line end before "endstream": none is added for data still in the file.
    pdf.Obj(4, "<< /Length 3 >>\nstream\r\nabcendstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->IsDeferred());
    const int before = opened.Doc()->GetInput()->Tell();
    EXPECT_EQ(Written(*s), "<<\r\n/Length 3\r\n>>\r\nstream\r\nabcendstream");
    EXPECT_EQ(opened.Doc()->GetInput()->Tell(), before);  // the input is left where it was
    EXPECT_TRUE(s->IsDeferred());
    EXPECT_EQ(Data(*s), "abc");
    EXPECT_EQ(Written(*s), "<<\r\n/Length 3\r\n>>\r\nstream\r\nabc\r\nendstream");
}

TEST(CPDFStreamDoc, DuplicateSharesTheRangeOnlyWithinTheDocument) {
    PdfBuilder pdf = Base();
    pdf.Obj(4, "<< /Length 100 >>\nstream\n" + Hundred() + "endstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr);
    std::unique_ptr<CPDFObject> same = s->Duplicate(opened.Doc(), opened.Doc());
    ASSERT_NE(same, nullptr);
    auto* sameStream = static_cast<CPDFStream*>(same.get());
    EXPECT_TRUE(sameStream->IsDeferred());
    EXPECT_EQ(sameStream->SourceOffset(), s->SourceOffset());
    EXPECT_EQ(sameStream->SourceLength(), 100);

    std::unique_ptr<CPDFObject> away = s->Duplicate(nullptr, opened.Doc());
    ASSERT_NE(away, nullptr);
    auto* awayStream = static_cast<CPDFStream*>(away.get());
    EXPECT_FALSE(awayStream->IsDeferred());
    EXPECT_EQ(Data(*awayStream), Hundred());
    EXPECT_TRUE(s->IsDeferred());
}

TEST(CPDFStreamDoc, IndirectLengthBecomesDirect) {
    PdfBuilder pdf = Base();
    pdf.Obj(4, "<< /Length 5 0 R >>\nstream\nxyz\nendstream").Obj(5, "4");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr) << opened.Doc()->GetLastError().GetFactor();
    const CPDFAtom* length = s->Find("Length");
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length->Kind(), CPDFAtom::ObjectKind);
    EXPECT_EQ(s->Get_Length()->IntValue(), 4);
    EXPECT_EQ(Data(*s), "xyz\n");
}

TEST(CPDFStreamDoc, MissingLengthFailsTheLoad) {
    PdfBuilder pdf = Base();
    pdf.Obj(4, "<< /Filter /X >>\nstream\nxyz\nendstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    EXPECT_EQ(opened.Stream(4), nullptr);
    const CPDFException& e = opened.Doc()->GetLastError();
    EXPECT_STREQ(e.GetModule(), "CPDFStream");
    EXPECT_STREQ(e.GetMethod(), "Serialize");
    EXPECT_EQ(e.GetType(), CPDFException::InternalError);
}

TEST(CPDFStreamDoc, LengthsReferringToEachOtherEndCleanly) {
    PdfBuilder pdf = Base();
    pdf.Obj(4, "<< /Length 5 0 R >>\nstream\nx\nendstream")
        .Obj(5, "<< /Length 4 0 R >>\nstream\ny\nendstream")
        .Obj(6, "<< /Length 6 0 R >>\nstream\nz\nendstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    // Whatever each yields, the loads terminate and leave the document usable.
    opened.Stream(4);
    opened.Stream(6);
    EXPECT_NE(opened.Doc()->GetObj(CPDFObjRef(3, 0)), nullptr);
}

TEST(CPDFStreamDoc, ChangesUpdateAnIndirectLengthInPlace) {
    Opened opened(Base());
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream s(opened.Doc());
    CPDFObjRef ref;
    ASSERT_TRUE(s.SetObj(opened.Doc(), "Length", std::make_unique<CPDFNumber>(0), true, &ref));
    ASSERT_TRUE(ref.IsSet());
    ASSERT_TRUE(s.SetData("abcd", 4));
    const CPDFAtom* length = s.Find("Length");
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length->Kind(), CPDFAtom::RefKind);
    auto* number = dynamic_cast<CPDFNumber*>(opened.Doc()->GetObj(ref));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->IntValue(), 4);
}

TEST(CPDFStreamDoc, SavedFileCarriesTheDataVerbatim) {
    PdfBuilder pdf = Base();
    const std::string data = "q 1 0 0 1 0 0 cm Q\r\n";
    pdf.Obj(4, "<< /Length 20 >>\nstream\r\n" + data + "endstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    const std::string out = opened.Dir().File("out.pdf");
    ASSERT_TRUE(opened.Doc()->Save(out.c_str(), false, false))
        << opened.Doc()->GetLastError().GetFactor();
    ASSERT_TRUE(opened.Doc()->Flush()) << opened.Doc()->GetLastError().GetFactor();
    const std::string bytes = ScratchDir::Read(out);
    EXPECT_NE(bytes.find("4 0 obj\n<< /Length 20 >>\nstream\r\n" + data + "endstream\nendobj"),
              std::string::npos);
}

namespace {

// Data that holds the keywords itself, as an attached PDF does.
const std::string kAttached =
    "%PDF-1.4\n1 0 obj\n<< /Length 2 >>\nstream\nab\nendstream\nendobj\n%%EOF";
const std::string kLen = std::to_string(kAttached.size());

}  // namespace

TEST(CPDFStreamDoc, IndirectLengthBeforeOrAfterTheStreamIsTrusted) {
    PdfBuilder pdf = Base();
    pdf.Obj(4, kLen)
        .Obj(5, "<< /Length 4 0 R >>\nstream\n" + kAttached + "\nendstream")
        .Obj(6, "<< /Length 7 0 R >>\nstream\r\n" + kAttached + "\r\nendstream")
        .Obj(7, kLen);
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    for (int num : {5, 6}) {
        SCOPED_TRACE(num);
        CPDFStream* s = opened.Stream(num);
        ASSERT_NE(s, nullptr) << opened.Doc()->GetLastError().GetFactor();
        const std::string eol = num == 5 ? "\n" : "\r\n";
        EXPECT_EQ(s->SourceLength(), static_cast<int>(kAttached.size() + eol.size()));
        EXPECT_EQ(Data(*s), kAttached + eol);
        // Made direct, with the length of the data taken.
        EXPECT_EQ(s->Find("Length")->Kind(), CPDFAtom::ObjectKind);
        EXPECT_EQ(s->Get_Length()->IntValue(), static_cast<int>(kAttached.size()));
    }
}

TEST(CPDFStreamDoc, WrongIndirectLengthBecomesTheMeasuredOne) {
    PdfBuilder pdf = Base();
    pdf.Obj(4, "<< /Length 5 0 R >>\nstream\n0123456789\r\nendstream")
        .Obj(5, "2")
        .Obj(6, "<< /Length 7 0 R >>\nstream\nabc endstream\nendobj\nendstream")
        .Obj(7, "(not a number)");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr) << opened.Doc()->GetLastError().GetFactor();
    EXPECT_EQ(Data(*s), "0123456789\r\n");
    EXPECT_EQ(s->Get_Length()->IntValue(), 10);
    // A Length that is no number is left alone; the search decides the data.
    CPDFStream* t = opened.Stream(6);
    ASSERT_NE(t, nullptr) << opened.Doc()->GetLastError().GetFactor();
    EXPECT_EQ(Data(*t), "abc ");
    EXPECT_EQ(t->Find("Length")->Kind(), CPDFAtom::RefKind);
}

TEST(CPDFStreamDoc, UnresolvableIndirectLengthFallsBackWithoutAnError) {
    PdfBuilder pdf = Base();
    // 9 0 R names no object: the search takes the data, and the load then
    // fails only because Length cannot be made direct, as before.
    pdf.Obj(4, "<< /Length 9 0 R >>\nstream\nxyz\nendstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    EXPECT_EQ(opened.Stream(4), nullptr);
    const CPDFException& e = opened.Doc()->GetLastError();
    EXPECT_STREQ(e.GetModule(), "CPDFStream");
    EXPECT_EQ(e.GetType(), CPDFException::InternalError);
}

TEST(CPDFStreamDoc, SavedStreamWithAWrongLengthIsWrittenAnew) {
    // Not carried over as it is: the reader's search finds the data, and the
    // object is written with the Length measured.
    PdfBuilder pdf = Base();
    pdf.Obj(4, "<< /Length 3 >>\nstream\n0123456789\nendstream").Obj(5, "(after)");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    const std::string out = opened.Dir().File("out.pdf");
    ASSERT_TRUE(opened.Doc()->Save(out.c_str(), false, false));
    ASSERT_TRUE(opened.Doc()->Flush()) << opened.Doc()->GetLastError().GetFactor();
    const std::string bytes = ScratchDir::Read(out);
    EXPECT_NE(bytes.find("4 0 obj\r\n<<\r\n/Length 10\r\n>>\r\nstream\r\n0123456789\nendstream"),
              std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("5 0 obj\n(after)\nendobj"), std::string::npos);
    Opened again(bytes);
    ASSERT_NE(again.Stream(4), nullptr);
    EXPECT_EQ(Data(*again.Stream(4)), "0123456789\n");
}

TEST(CPDFStreamDoc, SavedUntouchedStreamsKeepDataHoldingEndstream) {
    // Written by the save loop, which reads each untouched stream as it goes:
    // the Length of stream 5 was written before it, that of 6 comes after.
    PdfBuilder pdf = Base();
    pdf.Obj(4, kLen)
        .Obj(5, "<< /Length 4 0 R >>\nstream\n" + kAttached + "\nendstream")
        .Obj(6, "<< /Length 7 0 R >>\nstream\n" + kAttached + "endstream")
        .Obj(7, kLen)
        .Obj(8, "<< /Length " + kLen + " >>\nstream\n" + kAttached + "\r\nendstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    const std::string out = opened.Dir().File("out.pdf");
    ASSERT_TRUE(opened.Doc()->Save(out.c_str(), false, false))
        << opened.Doc()->GetLastError().GetFactor();
    ASSERT_TRUE(opened.Doc()->Flush()) << opened.Doc()->GetLastError().GetFactor();
    const std::string bytes = ScratchDir::Read(out);
    // Every one is carried over as its bytes were, Length trusted.
    const std::string tail = "endstream\nendobj";
    EXPECT_NE(bytes.find("5 0 obj\n<< /Length 4 0 R >>\nstream\n" + kAttached + "\n" + tail),
              std::string::npos);
    EXPECT_NE(bytes.find("6 0 obj\n<< /Length 7 0 R >>\nstream\n" + kAttached + tail),
              std::string::npos);
    EXPECT_NE(
        bytes.find("8 0 obj\n<< /Length " + kLen + " >>\nstream\n" + kAttached + "\r\n" + tail),
        std::string::npos);
    EXPECT_NE(bytes.find("4 0 obj\n" + kLen + "\nendobj"), std::string::npos);
    EXPECT_NE(bytes.find("7 0 obj\n" + kLen + "\nendobj"), std::string::npos);

    // The table points at the objects as written, not at the input's places.
    const size_t table = bytes.rfind("xref\r\n0 ");
    ASSERT_NE(table, std::string::npos);
    const size_t entries = bytes.find("\r\n", table + 6) + 2;
    for (int num = 1; num <= 8; ++num) {
        const size_t offset = std::stoul(bytes.substr(entries + 20 * num, 10));
        EXPECT_EQ(bytes.compare(offset, 7, std::to_string(num) + " 0 obj"), 0) << num;
    }
}

namespace {

// Bytes that differ at every position, ending in a line end.
std::string Large(int n) {
    std::string data;
    for (int i = 0; i + 1 < n; ++i) data += static_cast<char>('!' + (i * 13 + i / 89) % 90);
    return data + "\n";
}

}  // namespace

TEST(CPDFStreamDoc, LoadingReadsThroughTheInputAndLeavesItWhereItWas) {
    PdfBuilder pdf = Base();
    const std::string big = Large(50000);  // beyond the input's first fetch
    pdf.Obj(4, "<< /Length 100 >>\nstream\n" + Hundred() + "endstream")
        .Obj(5, "<< /Length 50000 >>\nstream\n" + big + "endstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    CPDFStream* t = opened.Stream(5);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(t, nullptr);
    corvina::FileInStream* in = opened.Doc()->GetInput();
    ASSERT_EQ(in->Seek(7), 0);
    EXPECT_EQ(Data(*t), big);
    EXPECT_EQ(in->Tell(), 7);
    EXPECT_FALSE(t->IsDeferred());
    EXPECT_EQ(s->GetDataLength(), 100);
    EXPECT_EQ(in->Tell(), 7);
    EXPECT_EQ(Data(*s), Hundred());
}

TEST(CPDFStreamDoc, LargeRangesAreCopiedWholeIntoEitherOutput) {
    PdfBuilder pdf = Base();
    const std::string big = Large(40000);  // above the size the kernel copies
    pdf.Obj(4, "<< /Length 40000 >>\nstream\n" + big + "endstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr);
    const std::string expected = "<<\r\n/Length 40000\r\n>>\r\nstream\r\n" + big + "endstream";
    EXPECT_EQ(Written(*s), expected);  // pread into the stream's buffer
    const std::string path = opened.Dir().File("copy.bin");
    {
        FileOutStream out;
        ASSERT_TRUE(out.Open(path.c_str()));
        out.WriteText("x");  // the copy lands behind buffered bytes
        s->Serialize(out, nullptr);
        out.Close();
    }
    EXPECT_EQ(ScratchDir::Read(path), "x" + expected);
    EXPECT_TRUE(s->IsDeferred());
}

TEST(CPDFStreamDoc, DeferredDataWrittenEncryptedIsTheWholeDataCipher) {
    const unsigned char context[10] = {5, 4, 3, 2, 1, 4, 0, 0, 0, 0};
    const corvina::detail::ObjectCrypt crypt = corvina::testing::Rc4Context(context);
    const corvina::CryptKey key = &crypt;
    PdfBuilder pdf = Base();
    const std::string data = Large(9000) + "abc";  // no line end at the end
    pdf.Obj(4, "<< /Length 9003 >>\nstream\n" + data + "\nendstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->IsDeferred());
    std::string cipher = data + "\n";
    corvina::testing::CryptObjectData(crypt, reinterpret_cast<unsigned char*>(cipher.data()),
                                      static_cast<int>(cipher.size()));
    const bool eol = cipher.back() == '\r' || cipher.back() == '\n';
    const int before = opened.Doc()->GetInput()->Tell();
    MemOutStream out;
    s->Serialize(out, key);
    EXPECT_EQ(out.Data(), "<<\r\n/Length 9003\r\n>>\r\nstream\r\n" + cipher + (eol ? "" : "\r\n") +
                              "endstream");
    EXPECT_EQ(opened.Doc()->GetInput()->Tell(), before);
    // Loaded, the same bytes come from memory.
    EXPECT_EQ(Data(*s), data + "\n");
    MemOutStream again;
    s->Serialize(again, key);
    EXPECT_EQ(again.Data(), out.Data());
}

TEST(CPDFStreamDoc, DeferredRangeBeyondTheFileFailsTheLoadCleanly) {
    PdfBuilder pdf = Base();
    const std::string big = Large(200000);  // far more than the input has fetched
    pdf.Obj(4, "<< /Length 200000 >>\nstream\n" + big + "endstream");
    Opened opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFStream* s = opened.Stream(4);
    ASSERT_NE(s, nullptr);
    // Someone cuts the file short under the open document: the recorded range
    // now runs past its end.
    ASSERT_EQ(::truncate(opened.Path().c_str(), s->SourceOffset() + 100000), 0);
    EXPECT_EQ(s->GetData(), nullptr);
    EXPECT_EQ(s->GetDataLength(), 0);
    EXPECT_TRUE(s->IsDeferred());
    EXPECT_EQ(s->Duplicate(nullptr, opened.Doc()), nullptr);
    MemOutStream out;
    try {
        s->Serialize(out, nullptr);
        ADD_FAILURE() << "written from a range past the file";
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetModule(), "CPDFStream");
        EXPECT_STREQ(e.GetMethod(), "Serialize");
        EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        EXPECT_STREQ(e.GetFactor(), "ioerror");
    }
}
