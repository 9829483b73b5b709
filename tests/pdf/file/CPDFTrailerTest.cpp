#include "pdf/file/CPDFTrailer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/file/CPDFEncryptDict.h"
#include "pdf/io/MemInStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFString.h"
#include "pdf/structure/CPDFCatalog.h"
#include "support/OpenedPdf.h"

using corvina::CPDFArray;
using corvina::CPDFAtom;
using corvina::CPDFCatalog;
using corvina::CPDFEncryptDict;
using corvina::CPDFException;
using corvina::CPDFInt;
using corvina::CPDFNumber;
using corvina::CPDFObject;
using corvina::CPDFObjRef;
using corvina::CPDFString;
using corvina::CPDFTrailer;
using corvina::MemInStream;
using corvina::MemOutStream;

namespace {

PdfBuilder Base() {
    return PdfBuilder::OnePage();
}

CPDFObjRef HeldRef(const CPDFAtom* atom) {
    if (atom && atom->Kind() == CPDFAtom::RefKind) return *static_cast<const CPDFObjRef*>(atom);
    return CPDFObjRef();
}

std::string Written(CPDFTrailer& trailer) {
    MemOutStream out;
    trailer.Serialize(out);
    return out.Data();
}

std::string ReadError(const std::string& bytes, CPDFTrailer* into = nullptr) {
    CPDFTrailer local;
    CPDFTrailer& trailer = into ? *into : local;
    MemInStream in(bytes);
    try {
        trailer.Serialize(nullptr, in);
    } catch (const CPDFException& e) {
        if (std::string(e.GetModule()) == "CPDFTrailer") {
            EXPECT_STREQ(e.GetMethod(), "Serialize");
            EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        }
        return e.GetFactor();
    }
    return "";
}

}  // namespace

TEST(CPDFTrailerWrite, ExactBytes) {
    CPDFTrailer trailer;
    ASSERT_TRUE(trailer.Set_Size(3));
    ASSERT_TRUE(trailer.Dict().Insert("Root", std::make_unique<CPDFObjRef>(1, 0)));
    trailer.SetStartXRef(1234);
    EXPECT_EQ(Written(trailer),
              "trailer\r\n<<\r\n/Root 1 0 R\r\n/Size 3\r\n>>\r\nstartxref\r\n1234\r\n%%EOF\r\n");
}

TEST(CPDFTrailerWrite, SizeAndPrevAreDirectIntegers) {
    CPDFTrailer trailer;
    ASSERT_TRUE(trailer.Set_Size(70000));
    ASSERT_TRUE(trailer.Set_Prev(116));
    ASSERT_NE(trailer.Get_Size(), nullptr);
    EXPECT_EQ(trailer.Get_Size()->TypeCode(), CPDFObject::Integer);
    EXPECT_EQ(trailer.Get_Size()->IntValue(), 70000);
    EXPECT_EQ(trailer.Get_Prev()->IntValue(), 116);
    EXPECT_EQ(Written(trailer),
              "trailer\r\n<<\r\n/Prev 116\r\n/Size 70000\r\n>>\r\nstartxref\r\n-1\r\n%%EOF\r\n");
}

TEST(CPDFTrailerRead, ReadsDictionaryAndOffset) {
    CPDFTrailer trailer;
    EXPECT_EQ(ReadError("trailer\r\n<< /Size 6 /Root 1 0 R /Prev 99 >>\r\nstartxref\r\n1234\r\n"
                        "%%EOF\r\n",
                        &trailer),
              "");
    EXPECT_EQ(trailer.StartXRef(), 1234);
    ASSERT_NE(trailer.Get_Size(), nullptr);
    EXPECT_EQ(trailer.Get_Size()->IntValue(), 6);
    EXPECT_EQ(trailer.Get_Prev()->IntValue(), 99);
    // Without a document a reference resolves to nothing but is reported.
    CPDFObjRef ref;
    EXPECT_EQ(trailer.Get_RootObj(&ref), nullptr);
    EXPECT_EQ(ref, CPDFObjRef(1, 0));
}

