// Containers working through a document: references are resolved, made,
// deleted and copied with the document's objects.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFTrailer.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "support/ObjectTestUtil.h"
#include "support/OpenedPdf.h"

using corvina::CPDFArray;
using corvina::CPDFAtom;
using corvina::CPDFDict;
using corvina::CPDFDoc;
using corvina::CPDFNumber;
using corvina::CPDFObject;
using corvina::CPDFObjRef;
using corvina::testing::ParseText;
using corvina::testing::WriteText;

namespace {

// Objects 4 on are the test's; 5 is referred to from 4 twice.
PdfBuilder Base() {
    PdfBuilder pdf = PdfBuilder::OnePage();
    pdf.Obj(4, "<< /A 5 0 R /B 7 /C 5 0 R /D [1 6 0 R 3] >>")
        .Obj(5, "(five)")
        .Obj(6, "(six)")
        .Root(1);
    return pdf;
}

CPDFDict* Dict4(CPDFDoc* doc) {
    return dynamic_cast<CPDFDict*>(doc->GetObj(CPDFObjRef(4, 0)));
}

const CPDFObjRef* RefAt(const CPDFAtom* atom) {
    return atom && atom->Kind() == CPDFAtom::RefKind ? static_cast<const CPDFObjRef*>(atom)
                                                     : nullptr;
}

int32_t Size(CPDFDoc* doc) {
    return doc->GetTrailer()->Get_Size()->IntValue();
}

// Creating a library points the process-wide temporary directory at the
// test's scratch directory, which is gone afterwards; the tests that follow
// get the setting back as it was.
class KeepTempDir : public ::testing::Test {
protected:
    void TearDown() override { corvina::TempSettings::Directory() = saved_; }

private:
    std::string saved_ = corvina::TempSettings::Directory();
};

using CPDFDictDoc = KeepTempDir;

}  // namespace

TEST_F(CPDFDictDoc, GetObjResolvesThroughTheDocument) {
    OpenedPdf pdf(Base());
    ASSERT_NE(pdf.Doc(), nullptr);
    CPDFDict* dict = Dict4(pdf.Doc());
    ASSERT_NE(dict, nullptr);

    CPDFObjRef ref;
    CPDFObject* a = dict->GetObj(pdf.Doc(), "A", &ref);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(ref, CPDFObjRef(5, 0));
    EXPECT_EQ(a, pdf.Doc()->GetObj(CPDFObjRef(5, 0)));
    EXPECT_EQ(WriteText(*a), "(five)");

    // A direct value clears the reference out.
    CPDFObject* b = dict->GetObj(pdf.Doc(), "B", &ref);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(WriteText(*b), "7");
    EXPECT_FALSE(ref.IsSet());

    // Without a document the reference is reported but not followed.
    EXPECT_EQ(dict->GetObj(nullptr, "C", &ref), nullptr);
    EXPECT_EQ(ref, CPDFObjRef(5, 0));
    EXPECT_EQ(dict->GetObj(pdf.Doc(), "Z", &ref), nullptr);
}

TEST_F(CPDFDictDoc, SetObjIndirectRegistersAnObject) {
    OpenedPdf pdf(Base());
    ASSERT_NE(pdf.Doc(), nullptr);
    CPDFDict* dict = Dict4(pdf.Doc());
    ASSERT_NE(dict, nullptr);

    CPDFObjRef ref;
    ASSERT_TRUE(
        dict->SetObj(pdf.Doc(), "E", std::make_unique<CPDFNumber>(int32_t{12}), true, &ref));
    EXPECT_EQ(ref, CPDFObjRef(7, 0));
    EXPECT_EQ(Size(pdf.Doc()), 8);
    const CPDFObjRef* stored = RefAt(dict->Find("E"));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(*stored, ref);
    ASSERT_NE(pdf.Doc()->GetObj(ref), nullptr);
    EXPECT_EQ(WriteText(*pdf.Doc()->GetObj(ref)), "12");

    // Direct: no new object.
    ASSERT_TRUE(dict->SetObj(pdf.Doc(), "F", std::make_unique<CPDFNumber>(int32_t{13}), false));
    EXPECT_EQ(RefAt(dict->Find("F")), nullptr);
    ASSERT_NE(dict->FindDirect("F"), nullptr);
    EXPECT_EQ(Size(pdf.Doc()), 8);
}

