#include "pdf/file/SameValue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/ValueDigest.h"
#include "pdf/io/MemInStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/stream/CPDFStream.h"
#include "support/OpenedPdf.h"
#include "support/PdfBuilder.h"

using corvina::CPDFArray;
using corvina::CPDFDict;
using corvina::CPDFInt;
using corvina::CPDFName;
using corvina::CPDFNumber;
using corvina::CPDFObject;
using corvina::CPDFObjRef;
using corvina::CPDFStream;
using corvina::detail::SameValue;
using corvina::detail::ValueDigest;

namespace {

std::unique_ptr<CPDFObject> Parse(const std::string& text) {
    corvina::MemInStream in(text.data(), static_cast<int>(text.size()));
    return CPDFObject::SerializeObject(nullptr, in, nullptr);
}

// SameValue's answer, after checking that the digests agree with it.
bool Same(const CPDFObject* a, const CPDFObject* b) {
    const ValueDigest digest;
    EXPECT_TRUE(digest.Usable());
    const bool same = SameValue(a, b);
    EXPECT_EQ(SameValue(b, a), same);
    const auto da = digest.Of(a);
    const auto db = digest.Of(b);
    if (same) {
        EXPECT_TRUE(da && db && *da == *db);
    } else if (da && db) {
        EXPECT_NE(*da, *db);
    }
    return same;
}

}  // namespace

TEST(SameValue, ParsedValuesCompareByWhatTheyMean) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"<< /A 1 /B [2 0 R (x)] >>", "<</B[2 0 R(x)]/A 1>>", true},  // key order, spacing
        {"(AB)", "<4142>", true},                                     // one string, two forms
        {"/A#42", "/AB", true},                                       // one name
        {"[1 2 3]", "[1 2 3]", true},
        {"null", "null", true},
        {"true", "true", true},
        {"[]", "<< >>", false},
        {"1.50", "1.5", false},  // numbers keep their digits
        {"1", "1.0", false},
        {"-0", "0", false},
        {"2 0 R", "2 1 R", false},
        {"[2 0 R]", "[2 0 R 3]", false},
        {"<< /A 1 >>", "<< /A 1 /B 2 >>", false},
        {"<< /A 1 >>", "<< /B 1 >>", false},
        {"<< /A (x) >>", "<< /A /x >>", false},
        {"(a)", "(a\\000)", false},
        {"true", "false", false},
        {"[[[1]]]", "[[[2]]]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        // In an array, so that references (atoms, not objects) can be read.
        const auto a = Parse(std::string("[") + c.a + "]");
        const auto b = Parse(std::string("[") + c.b + "]");
        ASSERT_TRUE(a && b);
        EXPECT_EQ(Same(a.get(), b.get()), c.same);
    }
}

TEST(SameValue, ClassesDoNotCountButSetValuesDo) {
    const auto plain = Parse("<< /Count 3 /Kids [4 0 R] >>");
    // A typed number loaded from the plain one keeps its text: the same.
    auto typed = std::make_unique<CPDFDict>();
    auto count = std::make_unique<CPDFInt>();
    ASSERT_TRUE(count->Load(
        nullptr,
        *static_cast<CPDFNumber*>(static_cast<CPDFDict*>(plain.get())->FindDirect("Count"))));
    ASSERT_TRUE(typed->Insert("Count", std::move(count)));
    ASSERT_TRUE(typed->Insert("Kids", Parse("[4 0 R]")));
    EXPECT_TRUE(Same(plain.get(), typed.get()));
    // The same value set by the program is written in the program's form.
    static_cast<CPDFNumber*>(typed->FindDirect("Count"))->SetInt(3);
    EXPECT_FALSE(Same(plain.get(), typed.get()));
    EXPECT_FALSE(ValueDigest().Of(typed.get()));
}

TEST(SameValue, NestingPastTheParserBoundIsNeverTheSame) {
    auto a = std::make_unique<CPDFArray>();
    auto b = std::make_unique<CPDFArray>();
    CPDFArray* x = a.get();
    CPDFArray* y = b.get();
    for (int i = 0; i < 300; ++i) {
        auto nx = std::make_unique<CPDFArray>();
        auto ny = std::make_unique<CPDFArray>();
        CPDFArray* px = nx.get();
        CPDFArray* py = ny.get();
        ASSERT_TRUE(x->Push_Back(std::move(nx)));
        ASSERT_TRUE(y->Push_Back(std::move(ny)));
        x = px;
        y = py;
    }
    EXPECT_FALSE(SameValue(a.get(), b.get()));
    EXPECT_FALSE(ValueDigest().Of(a.get()));
}

TEST(SameValue, StreamsAreTheSameWhileTheirDataLiesInTheSameInputBytes) {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .Obj(3, "<< /Length 5 >>\nstream\nhello\nendstream")
        .Obj(4, "<< /Length 5 >>\nstream\nhello\nendstream")
        .Root(1);
    OpenedPdf opened(pdf);
    ASSERT_TRUE(opened.Doc());
    auto load = [&](int num) {
        CPDFObjRef ref(num, 0);
        return opened.Doc()->LoadEntry(ref, *opened.Doc()->FindEntry(num, false));
    };
    const auto a = load(3), again = load(3), other = load(4);
    ASSERT_TRUE(a && again && other);
    EXPECT_TRUE(Same(a.get(), again.get()));
    // Equal bytes elsewhere in the file are other data.
    EXPECT_FALSE(Same(a.get(), other.get()));
    // Data held in memory may have been changed.
    auto* stream = static_cast<CPDFStream*>(again.get());
    ASSERT_TRUE(stream->GetData());
    ASSERT_TRUE(stream->SetData("hello", 5));
    EXPECT_FALSE(Same(a.get(), again.get()));
    EXPECT_FALSE(ValueDigest().Of(again.get()));
}

TEST(ValueDigest, SipHashMatchesItsReferenceVectors) {
    // The authors' vectors: key 00..0f, messages 00, 00 01, ... of each length.
    const uint64_t k0 = 0x0706050403020100ULL, k1 = 0x0f0e0d0c0b0a0908ULL;
    unsigned char message[64];
    for (int i = 0; i < 64; ++i) message[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(corvina::detail::SipHash24(k0, k1, message, 0), 0x726fdb47dd0e0e31ULL);
    EXPECT_EQ(corvina::detail::SipHash24(k0, k1, message, 1), 0x74f839c593dc67fdULL);
    EXPECT_EQ(corvina::detail::SipHash24(k0, k1, message, 8), 0x93f5f5799a932462ULL);
    EXPECT_EQ(corvina::detail::SipHash24(k0, k1, message, 15), 0xa129ca6149be45e5ULL);
    EXPECT_EQ(corvina::detail::SipHash24(k0, k1, message, 63), 0x958a324ceb064572ULL);
}

TEST(ValueDigest, EachDigestHasItsOwnKey) {
    const auto value = Parse("<< /Type /Page >>");
    const auto one = ValueDigest().Of(value.get());
    const auto two = ValueDigest().Of(value.get());
    ASSERT_TRUE(one && two);
    EXPECT_NE(*one, *two);
}