TEST(CPDFTrailerRead, TightSpacingAndNoFinalLineEnd) {
    CPDFTrailer trailer;
    EXPECT_EQ(ReadError("trailer<</Size 1>>startxref\n0%%EOF", &trailer), "");
    EXPECT_EQ(trailer.StartXRef(), 0);
}

TEST(CPDFTrailerRead, Errors) {
    EXPECT_EQ(ReadError("trailr <<>> startxref 1 %%EOF"), "invalidtoken: trailr");
    EXPECT_EQ(ReadError("trailer [1] startxref 1 %%EOF"), "invalidtoken: [");
    EXPECT_EQ(ReadError("trailer <<>> startxrf 1 %%EOF"), "invalidtoken: startxrf");
    EXPECT_EQ(ReadError("trailer <<>> startxref abc %%EOF"), "invalidtoken: abc");
    EXPECT_EQ(ReadError("trailer <<>> startxref -5 %%EOF"), "invalidtoken: -5");
    EXPECT_EQ(ReadError("trailer <<>> startxref 99999999999 %%EOF"), "invalidtoken: 99999999999");
    EXPECT_EQ(ReadError("trailer <<>> startxref 1\n%%EOX"), "invalidtoken: %%EOX");
    EXPECT_EQ(ReadError("trailer <<>> startxref 1\n%%EO"), "ioerror");
    EXPECT_EQ(ReadError("trailer <<>> startxref"), "ioerror");
    EXPECT_EQ(ReadError("trailer"), "ioerror");
    EXPECT_EQ(ReadError(""), "ioerror");
}

TEST(CPDFTrailerCreate, CopiesEntriesKeepingReferences) {
    CPDFTrailer source;
    ASSERT_TRUE(source.Dict().Insert("Size", std::make_unique<CPDFNumber>(9)));
    ASSERT_TRUE(source.Dict().Insert("Root", std::make_unique<CPDFObjRef>(1, 0)));
    ASSERT_TRUE(source.Dict().Insert("Info", std::make_unique<CPDFObjRef>(7, 2)));
    ASSERT_TRUE(source.Dict().Insert("Prev", std::make_unique<CPDFNumber>(17)));
    auto id = std::make_unique<CPDFArray>();
    ASSERT_TRUE(id->Push_Back(std::make_unique<CPDFString>("abc")));
    ASSERT_TRUE(id->Push_Back(std::make_unique<CPDFString>("def")));
    CPDFArray* sourceId = id.get();
    ASSERT_TRUE(source.Dict().Insert("ID", std::move(id)));
    source.SetStartXRef(555);

    CPDFTrailer trailer;
    ASSERT_TRUE(trailer.Create(nullptr, &source));
    const CPDFAtom* root = trailer.Dict().Find("Root");
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->Kind(), CPDFAtom::RefKind);
    EXPECT_EQ(*static_cast<const CPDFObjRef*>(root), CPDFObjRef(1, 0));
    const CPDFAtom* info = trailer.Dict().Find("Info");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->Kind(), CPDFAtom::RefKind);
    EXPECT_EQ(*static_cast<const CPDFObjRef*>(info), CPDFObjRef(7, 2));
    EXPECT_EQ(trailer.Get_Size()->IntValue(), 9);
    EXPECT_EQ(trailer.Get_Prev()->IntValue(), 555);
    EXPECT_EQ(trailer.Get_Prev()->TypeCode(), CPDFObject::Integer);
    CPDFArray* copyId = trailer.Get_ID();
    ASSERT_NE(copyId, nullptr);
    EXPECT_NE(copyId, sourceId);
    EXPECT_EQ(copyId->Count(), 2);
    EXPECT_EQ(trailer.StartXRef(), -1);
    // The source is untouched.
    EXPECT_EQ(source.Get_Prev()->IntValue(), 17);
}

TEST(CPDFTrailerRealize, SizeMustBePresent) {
    CPDFTrailer trailer;
    EXPECT_FALSE(trailer.Realize(nullptr));
    ASSERT_TRUE(trailer.Set_Size(4));
    EXPECT_TRUE(trailer.Realize(nullptr));
    // An indirect Size that cannot be loaded fails.
    ASSERT_TRUE(trailer.Dict().Insert("Size", std::make_unique<CPDFObjRef>(3, 0)));
    EXPECT_FALSE(trailer.Realize(nullptr));
}

