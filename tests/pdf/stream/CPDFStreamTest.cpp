#include "pdf/stream/CPDFStream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pdf/io/MemInStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "support/CryptTestUtil.h"

using corvina::CPDFDict;
using corvina::CPDFException;
using corvina::CPDFName;
using corvina::CPDFNumber;
using corvina::CPDFObject;
using corvina::CPDFStream;
using corvina::MemInStream;
using corvina::MemOutStream;
namespace detail = corvina::detail;

namespace {

std::unique_ptr<CPDFDict> LengthDict(int length) {
    auto dict = std::make_unique<CPDFDict>();
    dict->Insert("Length", std::make_unique<CPDFNumber>(length));
    return dict;
}

std::string Data(CPDFStream& s) {
    return std::string(s.GetData(), s.GetDataLength());
}

std::string Written(CPDFStream& s) {
    MemOutStream out;
    s.Serialize(out, nullptr);
    return out.Data();
}

// Reads bytes that start with the "stream" keyword; returns the error factor
// or "" on success.
std::string ReadError(const std::string& bytes, CPDFStream& s, int length = 3,
                      std::string* next = nullptr) {
    MemInStream in(bytes);
    try {
        s.Serialize(nullptr, in, LengthDict(length), nullptr);
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetModule(), "CPDFStream");
        EXPECT_STREQ(e.GetMethod(), "Serialize");
        return e.GetFactor();
    }
    if (next) {
        char word[256];
        *next = in.ReadToken(word, sizeof word) ? word : "";
    }
    return "";
}

std::string ReadError(const std::string& bytes) {
    CPDFStream s;
    return ReadError(bytes, s);
}

}  // namespace

TEST(CPDFStreamRead, KeywordLineEndsInLfCrOrCrLf) {
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        CPDFStream s;
        std::string next;
        EXPECT_EQ(ReadError(std::string("stream") + eol + "abc\nendstream\nendobj", s, 3, &next),
                  "");
        EXPECT_EQ(Data(s), "abc\n");
        EXPECT_EQ(next, "endobj");
    }
}

TEST(CPDFStreamRead, TakesTheDictionaryEntries) {
    CPDFStream s;
    ASSERT_EQ(ReadError("stream\r\nabc\r\nendstream\r\nendobj", s), "");
    EXPECT_EQ(s.TypeCode(), CPDFObject::Stream);
    EXPECT_TRUE(s.IsParsed());
    EXPECT_FALSE(s.IsDeferred());
    EXPECT_EQ(s.Count(), 1);
    ASSERT_NE(s.Get_Length(), nullptr);
    EXPECT_EQ(s.Get_Length()->IntValue(), 3);
}

TEST(CPDFStreamRead, Errors) {
    EXPECT_EQ(ReadError("stream abc\nendstream\nendobj"), "invalidtoken:  ");
    EXPECT_EQ(ReadError("streamx\nabc\nendstream\nendobj"), "invalidtoken: streamx");
    EXPECT_EQ(ReadError("stream"), "ioerror");
    EXPECT_EQ(ReadError(""), "ioerror");
    EXPECT_EQ(ReadError("stream\nabc"), "ioerror");
    // The search (here for a wrong Length) needs "endobj" after "endstream".
    CPDFStream s;
    EXPECT_EQ(ReadError("stream\nabc\nendstream", s, 2), "ioerror");
    EXPECT_EQ(ReadError("stream\nabc\nendstream\nendob", s, 2), "ioerror");
    EXPECT_EQ(ReadError("stream\nabc\nendstreamendobj"), "ioerror");
}

// Data that holds the keywords itself, as an attached PDF or an uncompressed
// embedded file does.
const std::string kInner =
    "%PDF-1.4\n1 0 obj\n<< /Length 2 >>\nstream\nab\nendstream\nendobj\n%%EOF";

TEST(CPDFStreamRead, ACorrectLengthTakesDataHoldingEndstreamAndEndobj) {
    const int n = static_cast<int>(kInner.size());
    for (const char* eol : {"\n", "\r\n", "\r", " \r\n", "\t \n", ""}) {
        SCOPED_TRACE(testing::Message() << "line end [" << eol << "]");
        CPDFStream s;
        std::string next;
        ASSERT_EQ(ReadError("stream\r\n" + kInner + eol + "endstream\nendobj 9 0 obj", s, n, &next),
                  "");
        EXPECT_EQ(Data(s), kInner + eol);  // the line end belongs to the data, as before
        EXPECT_EQ(s.Get_Length()->IntValue(), n);
        EXPECT_EQ(next, "endobj");
        EXPECT_EQ(Written(s), "<<\r\n/Length " + std::to_string(n) + "\r\n>>\r\nstream\r\n" +
                                  kInner + eol + (*eol ? "" : "\r\n") + "endstream");
    }
}

