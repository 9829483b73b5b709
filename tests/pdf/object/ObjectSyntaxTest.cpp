// The object reader and writer as a whole: dispatch, the failure table,
// exact output and round trips.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "pdf/io/FileInStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNull.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFString.h"
#include "pdf/object/SyntaxSupport.h"
#include "support/ObjectTestUtil.h"
#include "support/ScratchDir.h"

namespace corvina {
namespace {
using namespace corvina::testing;

// The record a factory raises on text.
template <class Factory>
ErrorRecord FactoryError(Factory factory, const std::string& text) {
    MemInStream in(text);
    try {
        factory(nullptr, in, nullptr);
    } catch (const CPDFException& e) {
        return {e.GetModule(), e.GetMethod(), e.GetType(), e.GetFactor()};
    }
    return {};
}

TEST(ObjectSyntax, DispatchByFirstByte) {
    struct Case {
        const char* text;
        int typeCode;
    } cases[] = {
        {"<<>>", CPDFObject::Dictionary},    {"<41>", CPDFObject::String},
        {"[]", CPDFObject::Array},           {"/N ", CPDFObject::Name},
        {"(s)", CPDFObject::String},         {"7", CPDFObject::Number},
        {"+7", CPDFObject::Number},          {"-7", CPDFObject::Number},
        {".7", CPDFObject::Number},          {"true", CPDFObject::Bool},
        {"false", CPDFObject::Bool},         {"null", CPDFObject::Null},
        {" \t\r\n\f 7", CPDFObject::Number},
    };
    for (const auto& c : cases) {
        auto obj = ParseText(c.text);
        ASSERT_TRUE(obj) << c.text;
        EXPECT_EQ(obj->TypeCode(), c.typeCode) << c.text;
        EXPECT_TRUE(obj->IsParsed()) << c.text;
    }
    for (const char* none :
         {"", "   ", "% only a comment", "R", ")", ">", "]", "{", "endobj", "\0"})
        EXPECT_EQ(ParseText(none), nullptr) << none;
}

TEST(ObjectSyntax, CommentsAreSkippedBeforeValues) {
    EXPECT_EQ(Rewrite("%comment\n5"), "5");
    EXPECT_EQ(Rewrite("%comment\r5"), "5");
    EXPECT_EQ(Rewrite("% a\r\n% b\n  5"), "5");
    EXPECT_EQ(Rewrite("[1%c\n2%d\r]"), "[1 2]");
    EXPECT_EQ(Rewrite("<<%c\n/A%c\n1%c\n>>"), "<<\r\n/A 1\r\n>>");
}

TEST(ObjectSyntax, BooleansAndNullAreExactWords) {
    const ErrorRecord boolIo{"CPDFBool", "Serialize", 4, "ioerror"};
    EXPECT_EQ(ParseError("True"), (ErrorRecord{}));  // 'T' starts no object
    EXPECT_EQ(FactoryError(CPDFBool::SerializeObject, "True"),
              (ErrorRecord{"CPDFBool", "Serialize", 4, "invalidtoken: True"}));
    EXPECT_EQ(ParseError("trueX"),
              (ErrorRecord{"CPDFBool", "Serialize", 4, "invalidtoken: trueX"}));
    EXPECT_EQ(ParseError("f"), (ErrorRecord{"CPDFBool", "Serialize", 4, "invalidtoken: f"}));
    EXPECT_EQ(FactoryError(CPDFBool::SerializeObject, " "), boolIo);
    EXPECT_EQ(ParseError("nul"), (ErrorRecord{"CPDFNull", "Serialize", 4, "invalidtoken: nul"}));
    EXPECT_EQ(ParseError("nulls"),
              (ErrorRecord{"CPDFNull", "Serialize", 4, "invalidtoken: nulls"}));
    EXPECT_EQ(FactoryError(CPDFNull::SerializeObject, ""),
              (ErrorRecord{"CPDFNull", "Serialize", 4, "ioerror"}));
    EXPECT_EQ(Rewrite("true]"), "true");
    EXPECT_EQ(Rewrite("null/"), "null");
}

TEST(ObjectSyntax, FailureTable) {
    struct Case {
        std::string text;
        ErrorRecord error;
    } cases[] = {
        {"<", {"CPDFDict", "SerializeObject", 4, "ioerror"}},
        {"(", {"CPDFString", "SerializeObject", 4, "ioerror"}},
        {"<<", {"CPDFDict", "Serialize", 4, "ioerror"}},
        {"<</A 1", {"CPDFDict", "Serialize", 4, "ioerror"}},
        {"<</A 1>", {"CPDFDict", "Serialize", 4, "ioerror"}},
        {"<</A", {"CPDFName", "Serialize", 4, "ioerror"}},
        {"<</A ", {"CPDFDict", "Serialize", 4, "ioerror"}},
        {"<</A 1 ]>>", {"CPDFDict", "Serialize", 4, "invalidtoken: ]"}},
        {"<</A }>>", {"CPDFDict", "Serialize", 4, "invalidtoken: }"}},
        {"<</A 1 R>>", {"CPDFDict", "Serialize", 4, "invalidtoken: R"}},
        {"<</A 1> >>", {"CPDFDict", "Serialize", 4, "invalidtoken: >"}},
        {"<<1 2>>", {"CPDFDict", "Serialize", 4, "typecheck: Number"}},
        {"<<(k) 2>>", {"CPDFDict", "Serialize", 4, "typecheck: String"}},
        {"<<[/k] 2>>", {"CPDFDict", "Serialize", 4, "typecheck: Array"}},
        {"<<<<>> 2>>", {"CPDFDict", "Serialize", 4, "typecheck: Dictionary"}},
        {"<<true 2>>", {"CPDFDict", "Serialize", 4, "typecheck: Bool"}},
        {"<<null 2>>", {"CPDFDict", "Serialize", 4, "typecheck: Null"}},
        {"[", {"CPDFArray", "Serialize", 4, "ioerror"}},
        {"[1 2", {"CPDFArray", "Serialize", 4, "ioerror"}},
        {"[1 % comment", {"CPDFArray", "Serialize", 4, "ioerror"}},
        {"[1 /A R]", {"CPDFArray", "Serialize", 4, "invalidtoken: R"}},
        {"[1 >]", {"CPDFArray", "Serialize", 4, "invalidtoken: >"}},
        {"[1 )]", {"CPDFArray", "Serialize", 4, "invalidtoken: )"}},
        {"[<</A 1>> obj]", {"CPDFArray", "Serialize", 4, "invalidtoken: obj"}},
        {"(abc", {"CPDFString", "Serialize", 4, "ioerror"}},
        {"(a(b)", {"CPDFString", "Serialize", 4, "ioerror"}},
        {"(a\\)", {"CPDFString", "Serialize", 4, "ioerror"}},
        {"<41", {"CPDFString", "Serialize", 4, "ioerror"}},
        {"<41G>", {"CPDFString", "Serialize", 4, "invalidtoken: G"}},
        {"<4 1 Z", {"CPDFString", "Serialize", 4, "invalidtoken: Z"}},
        {"/Name", {"CPDFName", "Serialize", 4, "ioerror"}},
        {"[/", {"CPDFName", "Serialize", 4, "ioerror"}},
        {"[/A", {"CPDFName", "Serialize", 4, "ioerror"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseError(c.text), c.error) << c.text;

    // Rows reached only through the class factories and fillers.
    EXPECT_EQ(FactoryError(CPDFArray::SerializeObject, ""),
              (ErrorRecord{"CPDFArray", "Serialize", 4, "ioerror"}));
    EXPECT_EQ(FactoryError(CPDFArray::SerializeObject, "x]"),
              (ErrorRecord{"CPDFArray", "Serialize", 4, "invalidtoken: x"}));
    EXPECT_EQ(FactoryError(CPDFString::SerializeObject, "xy"),
              (ErrorRecord{"CPDFString", "Serialize", 4, "invalidtoken: x"}));
    EXPECT_EQ(FactoryError(CPDFString::SerializeObject, ""),
              (ErrorRecord{"CPDFString", "SerializeObject", 4, "ioerror"}));
    EXPECT_EQ(FactoryError(CPDFName::SerializeObject, "A "),
              (ErrorRecord{"CPDFName", "Serialize", 4, "invalidtoken: A"}));
    EXPECT_EQ(FactoryError(CPDFName::SerializeObject, ""),
              (ErrorRecord{"CPDFName", "Serialize", 4, "ioerror"}));
    EXPECT_EQ(FactoryError(CPDFNumber::SerializeObject, " \r\n"),
              (ErrorRecord{"CPDFNumber", "Serialize", 4, "ioerror"}));
    auto dictFiller = [](CPDFObjHolder* doc, InStream& in, CryptKey crypt) {
        CPDFDict().Serialize(doc, in, crypt);
    };
    EXPECT_EQ(FactoryError(dictFiller, "<x/A 1>>"),
              (ErrorRecord{"CPDFDict", "Serialize", 4, "invalidtoken: <x"}));
    EXPECT_EQ(FactoryError(dictFiller, "<"), (ErrorRecord{"CPDFDict", "Serialize", 4, "ioerror"}));
    // "<<" opens no string.
    MemInStream in("<<>>");
    EXPECT_EQ(CPDFString::SerializeObject(nullptr, in, nullptr), nullptr);
}

TEST(ObjectSyntax, ArrayMembersAndReferences) {
    auto obj = ParseText("[1 2 0 R 3]");
    ASSERT_TRUE(obj);
    auto* a = static_cast<CPDFArray*>(obj.get());
    ASSERT_EQ(a->Count(), 3);
    EXPECT_EQ(a->GetAt(0)->Kind(), CPDFAtom::ObjectKind);
    ASSERT_EQ(a->GetAt(1)->Kind(), CPDFAtom::RefKind);
    EXPECT_EQ(*static_cast<CPDFObjRef*>(a->GetAt(1)), CPDFObjRef(2, 0));
    EXPECT_EQ(WriteText(*a), "[1 2 0 R 3]");

    EXPECT_EQ(Rewrite("[1 2 R]"), "[1 2 R]");
    EXPECT_EQ(static_cast<CPDFArray*>(ParseText("[1 2 R]").get())->Count(), 1);
    EXPECT_EQ(Rewrite("[5.5 0 R]"), "[5 0 R]");
    EXPECT_EQ(Rewrite("[12 0 13]"), "[12 0 13]");
    EXPECT_EQ(ParseError("[12 0 RR]").factor, "invalidtoken: RR");
    EXPECT_EQ(Rewrite("[1 0 R%c\n2 0 R]"), "[1 0 R 2 0 R]");
    EXPECT_EQ(Rewrite("[ 1 \n 0 \r R ]"), "[1 0 R]");
    EXPECT_EQ(ParseError("[+1 0 R]").factor, "invalidtoken: R");  // a sign is no object number
    EXPECT_EQ(Rewrite("[]"), "[]");
    EXPECT_EQ(Rewrite("[ ]"), "[]");
    EXPECT_EQ(Rewrite("[[][[]]]"), "[[] [[]]]");
    EXPECT_EQ(Rewrite("[/A/B(c)<64>[1]<</E 1>>]"), "[/A /B (c) <64> [1] <<\r\n/E 1\r\n>>]");
}

TEST(ObjectSyntax, ReferenceLookAheadRestoresPosition) {
    MemInStream in("[1 2 0 obj]");
    // The words after 1 are read again as members: 2, 0, then "obj" stops it.
    try {
        CPDFArray::SerializeObject(nullptr, in, nullptr);
        FAIL();
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetFactor(), "invalidtoken: obj");
    }
    MemInStream tail("5 0 R 7");
    auto a = std::make_unique<CPDFArray>();
    EXPECT_EQ(CPDFObject::SerializeObject(nullptr, tail, nullptr)->TypeCode(),
              CPDFObject::Number);  // the top level never reads a reference
}

TEST(ObjectSyntax, LongNumberWordSplitsInArrays) {
    const std::string digits(300, '1');
    auto obj = ParseText("[" + digits + "]");
    ASSERT_TRUE(obj);
    EXPECT_EQ(static_cast<CPDFArray*>(obj.get())->Count(), 2);
    const std::string longZeros = "0." + std::string(400, '0') + "1";
    auto zeros = ParseText("[" + longZeros + "]");
    ASSERT_TRUE(zeros);
    EXPECT_EQ(static_cast<CPDFArray*>(zeros.get())->Count(), 2);
}

TEST(ObjectSyntax, DictionaryEntriesSortedLastValueWins) {
    auto obj = ParseText("<</B 1/A 2/A 3>>");
    ASSERT_TRUE(obj);
    auto* d = static_cast<CPDFDict*>(obj.get());
    EXPECT_EQ(d->Count(), 2);
    EXPECT_EQ(WriteText(*d), "<<\r\n/A 3\r\n/B 1\r\n>>");
    EXPECT_EQ(Rewrite("<<>>"), "<<\r\n>>");
    EXPECT_EQ(Rewrite("<< /K 1 0 R /L [1 0 R] >>"), "<<\r\n/K 1 0 R\r\n/L [1 0 R]\r\n>>");
    EXPECT_EQ(Rewrite("<</a 1/A 2/B#20 3>>"), "<<\r\n/A 2\r\n/B#20 3\r\n/a 1\r\n>>");
}

TEST(ObjectSyntax, DictionaryBeforeAWordWithSIsHandedToTheStreamReader) {
    auto obj = ParseText("<</Length 3/Type/X>> %c\n stream\r\nabc\r\nendstream\r\nendobj\r\n");
    ASSERT_TRUE(obj);
    EXPECT_EQ(obj->TypeCode(), CPDFObject::Stream);
    EXPECT_TRUE(static_cast<CPDFDict*>(obj.get())->Has("Type"));  // the entries moved over
    EXPECT_EQ(ParseError("<</A 1>>\n  sx"),
              (ErrorRecord{"CPDFStream", "Serialize", 4, "invalidtoken: sx"}));
    auto dict = ParseText("<</A 1>> 5");
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->TypeCode(), CPDFObject::Dictionary);
}

TEST(ObjectSyntax, WriterExamples) {
    CPDFDict pages;
    pages.Insert("Type", std::make_unique<CPDFName>("Pages"));
    auto kids = std::make_unique<CPDFArray>();
    kids->Push_Back(std::make_unique<CPDFObjRef>(3, 0));
    kids->Push_Back(std::make_unique<CPDFObjRef>(4, 0));
    pages.Insert("Kids", std::move(kids));
    pages.Insert("Count", std::make_unique<CPDFNumber>(2));
    EXPECT_EQ(WriteText(pages), "<<\r\n/Count 2\r\n/Kids [3 0 R 4 0 R]\r\n/Type /Pages\r\n>>");

    // An atom of no known kind writes nothing, but its separators stay.
    struct Stray : CPDFAtom {};
    CPDFArray a;
    a.Push_Back(std::make_unique<CPDFNumber>(1));
    a.Push_Back(std::make_unique<Stray>());
    a.Push_Back(std::make_unique<CPDFNumber>(2));
    EXPECT_EQ(WriteText(a), "[1  2]");
}

TEST(ObjectSyntax, RoundTripsAreStable) {
    const char* corpus[] = {
        "<</Type/Catalog/Pages 2 0 R/Names<</Dests 5 0 R>>>>",
        "[/XYZ null null null]",
        "[0 0 612 792]",
        "<</Title(\\376\\377\\000A)/Author<FEFF3042>/Producer(a\\\\b\\(c\\)\\r\\n)>>",
        "(\\0011\\0022\\3773)",
        "<00FF7F80>",
        "[1.5 -0.25 .5 -.5 +3 40000.75 -32768 2.0 1e5 -0.0000001]",
        "<</A#20B [/#23#25#28#29#2F#3C#3E#5B#5D#7B#7D] /C#E9 1>>",
        "[true false null [ [ ] ] << >> () <>]",
        "<</Kids[3 0 R 4 0 R 5 0 R]/Count 3/Type/Pages/MediaBox[0 0 595.28 841.89]>>",
        "(nested (paren (deep)) and \\) escaped)",
        "<</D [12 0 R /FitH 700] /S /GoTo>>",
        "(line\\\ncontinued\\\r\nand\\\rdone)",
        "[%comment\n1 % more\r2]",
    };
    for (const char* text : corpus) {
        const std::string first = Rewrite(text);
        ASSERT_NE(first, "<nothing>") << text;
        const std::string second = Rewrite(first);
        EXPECT_EQ(second, first) << text;
    }
}

TEST(ObjectSyntax, NestingIsBounded) {
    const auto nested = [](int depth, const std::string& open, const std::string& close,
                           const std::string& inner = "") {
        std::string s;
        for (int k = 0; k < depth; ++k) s += open;
        s += inner;
        for (int k = 0; k < depth; ++k) s += close;
        return s;
    };
    EXPECT_NE(ParseText(nested(256, "[", "]")), nullptr);
    EXPECT_EQ(ParseError(nested(257, "[", "]")),
              (ErrorRecord{"CPDFArray", "Serialize", 4, "invalidtoken: nesting too deep"}));
    EXPECT_EQ(ParseError(std::string(100000, '[')),
              (ErrorRecord{"CPDFArray", "Serialize", 4, "invalidtoken: nesting too deep"}));
    EXPECT_NE(ParseText(nested(256, "<</A ", ">>", "1")), nullptr);
    EXPECT_EQ(ParseError(nested(300, "<</A ", ">>", "1")),
              (ErrorRecord{"CPDFDict", "Serialize", 4, "invalidtoken: nesting too deep"}));
    std::string mixed;
    for (int k = 0; k < 50000; ++k) mixed += "[<</K ";
    EXPECT_EQ(ParseError(mixed).factor, "invalidtoken: nesting too deep");
    // The bound counts open containers, not containers seen.
    std::string wide = "[";
    for (int k = 0; k < 1000; ++k) wide += nested(200, "[", "]");
    wide += "]";
    EXPECT_NE(ParseText(wide), nullptr);
    EXPECT_NE(ParseText(nested(256, "[", "]")), nullptr);  // counter restored after errors
}

TEST(ObjectSyntax, LargeContainersParse) {
    std::string big = "[";
    for (int k = 0; k < 100000; ++k) big += "1 0 R ";
    big += "]";
    auto obj = ParseText(big);
    ASSERT_TRUE(obj);
    EXPECT_EQ(static_cast<CPDFArray*>(obj.get())->Count(), 100000);

    // Sorted keys, the worst order for the dictionary tree.
    std::string dict = "<<";
    char entry[32];
    for (int k = 0; k < 100000; ++k) {
        std::snprintf(entry, sizeof entry, "/K%07d %d ", k, k);
        dict += entry;
    }
    dict += ">>";
    auto d = ParseText(dict);
    ASSERT_TRUE(d);
    EXPECT_EQ(static_cast<CPDFDict*>(d.get())->Count(), 100000);
}

TEST(ObjectSyntax, ReferencesReadTheSameWholeInTheBufferAndWordByWord) {
    // Each text is read once from memory, where it lies whole in the buffer,
    // and once through a 2-byte file buffer, where every look-ahead crosses a
    // refill: the reference (or none) and the position after it agree.
    ScratchDir dir;
    const std::string nul("1 0 R\0 ", 7);
    int i = 0;
    for (const std::string& text : {std::string("12 0 R "),
                                    std::string("12 0 R/Next"),
                                    std::string("1 0 R]"),
                                    std::string("1 0 R%c\n"),
                                    std::string("1 0 R"),
                                    std::string("7 0 obj"),
                                    std::string("7 0 RR"),
                                    std::string("7 0 ]"),
                                    std::string("7 ]"),
                                    std::string("7/N"),
                                    std::string("7 /N 0 R"),
                                    std::string("7 % c\n 0 % d\n R "),
                                    std::string("12.5 0 R "),
                                    std::string("12 0.5 R "),
                                    std::string("12abc 0 R "),
                                    std::string("1\t\r\n\f 2 \n R "),
                                    std::string("99999999999 3 R "),
                                    std::string("2147483648 0 R "),
                                    std::string(30, '9') + " 0 R ",
                                    std::string("1 65536 R "),
                                    std::string("1 0 Rx"),
                                    nul,
                                    std::string("5 6"),
                                    std::string("5 6 "),
                                    std::string("5 ")}) {
        SCOPED_TRACE(text);
        MemInStream mem(text);
        FileInStream file(2);
        ASSERT_TRUE(file.Open(dir.Write("r" + std::to_string(i++), text).c_str(), "rb", 0, -1, 2));
        const std::unique_ptr<CPDFObjRef> whole = detail::ReadReference(mem);
        const std::unique_ptr<CPDFObjRef> pieces = detail::ReadReference(file);
        ASSERT_EQ(whole != nullptr, pieces != nullptr);
        if (whole) {
            EXPECT_EQ(*whole, *pieces);
        }
        EXPECT_EQ(mem.Tell(), file.Tell());
    }
    MemInStream plain("  % c\n 3 1 R>>");
    const auto ref = detail::ReadReference(plain);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(*ref, CPDFObjRef(3, 1));
    EXPECT_EQ(plain.Peek(), '>');
}

TEST(ObjectSyntax, LookAheadAcrossFileBufferRefills) {
    // A 7-byte buffer puts every word of the look-ahead across refills, so
    // restoring the position has to seek back in the file.
    ScratchDir dir;
    const std::string text =
        "<</Kids [1 0 R 22 0 R 333 0 R 4444 55555 666666] /Count 3 % c\n/P 7 0 obj>>";
    const std::string path = dir.Write("objects.txt", text);
    FileInStream in(7);
    ASSERT_TRUE(in.Open(path.c_str()));
    try {
        CPDFObject::SerializeObject(nullptr, in, nullptr);
        FAIL() << "7 0 obj is no reference";
    } catch (const CPDFException& e) {
        // 7 was read back as the value, so 0 stands where a key should.
        EXPECT_STREQ(e.GetFactor(), "typecheck: Number");
    }
    const std::string good =
        "<</Kids [1 0 R 22 0 R 333 0 R 4444 55555 666666] /Count 3 % c\n/P 7 0 R>>";
    FileInStream in2(7);
    ASSERT_TRUE(in2.Open(dir.Write("good.txt", good).c_str()));
    auto obj = CPDFObject::SerializeObject(nullptr, in2, nullptr);
    ASSERT_TRUE(obj);
    EXPECT_EQ(WriteText(*obj),
              "<<\r\n/Count 3\r\n/Kids [1 0 R 22 0 R 333 0 R 4444 55555 666666]\r\n/P 7 0 "
              "R\r\n>>");
}

}  // namespace
}  // namespace corvina