TEST_F(CPDFDictDoc, RemoveKeyDeletesTheReferencedObject) {
    OpenedPdf pdf(Base());
    ASSERT_NE(pdf.Doc(), nullptr);
    CPDFDict* dict = Dict4(pdf.Doc());
    ASSERT_NE(dict, nullptr);
    ASSERT_NE(pdf.Doc()->GetObj(CPDFObjRef(6, 0)), nullptr);
    ASSERT_NE(pdf.Doc()->GetObj(CPDFObjRef(5, 0)), nullptr);

    dict->RemoveKey(pdf.Doc(), "A");
    EXPECT_FALSE(dict->Has("A"));
    EXPECT_EQ(pdf.Doc()->GetObj(CPDFObjRef(5, 0)), nullptr);
    // A direct value goes alone.
    dict->RemoveKey(pdf.Doc(), "D");
    EXPECT_FALSE(dict->Has("D"));
    EXPECT_NE(pdf.Doc()->GetObj(CPDFObjRef(6, 0)), nullptr);
    EXPECT_EQ(dict->Count(), 2);
}

TEST_F(CPDFDictDoc, CopyEntriesOverwriteOrKeep) {
    auto src = ParseText("<< /A 1 /B 2 >>");
    auto keep = ParseText("<< /A 9 >>");
    auto over = ParseText("<< /A 9 >>");
    auto* s = dynamic_cast<CPDFDict*>(src.get());
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->CopyEntries(*dynamic_cast<CPDFDict*>(keep.get()), nullptr, nullptr, false));
    EXPECT_EQ(WriteText(*keep), "<<\r\n/A 9\r\n/B 2\r\n>>");
    ASSERT_TRUE(s->CopyEntries(*dynamic_cast<CPDFDict*>(over.get()), nullptr, nullptr, true));
    EXPECT_EQ(WriteText(*over), "<<\r\n/A 1\r\n/B 2\r\n>>");
}

TEST_F(CPDFDictDoc, DuplicateCopiesASharedObjectOnce) {
    OpenedPdf src(Base());
    OpenedPdf dst(Base());
    ASSERT_NE(src.Doc(), nullptr);
    ASSERT_NE(dst.Doc(), nullptr);
    CPDFDict* dict = Dict4(src.Doc());
    ASSERT_NE(dict, nullptr);

    auto copy = dict->Duplicate(dst.Doc(), src.Doc());
    ASSERT_NE(copy, nullptr);
    auto* d = dynamic_cast<CPDFDict*>(copy.get());
    ASSERT_NE(d, nullptr);
    const CPDFObjRef* a = RefAt(d->Find("A"));
    const CPDFObjRef* c = RefAt(d->Find("C"));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(*a, *c);
    // One for 5 (shared by A and C), one for 6 inside D's array.
    EXPECT_EQ(Size(dst.Doc()), 9);
    EXPECT_EQ(*a, CPDFObjRef(7, 0));
    ASSERT_NE(dst.Doc()->GetObj(*a), nullptr);
    EXPECT_EQ(WriteText(*dst.Doc()->GetObj(*a)), "(five)");
    EXPECT_EQ(WriteText(*d), "<<\r\n/A 7 0 R\r\n/B 7\r\n/C 7 0 R\r\n/D [1 8 0 R 3]\r\n>>");
    EXPECT_EQ(Size(src.Doc()), 7);

    // Without a destination document the objects referred to are copied in.
    auto plain = dict->Duplicate(nullptr, src.Doc());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(WriteText(*plain), "<<\r\n/A (five)\r\n/B 7\r\n/C (five)\r\n/D [1 (six) 3]\r\n>>");
}

TEST_F(CPDFDictDoc, DuplicateLeavesOutWhatIsNotDuplicable) {
    auto array = ParseText("[1 (x) 3 4]");
    auto* a = dynamic_cast<CPDFArray*>(array.get());
    ASSERT_NE(a, nullptr);
    CPDFObject* middle = a->GetObj(nullptr, 1);
    ASSERT_NE(middle, nullptr);
    middle->SetDuplicable(false);
    auto copy = a->Duplicate(nullptr, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(WriteText(*copy), "[1 3 4]");
    EXPECT_EQ(WriteText(*array), "[1 (x) 3 4]");

    // The same through a reference: the object referred to decides.
    OpenedPdf src(Base());
    OpenedPdf dst(Base());
    ASSERT_NE(src.Doc(), nullptr);
    ASSERT_NE(dst.Doc(), nullptr);
    src.Doc()->GetObj(CPDFObjRef(6, 0))->SetDuplicable(false);
    CPDFArray* d = Dict4(src.Doc())->GetAs<CPDFArray>(src.Doc(), "D");
    ASSERT_NE(d, nullptr);
    auto viaRef = d->Duplicate(dst.Doc(), src.Doc());
    ASSERT_NE(viaRef, nullptr);
    EXPECT_EQ(WriteText(*viaRef), "[1 3]");
    EXPECT_EQ(Size(dst.Doc()), 7);
}