TEST(CPDFTrailerDoc, CreateWithoutSourceMakesSizeAndACatalog) {
    OpenedPdf opened(Base());
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFTrailer trailer;
    ASSERT_TRUE(trailer.Create(opened.Doc(), nullptr));
    EXPECT_EQ(trailer.Get_Size()->IntValue(), 1);
    const CPDFObjRef root = HeldRef(trailer.Dict().Find("Root"));
    ASSERT_TRUE(root.IsSet());
    CPDFCatalog* catalog = trailer.Get_Root();
    ASSERT_NE(catalog, nullptr);
    EXPECT_EQ(static_cast<CPDFObject*>(catalog), opened.Doc()->GetObj(root));
}

TEST(CPDFTrailerDoc, CreateFromTheFileTrailerChainsToIt) {
    OpenedPdf opened(Base());
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    ASSERT_EQ(opened.Doc()->SectionCount(), 2);
    CPDFTrailer* file = opened.Doc()->GetTrailerAt(1);
    CPDFTrailer trailer;
    ASSERT_TRUE(trailer.Create(opened.Doc(), file));
    EXPECT_EQ(HeldRef(trailer.Dict().Find("Root")), CPDFObjRef(1, 0));
    EXPECT_EQ(trailer.Get_Prev()->IntValue(), file->StartXRef());
    EXPECT_EQ(trailer.Get_Size()->IntValue(), 4);
    EXPECT_NE(trailer.Get_Root(), nullptr);
}

TEST(CPDFTrailerDoc, RealizeLoadsIndirectNumbersAndTypesEncrypt) {
    const std::string o = "(" + std::string(32, 'o') + ")";
    const std::string u = "(" + std::string(32, 'u') + ")";
    PdfBuilder pdf = Base();
    pdf.Obj(5, "<< /Filter /Standard /V 1 /R 2 /O " + o + " /U " + u + " /P -4 >>")
        .Obj(6, "12")
        .Obj(7, "<< /Filter /Standard /P -4 >>")
        .Obj(8, "9");
    OpenedPdf opened(pdf);
    ASSERT_TRUE(opened.Doc()) << opened.Error().GetFactor();
    CPDFTrailer trailer;
    MemInStream in(
        "trailer << /Size 6 0 R /Prev 8 0 R /Encrypt 5 0 R /Root 1 0 R >>\n"
        "startxref\n0\n%%EOF");
    trailer.Serialize(opened.Doc(), in);
    ASSERT_TRUE(trailer.Realize(opened.Doc()));
    EXPECT_EQ(HeldRef(trailer.Dict().Find("Size")), CPDFObjRef());
    EXPECT_EQ(trailer.Get_Size()->IntValue(), 12);
    EXPECT_EQ(trailer.Get_Prev()->IntValue(), 9);
    EXPECT_EQ(HeldRef(trailer.Dict().Find("Encrypt")), CPDFObjRef(5, 0));
    auto* typed = dynamic_cast<CPDFEncryptDict*>(opened.Doc()->GetObj(CPDFObjRef(5, 0)));
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(static_cast<CPDFObject*>(typed), trailer.Get_Encrypt());
    EXPECT_TRUE(typed->IsSupportedHandler());

    // A dictionary that fails the type check stays plain.
    CPDFTrailer other;
    MemInStream in2("trailer << /Size 4 /Encrypt 7 0 R >> startxref 0 %%EOF");
    other.Serialize(opened.Doc(), in2);
    ASSERT_TRUE(other.Realize(opened.Doc()));
    EXPECT_EQ(dynamic_cast<CPDFEncryptDict*>(other.Get_Encrypt()), nullptr);
    EXPECT_NE(other.Get_Encrypt(), nullptr);

    // A Size that refers to nothing loadable fails.
    CPDFTrailer broken;
    MemInStream in3("trailer << /Size 40 0 R >> startxref 0 %%EOF");
    broken.Serialize(opened.Doc(), in3);
    EXPECT_FALSE(broken.Realize(opened.Doc()));
}