TEST(CPDFStreamRead, ATrustedLengthEndsTheDataAtEndstream) {
    // Length 0, and data right against "endstream": the stream's reader does
    // not look past the keyword; "endobj" is the object reader's.
    CPDFStream empty;
    std::string next;
    ASSERT_EQ(ReadError("stream\nendstream\n", empty, 0, &next), "");
    EXPECT_EQ(empty.GetDataLength(), 0);
    EXPECT_EQ(next, "");
    CPDFStream tight;
    ASSERT_EQ(ReadError("stream\nabcendstream", tight, 3), "");
    EXPECT_EQ(Data(tight), "abc");
    CPDFStream delimited;
    ASSERT_EQ(ReadError("stream\nabc\nendstream%x\nendobj", delimited, 3, &next), "");
    EXPECT_EQ(Data(delimited), "abc\n");
    EXPECT_EQ(next, "endobj");
}

TEST(CPDFStreamRead, AWrongLengthFallsBackToTheSearch) {
    // What the search alone takes: the data up to the first "endstream" that
    // "endobj" follows.
    const std::string bytes = "stream\n" + kInner + "\nendstream\nendobj";
    const std::string searched = kInner.substr(0, kInner.find("endstream"));
    const int n = static_cast<int>(kInner.size());
    for (int length : {n - 1, 5, n + 2, n + 3, n + 100000, -1, -n}) {
        SCOPED_TRACE(length);
        CPDFStream s;
        ASSERT_EQ(ReadError(bytes, s, length), "");
        EXPECT_EQ(Data(s), searched);
        EXPECT_EQ(s.Get_Length()->IntValue(), length);  // a direct Length stays as it was
    }
    // Not a whole number.
    const std::unique_ptr<CPDFObject> others[] = {
        std::make_unique<CPDFName>("Length"),
        std::make_unique<CPDFNumber>(static_cast<float>(n) + 0.5f)};
    for (const auto& value : others) {
        auto dict = std::make_unique<CPDFDict>();
        dict->Insert("Length", value->Duplicate(nullptr, nullptr));
        MemInStream in(bytes);
        CPDFStream s;
        s.Serialize(nullptr, in, std::move(dict), nullptr);
        EXPECT_EQ(Data(s), searched);
    }
    // Without any Length.
    MemInStream in(bytes);
    CPDFStream none;
    none.Serialize(nullptr, in, std::make_unique<CPDFDict>(), nullptr);
    EXPECT_EQ(Data(none), searched);
}

TEST(CPDFStreamRead, EndIsSearchedForWhenLengthIsWrong) {
    CPDFStream wrong;
    ASSERT_EQ(ReadError("stream\n0123456789\nendstream\nendobj", wrong, 2), "");
    EXPECT_EQ(Data(wrong), "0123456789\n");
    EXPECT_EQ(wrong.Get_Length()->IntValue(), 2);

    CPDFStream inner;
    std::string next;
    ASSERT_EQ(ReadError("stream\r\nq endstream Q\nendstream  x\nendstream %c\r\nendobj 5 0 obj",
                        inner, 3, &next),
              "");
    EXPECT_EQ(Data(inner), "q endstream Q\nendstream  x\n");
    EXPECT_EQ(next, "endobj");
}

TEST(CPDFStreamRead, DataIsExactlyBetweenKeywordLineAndEndstream) {
    CPDFStream s;
    ASSERT_EQ(ReadError("stream\r\n\r\nX\r\nendstream endobj", s), "");
    EXPECT_EQ(Data(s), "\r\nX\r\n");
    CPDFStream none;
    ASSERT_EQ(ReadError("stream\nendstream\nendobj", none), "");
    EXPECT_EQ(none.GetDataLength(), 0);
}

TEST(CPDFStreamRead, LargeDataFromMemory) {
    std::string data;
    for (int i = 0; i < 100000; ++i) data += static_cast<char>('a' + i % 26);
    CPDFStream s;
    ASSERT_EQ(ReadError("stream\n" + data + "endstream\nendobj", s), "");
    EXPECT_EQ(s.GetDataLength(), 100000);
    EXPECT_EQ(Data(s), data);
}

