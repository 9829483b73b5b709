// The value of an indirect object: where a stream is recognised.
#include "pdf/file/IndirectValue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/io/MemInStream.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/stream/CPDFStream.h"
#include "support/ObjectTestUtil.h"

using corvina::CPDFDict;
using corvina::CPDFObject;
using corvina::CPDFStream;
using corvina::MemInStream;
using corvina::detail::ReadIndirectValue;
using corvina::testing::ErrorRecord;
using corvina::testing::ParseError;

TEST(IndirectValue, DictionaryBeforeStreamHandsOverToTheStreamReader) {
    MemInStream in("<< /Length 3 >>\nstream\r\nabc\r\nendstream\nendobj");
    std::unique_ptr<CPDFObject> obj = ReadIndirectValue(nullptr, in, nullptr);
    ASSERT_NE(obj, nullptr);
    ASSERT_EQ(obj->TypeCode(), CPDFObject::Stream);
    auto* s = static_cast<CPDFStream*>(obj.get());
    EXPECT_EQ(std::string(s->GetData(), s->GetDataLength()), "abc\r\n");
    EXPECT_EQ(s->Get_Length()->IntValue(), 3);
    EXPECT_EQ(s->GetDoc(), nullptr);
    // The reader stops after "endstream" and leaves "endobj" to its caller.
    char word[16];
    ASSERT_NE(in.ReadToken(word, sizeof word), nullptr);
    EXPECT_STREQ(word, "endobj");
}

TEST(IndirectValue, ObjectParserAloneStopsAfterTheDictionary) {
    MemInStream in("<< /Length 3 >> stream\r\nabc\r\nendstream\nendobj");
    std::unique_ptr<CPDFObject> obj = CPDFObject::SerializeObject(nullptr, in, nullptr);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->TypeCode(), CPDFObject::Dictionary);
    char word[16];
    ASSERT_NE(in.ReadToken(word, sizeof word), nullptr);
    EXPECT_STREQ(word, "stream");
}

TEST(IndirectValue, OnlyADictionaryOpensAStream) {
    // Hexadecimal strings, arrays and numbers before "stream" stay what they
    // are; the caller meets the word.
    for (const char* text : {"<41> stream\n", "[1] stream\n", "5 stream\n"}) {
        MemInStream in(text);
        std::unique_ptr<CPDFObject> obj = ReadIndirectValue(nullptr, in, nullptr);
        ASSERT_NE(obj, nullptr) << text;
        EXPECT_NE(obj->TypeCode(), CPDFObject::Stream) << text;
        char word[16];
        ASSERT_NE(in.ReadToken(word, sizeof word), nullptr);
        EXPECT_STREQ(word, "stream") << text;
    }
    MemInStream in("<< /A 1 >> % note\n  endobj");
    std::unique_ptr<CPDFObject> dict = ReadIndirectValue(nullptr, in, nullptr);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->TypeCode(), CPDFObject::Dictionary);
}

TEST(IndirectValue, StreamInsideAContainerIsAnError) {
    EXPECT_EQ(ParseError("[<< /Length 3 >>\nstream\nabc\nendstream\nendobj"),
              (ErrorRecord{"CPDFArray", "Serialize", 4, "invalidtoken: stream"}));
    EXPECT_EQ(ParseError("<< /A << /Length 3 >>\nstream\nabc\nendstream\nendobj"),
              (ErrorRecord{"CPDFDict", "Serialize", 4, "invalidtoken: stream"}));
    // A word with "s" after the object's own dictionary is the stream reader's to judge.
    EXPECT_EQ(ParseError("<< /A 1 >> startxref"),
              (ErrorRecord{"CPDFStream", "Serialize", 4, "invalidtoken: startxref"}));
}