TEST(CPDFStreamCrypt, DataIsDecryptedWhileRead) {
    const unsigned char context[10] = {1, 2, 3, 4, 5, 7, 0, 0, 0, 0};
    const detail::ObjectCrypt crypt = corvina::testing::Rc4Context(context);
    const corvina::CryptKey key = &crypt;
    std::string plain(9000, 'p');  // more than one piece: one cipher runs on
    plain += "tail\n";
    std::string cipher = plain;
    corvina::testing::CryptObjectData(crypt, reinterpret_cast<unsigned char*>(cipher.data()),
                                      static_cast<int>(cipher.size()));
    MemInStream in("stream\r\n" + cipher + "endstream\r\nendobj");
    CPDFStream s;
    s.Serialize(nullptr, in, LengthDict(9005), key);
    EXPECT_EQ(Data(s), plain);
}

TEST(CPDFStreamCrypt, AesDataNotInWholeBlocksIsAnError) {
    detail::ObjectCrypt crypt;
    crypt.streams.method = detail::CryptMethod::AES;
    crypt.streams.keyLength = 16;
    MemInStream in("stream\r\n" + std::string(20, 'x') + "endstream\r\nendobj");
    CPDFStream s;
    try {
        s.Serialize(nullptr, in, LengthDict(20), &crypt);
        ADD_FAILURE() << "no error";
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetFactor(), "invalid encrypted data");
        EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
    }
}

// A stream whose first filter is Crypt with the Identity filter (the default
// one) is stored plain under any key, and the filter undoes to nothing.
TEST(CPDFStreamCrypt, IdentityCryptFilterKeepsTheDataPlain) {
    const unsigned char context[10] = {1, 2, 3, 4, 5, 9, 0, 0, 0, 0};
    const detail::ObjectCrypt crypt = corvina::testing::Rc4Context(context);
    auto dict = LengthDict(5);
    dict->Insert("Filter", std::make_unique<CPDFName>("Crypt"));
    MemInStream in("stream\r\nplain\r\nendstream\r\nendobj");
    CPDFStream s;
    s.Serialize(nullptr, in, std::move(dict), &crypt);
    // Read plain, the line end before "endstream" as well.
    EXPECT_EQ(Data(s), "plain\r\n");
    MemOutStream out;
    s.Serialize(out, &crypt);
    EXPECT_NE(out.Data().find("stream\r\nplain"), std::string::npos);
    // Undone, the filter is gone: the data is then the object's, encrypted.
    CPDFException errors;
    EXPECT_TRUE(s.DecodeAllFilter(&errors)) << errors.GetFactor();
    EXPECT_EQ(Data(s), "plain\r\n");
    MemOutStream again;
    s.Serialize(again, &crypt);
    EXPECT_EQ(again.Data().find("stream\r\nplain"), std::string::npos);
}

TEST(CPDFStreamCrypt, WrittenCopyIsEncryptedDataStaysPlain) {
    const unsigned char context[10] = {9, 8, 7, 6, 5, 1, 0, 0, 0, 0};
    const detail::ObjectCrypt crypt = corvina::testing::Rc4Context(context);
    const corvina::CryptKey key = &crypt;
    CPDFStream s;
    const std::string plain = std::string(5000, 'q') + "end";
    ASSERT_TRUE(s.SetData(plain.data(), static_cast<int>(plain.size())));
    std::string cipher = plain;
    corvina::testing::CryptObjectData(crypt, reinterpret_cast<unsigned char*>(cipher.data()),
                                      static_cast<int>(cipher.size()));
    const bool eol = cipher.back() == '\r' || cipher.back() == '\n';
    MemOutStream out;
    s.Serialize(out, key);
    EXPECT_EQ(out.Data(), "<<\r\n/Length 5003\r\n>>\r\nstream\r\n" + cipher + (eol ? "" : "\r\n") +
                              "endstream");
    EXPECT_EQ(Data(s), plain);
    // Written twice, encrypted twice from the plain bytes.
    MemOutStream again;
    s.Serialize(again, key);
    EXPECT_EQ(again.Data(), out.Data());
}

TEST(CPDFStreamWrite, MemoryDataGetsALineEndBeforeEndstream) {
    CPDFStream s;
    ASSERT_TRUE(s.SetData("abc", 3));
    EXPECT_EQ(Written(s), "<<\r\n/Length 3\r\n>>\r\nstream\r\nabc\r\nendstream");
    ASSERT_TRUE(s.SetData("ab\n", 3));
    EXPECT_EQ(Written(s), "<<\r\n/Length 3\r\n>>\r\nstream\r\nab\nendstream");
    ASSERT_TRUE(s.SetData("ab\r", 3));
    EXPECT_EQ(Written(s), "<<\r\n/Length 3\r\n>>\r\nstream\r\nab\rendstream");
    ASSERT_TRUE(s.SetData("", 0));
    EXPECT_EQ(Written(s), "<<\r\n/Length 0\r\n>>\r\nstream\r\nendstream");
}

TEST(CPDFStreamWrite, ReadDataIsWrittenBackUnchanged) {
    CPDFStream s;
    ASSERT_EQ(ReadError("stream\r\nBT\r\nET\r\nendstream\r\nendobj", s, 8), "");
    s.Insert("Filter", std::make_unique<CPDFName>("FlateDecode"));
    EXPECT_EQ(Written(s),
              "<<\r\n/Filter /FlateDecode\r\n/Length 8\r\n>>\r\nstream\r\nBT\r\nET\r\nendstream");
}

TEST(CPDFStreamData, ChangesKeepLengthInStep) {
    CPDFStream s;
    ASSERT_TRUE(s.SetData("12345", 5));
    EXPECT_EQ(s.Get_Length()->IntValue(), 5);
    EXPECT_EQ(s.Get_Length()->TypeCode(), CPDFObject::Integer);
    ASSERT_TRUE(s.AppendData("67", 2));
    ASSERT_TRUE(s.AppendData('x', 3));
    EXPECT_EQ(Data(s), "1234567xxx");
    EXPECT_EQ(s.Get_Length()->IntValue(), 10);
    ASSERT_TRUE(s.InsertData(0, "ab", 2));
    ASSERT_TRUE(s.InsertData(5, "-", 1));
    EXPECT_EQ(Data(s), "ab123-4567xxx");
    ASSERT_TRUE(s.InsertData(-1, "Z", 1));
    ASSERT_TRUE(s.InsertData(100, "Y", 1));
    EXPECT_EQ(Data(s), "ab123-4567xxxZY");
    EXPECT_EQ(s.Get_Length()->IntValue(), 15);
    // A negative position or an empty insertion changes nothing.
    s.InsertData(-2, "W", 1);
    s.InsertData(3, "", 0);
    EXPECT_EQ(Data(s), "ab123-4567xxxZY");
    ASSERT_TRUE(s.SetData('q', 4));
    EXPECT_EQ(Data(s), "qqqq");
    EXPECT_EQ(s.Get_Length()->IntValue(), 4);
    EXPECT_FALSE(s.AppendData("x", -1));
    EXPECT_FALSE(s.SetData(nullptr, 3));
}

TEST(CPDFStreamData, OwnBytesMayBeFedBack) {
    CPDFStream s;
    ASSERT_TRUE(s.SetData("abcdefgh", 8));
    ASSERT_TRUE(s.AppendData(s.GetData(), s.GetDataLength()));
    EXPECT_EQ(Data(s), "abcdefghabcdefgh");
    ASSERT_TRUE(s.InsertData(2, s.GetData() + 4, 3));
    EXPECT_EQ(Data(s), "abefgcdefghabcdefgh");
    ASSERT_TRUE(s.SetData(s.GetData() + 1, 3));
    EXPECT_EQ(Data(s), "bef");
    // Growth across the mapped-buffer threshold with its own bytes.
    for (int i = 0; i < 14; ++i) ASSERT_TRUE(s.AppendData(s.GetData(), s.GetDataLength()));
    EXPECT_EQ(s.GetDataLength(), 3 << 14);
    EXPECT_EQ(Data(s).substr((3 << 14) - 6), "befbef");
}

TEST(CPDFStreamData, DuplicateAndClear) {
    CPDFStream s;
    ASSERT_TRUE(s.SetData("payload", 7));
    s.Insert("Type", std::make_unique<CPDFName>("XObject"));
    std::unique_ptr<CPDFObject> copy = s.Duplicate(nullptr, nullptr);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->TypeCode(), CPDFObject::Stream);
    auto* c = static_cast<CPDFStream*>(copy.get());
    EXPECT_EQ(Written(*c), Written(s));
    ASSERT_TRUE(s.AppendData("!", 1));
    EXPECT_EQ(Data(*c), "payload");

    s.ClearStream();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.GetDataLength(), 0);
    EXPECT_EQ(Written(s), "<<\r\n>>\r\nstream\r\nendstream");
}
